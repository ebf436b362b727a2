#include <gtest/gtest.h>

#include <tuple>

#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

TEST(BundledExamples, EachMeshCarriesTheFieldsItShowsOff)
{
    // Texture coordinates, colours, largest face.
    for (const auto& [pszName, expected] : {std::pair{"cube.off", std::tuple{false, false, 4}},
                                            {"textured_box.off", {true, false, 4}},
                                            {"colored.off", {false, true, 3}},
                                            {"concave.off", {false, false, 10}}})
    {
        CMesh mesh;
        ASSERT_TRUE(mesh.ReadOFF(std::string(TELDVIEW_EXAMPLES_DIR) + "/" + pszName));
        EXPECT_EQ(std::tuple(mesh.m_bHasTexCoords, mesh.m_bHasColors, mesh.m_nLargestFace), expected)
            << pszName;
    }
}

TEST(BundledExamples, TheSceneLoadsFromAnyFolderWithItsKeyframes)
{
    // The scene names the files beside it, which are found from any working folder.
    CTeldViewGLDoc doc;
    ASSERT_TRUE(doc.ReadSceneFile(std::string(TELDVIEW_EXAMPLES_DIR) + "/scene.scn"));
    CSceneObject* pCube = doc.m_pCamera->m_pNext;
    ASSERT_TRUE(pCube != nullptr && pCube->m_pNext != nullptr);
    EXPECT_EQ(pCube->CountPositionKeys(), 3);
    EXPECT_EQ(pCube->m_pNext->CountOrientationKeys(), 3);
    EXPECT_TRUE(doc.EvaluateScene(0));
    EXPECT_DOUBLE_EQ(pCube->m_vPosition.x, -1.5);
    EXPECT_DOUBLE_EQ(pCube->m_pNext->m_vPosition.x, 1.5);
    // The animation ends at 4 s.
    EXPECT_TRUE(doc.EvaluateScene(200));
    EXPECT_FALSE(doc.EvaluateScene(400));
}
