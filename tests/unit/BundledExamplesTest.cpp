#include <gtest/gtest.h>

#include <filesystem>

#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

TEST(BundledExamples, EachMeshCarriesTheFieldsItShowsOff)
{
    const struct
    {
        const char* pszName;
        bool bTexCoords;
        bool bColors;
        int nLargestFace;
    } rows[] = {
        {"cube.off", false, false, 4},
        {"textured_box.off", true, false, 4},
        {"colored.off", false, true, 3},
        {"concave.off", false, false, 10},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        CMesh mesh;
        ASSERT_TRUE(mesh.ReadOFF(std::string(TELDVIEW_EXAMPLES_DIR) + "/" + row.pszName));
        EXPECT_EQ(mesh.m_bHasTexCoords, row.bTexCoords);
        EXPECT_EQ(mesh.m_bHasColors, row.bColors);
        EXPECT_EQ(mesh.m_nLargestFace, row.nLargestFace);
    }
}

TEST(BundledExamples, TheSceneLoadsFromTheRepositoryRootWithItsKeyframes)
{
    // The scene names its files relative to the repository root, where run.sh starts.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(TELDVIEW_EXAMPLES_DIR).parent_path());
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    const bool bRead = doc.ReadSceneFile("examples/scene.scn");
    std::filesystem::current_path(previous);
    ASSERT_TRUE(bRead);

    CSceneObject* pCube = doc.m_pCamera->m_pNext;
    ASSERT_NE(pCube, nullptr);
    CSceneObject* pColored = pCube->m_pNext;
    ASSERT_NE(pColored, nullptr);
    EXPECT_EQ(pColored->m_pNext, nullptr);
    EXPECT_EQ(pCube->CountPositionKeys(), 3);
    EXPECT_EQ(pColored->CountOrientationKeys(), 3);
    EXPECT_TRUE(doc.EvaluateScene(0));
    EXPECT_DOUBLE_EQ(pCube->m_vPosition.x, -1.5);
    EXPECT_DOUBLE_EQ(pColored->m_vPosition.x, 1.5);
    EXPECT_TRUE(doc.EvaluateScene(200));
    EXPECT_DOUBLE_EQ(pCube->m_vPosition.y, 1.0);
    // The animation ends at 4 s.
    EXPECT_FALSE(doc.EvaluateScene(400));
}
