#include "formats/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
std::mutex s_permitMutex;
std::vector<const std::string*> s_permits; // guarded by s_permitMutex
thread_local int t_nRefusals = 0;

int OpenRetrying(const std::string& strPath, int nFlags)
{
    int fd;
    do
        fd = ::open(strPath.c_str(), nFlags);
    while (fd < 0 && errno == EINTR);
    return fd;
}
} // namespace

bool CInputFile::Open(const std::string& strPath)
{
    Close();
    const bool bPipeAllowed = CPipeInputPermit::Covers(strPath);
    const int nFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY;
    // A permitted FIFO is opened as `cat` opens it, waiting for a writer: a writer that came
    // first must not see a reader come and go. Everything else is opened without blocking.
    struct stat st;
    const bool bWaitForWriter = bPipeAllowed && ::stat(strPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    const int fd = OpenRetrying(strPath, bWaitForWriter ? nFlags : nFlags | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool bKnown = ::fstat(fd, &st) == 0;
    const bool bRegular = bKnown && S_ISREG(st.st_mode);
    const bool bPipe = bKnown && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
    // Reads block as usual from here on.
    const int nStatus = ::fcntl(fd, F_GETFL);
    if (!(bRegular || (bPipe && bPipeAllowed)) || nStatus < 0 ||
        ::fcntl(fd, F_SETFL, nStatus & ~O_NONBLOCK) != 0)
    {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_bRegular = bRegular;
    m_nSize = bRegular ? static_cast<uint64_t>(st.st_size) : 0;
    return true;
}

void CInputFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_bRegular = false;
    m_nSize = 0;
}

bool CInputFile::ReadUpTo(std::string& out, size_t nBytes)
{
    const size_t nOld = out.size();
    out.resize(nOld + nBytes);
    size_t nDone = 0;
    while (nDone < nBytes && m_fd >= 0)
    {
        const ssize_t nRead = ::read(m_fd, out.data() + nOld + nDone, nBytes - nDone);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
        {
            out.resize(nOld + nDone);
            return nRead == 0;
        }
        nDone += static_cast<size_t>(nRead);
    }
    out.resize(nOld + nDone);
    return m_fd >= 0;
}

CPipeInputPermit::CPipeInputPermit(std::string strPath) : m_strPath(std::move(strPath))
{
    const std::lock_guard<std::mutex> lock(s_permitMutex);
    s_permits.push_back(&m_strPath);
}

CPipeInputPermit::~CPipeInputPermit()
{
    const std::lock_guard<std::mutex> lock(s_permitMutex);
    s_permits.erase(std::find(s_permits.begin(), s_permits.end(), &m_strPath));
}

bool CPipeInputPermit::Covers(const std::string& strPath)
{
    if (t_nRefusals > 0)
        return false;
    const std::lock_guard<std::mutex> lock(s_permitMutex);
    return std::any_of(s_permits.begin(), s_permits.end(),
                       [&](const std::string* p) { return *p == strPath; });
}

CPipeInputRefusal::CPipeInputRefusal()
{
    ++t_nRefusals;
}

CPipeInputRefusal::~CPipeInputRefusal()
{
    --t_nRefusals;
}
