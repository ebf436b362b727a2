#include "platform/SafeFileWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <locale>
#include <vector>

namespace
{
// The temporary files of open writers, for the interrupt handler: a fixed table that a handler
// reads without locks or allocation. A slot is free (0), being filled (1) or holds a path (2).
constexpr int MAX_TEMPORARIES = 8;
constexpr int SLOT_FREE = 0, SLOT_FILLING = 1, SLOT_IN_USE = 2;
struct STemporary
{
    std::atomic<int> nState{SLOT_FREE};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");
STemporary s_temporaries[MAX_TEMPORARIES];

const int INTERRUPTS[] = {SIGINT, SIGTERM, SIGHUP};

int RegisterTemporary(const char* pszPath)
{
    const size_t nLength = std::strlen(pszPath);
    for (int i = 0; i < MAX_TEMPORARIES && nLength < PATH_MAX; ++i)
    {
        int nState = SLOT_FREE;
        if (!s_temporaries[i].nState.compare_exchange_strong(nState, SLOT_FILLING))
            continue;
        std::memcpy(s_temporaries[i].path, pszPath, nLength + 1);
        s_temporaries[i].nState.store(SLOT_IN_USE);
        return i;
    }
    return -1;
}

void RemoveTemporariesAndEnd(int nSignal)
{
    for (STemporary& temporary : s_temporaries)
        if (temporary.nState.load() == SLOT_IN_USE)
            unlink(temporary.path);
    // The signal is blocked while its handler runs: raised again with the default action, it
    // ends the process as soon as the handler returns.
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

// Follows a chain of symbolic links to the path that is finally written; a relative link is
// taken from its own folder. False for a loop or a link that cannot be read.
bool FollowLinks(std::string& strPath)
{
    for (int nHops = 0; nHops < 40; ++nHops)
    {
        struct stat st;
        if (lstat(strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t nLength = readlink(strPath.c_str(), target, sizeof target);
        if (nLength <= 0 || nLength >= static_cast<ssize_t>(sizeof target))
        {
            if (nLength > 0)
                errno = ENAMETOOLONG;
            return false;
        }
        std::string strTarget(target, static_cast<size_t>(nLength));
        const size_t nSlash = strPath.find_last_of('/');
        if (strTarget[0] != '/' && nSlash != std::string::npos)
            strTarget = strPath.substr(0, nSlash + 1) + strTarget;
        strPath = strTarget;
    }
    errno = ELOOP;
    return false;
}

// Copies the finished temporary file into a hard-linked target in place. The room is taken
// first, so that a full disk shows before the old contents are touched.
bool CopyInto(int fdFrom, const std::string& strTarget, off_t nSize)
{
    const int fd = open(strTarget.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool bOk = (nSize == 0 || posix_fallocate(fd, 0, nSize) == 0) && lseek(fdFrom, 0, SEEK_SET) == 0;
    std::vector<char> buffer(size_t(1) << 16);
    while (bOk)
    {
        const ssize_t nRead = read(fdFrom, buffer.data(), buffer.size());
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
        {
            bOk = nRead == 0;
            break;
        }
        bOk = CFdStreamBuf::WriteAll(fd, buffer.data(), static_cast<size_t>(nRead));
    }
    bOk = bOk && ftruncate(fd, nSize) == 0 && fsync(fd) == 0;
    return close(fd) == 0 && bOk;
}
} // namespace

CSafeFileWriter::CSafeFileWriter(const std::string& strPath) : m_strTarget(strPath)
{
    m_stream.imbue(std::locale::classic());
    errno = 0;
    Open();
    if (m_fd < 0)
        m_nError = errno != 0 ? errno : EIO;
}

void CSafeFileWriter::Open()
{
    if (!FollowLinks(m_strTarget))
        return;
    if (m_strTarget.empty() || m_strTarget.back() == '/')
    {
        errno = m_strTarget.empty() ? ENOENT : EISDIR;
        return;
    }
    struct stat st;
    const bool bExists = stat(m_strTarget.c_str(), &st) == 0;
    if (bExists && !S_ISREG(st.st_mode))
    {
        OpenDirect();
        return;
    }
    // A file the user may not write is not replaced behind its back.
    if (bExists && access(m_strTarget.c_str(), W_OK) != 0)
        return;
    if (OpenTemporary(bExists ? &st : nullptr))
        m_nMode = bExists && st.st_nlink > 1 ? MODE_COPY : MODE_RENAME;
    else if (errno == EACCES || errno == EPERM || errno == ENAMETOOLONG)
        OpenDirect();
}

CSafeFileWriter::~CSafeFileWriter()
{
    Discard();
}

bool CSafeFileWriter::OpenTemporary(const struct stat* pOld)
{
    const size_t nSlash = m_strTarget.find_last_of('/');
    const size_t nName = nSlash == std::string::npos ? 0 : nSlash + 1;
    const std::string strTemplate =
        m_strTarget.substr(0, nName) + "." + m_strTarget.substr(nName) + ".XXXXXX";
    std::vector<char> path(strTemplate.begin(), strTemplate.end());
    path.push_back('\0');

    // The interrupts wait while the file is created and recorded, so that their handler never
    // misses a temporary file that exists.
    sigset_t interrupts, old;
    sigemptyset(&interrupts);
    for (int nSignal : INTERRUPTS)
        sigaddset(&interrupts, nSignal);
    pthread_sigmask(SIG_BLOCK, &interrupts, &old);
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    const int nError = errno;
    if (fd >= 0)
        m_nSlot = RegisterTemporary(path.data());
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0)
    {
        errno = nError;
        return false;
    }
    m_strTempPath = path.data();
    m_fd = fd;
    m_buffer.Attach(fd);

    mode_t mode;
    if (pOld != nullptr)
    {
        // Only root may give a file away; anyone may keep a group of their own.
        const bool bOwnerKept = fchown(fd, pOld->st_uid, pOld->st_gid) == 0;
        const bool bGroupKept = bOwnerKept || fchown(fd, static_cast<uid_t>(-1), pOld->st_gid) == 0;
        // Set-user and set-group bits go only with their own owner and group.
        mode = pOld->st_mode & (bOwnerKept ? 07777 : bGroupKept ? 02777 : 0777);
    }
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    return true;
}

void CSafeFileWriter::OpenDirect()
{
    // Not blocking, so that a FIFO without a reader fails here instead of waiting for one.
    const int fd = open(m_strTarget.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    struct stat st;
    const int nFlags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || nFlags < 0 || fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0)
    {
        close(fd);
        return;
    }
    m_nMode = S_ISREG(st.st_mode) ? MODE_DIRECT : MODE_DIRECT_OTHER;
    m_fd = fd;
    m_buffer.Attach(fd);
}

bool CSafeFileWriter::Commit()
{
    if (m_fd < 0)
        return false;
    errno = 0;
    const bool bDone = Finish();
    // Read before the clean-up, which may change errno.
    if (!bDone)
        m_nError = m_buffer.Error() != 0 ? m_buffer.Error() : errno != 0 ? errno : EIO;
    Discard();
    return bDone;
}

std::string CSafeFileWriter::ErrorText() const
{
    const int nError = m_nError != 0 ? m_nError : m_buffer.Error();
    return std::strerror(nError != 0 ? nError : EIO);
}

bool CSafeFileWriter::Finish()
{
    m_stream.flush();
    if (!m_stream.good() || m_buffer.Failed())
        return false;
    const off_t nSize = static_cast<off_t>(m_buffer.Size());
    switch (m_nMode)
    {
    case MODE_RENAME:
        // Synced before the rename: after a crash the name must not lead to data never written.
        if (fsync(m_fd) != 0)
            return false;
        break;
    case MODE_COPY:
        if (!CopyInto(m_fd, m_strTarget, nSize))
            return false;
        break;
    case MODE_DIRECT:
        if (ftruncate(m_fd, nSize) != 0 || fsync(m_fd) != 0)
            return false;
        break;
    case MODE_DIRECT_OTHER:
        break;
    }
    // Some file systems report write errors only when the file is closed.
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0)
        return false;
    if (m_nMode == MODE_RENAME && rename(m_strTempPath.c_str(), m_strTarget.c_str()) != 0)
        return false;
    if (m_nMode == MODE_RENAME)
        m_strTempPath.clear();
    return true;
}

void CSafeFileWriter::Discard()
{
    if (m_fd >= 0)
    {
        close(m_fd);
        m_fd = -1;
    }
    // Removed before the slot is given up, so that an interrupt in between cannot miss it.
    if (!m_strTempPath.empty())
    {
        unlink(m_strTempPath.c_str());
        m_strTempPath.clear();
    }
    if (m_nSlot >= 0)
    {
        s_temporaries[m_nSlot].nState.store(SLOT_FREE);
        m_nSlot = -1;
    }
}

void CSafeFileWriter::CleanUpOnInterrupt()
{
    for (int nSignal : INTERRUPTS)
    {
        // A signal ignored from the start (nohup, a background job) stays ignored.
        struct sigaction old;
        if (sigaction(nSignal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = &RemoveTemporariesAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(nSignal, &action, nullptr);
    }
}
