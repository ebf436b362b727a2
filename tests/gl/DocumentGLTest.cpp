#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "drawing/ListCompiler.h"
#include "drawing/MeshGL.h"
#include "gl/GlTestSupport.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

// Loads compile each mesh's list in the current context; replacing or clearing deletes the old
// lists, and ReleaseGraphics leaves nothing for a later destruction without a context.
TEST(DocumentGLTest, LoadsCompileListsAndReleasingDeletesThem)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    const std::string strPath =
        std::filesystem::temp_directory_path() / ("teldview_docgl_" + std::to_string(::getpid()) + ".off");
    std::ofstream(strPath) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    CListCompiler compiler;
    CTeldViewGLDoc doc;
    doc.m_pGraphics = &compiler;
    doc.LoadMeshFile(strPath, false);
    CMesh* pMesh = static_cast<CMesh*>(doc.m_pCamera->m_pNext);
    const GLuint nFirst = CMeshGL::ListOf(*pMesh);
    EXPECT_TRUE(glIsList(nFirst));
    // Replace mode reuses the mesh: its old list goes before the new one is built.
    doc.LoadMeshFile(strPath, false);
    EXPECT_EQ(doc.m_pCamera->m_pNext, pMesh);
    EXPECT_TRUE(glIsList(CMeshGL::ListOf(*pMesh)));
    EXPECT_TRUE(CMeshGL::ListOf(*pMesh) == nFirst || !glIsList(nFirst));

    doc.m_bScene = true;
    doc.LoadMeshFile(strPath, true);
    CMesh* pSecond = static_cast<CMesh*>(pMesh->m_pNext);
    const GLuint nLists[2] = {CMeshGL::ListOf(*pMesh), CMeshGL::ListOf(*pSecond)};
    EXPECT_TRUE(glIsList(nLists[1]));
    doc.ReleaseGraphics();
    EXPECT_EQ(std::pair(CMeshGL::ListOf(*pMesh), CMeshGL::ListOf(*pSecond)), std::pair(0u, 0u));
    EXPECT_FALSE(glIsList(nLists[0]) || glIsList(nLists[1]));

    const GLuint nRebuilt = CMeshGL::Build(*pSecond);
    doc.ClearScene();
    EXPECT_FALSE(glIsList(nRebuilt));
    std::filesystem::remove(strPath);
}
