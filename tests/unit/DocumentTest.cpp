#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ArchiveException.h"
#include "platform/ScriptedUiServices.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace fs = std::filesystem;

namespace
{
const char* const TRIANGLE_OFF = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
const char* const BOX_OFF = "OFF\n2 1 0\n-1 -2 -3\n4 5 6\n2 0 1\n";
const char* const COLOR_TRIANGLE_OFF = "COFF\n3 1 0\n0 0 0 1 0 0\n2 0 0 0 1 0\n0 2 0 0 0 1\n3 0 1 2\n";

class DocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("teldview_doc_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_doc.m_bCompileLists = false;
        m_doc.SetUiServices(&m_ui);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& strName, const std::string& strText)
    {
        const std::string strPath = (m_dir / strName).string();
        std::ofstream(strPath, std::ios::binary) << strText;
        return strPath;
    }
    static std::string Slurp(const std::string& strPath)
    {
        std::ifstream in(strPath, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int CountObjects() const
    {
        int n = 0;
        for (CSceneObject* p = m_doc.m_pObjectList; p != nullptr; p = p->m_pNext)
            ++n;
        return n;
    }

    fs::path m_dir;
    CScriptedUiServices m_ui;
    CTeldViewGLDoc m_doc;
};
} // namespace

TEST_F(DocumentTest, StartsWithTheCameraAloneAndInvertedBounds)
{
    ASSERT_NE(m_doc.m_pCamera, nullptr);
    EXPECT_EQ(m_doc.m_pObjectList, m_doc.m_pCamera);
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_EQ(m_doc.m_pCamera->GetType(), OBJECT_CAMERA);
    EXPECT_EQ(m_doc.m_pCamera->m_pNext, nullptr);
    EXPECT_FALSE(m_doc.m_bScene);
    EXPECT_FALSE(m_doc.m_bHasMesh);
    EXPECT_EQ(m_doc.m_nSceneTime, 0);
    EXPECT_EQ(m_doc.m_nGuideList, 0u);
    EXPECT_EQ(m_doc.m_vKeyDirection.y, 1.0);
    EXPECT_EQ(m_doc.m_qKeyRotation.w, -1.0);
    for (int i = 0; i < 6; i += 2)
    {
        EXPECT_EQ(m_doc.m_dSceneBounds[i], DBL_MAX);
        EXPECT_EQ(m_doc.m_dSceneBounds[i + 1], -DBL_MAX);
    }
}

TEST_F(DocumentTest, ReplaceModeReusesTheMeshAndSetsBoundsExactly)
{
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("box.off", BOX_OFF), false));
    CSceneObject* pFirst = m_doc.m_pCamera->m_pNext;
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MIN_Z], -3.0);

    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    EXPECT_EQ(m_doc.m_pCamera->m_pNext, pFirst) << "the mesh object is reused";
    EXPECT_EQ(CountObjects(), 2);
    EXPECT_EQ(m_doc.m_pCurrentObject, pFirst);
    EXPECT_EQ(pFirst->m_strName, "tri.off");
    EXPECT_EQ(pFirst->m_pPrev, m_doc.m_pCamera);
    const double expected[6] = {0, 1, 0, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], expected[i]) << i;
    EXPECT_TRUE(m_doc.m_bHasMesh);
}

TEST_F(DocumentTest, SceneModeAppendsAndWidensBounds)
{
    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), true));
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("box.off", BOX_OFF), true));
    EXPECT_EQ(CountObjects(), 3);
    CSceneObject* pSecond = m_doc.m_pCamera->m_pNext->m_pNext;
    EXPECT_EQ(m_doc.m_pCurrentObject, pSecond);
    EXPECT_EQ(pSecond->m_pPrev, m_doc.m_pCamera->m_pNext);
    const double expected[6] = {-1, 4, -2, 5, -3, 6};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], expected[i]) << i;

    // An open through the framework appends too while in scene mode.
    EXPECT_TRUE(m_doc.OnOpenDocument(Write("tri2.off", TRIANGLE_OFF)));
    EXPECT_EQ(CountObjects(), 4);
}

