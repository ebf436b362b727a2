// Mesh display lists checked by the pixels they draw and the state they leave behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "GlTestSupport.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"
#include "scene/Tessellator.h"

using namespace GlTest;

namespace
{
// L-shaped hexagon, concave at (1, 1); the notch is the square (1..2, 1..2). It starts at
// (2, 0), which cannot see the whole face: a fan from there would cover part of the notch.
constexpr const char* L_SHAPE = "OFF\n6 1 6\n2 0 0\n2 1 0\n1 1 0\n1 2 0\n0 2 0\n0 0 0\n6 0 1 2 3 4 5\n";
// Unit square facing the viewer (counter-clockwise seen from +z), and the same square wound
// clockwise.
constexpr const char* SQUARE = "OFF\n4 1 4\n-0.5 -0.5 0\n0.5 -0.5 0\n0.5 0.5 0\n-0.5 0.5 0\n4 0 1 2 3\n";
constexpr const char* SQUARE_CW = "OFF\n4 1 4\n-0.5 -0.5 0\n0.5 -0.5 0\n0.5 0.5 0\n-0.5 0.5 0\n4 0 3 2 1\n";
// The square with green vertex colours, and with texture coordinates.
constexpr const char* GREEN_SQUARE = "COFF\n4 1 4\n-0.5 -0.5 0 0 1 0\n0.5 -0.5 0 0 1 0\n0.5 0.5 0 0 1 0\n"
                                     "-0.5 0.5 0 0 1 0\n4 0 1 2 3\n";
constexpr const char* TEX_SQUARE = "STOFF\n4 1 4\n-0.5 -0.5 0 0 0\n0.5 -0.5 0 1 0\n0.5 0.5 0 1 1\n"
                                   "-0.5 0.5 0 0 1\n4 0 1 2 3\n";
// A front square at z = 0.5 and, behind it, a taller rectangle whose left edge x = 0 runs
// behind the front square for -0.5 < y < 0.5.
constexpr const char* TWO_LAYERS = "OFF\n8 2 8\n"
                                   "-0.5 -0.5 0.5\n0.5 -0.5 0.5\n0.5 0.5 0.5\n-0.5 0.5 0.5\n"
                                   "0 -1 -0.5\n1 -1 -0.5\n1 1 -0.5\n0 1 -0.5\n"
                                   "4 0 1 2 3\n4 4 5 6 7\n";

// A square tilted steeply away from the viewer, wound both ways round: lines and faces at the
// same depths.
constexpr const char* TILTED = "OFF\n4 2 8\n-0.8 -0.7 -3\n0.7 -0.8 3\n0.8 0.7 3\n-0.7 0.8 -3\n"
                               "4 0 1 2 3\n4 3 2 1 0\n";

enum ETexture
{
    TEX_NONE,
    TEX_ON,         // m_bTextureOn with a texture
    TEX_ON_NO_NAME, // m_bTextureOn but no texture name
    TEX_NAME_OFF,   // a texture that is switched off
};

class MeshDisplayListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(Context(), nullptr);
        SetBaselineState();
        // Textured pixels show the texel itself, whatever the material.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }

    // A 2 x 2 texture, all green.
    static GLuint GreenTexture()
    {
        const uint8_t texels[12] = {0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0};
        GLuint nTexture = 0;
        glGenTextures(1, &nTexture);
        glBindTexture(GL_TEXTURE_2D, nTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
        glBindTexture(GL_TEXTURE_2D, 0);
        return nTexture;
    }
};

struct SAppearance
{
    const char* pszName;
    const char* pszOff;
    int nMode;
    int nShading;
    bool bLighting;
    bool bCulling;
    ETexture eTexture;
    double x, y; // probe in model coordinates
    bool bNear;  // a point or line: any pixel of the 3 x 3 block around the probe
    bool (SPixel::*pExpect)() const;
};

constexpr int FLAT = SHADE_FLAT;
constexpr int GOURAUD = SHADE_GOURAUD;

const SAppearance APPEARANCES[] = {
    // The concave face is filled in its three squares and empty in its notch; its wireframe is
    // the outline only.
    {"L shaded corner", L_SHAPE, RENDER_SHADED, GOURAUD, true, false, TEX_NONE, 0.5, 0.5, false,
     &SPixel::IsBlue},
    {"L shaded right arm", L_SHAPE, RENDER_SHADED, GOURAUD, true, false, TEX_NONE, 1.5, 0.5, false,
     &SPixel::IsBlue},
    {"L shaded top arm", L_SHAPE, RENDER_SHADED, FLAT, true, false, TEX_NONE, 0.5, 1.5, false,
     &SPixel::IsBlue},
    {"L shaded notch", L_SHAPE, RENDER_SHADED, GOURAUD, true, false, TEX_NONE, 1.5, 1.5, false,
     &SPixel::IsBlack},
    {"L shaded notch edge", L_SHAPE, RENDER_SHADED, FLAT, true, false, TEX_NONE, 1.15, 1.4, false,
     &SPixel::IsBlack},
    {"L hidden right arm", L_SHAPE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 1.5, 0.5, false,
     &SPixel::IsGrey},
    {"L hidden top arm", L_SHAPE, RENDER_HIDDEN_LINE, FLAT, true, false, TEX_NONE, 0.5, 1.5, false,
     &SPixel::IsGrey},
    {"L hidden notch", L_SHAPE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 1.5, 1.5, false,
     &SPixel::IsBlack},
    {"L hidden notch edge", L_SHAPE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 1.15, 1.4, false,
     &SPixel::IsBlack},
    {"L hidden outline", L_SHAPE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 1.5, 1.0, true,
     &SPixel::IsBlue},
    {"L wire outline", L_SHAPE, RENDER_WIREFRAME, GOURAUD, true, false, TEX_NONE, 1.0, 0.0, true,
     &SPixel::IsBlue},
    {"L wire no diagonal", L_SHAPE, RENDER_WIREFRAME, GOURAUD, true, false, TEX_NONE, 0.5, 0.5, false,
     &SPixel::IsBlack},
    // Culling removes a face wound clockwise; without culling its back shows the red material.
    {"CCW culled", SQUARE, RENDER_SHADED, GOURAUD, true, true, TEX_NONE, 0, 0, false, &SPixel::IsBlue},
    {"CW culled", SQUARE_CW, RENDER_SHADED, GOURAUD, true, true, TEX_NONE, 0, 0, false, &SPixel::IsBlack},
    {"CW not culled", SQUARE_CW, RENDER_SHADED, GOURAUD, true, false, TEX_NONE, 0, 0, false, &SPixel::IsRed},
    {"CW culled flat", SQUARE_CW, RENDER_SHADED, FLAT, true, true, TEX_NONE, 0, 0, false, &SPixel::IsBlack},
    {"CW not culled flat", SQUARE_CW, RENDER_SHADED, FLAT, true, false, TEX_NONE, 0, 0, false,
     &SPixel::IsRed},
    // Without lighting the faces take the current colour (white here).
    {"unlit", SQUARE, RENDER_SHADED, GOURAUD, false, false, TEX_NONE, 0, 0, false, &SPixel::IsWhite},
    {"unlit flat", SQUARE, RENDER_SHADED, FLAT, false, false, TEX_NONE, 0, 0, false, &SPixel::IsWhite},
    // Vertex colours: with Gouraud shading everywhere but the hidden-line faces; with flat
    // shading only as points.
    {"colour points", GREEN_SQUARE, RENDER_POINTS, GOURAUD, true, false, TEX_NONE, -0.5, -0.5, true,
     &SPixel::IsGreen},
    {"colour wire", GREEN_SQUARE, RENDER_WIREFRAME, GOURAUD, true, false, TEX_NONE, 0, -0.5, true,
     &SPixel::IsGreen},
    {"colour shaded", GREEN_SQUARE, RENDER_SHADED, GOURAUD, true, false, TEX_NONE, 0, 0, false,
     &SPixel::IsGreen},
    {"colour shaded unlit", GREEN_SQUARE, RENDER_SHADED, GOURAUD, false, false, TEX_NONE, 0, 0, false,
     &SPixel::IsGreen},
    {"colour hidden lines", GREEN_SQUARE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 0, -0.5, true,
     &SPixel::IsGreen},
    {"colour hidden face", GREEN_SQUARE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_NONE, 0, 0, false,
     &SPixel::IsGrey},
    {"flat colour points", GREEN_SQUARE, RENDER_POINTS, FLAT, true, false, TEX_NONE, -0.5, -0.5, true,
     &SPixel::IsGreen},
    {"flat colour wire", GREEN_SQUARE, RENDER_WIREFRAME, FLAT, true, false, TEX_NONE, 0, -0.5, true,
     &SPixel::IsBlue},
    {"flat colour shaded", GREEN_SQUARE, RENDER_SHADED, FLAT, true, false, TEX_NONE, 0, 0, false,
     &SPixel::IsBlue},
    {"flat colour hidden lines", GREEN_SQUARE, RENDER_HIDDEN_LINE, FLAT, true, false, TEX_NONE, 0, -0.5, true,
     &SPixel::IsBlue},
    {"flat colour hidden face", GREEN_SQUARE, RENDER_HIDDEN_LINE, FLAT, true, false, TEX_NONE, 0, 0, false,
     &SPixel::IsGrey},
    // The texture only in shaded mode, only while switched on and named.
    {"texture shaded", TEX_SQUARE, RENDER_SHADED, GOURAUD, true, false, TEX_ON, 0, 0, false,
     &SPixel::IsGreen},
    {"texture shaded flat", TEX_SQUARE, RENDER_SHADED, FLAT, true, false, TEX_ON, 0, 0, false,
     &SPixel::IsGreen},
    {"texture off", TEX_SQUARE, RENDER_SHADED, GOURAUD, true, false, TEX_NAME_OFF, 0, 0, false,
     &SPixel::IsBlue},
    {"texture without name", TEX_SQUARE, RENDER_SHADED, GOURAUD, true, false, TEX_ON_NO_NAME, 0, 0, false,
     &SPixel::IsBlue},
    {"texture wire", TEX_SQUARE, RENDER_WIREFRAME, GOURAUD, true, false, TEX_ON, 0, -0.5, true,
     &SPixel::IsBlue},
    {"texture hidden face", TEX_SQUARE, RENDER_HIDDEN_LINE, GOURAUD, true, false, TEX_ON, 0, 0, false,
     &SPixel::IsGrey},
};

TEST_F(MeshDisplayListTest, DrawsEachModeShadingAndSetting)
{
    for (const SAppearance& row : APPEARANCES)
    {
        SCOPED_TRACE(row.pszName);
        std::unique_ptr<CMesh> pMesh = MeshFromOFF(row.pszOff);
        pMesh->m_nRenderMode = row.nMode;
        pMesh->m_nShading = row.nShading;
        pMesh->m_bLighting = row.bLighting;
        pMesh->m_bCulling = row.bCulling;
        pMesh->SetFillColor(0x808080);
        if (row.eTexture == TEX_ON || row.eTexture == TEX_NAME_OFF)
            pMesh->m_nTexture = GreenTexture();
        pMesh->m_bTextureOn = row.eTexture == TEX_ON || row.eTexture == TEX_ON_NO_NAME;
        Draw(pMesh->BuildDisplayList());
        if (row.bNear)
            EXPECT_TRUE(AnyNear(*pMesh, row.x, row.y, row.pExpect));
        else
        {
            const SPixel pixel = PixelAt(*pMesh, row.x, row.y);
            EXPECT_TRUE((pixel.*row.pExpect)()) << pixel.r << "," << pixel.g << "," << pixel.b;
        }
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_FALSE);
    }
}

