// Mesh display lists checked by the pixels they draw and the state they leave behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
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

// Expected colours: a predicate of the probed pixel.
using Colour = bool (SPixel::*)() const;
const Colour BLACK = &SPixel::IsBlack, RED = &SPixel::IsRed, GREEN = &SPixel::IsGreen, BLUE = &SPixel::IsBlue,
             WHITE = &SPixel::IsWhite, GREY = &SPixel::IsGrey;
constexpr int FLAT = SHADE_FLAT, GOURAUD = SHADE_GOURAUD, SHADED = RENDER_SHADED, HIDDEN = RENDER_HIDDEN_LINE,
              WIRE = RENDER_WIREFRAME, POINTS = RENDER_POINTS;
constexpr bool LIT = true, UNLIT = false, CULL = true, NO_CULL = false, NEAR = true, AT = false;

struct SAppearance
{
    const char* pszName;
    const char* pszOff;
    int nMode, nShading;
    bool bLighting, bCulling;
    ETexture eTexture;
    bool bNear;  // a point or line: any pixel of the 3 x 3 block around the probe will do
    double x, y; // probe in model coordinates
    Colour pExpect;
};

const SAppearance APPEARANCES[] = {
    // The concave face is filled in its three squares and empty in its notch (also where a fan
    // from its first vertex would reach); its wireframe is the outline only.
    {"L right arm", L_SHAPE, SHADED, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 1.5, 0.5, BLUE},
    {"L top arm", L_SHAPE, SHADED, FLAT, LIT, NO_CULL, TEX_NONE, AT, 0.5, 1.5, BLUE},
    {"L notch", L_SHAPE, SHADED, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 1.5, 1.5, BLACK},
    {"L notch edge", L_SHAPE, SHADED, FLAT, LIT, NO_CULL, TEX_NONE, AT, 1.15, 1.4, BLACK},
    {"L hidden right arm", L_SHAPE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 1.5, 0.5, GREY},
    {"L hidden top arm", L_SHAPE, HIDDEN, FLAT, LIT, NO_CULL, TEX_NONE, AT, 0.5, 1.5, GREY},
    {"L hidden notch", L_SHAPE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 1.5, 1.5, BLACK},
    {"L hidden notch edge", L_SHAPE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 1.15, 1.4, BLACK},
    {"L hidden outline", L_SHAPE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, NEAR, 1.5, 1.0, BLUE},
    {"L wire outline", L_SHAPE, WIRE, GOURAUD, LIT, NO_CULL, TEX_NONE, NEAR, 1.0, 0.0, BLUE},
    {"L wire no diagonal", L_SHAPE, WIRE, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 0.5, 0.5, BLACK},
    // Culling removes a face wound clockwise; without culling its back shows the red material.
    {"CCW culled", SQUARE, SHADED, GOURAUD, LIT, CULL, TEX_NONE, AT, 0, 0, BLUE},
    {"CW culled", SQUARE_CW, SHADED, GOURAUD, LIT, CULL, TEX_NONE, AT, 0, 0, BLACK},
    {"CW culled flat", SQUARE_CW, SHADED, FLAT, LIT, CULL, TEX_NONE, AT, 0, 0, BLACK},
    {"CW not culled", SQUARE_CW, SHADED, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 0, 0, RED},
    // Without lighting the faces take the current colour (white here).
    {"unlit", SQUARE, SHADED, GOURAUD, UNLIT, NO_CULL, TEX_NONE, AT, 0, 0, WHITE},
    {"unlit flat", SQUARE, SHADED, FLAT, UNLIT, NO_CULL, TEX_NONE, AT, 0, 0, WHITE},
    // Vertex colours: with Gouraud shading everywhere but the hidden-line faces; with flat
    // shading only as points.
    {"colour points", GREEN_SQUARE, POINTS, GOURAUD, LIT, NO_CULL, TEX_NONE, NEAR, -0.5, -0.5, GREEN},
    {"colour wire", GREEN_SQUARE, WIRE, GOURAUD, LIT, NO_CULL, TEX_NONE, NEAR, 0, -0.5, GREEN},
    {"colour shaded", GREEN_SQUARE, SHADED, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 0, 0, GREEN},
    {"colour shaded unlit", GREEN_SQUARE, SHADED, GOURAUD, UNLIT, NO_CULL, TEX_NONE, AT, 0, 0, GREEN},
    {"colour hidden lines", GREEN_SQUARE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, NEAR, 0, -0.5, GREEN},
    {"colour hidden face", GREEN_SQUARE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_NONE, AT, 0, 0, GREY},
    {"flat colour points", GREEN_SQUARE, POINTS, FLAT, LIT, NO_CULL, TEX_NONE, NEAR, -0.5, -0.5, GREEN},
    {"flat colour wire", GREEN_SQUARE, WIRE, FLAT, LIT, NO_CULL, TEX_NONE, NEAR, 0, -0.5, BLUE},
    {"flat colour shaded", GREEN_SQUARE, SHADED, FLAT, LIT, NO_CULL, TEX_NONE, AT, 0, 0, BLUE},
    {"flat colour hidden lines", GREEN_SQUARE, HIDDEN, FLAT, LIT, NO_CULL, TEX_NONE, NEAR, 0, -0.5, BLUE},
    // The texture only in shaded mode, only while switched on and named.
    {"texture", TEX_SQUARE, SHADED, GOURAUD, LIT, NO_CULL, TEX_ON, AT, 0, 0, GREEN},
    {"texture flat", TEX_SQUARE, SHADED, FLAT, LIT, NO_CULL, TEX_ON, AT, 0, 0, GREEN},
    {"texture off", TEX_SQUARE, SHADED, GOURAUD, LIT, NO_CULL, TEX_NAME_OFF, AT, 0, 0, BLUE},
    {"texture unnamed", TEX_SQUARE, SHADED, GOURAUD, LIT, NO_CULL, TEX_ON_NO_NAME, AT, 0, 0, BLUE},
    {"texture wire", TEX_SQUARE, WIRE, GOURAUD, LIT, NO_CULL, TEX_ON, NEAR, 0, -0.5, BLUE},
    {"texture hidden face", TEX_SQUARE, HIDDEN, GOURAUD, LIT, NO_CULL, TEX_ON, AT, 0, 0, GREY},
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
        const SPixel pixel = PixelAt(*pMesh, row.x, row.y);
        EXPECT_TRUE(row.bNear ? AnyNear(*pMesh, row.x, row.y, row.pExpect) : (pixel.*row.pExpect)())
            << pixel.r << "," << pixel.g << "," << pixel.b;
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
            EXPECT_TRUE(PixelAt(*pMesh, 1.15, 1.4).IsBlack());
        }
    }
    EXPECT_EQ(g_pTessellator, nullptr);
}