TEST_F(DocumentTest, FailedOpenInReplaceModeLeavesAnEmptyMeshThatCannotBeSaved)
{
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    CSceneObject* pMesh = m_doc.m_pCamera->m_pNext;
    const std::string strBad = Write("bad.off", "OFF\n3 1 0\n0 0 0\n");
    try
    {
        m_doc.LoadMeshFile(strBad, false);
        FAIL() << "no exception";
    }
    catch (const CArchiveException& e)
    {
        EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
    }
    ASSERT_EQ(m_doc.m_pCamera->m_pNext, pMesh);
    EXPECT_EQ(static_cast<CMesh*>(pMesh)->m_nVertices, 0);
    EXPECT_FALSE(static_cast<CMesh*>(pMesh)->m_bLoaded);

    const std::string strTarget = (m_dir / "out.off").string();
    EXPECT_FALSE(m_doc.OnSaveDocument(strTarget));
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_FALSE(fs::exists(strTarget));

    // The framework's open reports the failure once, naming the file.
    EXPECT_FALSE(m_doc.OnOpenDocument(strBad));
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_NE(m_ui.m_messages[0].find("bad.off"), std::string::npos);
}

TEST_F(DocumentTest, FailedAppendDoesNotLinkTheMesh)
{
    m_doc.m_bScene = true;
    EXPECT_THROW(m_doc.LoadMeshFile((m_dir / "missing.off").string(), true), CArchiveException);
    EXPECT_EQ(CountObjects(), 1);
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_FALSE(m_doc.m_bHasMesh);
}

TEST_F(DocumentTest, SaveMessagesAndTheWrittenFile)
{
    const std::string strTarget = (m_dir / "saved.off").string();
    // Right after start-up the camera is current.
    EXPECT_TRUE(m_doc.OnSaveDocument(strTarget));
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0], "No object selected to save.");
    EXPECT_FALSE(fs::exists(strTarget));

    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    m_doc.SetModifiedFlag(true);
    EXPECT_TRUE(m_doc.OnSaveDocument(strTarget));
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(Slurp(strTarget), "OFF\n3 1 3\n0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n"
                                "0.000000 1.000000 0.000000\n3 0 1 2\n");
    EXPECT_EQ(m_ui.m_nWaitCursorDepth, 0);
    EXPECT_EQ(m_ui.m_nWaitCursorShown, 1);

    m_doc.m_bScene = true;
    EXPECT_TRUE(m_doc.OnSaveDocument((m_dir / "scene.off").string()));
    EXPECT_EQ(m_ui.m_messages.back(), "To save a scene, Export it as an OFF file.");
    EXPECT_FALSE(fs::exists(m_dir / "scene.off"));

    // No file can be created in a folder that does not exist: false, no message.
    m_doc.m_bScene = false;
    const size_t nMessages = m_ui.m_messages.size();
    EXPECT_FALSE(m_doc.OnSaveDocument((m_dir / "no" / "such.off").string()));
    EXPECT_EQ(m_ui.m_messages.size(), nMessages);
}

TEST_F(DocumentTest, FailedWritesKeepTheOldFile)
{
    // A big mesh written under a small file-size limit fails part way, as on a full disk.
    std::string strBig = "OFF\n3000 1 0\n";
    for (int i = 0; i < 3000; ++i)
        strBig += "1.5 2.5 3.5\n";
    strBig += "3 0 1 2\n";
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("big.off", strBig), false));
    const std::string strTarget = Write("target.off", "precious");
    const std::string strScene = Write("scene.off", "precious too");

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool bSaved = m_doc.OnSaveDocument(strTarget);
    const bool bExported = m_doc.ExportSceneOFF(strScene);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(bSaved);
    ASSERT_FALSE(m_ui.m_messages.empty());
    EXPECT_EQ(m_ui.m_messages.back(), "Error trying to save file");
    EXPECT_EQ(Slurp(strTarget), "precious");
    EXPECT_FALSE(bExported);
    EXPECT_EQ(Slurp(strScene), "precious too");
    // No temporary files are left behind.
    int nFiles = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_dir))
        ++nFiles;
    EXPECT_EQ(nFiles, 3);
}

