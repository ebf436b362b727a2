// The safe writer writes to what stands at the path (a link's target, a device, a FIFO, a
// hard-linked file) and never leaves a temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <tuple>

#include "platform/SafeFileWriter.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using SafeFileWriterTest = CScratchTest;

bool WriteText(const std::string& strPath, const std::string& strText)
{
    CSafeFileWriter file(strPath);
    return file.IsOpen() && (file.Stream() << strText) && file.Commit();
}

struct stat Stat(const std::string& strPath)
{
    struct stat st = {};
    lstat(strPath.c_str(), &st);
    return st;
}

// The folder's names, to show that no temporary file was left.
std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An existing name so long that the temporary name beside it would be too long for the folder.
const std::string LONG_NAME = std::string(250, 'a');

TEST_F(SafeFileWriterTest, WritesToWhatStandsAtThePath)
{
    Write("real.off", "old");
    fs::create_directories(m_dir / "sub");
    fs::create_symlink("../real.off", m_dir / "sub/inner");
    fs::create_symlink("sub/inner", m_dir / "link.off"); // a chain of relative links
    fs::create_symlink("made.off", m_dir / "dangling.off");
    Write("hard.off", "old");
    fs::create_hard_link(m_dir / "hard.off", m_dir / "hard2.off");
    Write("mode.off", "old");
    chmod(Path("mode.off").c_str(), 0640);
    Write(LONG_NAME, "old, and longer than the new text");
    ASSERT_EQ(mkfifo(Path("fifo.off").c_str(), 0644), 0);
    const int fdReader = open(Path("fifo.off").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fdReader, 0);

    // Written path, the file whose contents must change, its mode afterwards, and whether the
    // written path keeps its inode (written in place).
    const std::tuple<std::string, std::string, mode_t, bool> cases[] = {
        {"link.off", "real.off", 0644, false}, {"dangling.off", "made.off", 0644, false},
        {"hard.off", "hard2.off", 0644, true}, {"mode.off", "mode.off", 0640, false},
        {LONG_NAME, LONG_NAME, 0644, true},
    };
    const mode_t mask = umask(022);
    for (const auto& [strPath, strChanged, nMode, bInPlace] : cases)
    {
        SCOPED_TRACE(strPath.substr(0, 20));
        const ino_t nInode = Stat(Path(strPath)).st_ino;
        EXPECT_TRUE(WriteText(Path(strPath), "new"));
        EXPECT_EQ(ReadFile(Path(strChanged)), "new");
        EXPECT_EQ(Stat(Path(strChanged)).st_mode, S_IFREG | nMode);
        if (bInPlace)
        {
            EXPECT_EQ(Stat(Path(strPath)).st_ino, nInode);
        }
    }
    umask(mask);
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.off") && fs::is_symlink(m_dir / "sub/inner"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "dangling.off"));

    // A FIFO is written directly, and fails at once when nobody reads it.
    EXPECT_TRUE(WriteText(Path("fifo.off"), "through"));
    char buffer[16] = {};
    EXPECT_EQ(read(fdReader, buffer, sizeof buffer), 7);
    close(fdReader);
    EXPECT_FALSE(CSafeFileWriter(Path("fifo.off")).IsOpen());
    EXPECT_TRUE(S_ISFIFO(Stat(Path("fifo.off")).st_mode));

    // A folder, a loop of links and a missing folder are refused.
    fs::create_symlink("loop2", m_dir / "loop1");
    fs::create_symlink("loop1", m_dir / "loop2");
    for (const char* pszBad : {"sub", "loop1", "no/such.off", "sub/"})
        EXPECT_FALSE(CSafeFileWriter(Path(pszBad)).IsOpen()) << pszBad;
    EXPECT_EQ(Names(m_dir), (std::vector<std::string>{LONG_NAME, "dangling.off", "fifo.off", "hard.off",
                                                      "hard2.off", "link.off", "loop1", "loop2", "made.off",
                                                      "mode.off", "real.off", "sub"}));
}