// Builds go through the document's tessellator while a document exists and through one of
// their own before and after; flat and Gouraud builds alternate on each, so a begin callback
// left registered by the previous build would show.
TEST_F(MeshDisplayListTest, TessellatesWithOrWithoutADocument)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(L_SHAPE);
    for (int nStep = 0; nStep < 3; ++nStep)
    {
        std::unique_ptr<CTeldViewGLDoc> pDocument;
        if (nStep == 1)
        {
            pDocument = std::make_unique<CTeldViewGLDoc>();
            ASSERT_NE(g_pTessellator, nullptr);
        }
        for (int nShading : {FLAT, GOURAUD, FLAT})
        {
            SCOPED_TRACE(testing::Message() << "step " << nStep << " shading " << nShading);
            pMesh->m_nShading = nShading;
            Draw(pMesh->BuildDisplayList());
            EXPECT_TRUE(PixelAt(*pMesh, 1.5, 0.5).IsBlue());
            EXPECT_TRUE(PixelAt(*pMesh, 0.5, 1.5).IsBlue());
            EXPECT_TRUE(PixelAt(*pMesh, 1.5, 1.5).IsBlack());
        }
    }
    EXPECT_EQ(g_pTessellator, nullptr);
}

TEST_F(MeshDisplayListTest, HiddenLineHidesLinesBehindFaces)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(TWO_LAYERS);
    for (int nMode : {RENDER_WIREFRAME, RENDER_HIDDEN_LINE})
    {
        SCOPED_TRACE(nMode);
        pMesh->m_nRenderMode = nMode;
        Draw(pMesh->BuildDisplayList());
        // The back rectangle's left edge: seen below the front square in both modes, through it
        // only in plain wireframe.
        EXPECT_TRUE(AnyNear(*pMesh, 0.0, -0.8, &SPixel::IsBlue));
        EXPECT_EQ(AnyNear(*pMesh, 0.0, 0.0, &SPixel::IsBlue), nMode == RENDER_WIREFRAME);
        // The front square's own edges stay visible in front of its face.
        EXPECT_TRUE(AnyNear(*pMesh, -0.5, 0.0, &SPixel::IsBlue));
        EXPECT_TRUE(AnyNear(*pMesh, 0.5, 0.25, &SPixel::IsBlue));
    }
}

