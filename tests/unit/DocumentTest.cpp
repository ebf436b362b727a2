#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "FileTestSupport.h"
#include "model/Camera.h"
#include "platform/ArchiveException.h"
#include "platform/ScriptedUiServices.h"

using namespace FileTestSupport;

namespace
{
const char* const TRIANGLE_OFF = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
const char* const BOX_OFF = "OFF\n2 1 0\n-1 -2 -3\n4 5 6\n2 0 1\n";

class DocumentTest : public CScratchTest
{
protected:
    void SetUp() override
    {
        CScratchTest::SetUp();
        m_doc.SetUiServices(&m_ui);
    }
    CScriptedUiServices m_ui;
};

using Bounds = std::array<double, 6>;
const Bounds NO_BOUNDS = {DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX};
} // namespace

// Replace mode reuses the mesh and sets the bounds exactly; a file that is refused leaves the
// mesh and the bounds as they were.
TEST_F(DocumentTest, ReplaceModeReusesTheMeshAndAFailedOpenKeepsIt)
{
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("box.off", BOX_OFF), false));
    CMesh* pMesh = static_cast<CMesh*>(m_doc.m_pCamera->m_pNext);
    ASSERT_NE(pMesh, nullptr);
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    EXPECT_EQ(m_doc.m_pCamera->m_pNext, pMesh);
    EXPECT_EQ(pMesh->m_pNext, nullptr);
    EXPECT_EQ(m_doc.m_pCurrentObject, pMesh);
    EXPECT_EQ(pMesh->m_strName, "tri.off");
    EXPECT_EQ(pMesh->m_pPrev, m_doc.m_pCamera);
    EXPECT_EQ(std::to_array(m_doc.m_dSceneBounds), (Bounds{0, 1, 0, 1, 0, 0}));
    // The user's mode stays; the points a cloud was shown as do not.
    pMesh->m_nRenderMode = RENDER_WIREFRAME;
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    EXPECT_EQ(pMesh->m_nRenderMode, RENDER_WIREFRAME);
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("cloud.off", "OFF 2 0 0\n0 0 0\n1 1 0\n"), false));
    EXPECT_TRUE(pMesh->m_nRenderMode == RENDER_POINTS && !pMesh->m_bLighting);
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    EXPECT_TRUE(pMesh->m_nRenderMode == RENDER_SHADED && pMesh->m_bLighting);

    const std::string strBad = Write("bad.off", "OFF\n3 1 0\n0 0 0\n");
    EXPECT_THROW(m_doc.LoadMeshFile(strBad, false), CArchiveException);
    ASSERT_EQ(m_doc.m_pCamera->m_pNext, pMesh);
    EXPECT_EQ(pMesh->m_nVertices, 3);
    EXPECT_TRUE(pMesh->m_bLoaded && pMesh->m_strName == "tri.off");
    EXPECT_EQ(std::to_array(m_doc.m_dSceneBounds), (Bounds{0, 1, 0, 1, 0, 0}));
    // The framework's open reports the failure once, naming the file.
    EXPECT_FALSE(m_doc.OnOpenDocument(strBad));
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_NE(m_ui.m_messages[0].find("bad.off"), std::string::npos);
}

// A new document holds the camera alone, with inverted bounds; a failed append links nothing;
// appends widen the bounds; ClearScene returns to the start but leaves the mode to its command.
TEST_F(DocumentTest, SceneModeAppendsAndWidensBounds)
{
    EXPECT_EQ(m_doc.m_pObjectList, m_doc.m_pCamera);
    EXPECT_EQ(std::to_array(m_doc.m_dSceneBounds), NO_BOUNDS);
    m_doc.m_bScene = true;
    EXPECT_THROW(m_doc.LoadMeshFile(Path("missing.off"), true), CArchiveException);
    EXPECT_EQ(m_doc.m_pCamera->m_pNext, nullptr);
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_FALSE(m_doc.m_bHasMesh);

    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), true));
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("box.off", BOX_OFF), true));
    const std::vector<CSceneObject*> list = ObjectList(m_doc);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(m_doc.m_pCurrentObject, list[2]);
    EXPECT_EQ(list[2]->m_pPrev, list[1]);
    EXPECT_EQ(std::to_array(m_doc.m_dSceneBounds), (Bounds{-1, 4, -2, 5, -3, 6}));
    // An open through the framework appends too while in scene mode.
    EXPECT_TRUE(m_doc.OnOpenDocument(Write("tri2.off", TRIANGLE_OFF)));
    EXPECT_EQ(ObjectList(m_doc).size(), 4u);

    m_doc.ClearScene();
    EXPECT_EQ(ObjectList(m_doc).size(), 1u);
    EXPECT_EQ(m_doc.m_pCurrentObject, m_doc.m_pCamera);
    EXPECT_EQ(std::to_array(m_doc.m_dSceneBounds), NO_BOUNDS);
    EXPECT_TRUE(m_doc.m_bScene);
    EXPECT_TRUE(m_doc.m_bHasMesh);
}

