#include "platform/SafeFileWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <locale>
#include <string>
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

// Holds SIGINT, SIGTERM and SIGHUP back while a temporary name is made and recorded, so that
// their handler never misses a temporary file that has a name.
class CInterruptsHeld
{
public:
    CInterruptsHeld()
    {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (int nSignal : INTERRUPTS)
            sigaddset(&interrupts, nSignal);
        pthread_sigmask(SIG_BLOCK, &interrupts, &m_old);
    }
    ~CInterruptsHeld() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    CInterruptsHeld(const CInterruptsHeld&) = delete;
    CInterruptsHeld& operator=(const CInterruptsHeld&) = delete;

private:
    sigset_t m_old;
};

std::atomic<bool> s_bUnnamedAllowed{true};

// An unnamed file gets its name by a link through /proc/self/fd, or, without /proc, through
// AT_EMPTY_PATH, which only a privileged process may use. Where neither works no unnamed file
// is made, since it could never be put in place.
bool CanNameUnnamedFiles()
{
    static const bool s_bCan = access("/proc/self/fd", X_OK) == 0 || geteuid() == 0;
    return s_bCan && s_bUnnamedAllowed.load();
}

bool LinkUnnamed(int fd, const std::string& strName)
{
    const std::string strProc = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, strProc.c_str(), AT_FDCWD, strName.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    return linkat(fd, "", AT_FDCWD, strName.c_str(), AT_EMPTY_PATH) == 0;
}

// ".NAME.XXXXXX" beside the target, or a shorter ".tvgl.XXXXXX" where that name would be too
// long; the six characters are replaced by the caller.
std::string TemporaryTemplate(const std::string& strTarget, bool bShort)
{
    const size_t nSlash = strTarget.find_last_of('/');
    const size_t nName = nSlash == std::string::npos ? 0 : nSlash + 1;
    return strTarget.substr(0, nName) + "." + (bShort ? std::string("tvgl") : strTarget.substr(nName)) +
           ".XXXXXX";
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
    // A device or a pipe is written where it stands, whatever links lead there: /dev/stdout and
    // /proc/self/fd/N lead to a pipe through a link whose text names no file.
    struct stat st;
    if (stat(m_strTarget.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
    {
        OpenDirect();
        return;
    }
    if (!FollowLinks(m_strTarget))
        return;
    if (m_strTarget.empty() || m_strTarget.back() == '/')
    {
        errno = m_strTarget.empty() ? ENOENT : EISDIR;
        return;
    }
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
    // An unnamed file in the target's folder first: it has no name until Commit gives it one, so
    // a process killed while writing (even by SIGKILL) leaves nothing behind.
    const size_t nSlash = m_strTarget.find_last_of('/');
    const std::string strFolder =
        nSlash == std::string::npos ? std::string(".") : m_strTarget.substr(0, nSlash == 0 ? 1 : nSlash);
    int fd = CanNameUnnamedFiles() ? open(strFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600) : -1;
    if (fd >= 0)
        m_bUnnamed = true;
    else
    {
        std::string strTemplate = TemporaryTemplate(m_strTarget, false);
        std::vector<char> path(strTemplate.begin(), strTemplate.end());
        path.push_back('\0');
        int nError = 0;
        {
            const CInterruptsHeld held;
            fd = mkostemp(path.data(), O_CLOEXEC);
            nError = errno;
            if (fd >= 0)
                m_nSlot = RegisterTemporary(path.data());
        }
        if (fd < 0)
        {
            errno = nError;
            return false;
        }
        m_strTempPath = path.data();
    }
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
    // A finished unnamed file gets its name now: the target's own when there is no file yet,
    // else a temporary one that replaces the target at once.
    bool bNamedTarget = false;
    if (m_nMode == MODE_RENAME && m_bUnnamed && !NameUnnamedFile(bNamedTarget))
        return false;
    // Some file systems report write errors only when the file is closed.
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0)
    {
        if (bNamedTarget)
            unlink(m_strTarget.c_str());
        return false;
    }
    if (m_nMode == MODE_RENAME && !bNamedTarget && rename(m_strTempPath.c_str(), m_strTarget.c_str()) != 0)
        return false;
    if (m_nMode == MODE_RENAME)
        m_strTempPath.clear();
    return true;
}

bool CSafeFileWriter::NameUnnamedFile(bool& bNamedTarget)
{
    if (LinkUnnamed(m_fd, m_strTarget))
    {
        bNamedTarget = true;
        return true;
    }
    if (errno != EEXIST)
        return false;
    // Random names as mkostemp makes them, in the short form where the long one does not fit.
    const std::string strTemplate = TemporaryTemplate(m_strTarget, false);
    const bool bShort = strTemplate.size() - (strTemplate.find_last_of('/') + 1) > NAME_MAX;
    std::string strName = TemporaryTemplate(m_strTarget, bShort);
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> s_nCounter{0};
    uint64_t nSeed = static_cast<uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                     static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        uint64_t nBits = nSeed ^ (s_nCounter.fetch_add(1) * 0xBF58476D1CE4E5B9ull);
        nSeed = nBits * 0x94D049BB133111EBull + 1;
        for (size_t i = strName.size() - 6; i < strName.size(); ++i, nBits /= 62)
            strName[i] = LETTERS[nBits % 62];
        const CInterruptsHeld held;
        if (LinkUnnamed(m_fd, strName))
        {
            m_strTempPath = strName;
            m_nSlot = RegisterTemporary(strName.c_str());
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void CSafeFileWriter::AllowUnnamedTemporaries(bool bAllow)
{
    s_bUnnamedAllowed = bAllow;
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
