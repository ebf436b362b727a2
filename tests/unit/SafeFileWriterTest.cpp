// The safe writer writes to what stands at the path (a link's target, a FIFO, a hard-linked file)
// and never leaves a temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <tuple>
#include <utility>

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

// Temporary files ".NAME.XXXXXX" left in the folder.
long Temporaries(const fs::path& dir)
{
    return std::count_if(fs::directory_iterator(dir), fs::directory_iterator(),
                         [](const fs::directory_entry& e) { return e.path().filename().string()[0] == '.'; });
}

TEST_F(SafeFileWriterTest, WritesToWhatStandsAtThePath)
{
    Write("real.off", "old");
    chmod(Path("real.off").c_str(), 0640);
    fs::create_directories(m_dir / "sub");
    fs::create_symlink("../real.off", m_dir / "sub/inner");
    fs::create_symlink("sub/inner", m_dir / "link.off"); // a chain of relative links
    fs::create_symlink("made.off", m_dir / "dangling.off");
    Write("hard.off", "old");
    fs::create_hard_link(m_dir / "hard.off", m_dir / "hard2.off");
    // No ".NAME.XXXXXX" fits beside this one: it is replaced through a shorter temporary name, or
    // written in place where unnamed temporary files are not offered.
    const std::string strLong(250, 'n');
    Write(strLong, "old, and longer than the new text");
    // The written path and the file that must then hold the new text.
    const std::pair<std::string, std::string> cases[] = {{"link.off", "real.off"},
                                                         {"dangling.off", "made.off"},
                                                         {"hard.off", "hard2.off"},
                                                         {strLong, strLong}};
    for (const auto& [strPath, strChanged] : cases)
    {
        EXPECT_TRUE(WriteText(Path(strPath), "new")) << strPath.substr(0, 20);
        EXPECT_EQ(ReadFile(Path(strChanged)), "new") << strPath.substr(0, 20);
    }
    EXPECT_EQ(Stat(Path("real.off")).st_mode, S_IFREG | 0640);

    // A FIFO is written directly, and fails at once when nobody reads it.
    ASSERT_EQ(mkfifo(Path("fifo.off").c_str(), 0644), 0);
    const int fdReader = open(Path("fifo.off").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_TRUE(WriteText(Path("fifo.off"), "through"));
    char buffer[16] = {};
    EXPECT_EQ(read(fdReader, buffer, sizeof buffer), 7);
    close(fdReader);
    EXPECT_FALSE(CSafeFileWriter(Path("fifo.off")).IsOpen());

    fs::create_symlink("loop2", m_dir / "loop1");
    fs::create_symlink("loop1", m_dir / "loop2");
    for (const char* pszBad : {"sub", "sub/", "loop1", "no/such.off"})
        EXPECT_FALSE(CSafeFileWriter(Path(pszBad)).IsOpen()) << pszBad;
    EXPECT_EQ(Temporaries(m_dir), 0);
}

// A writer that seeks back to fill in a header (MP4 does) keeps everything after it; a pipe,
// which cannot seek, fails the file.
TEST_F(SafeFileWriterTest, SeekingBackKeepsTheRest)
{
    Write("hard.mp4", "old");
    fs::create_hard_link(m_dir / "hard.mp4", m_dir / "hard2.mp4");
    for (const char* pszName : {"new.mp4", "hard.mp4"})
    {
        CSafeFileWriter file(Path(pszName));
        file.Stream() << "0123456789";
        file.Stream().seekp(2);
        file.Stream() << "ab";
        EXPECT_EQ(file.Stream().tellp(), 4);
        EXPECT_TRUE(file.Commit()) << pszName;
    }
    EXPECT_EQ(ReadFile(Path("new.mp4")), "01ab456789");
    EXPECT_EQ(ReadFile(Path("hard2.mp4")), "01ab456789");

    ASSERT_EQ(mkfifo(Path("fifo.mp4").c_str(), 0644), 0);
    const int fdReader = open(Path("fifo.mp4").c_str(), O_RDONLY | O_NONBLOCK);
    CSafeFileWriter fifo(Path("fifo.mp4"));
    fifo.Stream() << "0123";
    fifo.Stream().seekp(0);
    EXPECT_FALSE(fifo.Commit());
    EXPECT_EQ(fifo.ErrorText(), "Illegal seek");
    close(fdReader);
}

// Root keeps the owner of a file it rewrites; only root can give a file away.
TEST_F(SafeFileWriterTest, KeepsTheOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    const uid_t nNobody = 65534;
    const std::string strPath = Write("owned.off", "old");
    ASSERT_EQ(chown(strPath.c_str(), nNobody, nNobody), 0);
    ASSERT_EQ(chmod(strPath.c_str(), 0604), 0);
    EXPECT_TRUE(WriteText(strPath, "new"));
    const struct stat st = Stat(strPath);
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::tuple(nNobody, nNobody, 0604u));
}

// A process ended while it writes leaves the old file and no temporary file: an interrupt removes
// a named temporary file (as file systems without unnamed ones need), and an unnamed one is gone
// with the process, even after SIGKILL.
TEST_F(SafeFileWriterTest, AnEndedWriteLeavesNoTemporaryFile)
{
    const std::string strPath = Write("target.off", "old");
    const int fdProbe = open(m_dir.c_str(), O_TMPFILE | O_RDWR, 0600);
    const bool bUnnamed = fdProbe >= 0;
    close(fdProbe);
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP, SIGKILL})
    {
        if (nSignal == SIGKILL && !bUnnamed)
            continue;
        const auto writeAndInterrupt = [&]
        {
            CSafeFileWriter::CleanUpOnInterrupt();
            CSafeFileWriter::AllowUnnamedTemporaries(nSignal == SIGKILL);
            CSafeFileWriter file(strPath);
            file.Stream() << "partial" << std::flush;
            raise(nSignal);
        };
        EXPECT_EXIT(writeAndInterrupt(), ::testing::KilledBySignal(nSignal), "") << nSignal;
        EXPECT_EQ(Temporaries(m_dir), 0) << nSignal;
    }
    EXPECT_EQ(ReadFile(strPath), "old");
    EXPECT_EQ(FilesInDir(), 1u);
}
} // namespace