TEST_F(DocumentTest, SaveMessagesAndTheWrittenFile)
{
    const std::string strTarget = Path("saved.off");
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), false));
    m_doc.SetModifiedFlag(true);
    EXPECT_TRUE(m_doc.OnSaveDocument(strTarget));
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(ReadFile(strTarget), "OFF\n3 1 3\n0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n"
                                   "0.000000 1.000000 0.000000\n3 0 1 2\n");
    EXPECT_EQ(m_ui.m_nWaitCursorDepth, 0);
    EXPECT_EQ(m_ui.m_nWaitCursorShown, 1);

    m_doc.m_bScene = true;
    EXPECT_TRUE(m_doc.OnSaveDocument(Path("scene.off")));
    EXPECT_EQ(m_ui.m_messages, std::vector<std::string>{"To save a scene, Export it as an OFF file."});
    EXPECT_FALSE(fs::exists(Path("scene.off")));

    // No file can be created in a folder that does not exist: false, and the message says why.
    m_doc.m_bScene = false;
    EXPECT_FALSE(m_doc.OnSaveDocument(Path("no/such.off")));
    EXPECT_EQ(m_ui.m_messages.back(), "Error trying to save file\n" + Path("no/such.off") + ": " +
                                          std::generic_category().message(ENOENT));
}

TEST_F(DocumentTest, FailedWritesKeepTheOldFile)
{
    // A big mesh written under a small file-size limit fails part way, as on a full disk.
    std::string strBig = "OFF\n3000 1 0\n";
    for (int i = 0; i < 3000; ++i)
        strBig += "1.5 2.5 3.5\n";
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("big.off", strBig + "3 0 1 2\n"), false));
    const std::string strTarget = Write("target.off", "precious");

    bool bSaved = true;
    {
        const CFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.m_bActive);
        bSaved = m_doc.OnSaveDocument(strTarget);
    }
    EXPECT_FALSE(bSaved);
    EXPECT_EQ(m_ui.m_messages, std::vector<std::string>{"Error trying to save file\n" + strTarget + ": " +
                                                        std::generic_category().message(EFBIG)});
    EXPECT_EQ(ReadFile(strTarget), "precious");
    // No temporary files are left behind.
    EXPECT_EQ(FilesInDir(), 2u);
}

// An empty scene has every field, so it writes them all; a COFF and an OFF mesh share only the
// positions, and the second mesh's indices follow the first's vertices.
TEST_F(DocumentTest, SceneOffExportDropsMissingFieldsAndShiftsIndices)
{
    ASSERT_TRUE(m_doc.ExportSceneOFF(Path("empty.off")));
    EXPECT_EQ(ReadFile(Path("empty.off")), "STCNOFF\n0 0 0\n");
    EXPECT_FALSE(m_doc.ExportSceneOFF(Path("no/such.off")));

    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.LoadMeshFile(
        Write("c.off", "COFF\n3 1 0\n0 0 0 1 0 0\n2 0 0 0 1 0\n0 2 0 0 0 1\n3 0 1 2\n"), true));
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", TRIANGLE_OFF), true));
    // The second mesh is placed away from its model coordinates: exported positions include it.
    m_doc.m_pCurrentObject->m_vPosition = CVector3(10, 0, 0);
    ASSERT_TRUE(m_doc.ExportSceneOFF(Path("scene.off")));
    EXPECT_EQ(ReadFile(Path("scene.off")),
              "OFF\n6 2 6\n0.000000 0.000000 0.000000\n2.000000 0.000000 0.000000\n"
              "0.000000 2.000000 0.000000\n10.000000 0.000000 0.000000\n"
              "11.000000 0.000000 0.000000\n10.000000 1.000000 0.000000\n"
              "3 0 1 2\n3 3 4 5\n");
}

namespace
{
// What a test can compare of two documents: each mesh's name, render mode and vertex count, the
// current object, and the bounds.
std::string Describe(const CTeldViewGLDoc& doc)
{
    std::string text;
    for (const CSceneObject* p : ObjectList(doc))
    {
        if (p->GetType() == OBJECT_MESH)
        {
            const CMesh& mesh = *static_cast<const CMesh*>(p);
            text += mesh.m_strName + "/" + std::to_string(mesh.m_nRenderMode) + "/" +
                    std::to_string(mesh.m_nVertices) + " ";
        }
        if (p == doc.m_pCurrentObject)
            text += "<current> ";
    }
    for (const double d : doc.m_dSceneBounds)
        text += std::to_string(d) + " ";
    return text;
}
} // namespace

