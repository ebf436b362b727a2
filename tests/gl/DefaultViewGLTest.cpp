#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "drawing/ListCompiler.h"
#include "drawing/SceneRenderer.h"
#include "drawing/ViewSettings.h"
#include "gl/GlTestSupport.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace
{
// The sample cube scaled to dSide and turned so that three faces show, in the default view as
// --snapshot draws it: the pixels it covers, those of back faces (red), which show only where the
// depth buffer cannot tell them from the front ones, and those lit beyond the ambient light.
std::tuple<int, int, int> DrawCube(double dSide)
{
    CListCompiler compiler;
    CTeldViewGLDoc doc;
    doc.m_pGraphics = &compiler;
    auto* pMesh = new CMesh;
    EXPECT_TRUE(pMesh->ReadOFF(TELDVIEW_EXAMPLES_DIR "/cube.off"));
    pMesh->Transform(CVector3(dSide, 0, 0), CVector3(0, dSide, 0), CVector3(0, 0, dSide));
    pMesh->m_qOrientation = CQuaternion(0.88, 0.28, 0.36, 0.12);
    EXPECT_TRUE(doc.AdoptMesh(pMesh, false));
    CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::FitDefaultView(settings, doc);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::DrawFrame(doc);
    uint8_t rgb[GlTest::SIZE * GlTest::SIZE * 3];
    glReadPixels(0, 0, GlTest::SIZE, GlTest::SIZE, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    int nCovered = 0, nRed = 0, nLit = 0;
    for (const uint8_t* p = rgb; p < rgb + sizeof rgb; p += 3)
    {
        nCovered += p[0] + p[1] + p[2] > 0;
        nRed += p[0] > p[2] + 40;
        nLit += p[2] > 70;
    }
    return {nCovered, nRed, nLit};
}
} // namespace

// Any size shows whole, as large as the unit cube, lit, with front and back faces kept apart.
TEST(DefaultViewGLTest, EverySizeShowsWholeWithoutZFighting)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    const int nUnit = std::get<0>(DrawCube(1.0));
    EXPECT_GT(nUnit, GlTest::SIZE * GlTest::SIZE / 8);
    for (const double dSide : {1e-4, 0.001, 0.3, 1e3, 1e6})
    {
        const auto [nCovered, nRed, nLit] = DrawCube(dSide);
        EXPECT_NEAR(nCovered, nUnit, 4) << dSide;
        EXPECT_EQ(nRed, 0) << dSide;
        EXPECT_GT(nLit, nCovered / 2) << dSide;
    }
    glPopClientAttrib();
    glPopAttrib();
}

// Where the camera goes (navigation, the dialog, playback), the planes follow: the default
// view's own where they hold the mesh, else fitted to its sphere (radius sqrt(3) here).
TEST(DefaultViewGLTest, ClipPlanesFollowTheCamera)
{
    CTeldViewGLDoc doc;
    auto* pMesh = new CMesh;
    ASSERT_TRUE(pMesh->ReadOFFBuffer("OFF 4 1 0 0 0 0 2 0 0 0 2 0 0 0 2\n3 0 1 2\n", "t.off"));
    ASSERT_TRUE(doc.AdoptMesh(pMesh, false));
    CViewSettings settings;
    SceneRenderer::FitDefaultView(settings, doc);
    const double r = std::sqrt(3.0);
    // {camera z, near, far}: close, inside (at the ratio's limit), far off, the mesh behind.
    const double rows[][3] = {
        {2, 0.9 * (2 - r), 50}, {0.5, 0.005, 50}, {1e3, 0.9 * (1e3 - r), 1.01 * (1e3 + r)}, {-5, 1, 50}};
    for (const auto& row : rows)
    {
        doc.m_pCamera->m_vPosition = CVector3(0, 0, row[0]);
        const SceneRenderer::SClipPlanes planes = SceneRenderer::ClipPlanes(settings, *doc.m_pCamera);
        EXPECT_NEAR(planes.dNear, row[1], 1e-9 * row[2]) << row[0];
        EXPECT_NEAR(planes.dFar, row[2], 1e-9 * row[2]) << row[0];
    }
}
