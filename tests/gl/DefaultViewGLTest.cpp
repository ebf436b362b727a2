#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>

#include "gl/GlTestSupport.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/SceneRenderer.h"
#include "scene/TeldViewGLDoc.h"
#include "scene/ViewSettings.h"

namespace
{
// A cube of side dSide, turned so that three faces show and the hidden three meet them at
// the silhouette: back faces (red) show only where the depth buffer cannot tell them apart.
struct SPixels
{
    int nObject = 0, nRed = 0;
};

SPixels DrawCube(double dSide, CTeldViewGLDoc& doc)
{
    std::string text = "OFF 8 6 0\n";
    for (int i = 0; i < 8; ++i)
    {
        char line[128];
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", (i & 1 ? 0.5 : -0.5) * dSide,
                      (i & 2 ? 0.5 : -0.5) * dSide, (i & 4 ? 0.5 : -0.5) * dSide);
        text += line;
    }
    text += "4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n4 1 3 7 5\n";
    auto* pMesh = new CMesh;
    EXPECT_TRUE(pMesh->ReadOFFBuffer(text, "cube.off") && doc.AdoptMesh(pMesh, false));
    pMesh->m_qOrientation = CQuaternion(0.88, 0.28, 0.36, 0.12);

    CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::FitDefaultView(settings, doc);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::DrawFrame(doc);
    uint8_t rgb[GlTest::SIZE * GlTest::SIZE * 3];
    glReadPixels(0, 0, GlTest::SIZE, GlTest::SIZE, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    SPixels pixels;
    for (int i = 0; i < GlTest::SIZE * GlTest::SIZE; ++i)
    {
        const uint8_t* p = rgb + 3 * i;
        pixels.nObject += p[0] + p[1] + p[2] > 0;
        pixels.nRed += p[0] > p[2] + 40;
    }
    return pixels;
}
} // namespace

// The default view shows a model of any size whole, as large as the unit cube, and the depth
// buffer keeps front and back faces apart at both ends of the range.
TEST(DefaultViewGLTest, EverySizeShowsWholeWithoutZFighting)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    CTeldViewGLDoc unit;
    const SPixels reference = DrawCube(1.0, unit);
    EXPECT_GT(reference.nObject, GlTest::SIZE * GlTest::SIZE / 8);
    for (const double dSide : {1e-4, 0.001, 0.3, 1.0, 1e3, 1e6})
    {
        SCOPED_TRACE(dSide);
        CTeldViewGLDoc doc;
        const SPixels pixels = DrawCube(dSide, doc);
        EXPECT_NEAR(pixels.nObject, reference.nObject, 4);
        EXPECT_EQ(pixels.nRed, 0);
    }
    glPopClientAttrib();
    glPopAttrib();
}

// The planes of the default view stand where they hold the scene; they follow a camera that
// moves far off or close up, and never let far/near pass 10^4.
TEST(DefaultViewGLTest, ClipPlanesFollowTheCamera)
{
    CTeldViewGLDoc doc;
    auto* pMesh = new CMesh;
    ASSERT_TRUE(pMesh->ReadOFFBuffer("OFF 4 1 0 0 0 0 2 0 0 0 2 0 0 0 2\n3 0 1 2\n", "t.off"));
    doc.m_bCompileLists = false;
    ASSERT_TRUE(doc.AdoptMesh(pMesh, false));
    CViewSettings settings;
    SceneRenderer::FitDefaultView(settings, doc);
    CCamera& camera = *doc.m_pCamera;
    // {camera z, near, far}: the sphere about the mesh has radius sqrt(3).
    const double dRadius = std::sqrt(3.0);
    const std::tuple<double, double, double> rows[] = {
        {5.0, 1.0, 50.0},                                     // the default view
        {2.0, 0.9 * (2.0 - dRadius), 50.0},                   // close: near before the mesh
        {0.5, 50.0 / 1e4, 50.0},                              // inside: the ratio's limit
        {1e3, 0.9 * (1e3 - dRadius), 1.01 * (1e3 + dRadius)}, // far off
        {-5.0, 1.0, 50.0},                                    // the mesh behind the eye
    };
    for (const auto& [dZ, dNear, dFar] : rows)
    {
        camera.m_vPosition = CVector3(0.0, 0.0, dZ);
        const SceneRenderer::SClipPlanes planes = SceneRenderer::ClipPlanes(settings, camera);
        EXPECT_NEAR(planes.dNear, dNear, 1e-9 * dFar) << dZ;
        EXPECT_NEAR(planes.dFar, dFar, 1e-9 * dFar) << dZ;
    }
}
