// Mesh display lists checked by the pixels they draw and the state they leave behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "GlTestSupport.h"
#include "drawing/MeshDrawing.h"
#include "drawing/MeshGL.h"
#include "drawing/MeshPreparation.h"
#include "drawing/SharedGLContext.h"
#include "drawing/Tessellator.h"
#include "formats/ModelFormats.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

using namespace GlTest;

namespace
{
// L-shaped hexagon, concave at (1, 1); the notch is the square (1..2, 1..2). It starts at
// (2, 0), which cannot see the whole face: a fan from there would cover part of the notch.
constexpr const char* L_SHAPE = "OFF\n6 1 6\n2 0 0\n2 1 0\n1 1 0\n1 2 0\n0 2 0\n0 0 0\n6 0 1 2 3 4 5\n";
// A unit square facing the viewer; wound clockwise; with green vertex colours; with texture
// coordinates.
constexpr const char* SQUARE = "OFF\n4 1 4\n-0.5 -0.5 0\n0.5 -0.5 0\n0.5 0.5 0\n-0.5 0.5 0\n4 0 1 2 3\n";
constexpr const char* SQUARE_CW = "OFF\n4 1 4\n-0.5 -0.5 0\n0.5 -0.5 0\n0.5 0.5 0\n-0.5 0.5 0\n4 0 3 2 1\n";
constexpr const char* GREEN_SQUARE = "COFF\n4 1 4\n-0.5 -0.5 0 0 1 0\n0.5 -0.5 0 0 1 0\n0.5 0.5 0 0 1 0\n"
                                     "-0.5 0.5 0 0 1 0\n4 0 1 2 3\n";
constexpr const char* TEX_SQUARE = "STOFF\n4 1 4\n-0.5 -0.5 0 0 0\n0.5 -0.5 0 1 0\n0.5 0.5 0 1 1\n"
                                   "-0.5 0.5 0 0 1\n4 0 1 2 3\n";
constexpr double EXTENT = 1.25; // the view shows [-EXTENT, EXTENT]^2
constexpr int FLAT = SHADE_FLAT, GOURAUD = SHADE_GOURAUD, SHADED = RENDER_SHADED, HIDDEN = RENDER_HIDDEN_LINE,
              WIRE = RENDER_WIREFRAME, POINTS = RENDER_POINTS;
constexpr bool NEAR = true;

// 'k'lack, 'w'hite, gre'y' (0x808080, the fill colour the tests give hidden-line faces), 'r'ed,
// 'g'reen or 'b'lue (one channel clearly above the other two), or '?'.
char ColourOf(const uint8_t* rgb)
{
    const int nMax = std::max({rgb[0], rgb[1], rgb[2]}), nMin = std::min({rgb[0], rgb[1], rgb[2]});
    if (nMax < 16 || nMin > 200 || (nMin > 100 && nMax < 160))
        return nMax < 16 ? 'k' : nMin > 200 ? 'w' : 'y';
    for (int c = 0; c < 3; ++c)
        if (rgb[c] > 60 && rgb[(c + 1) % 3] < rgb[c] / 3 && rgb[(c + 2) % 3] < rgb[c] / 3)
            return "rgb"[c];
    return '?';
}

// Whether the pixel showing the mesh's point (x, y) has the colour; with bNear any pixel of the
// 3 x 3 block around it will do, as lines and points may land on a neighbour.
testing::AssertionResult Shows(const CMesh& mesh, double x, double y, char cColour, bool bNear = false)
{
    const auto toPixel = [](double d) { return static_cast<int>((d + EXTENT) / (2.0 * EXTENT) * SIZE); };
    const int nReach = bNear ? 1 : 0, nSide = 2 * nReach + 1;
    uint8_t rgba[9 * 4] = {};
    glReadPixels(toPixel(x - mesh.m_vCenter.x) - nReach, toPixel(y - mesh.m_vCenter.y) - nReach, nSide, nSide,
                 GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    for (int i = 0; i < nSide * nSide; ++i)
        if (ColourOf(&rgba[4 * i]) == cColour)
            return testing::AssertionSuccess();
    const uint8_t* pCentre = &rgba[4 * (nSide * nSide / 2)];
    return testing::AssertionFailure() << "(" << x << ", " << y << ") shows " << +pCentre[0] << ","
                                       << +pCentre[1] << "," << +pCentre[2] << ", not " << cColour;
}

int LitPixels()
{
    std::vector<uint8_t> rgba;
    if (!Context()->ReadPixels(rgba))
        return -1;
    int nLit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        nLit += ColourOf(&rgba[i]) != 'k';
    return nLit;
}

std::unique_ptr<CMesh> MeshFromOFF(std::string_view text)
{
    auto pMesh = std::make_unique<CMesh>();
    EXPECT_TRUE(pMesh->ReadOFFBuffer(text, "test.off")) << text;
    pMesh->SetFillColor(0x808080);
    return pMesh;
}

// Builds the mesh's list in the mode, clears the frame and draws the mesh once (its list moves the
// mesh's centre to the origin and leaves that translation in place). Whatever the settings, the
// drawing must leave the view's baseline state behind.
uint32_t Draw(CMesh& mesh, int nMode)
{
    mesh.m_nRenderMode = nMode;
    const uint32_t nList = CMeshGL::Build(mesh);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    CMeshGL::Draw(mesh);
    glPopMatrix();
    for (GLenum nCap : {GL_LIGHTING, GL_CULL_FACE, GL_COLOR_MATERIAL, GL_TEXTURE_2D, GL_POLYGON_OFFSET_FILL,
                        GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_EQ(glIsEnabled(nCap), nCap == GL_LIGHTING ? GL_TRUE : GL_FALSE) << nCap;
    GLint nShadeModel = 0;
    glGetIntegerv(GL_SHADE_MODEL, &nShadeModel);
    EXPECT_EQ(nShadeModel, GL_SMOOTH);
    // Unbalanced attribute pushes and pops would show here.
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return nList;
}

// A one-texel texture, green.
GLuint GreenTexture()
{
    const uint8_t texel[3] = {0, 255, 0};
    GLuint nTexture = 0;
    glGenTextures(1, &nTexture);
    glBindTexture(GL_TEXTURE_2D, nTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    return nTexture;
}

class MeshDisplayListTest : public ::testing::Test
{
protected:
    // The view's start-up state: blue front and red back material, two-sided lighting, smooth
    // shading, culling and polygon offset off, white current colour, a black background.
    void SetUp() override
    {
        ASSERT_NE(Context(), nullptr);
        const GLfloat fFront[4] = {0, 0, 0.7f, 1}, fBack[4] = {0.7f, 0, 0, 1}, fWhite[4] = {1, 1, 1, 1};
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-EXTENT, EXTENT, -EXTENT, EXTENT, -10.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat fLightDirection[4] = {0, 0, 1, 0};
        glLightfv(GL_LIGHT0, GL_POSITION, fLightDirection);
        for (GLenum nCap : {GL_DEPTH_TEST, GL_LIGHT0, GL_LIGHTING})
            glEnable(nCap);
        for (GLenum nCap : {GL_POLYGON_OFFSET_FILL, GL_CULL_FACE, GL_COLOR_MATERIAL, GL_TEXTURE_2D})
            glDisable(nCap);
        glClearColor(0, 0, 0, 1);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, fFront);
        glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, fBack);
        glShadeModel(GL_SMOOTH);
        glPolygonOffset(1, 1);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glColor4fv(fWhite);
        // Textured pixels show the texel itself, whatever the material.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }
};

// The concave face fills its arms and leaves its notch in every mode; flat and Gouraud builds
// alternate, so that a begin callback left registered by the previous build would show.
TEST_F(MeshDisplayListTest, ConcaveFaceFillsItsArmsAndLeavesItsNotch)
{
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(L_SHAPE);
    const double arms[][2] = {{1.5, 0.5}, {0.5, 1.5}, {0.5, 0.5}}, notch[][2] = {{1.5, 1.5}, {1.15, 1.4}};
    const int modes[3] = {SHADED, HIDDEN, WIRE};
    for (int m = 0; m < 3; ++m)
        for (int nShading : {FLAT, GOURAUD, FLAT})
        {
            SCOPED_TRACE(testing::Message() << modes[m] << " " << nShading);
            pMesh->m_nShading = nShading;
            Draw(*pMesh, modes[m]);
            // Wireframe draws the outline only, no tessellation edges.
            for (const auto& p : arms)
                EXPECT_TRUE(Shows(*pMesh, p[0], p[1], "byk"[m]));
            for (const auto& p : notch)
                EXPECT_TRUE(Shows(*pMesh, p[0], p[1], 'k'));
            EXPECT_TRUE(Shows(*pMesh, 1.5, 1.0, 'b', NEAR));
        }
}

// Settings: 'f'lat shading, 'u'nlit, 'c'ulled, a 't'exture, the texture switched 'o'n.
// Expected: the colours of a corner as a point, the bottom edge as a line, the centre as a face,
// and the edge and the centre in hidden-line mode ('.': not probed).
const std::tuple<const char*, std::string_view, const char*> APPEARANCES[] = {
    // Culling removes a face wound clockwise; without culling its back shows the red material.
    {SQUARE, "c", "..b.."},
    {SQUARE_CW, "c", "..k.."},
    {SQUARE_CW, "fc", "..k.."},
    {SQUARE_CW, "", "..r.."},
    // Without lighting the faces take the current colour (white here).
    {SQUARE, "u", "..w.."},
    {SQUARE, "fu", "..w.."},
    // Vertex colours: with Gouraud shading everywhere but the hidden-line faces; with flat
    // shading only as points.
    {GREEN_SQUARE, "", "ggggy"},
    {GREEN_SQUARE, "u", "..g.."},
    {GREEN_SQUARE, "f", "gbbby"},
    // The texture only on shaded faces, only while switched on and named.
    {TEX_SQUARE, "to", ".bg.y"},
    {TEX_SQUARE, "fto", "..g.."},
    {TEX_SQUARE, "t", "..b.."},
    {TEX_SQUARE, "o", "..b.."},
};

const auto Has = [](std::string_view settings, char c) { return settings.find(c) != settings.npos; };

TEST_F(MeshDisplayListTest, DrawsEachModeShadingAndSetting)
{
    const int modes[5] = {POINTS, WIRE, SHADED, HIDDEN, HIDDEN};
    for (const auto& [pszOff, settings, expected] : APPEARANCES)
    {
        std::unique_ptr<CMesh> pMesh = MeshFromOFF(pszOff);
        pMesh->m_nShading = Has(settings, 'f') ? FLAT : GOURAUD;
        pMesh->m_bLighting = !Has(settings, 'u');
        pMesh->m_bCulling = Has(settings, 'c');
        CMeshGL::Of(*pMesh).m_nTexture = Has(settings, 't') ? GreenTexture() : 0;
        pMesh->m_bTextureOn = Has(settings, 'o');
        for (int i = 0; i < 5; ++i)
            if (expected[i] != '.')
            {
                Draw(*pMesh, modes[i]);
                const bool bFace = i == 2 || i == 4;
                EXPECT_TRUE(Shows(*pMesh, i == 0 ? -0.5 : 0.0, bFace ? 0.0 : -0.5, expected[i], !bFace))
                    << pszOff[0] << " " << settings << ", mode " << modes[i];
            }
    }
}

// A PLY of vertices only opens as a point cloud, unlit: each point shows in its own colour where it
// lies, and nothing shows between them.
TEST_F(MeshDisplayListTest, PointCloudDrawsItsPointsInTheirColours)
{
    const std::string strPly = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                               "property float z\nproperty uchar red\nproperty uchar green\n"
                               "property uchar blue\nend_header\n-0.5 -0.5 0 255 0 0\n0.5 -0.5 0 0 255 0\n"
                               "0 0.5 0 0 0 255\n";
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadModelBuffer(*ModelFormatNamed("PLY"), strPly, "cloud.ply"));
    ASSERT_EQ(mesh.m_nRenderMode, POINTS);
    EXPECT_FALSE(mesh.m_bLighting);
    Draw(mesh, mesh.m_nRenderMode);
    EXPECT_TRUE(Shows(mesh, -0.5, -0.5, 'r', NEAR));
    EXPECT_TRUE(Shows(mesh, 0.5, -0.5, 'g', NEAR));
    EXPECT_TRUE(Shows(mesh, 0.0, 0.5, 'b', NEAR));
    EXPECT_TRUE(Shows(mesh, 0.0, -0.2, 'k', NEAR));
}

TEST_F(MeshDisplayListTest, HiddenLineShowsOnlyTheLinesInFront)
{
    // A front square at z = 0.5 and, behind it, a taller rectangle whose left edge x = 0 runs
    // behind the front square for -0.5 < y < 0.5.
    std::unique_ptr<CMesh> pMesh = MeshFromOFF("OFF\n8 2 8\n-0.5 -0.5 0.5\n0.5 -0.5 0.5\n0.5 0.5 0.5\n"
                                               "-0.5 0.5 0.5\n0 -1 -0.5\n1 -1 -0.5\n1 1 -0.5\n0 1 -0.5\n"
                                               "4 0 1 2 3\n4 4 5 6 7\n");
    for (int nMode : {WIRE, HIDDEN})
    {
        Draw(*pMesh, nMode);
        // The back edge shows below the front square, through it only in wireframe; the front
        // square's own edges stay.
        EXPECT_TRUE(Shows(*pMesh, 0.0, -0.8, 'b', NEAR)) << nMode;
        EXPECT_EQ(static_cast<bool>(Shows(*pMesh, 0.0, 0.0, 'b', NEAR)), nMode == WIRE) << nMode;
        EXPECT_TRUE(Shows(*pMesh, -0.5, 0.0, 'b', NEAR)) << nMode;
        EXPECT_TRUE(Shows(*pMesh, 0.5, 0.25, 'b', NEAR)) << nMode;
    }
    // A square tilted steeply away, wound both ways: the offset fill must stay behind every
    // pixel of its outline.
    pMesh =
        MeshFromOFF("OFF\n4 2 8\n-0.8 -0.7 -3\n0.7 -0.8 3\n0.8 0.7 3\n-0.7 0.8 -3\n4 0 1 2 3\n4 3 2 1 0\n");
    pMesh->SetFillColor(0);
    Draw(*pMesh, WIRE);
    const int nOutline = LitPixels();
    EXPECT_GT(nOutline, 100);
    Draw(*pMesh, HIDDEN);
    EXPECT_EQ(LitPixels(), nOutline);
}

// A face with a NaN coordinate is left out of the filled modes (the tessellator's sweep would
// crash on it); the other faces still draw.
TEST_F(MeshDisplayListTest, SkipsFacesWithNaNCoordinates)
{
    // A 120-gon, too large for the tessellator's shortcut for small convex faces, and a square.
    std::string off = "OFF\n124 2 124\n", face = "120";
    for (int i = 0; i < 120; ++i)
    {
        off += std::to_string(0.5 + 0.4 * std::cos(i * 0.05236)) + " " +
               std::to_string(0.4 * std::sin(i * 0.05236)) + " 0\n";
        // Appended, not " " + string: GCC 12 at -O3 warns falsely (-Wrestrict) on that.
        face.append(" ").append(std::to_string(i));
    }
    std::unique_ptr<CMesh> pMesh = MeshFromOFF(off + "-0.9 -0.4 0\n-0.1 -0.4 0\n-0.1 0.4 0\n-0.9 0.4 0\n" +
                                               face + "\n4 120 121 122 123\n");
    pMesh->m_ppVertices[7][1] = std::nan("");
    for (int nMode : {SHADED, HIDDEN})
    {
        Draw(*pMesh, nMode);
        EXPECT_TRUE(Shows(*pMesh, -0.5, 0.0, nMode == SHADED ? 'b' : 'y'));
        EXPECT_TRUE(Shows(*pMesh, 0.5, 0.0, 'k'));
    }
}

// Every combination of settings leaves the baseline state behind (Draw checks it), and a mode
// that does not exist draws nothing.
TEST_F(MeshDisplayListTest, RestoresBaselineStateForEverySetting)
{
    const GLuint nTexture = GreenTexture();
    for (const char* pszOff : {SQUARE, GREEN_SQUARE, TEX_SQUARE})
        for (int nMode : {POINTS, WIRE, SHADED, HIDDEN, 3, 5, -1})
            for (int nFlags = 0; nFlags < 16; ++nFlags)
            {
                SCOPED_TRACE(testing::Message() << pszOff[0] << " mode " << nMode << " flags " << nFlags);
                std::unique_ptr<CMesh> pMesh = MeshFromOFF(pszOff);
                pMesh->m_bLighting = (nFlags & 1) != 0;
                pMesh->m_bCulling = (nFlags & 2) != 0;
                pMesh->m_nShading = (nFlags & 4) != 0 ? FLAT : GOURAUD;
                pMesh->m_bTextureOn = (nFlags & 8) != 0 && pMesh->m_bHasTexCoords;
                CMeshGL::Of(*pMesh).m_nTexture = pMesh->m_bTextureOn ? nTexture : 0;
                Draw(*pMesh, nMode);
                CMeshGL::Of(*pMesh).m_nTexture = 0; // shared by every mesh of the loop
                EXPECT_EQ(nMode == 3 || nMode == 5 || nMode == -1 ? LitPixels() : 0, 0);
            }
    glDeleteTextures(1, &nTexture);
}

// Each rebuild deletes the old list and only the new content remains; vertices without faces
// show as points only.
TEST_F(MeshDisplayListTest, RebuildReplacesTheOldList)
{
    auto pMesh = std::make_unique<CMesh>();
    pMesh->Allocate(3, 0, 0);
    const double records[3][6] = {{-0.5, -0.5, 0, 0, 0, 1}, {0.5, -0.5, 0, 0, 0, 1}, {0, 0.5, 0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        std::copy(records[i], records[i] + 6, pMesh->m_ppVertices[i]);
    pMesh->ComputeBounds();
    std::unique_ptr<CMesh> pOther = MeshFromOFF(L_SHAPE);
    uint32_t nOld = 0;
    for (int nMode : {POINTS, WIRE, SHADED, POINTS, HIDDEN})
    {
        const uint32_t nList = Draw(*pMesh, nMode);
        EXPECT_EQ(glIsList(nList), GL_TRUE);
        EXPECT_EQ(CMeshGL::ListOf(*pMesh), nList);
        EXPECT_TRUE(nOld == 0 || nOld == nList || glIsList(nOld) == GL_FALSE) << nMode;
        EXPECT_EQ(LitPixels(), nMode == POINTS ? 3 : 0) << nMode;
        EXPECT_EQ(static_cast<bool>(Shows(*pMesh, 0.0, 0.5, 'b', NEAR)), nMode == POINTS) << nMode;
        CMeshGL::Build(*pOther); // keeps the allocator from handing back the same name
        nOld = nList;
    }
    pMesh.reset();
    EXPECT_EQ(glIsList(nOld), GL_FALSE);
}

// A wavy sheet of 10 x 10 cells with colours and texture coordinates, each cell another kind of
// face, by its corners a b c d and points m below its bottom edge, n above it (concave: the
// tessellator's sweep) and z on it: two triangles, a quad, two pentagons, a point twice, a quad
// wound the other way, and a sliver with a flat triangle. Without bConcave a quad stands for the
// concave pentagon and two triangles for the sliver: every face is then drawn as one fan.
std::string MixedSheetOFF(bool bConcave = true)
{
    std::string vertices, faces;
    int nVertices = 0, nFaces = 0;
    const auto vertex = [&](double x, double y)
    {
        for (double d : {x, y, 0.3 * std::sin(2 * x) * std::cos(3 * y), nVertices % 5 * 0.25,
                         nVertices % 3 * 0.5, nVertices % 7 / 6.0, x * 0.8, y * 0.6})
            vertices += std::to_string(d) + " ";
        vertices += "\n";
        return nVertices++;
    };
    for (int j = 0; j <= 10; ++j)
        for (int i = 0; i <= 10; ++i)
            vertex(i * 0.2 - 1.0, j * 0.2 - 1.0);
    const std::string kinds[] = {"abc acd",
                                 "abcd",
                                 "ambcd",
                                 bConcave ? "anbcd" : "abcd",
                                 "abbcd",
                                 "adcb",
                                 bConcave ? "abcz abz" : "abc acd abz"};
    for (int a = 0; a < 109; ++a)
    {
        const int corners[4] = {a, a + 1, a + 12, a + 11};
        const double x = a % 11 * 0.2 - 0.9, y = a / 11 * 0.2 - 1.0;
        std::string face;
        for (char c : a % 11 == 10 ? std::string() : kinds[(a + a / 11) % 7] + " ")
            if (c != ' ')
                face.append(" ").append(std::to_string(c <= 'd' ? corners[c - 'a']
                                                                : vertex(x, y + (c == 'm'   ? -0.04
                                                                                 : c == 'n' ? 0.1
                                                                                            : 0))));
            else
            {
                faces += std::to_string(std::count(face.begin(), face.end(), ' ')) + face + "\n";
                face.clear();
                ++nFaces;
            }
    }
    return "STCOFF\n" + std::to_string(nVertices) + " " + std::to_string(nFaces) + " 0\n" + vertices + faces;
}

// The sheet's triangles as a soup, each with vertices of its own, and one of no area among them.
std::string SoupOFF()
{
    std::string vertices, faces;
    int nVertices = 0;
    const auto corner = [&](double x, double y)
    {
        for (double d : {x, y, 0.3 * std::sin(2 * x) * std::cos(3 * y), nVertices % 5 * 0.25,
                         nVertices % 3 * 0.5, nVertices % 7 / 6.0, x * 0.8, y * 0.6})
            vertices += std::to_string(d) + " ";
        vertices += "\n";
        ++nVertices;
    };
    constexpr double CELL_TRIANGLES[2][6] = {{0, 0, .2, 0, .2, .2}, {0, 0, .2, .2, 0, .2}};
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i)
        {
            const double x = i * 0.2 - 1.0, y = j * 0.2 - 1.0;
            for (const auto& p : CELL_TRIANGLES)
            {
                for (int k = 0; k < 6; k += 2)
                    corner(x + p[k], y + p[k + 1]);
                faces += "3 " + std::to_string(nVertices - 3) + " " + std::to_string(nVertices - 2) + " " +
                         std::to_string(nVertices - 1) + "\n";
            }
            if (i == 5 && j == 5)
            {
                for (int k = 0; k < 3; ++k)
                    corner(x, y);
                faces += "3 " + std::to_string(nVertices - 3) + " " + std::to_string(nVertices - 2) + " " +
                         std::to_string(nVertices - 1) + "\n";
            }
        }
    return "STCOFF\n" + std::to_string(nVertices) + " " + std::to_string(nVertices / 3) + " 0\n" + vertices +
           faces;
}

// The worker contexts and the small runs that split even small meshes into run lists, for a test.
struct SSplitBuilds
{
    std::unique_ptr<CSharedGLContext> pWorkers[2] = {Context()->CreateSharedContext(),
                                                     Context()->CreateSharedContext()};
    SSplitBuilds()
    {
        CMeshPreparation::SetWorkerContexts({pWorkers[0].get(), pWorkers[1].get()});
        CMeshPreparation::SetRunSize(7);
    }
    ~SSplitBuilds()
    {
        CMeshPreparation::SetWorkerContexts({});
        CMeshPreparation::SetRunSize(0);
    }
};

// Faces sent without the tessellator in long primitives, and the hidden-line fill colour sent
// once, draw exactly the pixels of the tessellator's own per-face output; so do lists that call
// lists of runs of faces compiled on two other contexts (prepared ahead or made by the build
// itself), and a soup or a sheet of fans drawn from its vertex records. For every setting that
// changes what reaches the faces, lit by the view's point light (flat shading lights each triangle
// at its last vertex).
TEST_F(MeshDisplayListTest, ShortcutsSplitListsAndArraysDrawTheTessellatorsPixels)
{
    const uint8_t texels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    const GLuint nTexture = GreenTexture();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const GLfloat fEyeLight[4] = {0, 0, 1, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, fEyeLight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 1.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslated(0.0, 0.0, -2.5);
    glRotated(-50.0, 1.0, 0.0, 0.0);
    struct SCase
    {
        const char* pszMesh;
        std::string off;
        bool bArrays; // drawn from its records when shaded smoothly
    };
    for (const SCase& test : {SCase{"sheet", MixedSheetOFF(), false},
                              SCase{"fans", MixedSheetOFF(false), true}, SCase{"soup", SoupOFF(), true}})
    {
        std::unique_ptr<CMesh> pMesh = MeshFromOFF(test.off);
        const char* pszMesh = test.pszMesh;
        CMeshGL::Of(*pMesh).m_nTexture = nTexture;
        for (int nFlags = 0; nFlags < 64; ++nFlags)
        {
            pMesh->m_nShading = (nFlags & 1) != 0 ? FLAT : GOURAUD;
            pMesh->m_bLighting = (nFlags & 2) == 0;
            pMesh->m_bHasColors = (nFlags & 4) == 0;
            pMesh->m_bTextureOn = (nFlags & 8) != 0;
            pMesh->m_bCulling = (nFlags & 16) != 0;
            pMesh->m_nRenderMode = (nFlags & 32) != 0 ? HIDDEN : SHADED;
            std::vector<uint8_t> pictures[3];
            for (int nWay = 0; nWay < 3; ++nWay)
            {
                SetTessShortcuts(nWay > 0);
                std::optional<SSplitBuilds> split;
                if (nWay == 2)
                    split.emplace();
                if (nWay == 2 && nFlags % 2 == 0)
                    CMeshPreparation(*pMesh, true).Finish();
                Draw(*pMesh, pMesh->m_nRenderMode);
                Context()->ReadPixels(pictures[nWay]);
                const CMeshDrawing* pDrawing = CMeshGL::Find(*pMesh)->m_pDrawing.get();
                const bool bSmooth = pMesh->m_nRenderMode == SHADED && nFlags % 2 == 0;
                const bool bArrays = pDrawing != nullptr && pDrawing->m_bArrays;
                EXPECT_TRUE(nWay < 2 || !bSmooth || !RendersInSystemMemory() || bArrays == test.bArrays)
                    << pszMesh << " flags " << nFlags;
            }
            EXPECT_EQ(pictures[1], pictures[0]) << pszMesh << " flags " << nFlags;
            EXPECT_EQ(pictures[2], pictures[0]) << pszMesh << " flags " << nFlags;
            EXPECT_GT(LitPixels(), SIZE * SIZE / 4);
        }
        CMeshGL::Of(*pMesh).m_nTexture = 0;
    }
    SetTessShortcuts(true);
    glDeleteTextures(1, &nTexture);
}
} // namespace
