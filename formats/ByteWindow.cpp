#include "formats/ByteWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

void CByteWindow::Consume(size_t nBytes)
{
    const size_t n = std::min(nBytes, Data().size() - m_nStart);
    m_nStart += n;
    m_nOffset += n;
}

bool CByteWindow::More()
{
    if (m_fd < 0 || m_bFailed)
        return false;
    // What was consumed goes before new bytes come: the window stays near a block in size.
    m_data.erase(0, m_nStart);
    m_nStart = 0;
    const size_t nOld = m_data.size();
    m_data.resize(nOld + BLOCK_SIZE);
    ssize_t nRead = 0;
    do
        nRead = ::read(m_fd, m_data.data() + nOld, BLOCK_SIZE);
    while (nRead < 0 && errno == EINTR);
    m_bFailed = nRead < 0;
    m_data.resize(nOld + static_cast<size_t>(nRead > 0 ? nRead : 0));
    return nRead > 0;
}

bool CByteWindow::Rewind()
{
    if (m_fd >= 0)
    {
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            return false;
        m_data.clear();
    }
    m_nStart = 0;
    m_nOffset = 0;
    m_bFailed = false;
    return true;
}
