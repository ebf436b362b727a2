#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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
    auto* pMesh = new CMesh;
    EXPECT_TRUE(pMesh->ReadOFF(TELDVIEW_EXAMPLES_DIR "/cube.off"));
    pMesh->Transform(CVector3(dSide, 0, 0), CVector3(0, dSide, 0), CVector3(0, 0, dSide));
    const std::vector<uint8_t> rgb = GlTest::DrawTurnedInDefaultView(pMesh);
    int nCovered = 0, nRed = 0, nLit = 0;
    for (const uint8_t* p = rgb.data(); p < rgb.data() + rgb.size(); p += 3)
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

namespace
{
// The unit cube with a colour a face, four vertices of that colour each, drawn unlit: front red,
// back cyan, bottom green, top blue, right yellow, left magenta.
std::string ColouredCube()
{
    const int corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                               {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int faces[6][4] = {{4, 5, 6, 7}, {0, 3, 2, 1}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {1, 2, 6, 5}, {3, 0, 4, 7}};
    const char* colours[6] = {"1 0 0", "0 1 1", "0 1 0", "0 0 1", "1 1 0", "1 0 1"};
    std::string strOff = "COFF 24 6 0\n", strFaces;
    for (int f = 0; f < 6; ++f)
    {
        strFaces += "4";
        for (int k = 0; k < 4; ++k)
        {
            const int* c = corners[faces[f][k]];
            strOff += std::to_string(c[0] - 0.5) + " " + std::to_string(c[1] - 0.5) + " " +
                      std::to_string(c[2] - 0.5) + " " + colours[f] + "\n";
            strFaces += " " + std::to_string(4 * f + k);
        }
        strFaces += "\n";
    }
    return strOff + strFaces;
}

// The picture of the cube from a side, top row first.
std::vector<uint32_t> DrawSide(int nSide, bool bOrthographic)
{
    CListCompiler compiler;
    CTeldViewGLDoc doc;
    doc.m_pGraphics = &compiler;
    auto* pMesh = new CMesh;
    EXPECT_TRUE(pMesh->ReadOFFBuffer(ColouredCube(), "cube.off"));
    pMesh->m_bLighting = false;
    EXPECT_TRUE(doc.AdoptMesh(pMesh, false));
    CViewSettings settings;
    settings.m_bOrthographic = bOrthographic;
    SceneRenderer::SetBaselineState(settings, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::FitStandardView(settings, doc, nSide);
    SceneRenderer::SetupView(settings, *doc.m_pCamera, GlTest::SIZE, GlTest::SIZE);
    SceneRenderer::DrawFrame(doc);
    std::vector<uint32_t> rgba(GlTest::SIZE * GlTest::SIZE);
    glReadPixels(0, 0, GlTest::SIZE, GlTest::SIZE, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (int y = 0; y < GlTest::SIZE / 2; ++y)
        std::swap_ranges(rgba.begin() + y * GlTest::SIZE, rgba.begin() + (y + 1) * GlTest::SIZE,
                         rgba.end() - (y + 1) * GlTest::SIZE);
    for (uint32_t& c : rgba)
        c &= 0xFFFFFF; // 0xBBGGRR on a little-endian machine
    return rgba;
}
} // namespace

// Each side shows its own face in the middle; the isometric view shows top above, front lower
// left and right lower right; a parallel projection shows the front face at the size the
// perspective gives the cube's middle, so smaller than the perspective's nearer front face.
TEST(DefaultViewGLTest, StandardViewsAndTheParallelProjection)
{
    ASSERT_NE(GlTest::Context(), nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    constexpr uint32_t RED = 0x0000FF, CYAN = 0xFFFF00, GREEN = 0x00FF00, BLUE = 0xFF0000, YELLOW = 0x00FFFF,
                       MAGENTA = 0xFF00FF;
    const std::pair<int, uint32_t> sides[] = {
        {SceneRenderer::VIEW_SIDE_FRONT, RED},    {SceneRenderer::VIEW_SIDE_BACK, CYAN},
        {SceneRenderer::VIEW_SIDE_LEFT, MAGENTA}, {SceneRenderer::VIEW_SIDE_RIGHT, YELLOW},
        {SceneRenderer::VIEW_SIDE_TOP, BLUE},     {SceneRenderer::VIEW_SIDE_BOTTOM, GREEN}};
    constexpr int M = GlTest::SIZE / 2;
    for (const auto& [nSide, crFace] : sides)
        EXPECT_EQ(DrawSide(nSide, false)[M * GlTest::SIZE + M], crFace) << nSide;
    const std::vector<uint32_t> iso = DrawSide(SceneRenderer::VIEW_SIDE_ISOMETRIC, true);
    EXPECT_EQ(iso[(M - 8) * GlTest::SIZE + M], BLUE);
    EXPECT_EQ(iso[(M + 6) * GlTest::SIZE + M - 6], RED);
    EXPECT_EQ(iso[(M + 6) * GlTest::SIZE + M + 6], YELLOW);

    const auto width = [=](const std::vector<uint32_t>& picture)
    { return std::count(picture.begin() + M * GlTest::SIZE, picture.begin() + (M + 1) * GlTest::SIZE, RED); };
    const auto nPerspective = width(DrawSide(SceneRenderer::VIEW_SIDE_FRONT, false));
    const auto nParallel = width(DrawSide(SceneRenderer::VIEW_SIDE_FRONT, true));
    // 32 pixels show tan(22.5 degrees) times 2.5 at the middle, 2 at the front face.
    EXPECT_NEAR(nPerspective, 64 * 0.5 / (2.0 * 0.41421), 1.5);
    EXPECT_NEAR(nParallel, 64 * 0.5 / (2.5 * 0.41421), 1.5);
    glPopClientAttrib();
    glPopAttrib();
}