// A failed write is reported; the old file stays when it was written through a temporary file
// (plain and hard-linked), and no temporary file is left in any case.
TEST_F(SafeFileWriterTest, FailedWritesLeaveNoTemporaryFile)
{
    const std::string strOld(100, 'o');
    Write("plain.off", strOld);
    Write("hard.off", strOld);
    fs::create_hard_link(m_dir / "hard.off", m_dir / "hard2.off");
    Write(LONG_NAME, strOld);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit = {4096, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string strBig(100000, 'b');
    const bool bPlain = WriteText(Path("plain.off"), strBig), bHard = WriteText(Path("hard.off"), strBig),
               bDirect = WriteText(Path(LONG_NAME), strBig);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(bPlain || bHard || bDirect);
    EXPECT_EQ(ReadFile(Path("plain.off")), strOld);
    EXPECT_EQ(ReadFile(Path("hard2.off")), strOld);
    EXPECT_EQ(Names(m_dir), (std::vector<std::string>{LONG_NAME, "hard.off", "hard2.off", "plain.off"}));
}

// As root: a file keeps its owner. As anyone else (root tries it as nobody): a read-only file is
// refused, and a file in a folder that is not writable is written directly.
TEST_F(SafeFileWriterTest, OwnersAndPermissions)
{
    const uid_t nNobody = 65534;
    fs::create_directories(m_dir / "locked");
    Write("locked/file.off", "old");
    Write("readonly.off", "old");
    chmod(Path("readonly.off").c_str(), 0444);
    const auto checkAsUser = [&]
    {
        const bool bReadOnlyRefused = !CSafeFileWriter(Path("readonly.off")).IsOpen();
        chmod(Path("locked").c_str(), 0555);
        const bool bDirect = WriteText(Path("locked/file.off"), "new");
        const bool bNotCreated = !CSafeFileWriter(Path("locked/new.off")).IsOpen();
        return bReadOnlyRefused && bDirect && bNotCreated && ReadFile(Path("readonly.off")) == "old" &&
               ReadFile(Path("locked/file.off")) == "new" && Names(m_dir / "locked").size() == 1;
    };
    if (geteuid() != 0)
    {
        EXPECT_TRUE(checkAsUser());
        chmod(Path("locked").c_str(), 0755); // so that the folder can be removed
        return;
    }
    for (const char* pszName : {"locked", "locked/file.off", "readonly.off", ""})
        ASSERT_EQ(chown(Path(pszName).c_str(), nNobody, nNobody), 0);
    EXPECT_EXIT(std::exit(setgid(nNobody) == 0 && setuid(nNobody) == 0 && checkAsUser() ? 0 : 1),
                ::testing::ExitedWithCode(0), "");

    Write("owned.off", "old");
    ASSERT_EQ(chown(Path("owned.off").c_str(), nNobody, nNobody), 0);
    ASSERT_EQ(chmod(Path("owned.off").c_str(), 0604), 0);
    EXPECT_TRUE(WriteText(Path("owned.off"), "new"));
    const struct stat st = Stat(Path("owned.off"));
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::tuple(nNobody, nNobody, 0604u));
}

// An interrupt while a file is being written removes its temporary file, then ends the process
// as the signal would have; the old file stays.
TEST_F(SafeFileWriterTest, InterruptRemovesTheTemporaryFile)
{
    const std::string strPath = Write("target.off", "old");
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP})
    {
        const auto writeAndInterrupt = [&]
        {
            CSafeFileWriter::CleanUpOnInterrupt();
            CSafeFileWriter file(strPath);
            file.Stream() << "partial" << std::flush;
            raise(nSignal);
        };
        EXPECT_EXIT(writeAndInterrupt(), ::testing::KilledBySignal(nSignal), "") << nSignal;
        EXPECT_EQ(Names(m_dir), std::vector<std::string>{"target.off"}) << nSignal;
    }
    EXPECT_EQ(ReadFile(strPath), "old");
}
} // namespace