TEST_F(DocumentTest, SceneOffExportDropsMissingFieldsAndShiftsIndices)
{
    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("color.off", COLOR_TRIANGLE_OFF), true));
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), true));
    // The second mesh is placed away from its model coordinates: exported positions include it.
    m_doc.m_pCurrentObject->m_vPosition = CVector3(10, 0, 0);
    const std::string strOut = (m_dir / "scene.off").string();
    ASSERT_TRUE(m_doc.ExportSceneOFF(strOut));
    EXPECT_EQ(Slurp(strOut), "OFF\n6 2 6\n"
                             "0.000000 0.000000 0.000000\n2.000000 0.000000 0.000000\n"
                             "0.000000 2.000000 0.000000\n"
                             "10.000000 0.000000 0.000000\n11.000000 0.000000 0.000000\n"
                             "10.000000 1.000000 0.000000\n"
                             "3 0 1 2\n3 3 4 5\n");
}

TEST_F(DocumentTest, SceneOffExportOfAnEmptySceneAndClearScene)
{
    const std::string strOut = (m_dir / "empty.off").string();
    ASSERT_TRUE(m_doc.ExportSceneOFF(strOut));
    EXPECT_EQ(Slurp(strOut), "STCNOFF\n0 0 0\n");
    EXPECT_FALSE(m_doc.ExportSceneOFF((m_dir / "no" / "such.off").string()));

    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), true));
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("box.off", BOX_OFF), true));
    m_doc.ClearScene();
    EXPECT_EQ(CountObjects(), 1);
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MIN_X], DBL_MAX);
    EXPECT_TRUE(m_doc.m_bScene) << "ClearScene leaves the mode to its command";
    EXPECT_TRUE(m_doc.m_bHasMesh);
}

TEST_F(DocumentTest, PrepareImportMeshAndUpdateSceneBounds)
{
    CMesh* pFirst = m_doc.PrepareImportMesh(false);
    EXPECT_EQ(m_doc.m_pCamera->m_pNext, pFirst);
    EXPECT_EQ(m_doc.m_pCurrentObject, pFirst);
    EXPECT_EQ(m_doc.PrepareImportMesh(false), pFirst) << "replace mode reuses the mesh";
    EXPECT_EQ(pFirst->m_strName, "Invalid");

    CMesh* pSecond = m_doc.PrepareImportMesh(true);
    EXPECT_EQ(pFirst->m_pNext, pSecond);
    EXPECT_EQ(pSecond->m_pPrev, pFirst);

    pFirst->m_vBoundsMin = CVector3(-1, -1, -1);
    pFirst->m_vBoundsMax = CVector3(1, 1, 1);
    pSecond->m_vBoundsMin = CVector3(0, 0, -5);
    pSecond->m_vBoundsMax = CVector3(3, 0.5, 0);
    m_doc.UpdateSceneBounds();
    const double expected[6] = {-1, 3, -1, 1, -5, 1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], expected[i]) << i;
}

