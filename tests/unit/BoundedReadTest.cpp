// Readers never wait on a file and never hold more than the file really holds: a pipe is refused
// at once, a bitmap is judged by its headers, scene and keyframe files are read as streams.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include "FifoWatchdog.h"
#include "formats/ByteWindow.h"
#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/ModelFormats.h"
#include "formats/PipeInput.h"
#include "formats/bmp/BitmapFile.h"
#include "model/Camera.h"
#include "model/ObjectKeyframes.h"
#include "platform/ArchiveException.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using BoundedReadTest = CScratchTest;
using SRead = std::pair<const char*, std::function<bool()>>;

TEST_F(BoundedReadTest, PipesAreRefusedAtOnceAndNeverReadForAScene)
{
    const std::string strFifo = Path("fifo"), strKeys = Write("none.kff", "KFF 0 0\n");
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const std::string strOff = Write("a.off", "OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n");
    std::string strProblem;
    const auto scene = [&](const std::string& strMesh, const std::string& strMeshKeys)
    {
        try
        {
            return m_doc.ReadSceneFile(
                Write("s.scn", "SCENE 1 " + strKeys + " " + strMesh + " " + strMeshKeys), &strProblem);
        }
        catch (const CArchiveException&)
        {
            return false;
        }
    };
    // The window's commands show the same refusals (PipeRefusal); here the readers under the sanitizers.
    const SRead reads[] = {
        {"scene's mesh", [&] { return scene(strFifo, strKeys); }},
        {"scene's keyframes", [&] { return scene(strOff, strFifo); }},
        // A pipe the command line may read is still refused when a scene names it.
        {"scene's permitted mesh",
         [&]
         {
             const CPipeInputPermit permit(strFifo);
             return scene(strFifo, strKeys);
         }},
    };
    for (const auto& [pszRead, fnRead] : reads)
    {
        strProblem.clear();
        bool bRead = true;
        EXPECT_FALSE(WaitsForFifoWriter(strFifo, [&] { bRead = fnRead(); })) << pszRead;
        EXPECT_FALSE(bRead) << pszRead;
        EXPECT_EQ(strProblem, "Unable to open fifo: not a regular file.") << pszRead;
    }
}

// Tokens cut by the end of a block come out whole, blanks cost nothing, and a token longer than
// any keyword, number or name ends the read.
TEST_F(BoundedReadTest, StreamsReadTokensAcrossBlocks)
{
    const std::string strRecord = "POS_FRAME 12 1.25 -2 3e5 0 0 0.5\n";
    // The block's end falls on every character of the record in turn.
    for (size_t nPad = CByteWindow::BLOCK_SIZE - 42; nPad <= CByteWindow::BLOCK_SIZE - 6; ++nPad)
    {
        CSceneObject object;
        ASSERT_TRUE(
            ReadKeyframeFile(Write("k.kff", "KFF 1 0" + std::string(nPad, '\n') + strRecord), object));
        EXPECT_TRUE(object.m_pPosKeys->m_vPosition.z == 3e5 && object.m_pPosKeys->m_vDirection.z == 0.5);
    }
    CSceneObject object;
    EXPECT_TRUE(ReadKeyframeFile(Write("blank.kff", "KFF 0" + std::string(3 << 20, ' ') + "0"), object));
    EXPECT_FALSE(ReadKeyframeFile(Write("long.kff", "KFF 1 0 POS_FRAME " + std::string(70000, '1')), object));
}

// A pipe is read as far as its first bytes say it must be, and never past its budget.
TEST_F(BoundedReadTest, PipesAreReadAsFarAsTheirContentNeeds)
{
    signal(SIGPIPE, SIG_IGN);
    const struct
    {
        const char* pszHead;
        char cFill;
        bool bRead;
        size_t nRead; // the bytes read, or 0 for a refusal
    } rows[] = {
        {"y\n", 'y', true, INPUT_HEAD_SIZE},               // no OFF: the reader refuses its first bytes
        {"", '\0', true, INPUT_HEAD_SIZE},                 // binary STL of 0 facets, and more: its head
        {"OFF 3 1 0\n", ' ', false, 0},                    // more than the budget
        {"# a comment\nOFF", '\0', true, INPUT_HEAD_SIZE}, // text ends at a NUL
    };
    for (const auto& row : rows)
    {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        std::thread writer(
            [&]
            {
                std::string strPiece = row.pszHead + std::string(65536 - std::strlen(row.pszHead), row.cFill);
                for (int i = 0; i < 256 && write(fds[1], strPiece.data(), strPiece.size()) > 0; ++i)
                    strPiece.assign(65536, row.cFill);
                close(fds[1]);
            });
        SPipeInput input;
        std::string strProblem;
        bool bRead = false;
        {
            const std::string strPipe = "/proc/self/fd/" + std::to_string(fds[0]);
            const CPipeInputPermit permit(strPipe);
            CInputFile file;
            ASSERT_TRUE(file.Open(strPipe));
            bRead = ReadPipeInput(file, 1 << 20, input, strProblem);
        }
        close(fds[0]);
        writer.join();
        EXPECT_EQ(bRead, row.bRead) << row.pszHead;
        if (row.bRead)
            EXPECT_EQ(input.contents.size(), row.nRead) << row.pszHead;
        else
            EXPECT_EQ(strProblem, "the input needs more than the 1 MiB of memory available for it");
    }
}

// Files of 1 GiB that cost no disk (sparse) are refused holding a few MiB at most, measured as
// the peak resident memory of a child process that reads one.
TEST_F(BoundedReadTest, RefusedHugeFilesCostNoMemory)
{
    const auto peakKiB = [](const std::function<bool()>& fnRead)
    {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(fnRead() ? 1 : 0);
        int nStatus = 0;
        rusage usage = {};
        const bool bRefused =
            wait4(pid, &nStatus, 0, &usage) == pid && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
        return bRefused ? usage.ru_maxrss : -1L;
    };
    const auto sparse = [&](const std::string& strName, const std::string& strStart)
    {
        EXPECT_EQ(truncate(Write(strName, strStart).c_str(), off_t(1) << 30), 0);
        return Path(strName);
    };
    // A 24-bit bitmap of 30000 x 10000 pixels, which the file holds: too large a texture.
    const std::string strBitmap =
        sparse("huge.bmp",
               std::string("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x30\x75\0\0\x10\x27\0\0\1\0\x18\0", 30));
    const std::string strScene = sparse("huge.scn", "SCENE 100000000 camera.kff\n");
    const std::string strKeys = sparse("huge.kff", "KFF 40000000 0\n");
    const long nBaseline = peakKiB([] { return false; });
    const SRead reads[] = {
        {"bitmap", [&] { return CBitmapFile().Read(strBitmap, 1024); }},
        {"scene", [&] { return m_doc.ReadSceneFile(strScene); }},
        {"keyframes", [&] { return ReadKeyframeFile(strKeys, *m_doc.m_pCamera); }},
    };
    for (const auto& [pszRead, fnRead] : reads)
    {
        const long nPeak = peakKiB(fnRead);
        EXPECT_TRUE(nBaseline > 0 && nPeak > 0 && nPeak - nBaseline < 32 * 1024) << pszRead << ": " << nPeak;
    }
}
} // namespace