// A mesh read elsewhere (a worker thread) enters the document exactly as LoadMeshFile would have
// put it there: in replace mode the one mesh takes over the read geometry and keeps its display
// settings, otherwise the read mesh itself is linked. A mesh that is not loaded or is linked
// already is refused, with nothing changed.
TEST_F(DocumentTest, AnAdoptedMeshEndsUpAsALoadedOne)
{
    const std::string strTri = Write("tri.off", TRIANGLE_OFF), strBox = Write("box.off", BOX_OFF);
    for (const bool bWithMesh : {false, true})
        for (const bool bAppend : {false, true})
        {
            SCOPED_TRACE(std::string(bWithMesh ? "a mesh there, " : "empty, ") +
                         (bAppend ? "append" : "replace"));
            CTeldViewGLDoc loaded, adopted;
            for (CTeldViewGLDoc* pDoc : {&loaded, &adopted})
            {
                if (bWithMesh)
                {
                    ASSERT_TRUE(pDoc->LoadMeshFile(strTri, false));
                    MeshAt(*pDoc, 1).m_nRenderMode = RENDER_WIREFRAME;
                }
            }
            ASSERT_TRUE(loaded.LoadMeshFile(strBox, bAppend));
            CMesh* pMesh = new CMesh;
            ASSERT_TRUE(pMesh->ReadOFF(strBox));
            ASSERT_TRUE(adopted.AdoptMesh(pMesh, bAppend));
            EXPECT_EQ(Describe(adopted), Describe(loaded));
            EXPECT_TRUE(adopted.m_bHasMesh);
            EXPECT_EQ(adopted.m_pCurrentObject == pMesh, bAppend || !bWithMesh)
                << "the read mesh itself is linked";

            std::unique_ptr<CMesh> pEmpty = std::make_unique<CMesh>();
            const CSceneObject* pLinked = adopted.m_pCurrentObject;
            EXPECT_FALSE(adopted.AdoptMesh(nullptr, bAppend));
            EXPECT_FALSE(adopted.AdoptMesh(pEmpty.get(), bAppend)) << "not loaded";
            EXPECT_FALSE(adopted.AdoptMesh(static_cast<CMesh*>(adopted.m_pCurrentObject), bAppend))
                << "linked";
            EXPECT_FALSE(adopted.AdoptImportedMesh(pEmpty.get()));
            EXPECT_EQ(Describe(adopted), Describe(loaded));
            EXPECT_EQ(adopted.m_pCurrentObject, pLinked);
        }
}

// The open that uses a mesh read elsewhere gives the document the path, title and recent-file
// entry of the framework's open; one whose read failed gives what a failed open gives.
TEST_F(DocumentTest, AnOpenWithAMeshReadElsewhereIsAnOpen)
{
    const std::string strBox = Write("box.off", BOX_OFF), strBad = Write("bad.off", "OFF\n3 1 0\n");
    std::vector<std::string> recent;
    m_doc.m_fnAddToRecentFileList = [&recent](const std::string& strPath) { recent.push_back(strPath); };
    m_doc.SetModifiedFlag(true);
    CMesh* pMesh = new CMesh;
    ASSERT_TRUE(pMesh->ReadOFF(strBox));
    ASSERT_TRUE(m_doc.OnOpenDocumentWithMesh(strBox, pMesh));
    EXPECT_EQ(m_doc.GetPathName() + " " + m_doc.GetTitle(), strBox + " box.off");
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(m_doc.m_pCurrentObject, pMesh);
    EXPECT_EQ(recent, std::vector<std::string>{strBox});

    // As the framework's open would have it: the message, and the document as it was.
    CTeldViewGLDoc opened;
    CScriptedUiServices openedUi;
    opened.SetUiServices(&openedUi);
    ASSERT_TRUE(opened.OnOpenDocument(strBox));
    EXPECT_FALSE(opened.OnOpenDocument(strBad));
    EXPECT_FALSE(m_doc.OnOpenDocumentWithMesh(strBad, nullptr));
    EXPECT_EQ(m_ui.m_messages, openedUi.m_messages);
    EXPECT_EQ(Describe(m_doc), Describe(opened));
    EXPECT_EQ(pMesh->m_nVertices, 2);
    EXPECT_EQ(m_doc.GetTitle(), "box.off");

    // A file that cannot be opened at all is named with the reason and changes nothing.
    EXPECT_FALSE(opened.OnOpenDocument(Path("missing.off")));
    EXPECT_FALSE(m_doc.OnOpenDocumentWithMesh(Path("missing.off"), nullptr));
    EXPECT_EQ(m_ui.m_messages, openedUi.m_messages);
    EXPECT_EQ(pMesh->m_nVertices, 2);
}

// The document keeps the end of its list instead of walking to it: a replace-mode open, which
// creates or reuses the first mesh, must leave appends landing behind the last object.
TEST_F(DocumentTest, AppendsLandBehindTheLastObject)
{
    const std::string strTri = Write("tri.off", TRIANGLE_OFF);
    ASSERT_TRUE(m_doc.LoadMeshFile(strTri, false));
    ASSERT_TRUE(m_doc.LoadMeshFile(strTri, true));
    const CSceneObject* pLast = m_doc.m_pCurrentObject;
    ASSERT_TRUE(m_doc.LoadMeshFile(strTri, false)); // reuses the first mesh; the second stays last
    ASSERT_TRUE(m_doc.LoadMeshFile(strTri, true));
    EXPECT_TRUE(m_doc.m_pCurrentObject->m_pPrev == pLast && ObjectList(m_doc).size() == 4);
}
