#include "formats/ByteWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

void CByteWindow::Consume(size_t nBytes)
{
    const size_t n = std::min(nBytes, Data().size() - m_nStart);
    m_nStart += n;
    m_nOffset += n;
}

bool CByteWindow::More()
{
    if (m_fd < 0 || m_bFailed || m_bHitNul)
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
    size_t nNew = static_cast<size_t>(nRead > 0 ? nRead : 0);
    if (m_bStopAtNul)
        if (const void* pNul = std::memchr(m_data.data() + nOld, '\0', nNew))
        {
            nNew = static_cast<size_t>(static_cast<const char*>(pNul) - (m_data.data() + nOld));
            m_bHitNul = true;
        }
    m_data.resize(nOld + nNew);
    return nNew > 0;
}

void CByteWindow::StopAtNul()
{
    m_bStopAtNul = true;
    if (m_fd >= 0)
    {
        const size_t nNul = m_data.find('\0', m_nStart);
        if (nNul != std::string::npos)
        {
            m_data.resize(nNul);
            m_bHitNul = true;
        }
    }
    else if (const size_t nNul = m_buffer.find('\0', m_nStart); nNul != std::string_view::npos)
    {
        m_buffer = m_buffer.substr(0, nNul);
        m_bHitNul = true;
    }
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
    // A buffer stays cut at its NUL; a file meets it again.
    if (m_fd >= 0)
        m_bHitNul = false;
    return true;
}