// A mesh read elsewhere (the start-up's worker thread) enters the document exactly as
// LoadMeshFile would have put it there, in either mode, and the open that uses it gives the
// document the same path, title and recent-file entry as the framework's open.
TEST_F(DocumentTest, AnAdoptedMeshEndsUpAsALoadedOne)
{
    const std::string strBox = Write("box.off", BOX_OFF);
    for (const bool bAppend : {false, true})
    {
        SCOPED_TRACE(bAppend ? "append" : "replace");
        CTeldViewGLDoc loaded;
        loaded.m_bCompileLists = false;
        loaded.SetUiServices(&m_ui);
        ASSERT_TRUE(loaded.LoadMeshFile(strBox, bAppend));

        CTeldViewGLDoc adopted;
        adopted.m_bCompileLists = false;
        CMesh* pMesh = new CMesh;
        ASSERT_TRUE(pMesh->ReadOFF(strBox));
        ASSERT_TRUE(adopted.AdoptMesh(pMesh, bAppend));
        EXPECT_EQ(adopted.m_pCamera->m_pNext, pMesh);
        EXPECT_EQ(pMesh->m_pPrev, adopted.m_pCamera);
        EXPECT_EQ(pMesh->m_pNext, nullptr);
        EXPECT_EQ(adopted.m_pCurrentObject, pMesh);
        EXPECT_TRUE(adopted.m_bHasMesh);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(adopted.m_dSceneBounds[i], loaded.m_dSceneBounds[i]) << i;
        EXPECT_EQ(pMesh->m_strName, loaded.m_pCurrentObject->m_strName);
    }

    std::vector<std::string> recent;
    const auto track = [&recent](const std::string& strPath) { recent.push_back(strPath); };
    CTeldViewGLDoc opened;
    opened.m_bCompileLists = false;
    opened.m_fnAddToRecentFileList = track;
    ASSERT_TRUE(opened.OnOpenDocument(strBox));
    CTeldViewGLDoc preRead;
    preRead.m_bCompileLists = false;
    preRead.m_fnAddToRecentFileList = track;
    preRead.SetModifiedFlag(true);
    CMesh* pMesh = new CMesh;
    ASSERT_TRUE(pMesh->ReadOFF(strBox));
    ASSERT_TRUE(preRead.OnOpenDocumentWithMesh(strBox, pMesh));
    EXPECT_EQ(preRead.GetPathName(), opened.GetPathName());
    EXPECT_EQ(preRead.GetTitle(), "box.off");
    EXPECT_FALSE(preRead.IsModified());
    EXPECT_EQ(preRead.m_pCurrentObject, pMesh);
    EXPECT_EQ(recent, (std::vector<std::string>{strBox, strBox}));
}

// Adoption is for a document without meshes only: replace mode must go on reusing its one
// mesh, and a mesh that is not loaded or already linked is no candidate. A refusal changes
// nothing and leaves the mesh to the caller.
TEST_F(DocumentTest, AdoptionIsRefusedOnceAMeshIsThere)
{
    std::unique_ptr<CMesh> pEmpty = std::make_unique<CMesh>();
    EXPECT_FALSE(m_doc.AdoptMesh(nullptr, false));
    EXPECT_FALSE(m_doc.AdoptMesh(pEmpty.get(), false)) << "not loaded";
    EXPECT_FALSE(m_doc.OnOpenDocumentWithMesh(Write("x.off", TRIANGLE_OFF), pEmpty.get()));
    EXPECT_EQ(m_doc.GetTitle(), "Untitled");
    EXPECT_EQ(CountObjects(), 1);

    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    CSceneObject* pFirst = m_doc.m_pCamera->m_pNext;
    EXPECT_FALSE(m_doc.AdoptMesh(static_cast<CMesh*>(pFirst), true)) << "already linked";
    std::unique_ptr<CMesh> pBox = std::make_unique<CMesh>();
    ASSERT_TRUE(pBox->ReadOFF(Write("box.off", BOX_OFF)));
    for (const bool bAppend : {false, true})
    {
        EXPECT_FALSE(m_doc.AdoptMesh(pBox.get(), bAppend));
        EXPECT_FALSE(m_doc.OnOpenDocumentWithMesh(pBox->m_strPath, pBox.get()));
    }
    EXPECT_EQ(CountObjects(), 2);
    EXPECT_EQ(m_doc.m_pCurrentObject, pFirst);
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MIN_Z], 0.0);
    EXPECT_EQ(m_doc.GetTitle(), "Untitled");
    EXPECT_EQ(pBox->m_pPrev, nullptr);

    // Once Clear Scene has emptied the list, a mesh may come in again.
    m_doc.ClearScene();
    EXPECT_TRUE(m_doc.AdoptMesh(pBox.release(), true));
    EXPECT_EQ(CountObjects(), 2);
    EXPECT_EQ(m_doc.m_dSceneBounds[BOUNDS_MIN_Z], -3.0);
}