// The fill is pushed behind the lines of its own face: every pixel of the outline stays lit.
TEST_F(MeshDisplayListTest, HiddenLineKeepsTheFacesOwnOutline)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(TILTED);
    pMesh->m_bLighting = false;
    pMesh->m_nRenderMode = RENDER_WIREFRAME;
    Draw(pMesh->BuildDisplayList());
    const int nOutline = LitPixels();
    EXPECT_GT(nOutline, 100);
    pMesh->m_nRenderMode = RENDER_HIDDEN_LINE;
    Draw(pMesh->BuildDisplayList());
    EXPECT_EQ(LitPixels(), nOutline);
}

// A face with a NaN coordinate is left out of the filled modes; the others still draw.
TEST_F(MeshDisplayListTest, SkipsFacesWithNaNCoordinates)
{
    // A 120-gon (too large for the tessellator's shortcut for small convex faces), a triangle and
    // a square, each with one NaN coordinate, beside a square that is drawn.
    std::string off = "OFF\n131 4 131\n";
    for (int i = 0; i < 120; ++i)
        off += std::to_string(0.5 + 0.4 * std::cos(i * 0.05236)) + " " +
               std::to_string(0.4 * std::sin(i * 0.05236)) + " 0\n";
    off += "-0.9 -0.4 0\n-0.1 -0.4 0\n-0.1 0.4 0\n-0.9 0.4 0\n0 0 0\n1 0 0\n0 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 "
           "0\n120";
    for (int i = 0; i < 120; ++i)
        off += " " + std::to_string(i);
    off += "\n4 120 121 122 123\n3 124 125 126\n4 127 128 129 130\n";
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(off);
    for (int i : {7, 124, 127})
        pMesh->m_ppVertices[i][1] = std::nan("");
    for (int nMode : {RENDER_SHADED, RENDER_HIDDEN_LINE})
    {
        SCOPED_TRACE(nMode);
        pMesh->m_nRenderMode = nMode;
        pMesh->SetFillColor(0x808080);
        Draw(pMesh->BuildDisplayList());
        const SPixel pixel = PixelAt(*pMesh, -0.5, 0.0);
        EXPECT_TRUE(nMode == RENDER_SHADED ? pixel.IsBlue() : pixel.IsGrey());
        EXPECT_TRUE(PixelAt(*pMesh, 0.5, 0.0).IsBlack());
    }
}

