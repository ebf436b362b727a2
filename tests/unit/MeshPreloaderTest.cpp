#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "FileTestSupport.h"
#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/ModelFormats.h"
#include "formats/stl/StlFormat.h"
#include "model/MeshPreloader.h"

using namespace FileTestSupport;

namespace
{
using MeshPreloaderTest = CScratchTest;
} // namespace

// The worker's read gives what ReadOFF on the GUI thread would give; a file that ReadOFF
// refuses gives no mesh at all (the caller then opens the file itself, with its message).
TEST_F(MeshPreloaderTest, TakesWhatReadOffWouldGiveOrNothing)
{
    struct SCase
    {
        const char* pszName;
        const char* pszText; // null: no such file
        bool bReadable;
    };
    const SCase cases[] = {
        {"square.off", "OFF\n4 1 0\n0 0 0\n2 0 0\n2 1 0\n0 1 0\n4 0 1 2 3\n", true},
        {"short.off", "OFF\n3 1 0\n0 0 0\n", false},
        {"index.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n", false},
        {"missing.off", nullptr, false},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const std::string strPath = c.pszText != nullptr ? Write(c.pszName, c.pszText) : Path(c.pszName);
        CMeshPreloader preload(strPath, *ModelFormatNamed("OFF"));
        EXPECT_EQ(preload.Path(), strPath);
        std::unique_ptr<CMesh> pMesh = preload.Take();
        EXPECT_EQ(preload.Take(), nullptr) << "the mesh is handed over once";
        CMesh direct;
        ASSERT_EQ(direct.ReadOFF(strPath), c.bReadable);
        ASSERT_EQ(pMesh != nullptr, c.bReadable);
        EXPECT_LE(preload.ReadStart(), preload.ReadEnd());
        if (!pMesh)
            continue;
        EXPECT_TRUE(pMesh->m_bLoaded);
        EXPECT_EQ(pMesh->m_strName, c.pszName);
        EXPECT_EQ(pMesh->m_strPath, strPath);
        EXPECT_FALSE(pMesh->m_pGraphics) << "no GL on the worker";
        ASSERT_EQ(pMesh->m_nVertices, direct.m_nVertices);
        ASSERT_EQ(pMesh->m_nFaces, direct.m_nFaces);
        EXPECT_EQ(pMesh->m_vCenter.x, direct.m_vCenter.x);
        EXPECT_EQ(pMesh->m_nLargestFace, 4);
        for (int32_t i = 0; i < direct.m_nVertices; ++i)
            for (int k = 0; k < 6; ++k)
                EXPECT_EQ(pMesh->m_ppVertices[i][k], direct.m_ppVertices[i][k]) << i << ' ' << k;
    }
}

// Dropping a preload that nobody took (a start-up that ended early, or a path the command line
// did not use) waits for the worker and frees its mesh: nothing leaks, nothing runs on.
TEST_F(MeshPreloaderTest, AnUntakenReadIsJoinedAndFreed)
{
    const std::string strPath = Write("tri.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    for (int i = 0; i < 4; ++i)
        CMeshPreloader preload(strPath, *ModelFormatNamed("OFF"));
    auto pPreload = std::make_unique<CMeshPreloader>(strPath, *ModelFormatNamed("OFF"));
    pPreload.reset();
}

// An STL read ahead gives what ReadSTL gives. Whoever waits for a read is told exactly once: by
// the worker as it ends, or at once when it has ended already; after cancelling, not at all.
TEST_F(MeshPreloaderTest, ReadsStlAndTellsOnceWhenDone)
{
    const std::string strStl = Write(
        "tri.stl",
        "solid t\nfacet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n");
    std::atomic<int> nCalls{0};
    const auto count = [&nCalls] { ++nCalls; };
    CMeshPreloader preload(strStl, STL_BY_CONTENT);
    preload.NotifyWhenDone(count);
    const std::unique_ptr<CMesh> pMesh = preload.Take();
    CMesh direct;
    ASSERT_TRUE(pMesh && direct.ReadSTL(strStl, STL_ASCII));
    EXPECT_EQ(std::tuple(nCalls.load(), preload.IsDone(), preload.Percent()), std::tuple(1, true, 100));
    EXPECT_EQ(std::memcmp(pMesh->m_ppVertices[0], direct.m_ppVertices[0], 3 * 6 * sizeof(double)), 0);
    preload.NotifyWhenDone(count);
    EXPECT_EQ(nCalls, 2) << "at once, the read having ended";

    // A pipe keeps the worker waiting for a writer, so the read cannot end before the cancel.
    const std::string strPipe = Path("pipe.off");
    ASSERT_EQ(mkfifo(strPipe.c_str(), 0600), 0);
    const CPipeInputPermit permit(strPipe);
    CMeshPreloader waiting(strPipe, *ModelFormatNamed("OFF"));
    waiting.NotifyWhenDone(count);
    EXPECT_FALSE(waiting.IsDone());
    waiting.NotifyWhenDone(nullptr);
    std::thread writer([&] { std::ofstream(strPipe) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"; });
    EXPECT_NE(waiting.Take(), nullptr);
    writer.join();
    EXPECT_EQ(nCalls, 2);
}
