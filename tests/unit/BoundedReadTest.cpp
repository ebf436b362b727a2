// Readers never wait on a file and never hold more than the file really holds: a pipe is refused
// at once, a bitmap is judged by its headers, scene and keyframe files are read as streams.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "FifoWatchdog.h"
#include "animation/KeyframeFile.h"
#include "formats/BitmapFile.h"
#include "formats/ByteWindow.h"
#include "formats/InputFile.h"
#include "formats/LittleEndian.h"
#include "formats/TokenReader.h"
#include "platform/ArchiveException.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using BoundedReadTest = CScratchTest;

TEST_F(BoundedReadTest, PipesAreRefusedAtOnceAndNeverReadForAScene)
{
    const std::string strFifo = Path("fifo");
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    const std::string strOff = Write("a.off", "OFF 3 1 0 0 0 0 1 0 0 0 1 0\n3 0 1 2\n");
    const std::string strKeys = Write("none.kff", "KFF 0 0\n");
    const auto scene = [&](const std::string& strMesh, const std::string& strMeshKeys)
    { return Write("s.scn", "SCENE 1 " + strKeys + " " + strMesh + " " + strMeshKeys); };
    std::string strProblem;
    const auto readScene = [&](const std::string& strPath)
    {
        try
        {
            return m_doc.ReadSceneFile(strPath, &strProblem);
        }
        catch (const CArchiveException&)
        {
            return false;
        }
    };
    CSceneObject object;
    std::string contents;
    const std::pair<const char*, std::function<bool()>> reads[] = {
        {"whole file", [&] { return ReadWholeFile(strFifo, contents); }},
        {"bitmap", [&] { return CBitmapFile().Read(strFifo); }},
        {"keyframes", [&] { return ReadKeyframeFile(strFifo, object); }},
        {"scene file", [&] { return readScene(strFifo); }},
        {"scene's mesh", [&] { return readScene(scene(strFifo, strKeys)); }},
        {"scene's keyframes", [&] { return readScene(scene(strOff, strFifo)); }},
        // A pipe allowed for the command line is still refused when a scene names it.
        {"permitted, in a scene",
         [&]
         {
             const CPipeInputPermit permit(strFifo);
             return readScene(scene(strFifo, strKeys));
         }},
    };
    for (const auto& [pszRead, fnRead] : reads)
    {
        strProblem.clear();
        const CFifoWatchdog watchdog(strFifo);
        EXPECT_FALSE(fnRead()) << pszRead;
        EXPECT_FALSE(watchdog.Rescued()) << pszRead << " waited for a writer";
        if (std::string(pszRead).find("scene") != std::string::npos)
        {
            EXPECT_EQ(strProblem, "Unable to open fifo: not a regular file.") << pszRead;
        }
    }
}

// Tokens cut by the end of a block come out whole, blanks cost nothing, and a token longer than
// any keyword, number or name ends the read.
TEST_F(BoundedReadTest, StreamsReadTokensAcrossBlocks)
{
    const std::string strRecord = "POS_FRAME 12 1.25 -2 3e5 0 0 0.5\n";
    const size_t nBlock = CByteWindow::BLOCK_SIZE;
    // The block's end falls on every character of the record in turn.
    for (size_t nPad = nBlock - 42; nPad <= nBlock - 6; ++nPad)
    {
        CSceneObject object;
        ASSERT_TRUE(ReadKeyframeFile(Write("k.kff", "KFF 1 0" + std::string(nPad, '\n') + strRecord), object))
            << nPad;
        EXPECT_TRUE(object.m_pPosKeys->m_nTime == 12 && object.m_pPosKeys->m_vPosition.z == 3e5 &&
                    object.m_pPosKeys->m_vDirection.z == 0.5)
            << nPad;
    }
    CSceneObject object;
    EXPECT_TRUE(ReadKeyframeFile(Write("blank.kff", "KFF 0" + std::string(3 * nBlock, ' ') + "0"), object));
    EXPECT_FALSE(ReadKeyframeFile(Write("long.kff", "KFF 1 0 POS_FRAME " + std::string(70000, '1')), object));
    EXPECT_FALSE(ReadKeyframeBuffer("KFF 0 " + std::string(70000, '0'), object));
}

// The peak resident memory of a child process that runs fnRead, in KiB; -1 unless fnRead gave
// false.
long PeakOfRefusedRead(const std::function<bool()>& fnRead)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fnRead() ? 1 : 0);
    int nStatus = 0;
    rusage usage = {};
    if (wait4(pid, &nStatus, 0, &usage) != pid || !WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        return -1;
    return usage.ru_maxrss;
}

// Files of 1 GiB that cost no disk (sparse) are refused holding a few MiB at most.
TEST_F(BoundedReadTest, RefusedHugeFilesCostNoMemory)
{
    const off_t nSize = off_t(1) << 30;
    const auto sparse = [&](const std::string& strName, const std::string& strStart)
    {
        const std::string strPath = Write(strName, strStart);
        EXPECT_EQ(truncate(strPath.c_str(), nSize), 0);
        return strPath;
    };
    // A 24-bit bitmap of 30000 x 10000 pixels whose rows the file holds, but too large a texture.
    std::vector<uint8_t> header = {'B', 'M'};
    for (uint32_t n : {0u, 0u, 54u, 40u, 30000u, 10000u})
        LittleEndian::AppendUInt32(header, n);
    LittleEndian::AppendUInt16(header, 1);
    LittleEndian::AppendUInt16(header, 24);
    header.resize(54, 0);
    const std::string strBitmap = sparse("huge.bmp", std::string(header.begin(), header.end()));
    const std::string strScene = sparse("huge.scn", "SCENE 100000000 camera.kff\n");
    const std::string strKeys = sparse("huge.kff", "KFF 40000000 0\n");

    const long nBaseline = PeakOfRefusedRead([] { return false; });
    ASSERT_GT(nBaseline, 0);
    CSceneObject object;
    const std::pair<const char*, std::function<bool()>> reads[] = {
        {"bitmap", [&] { return CBitmapFile().Read(strBitmap, 1024); }},
        {"scene", [&] { return m_doc.ReadSceneFile(strScene); }},
        {"keyframes", [&] { return ReadKeyframeFile(strKeys, object); }},
    };
    for (const auto& [pszRead, fnRead] : reads)
    {
        const long nPeak = PeakOfRefusedRead(fnRead);
        EXPECT_GT(nPeak, 0) << pszRead;
        EXPECT_LT(nPeak - nBaseline, 32 * 1024) << pszRead;
    }
}
} // namespace