TEST_F(MeshDisplayListTest, HiddenLineShowsOnlyTheLinesInFront)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(TWO_LAYERS);
    for (int nMode : {WIRE, HIDDEN})
    {
        SCOPED_TRACE(nMode);
        pMesh->m_nRenderMode = nMode;
        Draw(pMesh->BuildDisplayList());
        // The back rectangle's left edge: seen below the front square in both modes, through it
        // only in plain wireframe. The front square's own edges stay visible.
        EXPECT_TRUE(AnyNear(*pMesh, 0.0, -0.8, BLUE));
        EXPECT_EQ(AnyNear(*pMesh, 0.0, 0.0, BLUE), nMode == WIRE);
        EXPECT_TRUE(AnyNear(*pMesh, -0.5, 0.0, BLUE));
        EXPECT_TRUE(AnyNear(*pMesh, 0.5, 0.25, BLUE));
    }
    // On a steeply tilted face the offset fill must stay behind every pixel of its outline.
    pMesh = MeshFromOFF(TILTED);
    pMesh->m_nRenderMode = WIRE;
    Draw(pMesh->BuildDisplayList());
    const int nOutline = LitPixels();
    EXPECT_GT(nOutline, 100);
    pMesh->m_nRenderMode = HIDDEN;
    Draw(pMesh->BuildDisplayList());
    EXPECT_EQ(LitPixels(), nOutline);
}

// A face with a NaN coordinate is left out of the filled modes (the tessellator's sweep would
// crash on it); the other faces still draw.
TEST_F(MeshDisplayListTest, SkipsFacesWithNaNCoordinates)
{
    // A 120-gon, too large for the tessellator's shortcut for small convex faces, and a square.
    std::string off = "OFF\n124 2 124\n";
    for (int i = 0; i < 120; ++i)
        off += std::to_string(0.5 + 0.4 * std::cos(i * 0.05236)) + " " +
               std::to_string(0.4 * std::sin(i * 0.05236)) + " 0\n";
    off += "-0.9 -0.4 0\n-0.1 -0.4 0\n-0.1 0.4 0\n-0.9 0.4 0\n120";
    for (int i = 0; i < 120; ++i)
        off += " " + std::to_string(i);
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(off + "\n4 120 121 122 123\n");
    pMesh->m_ppVertices[7][1] = std::nan("");
    for (int nMode : {SHADED, HIDDEN})
    {
        pMesh->m_nRenderMode = nMode;
        pMesh->SetFillColor(0x808080);
        Draw(pMesh->BuildDisplayList());
        EXPECT_TRUE((PixelAt(*pMesh, -0.5, 0.0).*(nMode == SHADED ? BLUE : GREY))());
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
        const double record[6] = {positions[i][0], positions[i][1], 0, 0, 0, 1};
        std::copy(record, record + 6, mesh.m_ppVertices[i]);
    }
    mesh.ComputeBounds();
    for (int nMode : {POINTS, WIRE, SHADED, HIDDEN})
    {
        SCOPED_TRACE(nMode);
        mesh.m_nRenderMode = nMode;
        const uint32_t nList = mesh.BuildDisplayList();
        EXPECT_EQ(glIsList(nList), GL_TRUE);
        Draw(nList);
        EXPECT_EQ(LitPixels(), nMode == POINTS ? 3 : 0);
        EXPECT_EQ(AnyNear(mesh, 0.0, 0.5, BLUE), nMode == POINTS);
    }
}

// Whatever the settings, calling the list leaves the view's baseline state behind, and a mode
// that does not exist draws nothing.
TEST_F(MeshDisplayListTest, RestoresBaselineStateForEverySetting)
{
    const GLuint nTexture = GreenTexture();
    for (const char* pszOff : {SQUARE, GREEN_SQUARE, TEX_SQUARE})
        for (int nMode : {POINTS, WIRE, SHADED, HIDDEN, 3, 5, -1})
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
                    for (GLenum nCap : {GL_LIGHTING, GL_CULL_FACE, GL_COLOR_MATERIAL, GL_TEXTURE_2D,
                                        GL_POLYGON_OFFSET_FILL})
                        EXPECT_EQ(glIsEnabled(nCap), nCap == GL_LIGHTING ? GL_TRUE : GL_FALSE) << nCap;
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
    EXPECT_TRUE(nSecond == nFirst || glIsList(nFirst) == GL_FALSE);
    // Either way only the new content remains: points, not the filled square.
    Draw(nSecond);
    EXPECT_EQ(LitPixels(), 4);
    pMesh.reset();
    EXPECT_EQ(glIsList(nSecond), GL_FALSE);
}
} // namespace
