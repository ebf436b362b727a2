#include <gtest/gtest.h>

#include <GL/gl.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "gl/GlTestSupport.h"
#include "platform/OffscreenContext.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace fs = std::filesystem;

// Loads compile each mesh's list in the current context; replacing or clearing deletes the old
// lists, and ReleaseGLObjects leaves nothing for a later destruction without a context.
TEST(DocumentGLTest, LoadsCompileListsAndReleasingDeletesThem)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    const fs::path dir = fs::temp_directory_path() / ("teldview_docgl_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string strPath = (dir / "tri.off").string();
    std::ofstream(strPath) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

    CTeldViewGLDoc doc;
    doc.LoadMeshFile(strPath, false);
    CMesh* pMesh = static_cast<CMesh*>(doc.m_pCamera->m_pNext);
    const GLuint nFirst = pMesh->m_nDisplayList;
    ASSERT_NE(nFirst, 0u);
    EXPECT_TRUE(glIsList(nFirst));

    // Replace mode reuses the mesh: its old list goes before the new one is built.
    doc.LoadMeshFile(strPath, false);
    EXPECT_EQ(doc.m_pCamera->m_pNext, pMesh);
    EXPECT_NE(pMesh->m_nDisplayList, 0u);
    if (pMesh->m_nDisplayList != nFirst)
    {
        EXPECT_FALSE(glIsList(nFirst));
    }

    doc.m_bScene = true;
    doc.LoadMeshFile(strPath, true);
    CMesh* pSecond = static_cast<CMesh*>(pMesh->m_pNext);
    const GLuint nSecond = pSecond->m_nDisplayList;
    EXPECT_TRUE(glIsList(nSecond));
    const GLuint nMeshList = pMesh->m_nDisplayList;

    doc.ReleaseGLObjects();
    EXPECT_EQ(pMesh->m_nDisplayList, 0u);
    EXPECT_EQ(pSecond->m_nDisplayList, 0u);
    EXPECT_FALSE(glIsList(nMeshList));
    EXPECT_FALSE(glIsList(nSecond));

    pSecond->BuildDisplayList();
    const GLuint nRebuilt = pSecond->m_nDisplayList;
    doc.ClearScene();
    EXPECT_FALSE(glIsList(nRebuilt));
    fs::remove_all(dir);
}

// A mesh read without a context (on the start-up's worker) gets its list when the document
// adopts it, in the context current then; one the document refuses gets none.
TEST(DocumentGLTest, AdoptionCompilesTheListThatLoadingWould)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    const fs::path dir = fs::temp_directory_path() / ("teldview_adoptgl_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string strPath = (dir / "tri.off").string();
    std::ofstream(strPath) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

    CTeldViewGLDoc doc;
    CMesh* pMesh = new CMesh;
    ASSERT_TRUE(pMesh->ReadOFF(strPath));
    EXPECT_EQ(pMesh->m_nDisplayList, 0u);
    ASSERT_TRUE(doc.AdoptMesh(pMesh, false));
    EXPECT_NE(pMesh->m_nDisplayList, 0u);
    EXPECT_TRUE(glIsList(pMesh->m_nDisplayList));

    CMesh refused;
    ASSERT_TRUE(refused.ReadOFF(strPath));
    EXPECT_FALSE(doc.AdoptMesh(&refused, false));
    EXPECT_EQ(refused.m_nDisplayList, 0u);
    doc.ReleaseGLObjects();
    fs::remove_all(dir);
}
