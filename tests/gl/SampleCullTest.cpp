#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "drawing/MeshGL.h"
#include "drawing/MeshPreparation.h"
#include "drawing/SampleCull.h"
#include "gl/GlTestSupport.h"
#include "model/Mesh.h"

namespace
{
using GlTest::Context;
using GlTest::SIZE;

// A wavy sheet of 400 x 330 cells, two triangles each (264,000, enough to be tested), sharing its
// vertices, over [-1, 1] x [-1, 1].
std::unique_ptr<CMesh> WavySheet()
{
    constexpr int NX = 400, NY = 330;
    std::string off =
        "OFF\n" + std::to_string((NX + 1) * (NY + 1)) + " " + std::to_string(2 * NX * NY) + " 0\n";
    char sz[96];
    for (int j = 0; j <= NY; ++j)
        for (int i = 0; i <= NX; ++i)
        {
            const double x = 2.0 * i / NX - 1.0, y = 2.0 * j / NY - 1.0;
            std::snprintf(sz, sizeof sz, "%.9g %.9g %.9g\n", x, y, 0.15 * std::sin(5 * x) * std::cos(4 * y));
            off += sz;
        }
    for (int j = 0; j < NY; ++j)
        for (int i = 0; i < NX; ++i)
        {
            const int a = j * (NX + 1) + i, b = a + 1, c = a + NX + 2, d = a + NX + 1;
            std::snprintf(sz, sizeof sz, "3 %d %d %d\n3 %d %d %d\n", a, b, c, a, c, d);
            off += sz;
        }
    auto pMesh = std::make_unique<CMesh>();
    EXPECT_TRUE(pMesh->ReadOFFBuffer(off, "sheet.off"));
    pMesh->SetFillColor(0x808080);
    return pMesh;
}

// One frame of the mesh as the view draws it; returns the share of its triangles sent.
double DrawFrame(const CMesh& mesh, std::vector<uint8_t>& rgba)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    const double dSent = CMeshGL::Draw(mesh);
    glPopMatrix();
    glFinish();
    Context()->ReadPixels(rgba);
    return dSent;
}

// Leaving out the triangles that cover no pixel centre changes no pixel: from afar (most of them
// left out), close up with most of the sheet beyond the viewport's edges, from an eye above the
// sheet with part of it behind (triangles crossing the eye's plane), in a viewport off the
// corner, in a parallel projection, and low over the waves with back faces culled.
TEST(SampleCullTest, LeavesEveryPixelAsTheWholeMeshDrawsIt)
{
    ASSERT_NE(Context(), nullptr);
    const bool bSystemMemory = RendersInSystemMemory();
    std::unique_ptr<CMesh> pMesh = WavySheet();
    ASSERT_GE(pMesh->m_nFaces, CSampleCull::MIN_TRIANGLES);
    // The view's own state: depth test, two-sided lighting, its materials and light.
    CViewSettings settings;
    SceneRenderer::SetBaselineState(settings, SIZE, SIZE);
    SceneRenderer::ApplyLight(settings);
    struct SView
    {
        const char* pszName;
        double dFrustum; // the near plane's half size; 0 for a parallel projection
        double dTurnX;
        double move[3];
        int viewport[4];
        bool bCulling;
    };
    const SView views[] = {
        {"afar", 0.2, -50.0, {0.0, 0.0, -6.0}, {0, 0, SIZE, SIZE}, false},
        {"close", 0.2, -60.0, {0.3, 0.2, -1.1}, {0, 0, SIZE, SIZE}, false},
        {"eye above", 0.0002, -80.0, {0.0, 0.06, -0.55}, {0, 0, SIZE, SIZE}, false},
        {"viewport", 0.2, -40.0, {0.1, 0.0, -4.0}, {7, 5, 45, 50}, false},
        {"parallel", 0.0, -30.0, {0.0, 0.0, -3.0}, {0, 0, SIZE, SIZE}, false},
        {"culled", 0.2, -75.0, {0.0, 0.0, -5.0}, {0, 0, SIZE, SIZE}, true},
    };
    for (const SView& view : views)
    {
        glViewport(view.viewport[0], view.viewport[1], view.viewport[2], view.viewport[3]);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (view.dFrustum > 0.0)
            glFrustum(-view.dFrustum, view.dFrustum, -view.dFrustum, view.dFrustum, view.dFrustum * 5.0,
                      20.0);
        else
            glOrtho(-1.2, 1.2, -1.2, 1.2, 0.1, 20.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(view.move[0], view.move[1], view.move[2]);
        glRotated(view.dTurnX, 1.0, 0.0, 0.0);
        pMesh->m_bCulling = view.bCulling;
        CMeshGL::Build(*pMesh);
        std::vector<uint8_t> whole, culled;
        CSampleCull::SetEnabled(false);
        EXPECT_EQ(DrawFrame(*pMesh, whole), 1.0);
        CSampleCull::SetEnabled(true);
        const double dSent = DrawFrame(*pMesh, culled);
        EXPECT_EQ(culled, whole) << view.pszName;
        size_t nLit = 0;
        for (size_t i = 0; i < whole.size(); i += 4)
            nLit += whole[i] + whole[i + 1] + whole[i + 2] > 0 ? 1 : 0;
        EXPECT_GT(nLit, whole.size() / 4 / 10) << view.pszName;
        // Drawn from its records, the sheet afar is mostly left out.
        if (bSystemMemory && view.pszName[0] == 'a')
        {
            EXPECT_LT(dSent, 0.2);
        }
    }
    glViewport(0, 0, SIZE, SIZE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
} // namespace