TEST_F(MeshDisplayListTest, VerticesWithoutFacesShowAsPointsOnly)
{
    CMesh mesh;
    mesh.Allocate(3, 0, 0);
    const double positions[3][2] = {{-0.5, -0.5}, {0.5, -0.5}, {0.0, 0.5}};
    for (int i = 0; i < 3; ++i)
    {
        mesh.SetVertex(i, CVector3(positions[i][0], positions[i][1], 0.0));
        mesh.m_ppVertices[i][SLOT_NORMAL] = 0.0;
        mesh.m_ppVertices[i][SLOT_NORMAL + 1] = 0.0;
        mesh.m_ppVertices[i][SLOT_NORMAL + 2] = 1.0;
    }
    mesh.ComputeBounds();
    for (int nMode : {RENDER_POINTS, RENDER_WIREFRAME, RENDER_SHADED, RENDER_HIDDEN_LINE})
    {
        SCOPED_TRACE(nMode);
        mesh.m_nRenderMode = nMode;
        const uint32_t nList = mesh.BuildDisplayList();
        ASSERT_NE(nList, 0u);
        EXPECT_EQ(glIsList(nList), GL_TRUE);
        Draw(nList);
        if (nMode == RENDER_POINTS)
        {
            EXPECT_EQ(LitPixels(), 3);
            for (const auto& p : positions)
                EXPECT_TRUE(AnyNear(mesh, p[0], p[1], &SPixel::IsBlue));
        }
        else
            EXPECT_EQ(LitPixels(), 0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Whatever the settings, calling the list leaves the view's baseline state behind, and a mode
// that does not exist draws nothing.
TEST_F(MeshDisplayListTest, RestoresBaselineStateForEverySetting)
{
    const GLuint nTexture = GreenTexture();
    for (const char* pszOff : {SQUARE, GREEN_SQUARE, TEX_SQUARE})
        for (int nMode : {0, 1, 2, 4, 3, 5, -1})
            for (int nShading : {FLAT, GOURAUD})
                for (int nFlags = 0; nFlags < 8; ++nFlags)
                {
                    std::unique_ptr<CMesh> pMesh = MeshFromOFF(pszOff);
                    pMesh->m_nRenderMode = nMode;
                    pMesh->m_nShading = nShading;
                    pMesh->m_bLighting = (nFlags & 1) != 0;
                    pMesh->m_bCulling = (nFlags & 2) != 0;
                    if ((nFlags & 4) != 0 && pMesh->m_bHasTexCoords)
                    {
                        pMesh->m_nTexture = nTexture;
                        pMesh->m_bTextureOn = true;
                    }
                    SCOPED_TRACE(testing::Message() << pszOff[0] << " mode " << nMode << " shading "
                                                    << nShading << " flags " << nFlags);
                    Draw(pMesh->BuildDisplayList());
                    pMesh->m_nTexture = 0; // shared by every mesh of the loop
                    EXPECT_EQ(glIsEnabled(GL_LIGHTING), GL_TRUE);
                    EXPECT_EQ(glIsEnabled(GL_CULL_FACE), GL_FALSE);
                    EXPECT_EQ(glIsEnabled(GL_COLOR_MATERIAL), GL_FALSE);
                    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_FALSE);
                    EXPECT_EQ(glIsEnabled(GL_POLYGON_OFFSET_FILL), GL_FALSE);
                    GLint nShadeModel = 0;
                    glGetIntegerv(GL_SHADE_MODEL, &nShadeModel);
                    EXPECT_EQ(nShadeModel, GL_SMOOTH);
                    // Unbalanced attribute pushes and pops would show here.
                    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
                    if (nMode == 3 || nMode == 5 || nMode == -1)
                    {
                        EXPECT_EQ(LitPixels(), 0);
                    }
                }
    glDeleteTextures(1, &nTexture);
}

TEST_F(MeshDisplayListTest, RebuildReplacesTheOldList)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(SQUARE);
    // Another list made in between keeps the allocator from handing back the same name.
    std::unique_ptr<CMesh> pOther = MeshFromOFF(L_SHAPE);
    const uint32_t nFirst = pMesh->BuildDisplayList();
    pOther->BuildDisplayList();
    pMesh->m_nRenderMode = RENDER_POINTS;
    const uint32_t nSecond = pMesh->BuildDisplayList();
    EXPECT_EQ(pMesh->m_nDisplayList, nSecond);
    if (nSecond != nFirst)
    {
        EXPECT_EQ(glIsList(nFirst), GL_FALSE);
    }
    // Either way only the new content remains: points, not the filled square.
    Draw(nSecond);
    EXPECT_EQ(LitPixels(), 4);
    pMesh.reset();
    EXPECT_EQ(glIsList(nSecond), GL_FALSE);
}
} // namespace
