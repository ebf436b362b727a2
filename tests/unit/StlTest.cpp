#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <tuple>

#include "formats/ByteWindow.h"
#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/ModelFormats.h"
#include "formats/stl/StlFormat.h"
#include "model/Camera.h"
#include "platform/ReadProgress.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using Triangle = std::array<CVector3, 3>;
using StlTest = CScratchTest;

const Triangle TRI_A = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)};
const Triangle TRI_B = {CVector3(0, 0, 2), CVector3(3, 0, 2), CVector3(0, 4, 2)};
const Triangle TRI_NAN = {CVector3(0, 0, 0), CVector3(1, std::nan(""), 0), CVector3(0, 1, 0)};

// Binary STL bytes with normals the reader must ignore; the count may differ from the facets.
std::string BinaryStl(const std::vector<Triangle>& triangles, int64_t nCount = -1)
{
    std::string bytes(80, 'h');
    const auto put = [&bytes](uint32_t n) { bytes += {char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; };
    put(static_cast<uint32_t>(nCount < 0 ? static_cast<int64_t>(triangles.size()) : nCount));
    for (const Triangle& t : triangles)
    {
        for (double d :
             {9.0, 9.0, 9.0, t[0].x, t[0].y, t[0].z, t[1].x, t[1].y, t[1].z, t[2].x, t[2].y, t[2].z})
            put(std::bit_cast<uint32_t>(static_cast<float>(d)));
        bytes += std::string("\x07\x00", 2);
    }
    return bytes;
}

// One facet on one line: the counting pass sees one "normal" line per facet.
std::string AsciiFacet(const Triangle& t, const char* pszNormal = "facet normal 0 0 1")
{
    std::string s = std::string(pszNormal) + " outer loop";
    for (const CVector3& p : t)
        s += " vertex " + std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' + std::to_string(p.z);
    return s + " endloop endfacet\n";
}

CMesh* AddTriangles(CTeldViewGLDoc& doc, const std::vector<Triangle>& triangles)
{
    std::vector<CVector3> vertices;
    std::vector<std::vector<int32_t>> faces;
    for (const Triangle& t : triangles)
    {
        faces.push_back({0, 1, 2});
        for (int32_t& v : faces.back())
            v += static_cast<int32_t>(vertices.size());
        vertices.insert(vertices.end(), t.begin(), t.end());
    }
    return AddMesh(doc, vertices, faces);
}

std::vector<double> Bounds(const CTeldViewGLDoc& doc)
{
    return {doc.m_dSceneBounds, doc.m_dSceneBounds + 6};
}

// The twelve counter-clockwise triangles of the unit cube.
std::vector<Triangle> Cube()
{
    const auto corner = [](int i) { return CVector3(i & 1, (i >> 1) & 1, (i >> 2) & 1); };
    std::vector<Triangle> cube;
    for (const auto& q :
         {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}})
    {
        cube.push_back({corner(q[0]), corner(q[1]), corner(q[2])});
        cube.push_back({corner(q[0]), corner(q[2]), corner(q[3])});
    }
    return cube;
}

TEST_F(StlTest, BinaryCubeReplacesTheModel)
{
    const std::vector<Triangle> cube = Cube();
    // The reused mesh must not keep the old model's record size or position; display settings stay.
    ASSERT_TRUE(m_doc.ImportSTL(Write("a.stl", "solid a\n" + AsciiFacet(TRI_B)), STL_ASCII));
    CMesh& mesh = MeshAt(m_doc, 1);
    mesh.m_nRecordSize = 11;
    mesh.m_vPosition = CVector3(5, 5, 5);
    mesh.m_nRenderMode = RENDER_WIREFRAME;
    const std::string strPath = Write("cube.stl", BinaryStl(cube) + "trailing bytes are ignored");
    ASSERT_TRUE(m_doc.ImportSTL(strPath, STL_BINARY));
    EXPECT_EQ(ObjectList(m_doc), (std::vector<CSceneObject*>{m_doc.m_pCamera, &mesh}));
    EXPECT_TRUE(m_doc.m_pCurrentObject == &mesh && m_doc.m_bHasMesh && mesh.m_bLoaded);
    EXPECT_EQ(mesh.m_strName + " " + mesh.m_strPath, "cube.stl " + strPath);
    EXPECT_EQ(std::tuple(mesh.m_nRecordSize, mesh.m_vPosition.x, mesh.m_nRenderMode),
              std::tuple(6, 0.0, RENDER_WIREFRAME));
    EXPECT_EQ(std::tuple(mesh.m_nVertices, mesh.m_nFaces, mesh.m_nEdges, mesh.m_nLargestFace),
              std::tuple(36, 12, 36, 3));
    for (size_t f = 0; f < 12; ++f)
    {
        // Normals computed, not the file's 9s; each facet owns its three corners.
        EXPECT_NEAR(CVector3(mesh.m_ppFaceNormals[f]).LengthSquared(), 1.0, 1e-12);
        ASSERT_EQ(mesh.m_pFaceSizes[f], 3);
        for (size_t i = 0; i < 3; ++i)
        {
            const int32_t v = mesh.m_ppFaces[f][i];
            EXPECT_EQ(v, static_cast<int32_t>(3 * f + i));
            EXPECT_EQ((CVector3(mesh.m_ppVertices[v]) - cube[f][i]).LengthSquared(), 0.0);
        }
    }
    EXPECT_EQ(Bounds(m_doc), (std::vector<double>{0, 1, 0, 1, 0, 1})); // exactly the new model's box
}

// Vertex normals are smoothed across the facets at one position, within 60 degrees: a cube keeps
// its edges, a shallow ridge shades round, also after Transform; the point cloud file keeps each
// vertex's facet normal, as it always held. Soups of other formats but OFF shade so too.
TEST_F(StlTest, NormalsAreSmoothedWithinTheCreaseAngle)
{
    ASSERT_TRUE(m_doc.ImportSTL(Write("cube.stl", BinaryStl(Cube())), STL_BINARY));
    const CMesh& cube = MeshAt(m_doc, 1);
    for (int32_t v = 0; v < cube.m_nVertices; ++v)
        EXPECT_LT((CVector3(cube.m_ppVertices[v] + SLOT_NORMAL) - CVector3(cube.m_ppFaceNormals[v / 3]))
                      .LengthSquared(),
                  1e-24)
            << v;

    // Loose triangles share too little to be worth the memory: they keep their facets' normals.
    std::vector<Triangle> loose;
    for (int i = 0; i < 300; ++i)
        loose.push_back({CVector3(2 * i, 0, 0), CVector3(2 * i + 1, 0, 0), CVector3(2 * i, 1, i % 2)});
    CMesh scattered;
    ASSERT_TRUE(scattered.ReadSTLBuffer(BinaryStl(loose), STL_BINARY, "loose.stl"));
    EXPECT_FALSE(scattered.m_bWeldedNormals);
    EXPECT_EQ(CVector3(scattered.m_ppVertices[4] + SLOT_NORMAL).z, CVector3(scattered.m_ppFaceNormals[1]).z);

    // Two facets folded by about 27 degrees along the edge from (0,0,0) to (1,0,0).
    const std::vector<Triangle> ridge = {{CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)},
                                         {CVector3(1, 0, 0), CVector3(0, 0, 0), CVector3(0.5, -1, 0.5)}};
    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.ImportSTL(Write("ridge.stl", BinaryStl(ridge)), STL_BINARY));
    CMesh& mesh = MeshAt(m_doc, 2);
    const auto normal = [&mesh](int v) { return CVector3(mesh.m_ppVertices[v] + SLOT_NORMAL); };
    const auto expectRound = [&](const char* pszWhen)
    {
        CVector3 vEdge = CVector3(mesh.m_ppFaceNormals[0]) + CVector3(mesh.m_ppFaceNormals[1]);
        vEdge.Normalize();
        for (const int v : {0, 1, 3, 4})
            EXPECT_LT((normal(v) - vEdge).LengthSquared(), 1e-24) << pszWhen << v;
        EXPECT_LT((normal(2) - CVector3(mesh.m_ppFaceNormals[0])).LengthSquared(), 1e-24) << pszWhen;
        EXPECT_LT((normal(5) - CVector3(mesh.m_ppFaceNormals[1])).LengthSquared(), 1e-24) << pszWhen;
    };
    expectRound("read");
    mesh.Transform(CVector3(1, 0, 0), CVector3(0, 0, -1), CVector3(0, 1, 0));
    expectRound("turned");

    // A PLY soup of the same ridge shades as round; the same faces sharing their vertices as OFF do
    // anyway, and where an OFF file shares none it keeps its facets.
    std::string strSoup =
        "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\n"
        "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n";
    std::string strOff = "OFF\n6 2 0\n";
    for (const Triangle& t : ridge)
        for (const CVector3& p : t)
            for (std::string* pText : {&strSoup, &strOff})
                *pText += std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' + std::to_string(p.z) + '\n';
    strSoup += "3 0 1 2\n3 3 4 5\n";
    strOff += "3 0 1 2\n3 3 4 5\n";
    CMesh ply, off;
    ASSERT_TRUE(ply.ReadModelBuffer(*ModelFormatNamed("PLY"), strSoup, "ridge.ply"));
    ASSERT_TRUE(off.ReadOFFBuffer(strOff, "ridge.off"));
    EXPECT_TRUE(ply.m_bWeldedNormals && !off.m_bWeldedNormals);
    EXPECT_LT((CVector3(ply.m_ppVertices[0] + SLOT_NORMAL) - CVector3(ply.m_ppVertices[4] + SLOT_NORMAL))
                  .LengthSquared(),
              1e-24);
    EXPECT_GT((CVector3(off.m_ppVertices[0] + SLOT_NORMAL) - CVector3(off.m_ppVertices[4] + SLOT_NORMAL))
                  .LengthSquared(),
              0.1);

    ASSERT_TRUE(m_doc.ExportScene(Path("points.pts"), EXPORT_POINT_CLOUD));
    const std::string bytes = ReadFile(Path("points.pts"));
    ASSERT_EQ(bytes.size(), 28u + 24u * 42u);
    for (size_t v = 0; v < 6; ++v)
        for (size_t k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(FloatAt(bytes, 28 + 24 * (36 + v) + 12 + 4 * k),
                            static_cast<float>(mesh.m_ppFaceNormals[v / 3][k]))
                << v;
}

bool Same(const CVector3& a, const CVector3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// A sheet of nColumns x nRows unit cells, two triangles each, standing up by 90 degrees from
// column nFold on (those cells in the plane x = nFold): a crease, and flat shading either side.
std::vector<Triangle> FoldedSheet(int nColumns, int nRows, int nFold)
{
    const auto at = [nFold](int x, int y)
    { return x <= nFold ? CVector3(x, y, 0) : CVector3(nFold, y, x - nFold); };
    std::vector<Triangle> sheet;
    for (int y = 0; y < nRows; ++y)
        for (int x = 0; x < nColumns; ++x)
        {
            sheet.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
            sheet.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
        }
    return sheet;
}

// A smoothed soup keeps one record per position and normal, made behind a big read whose records
// are given back or handed on ahead of the reader on the way (a million triangles, as the reader
// waits for the numbering half a million behind); every vertex reads as before, and what changes
// the records changes each vertex once. A read that fails half way leaves nothing; a soup that
// turns out to share too little gets a record per vertex back.
TEST_F(StlTest, SmoothedSoupsShareTheirRecords)
{
    const std::vector<Triangle> sheet = FoldedSheet(1000, 500, 500);
    CMesh mesh;
    ASSERT_TRUE(mesh.ReadSTL(Write("sheet.stl", BinaryStl(sheet)), STL_BINARY));
    ASSERT_TRUE(mesh.m_bWeldedNormals);
    // Each position once, those along the crease twice: one record for either side.
    EXPECT_EQ(mesh.m_nRecords, 1001 * 501 + 501);
    const auto expectSheet = [&](const CVector3& vOffset, double dNormalSign, const char* pszWhen)
    {
        for (int32_t v = 0; v < mesh.m_nVertices; ++v)
        {
            ASSERT_TRUE(
                Same(CVector3(mesh.m_ppVertices[v]), sheet[static_cast<size_t>(v / 3)][v % 3] + vOffset))
                << pszWhen << v;
            const CVector3 vFace = CVector3(mesh.m_ppFaceNormals[v / 3]) * dNormalSign;
            ASSERT_LT((CVector3(mesh.m_ppVertices[v] + SLOT_NORMAL) - vFace).LengthSquared(), 1e-24)
                << pszWhen << v;
        }
    };
    expectSheet(CVector3(), 1.0, "read");
    // The face arrays, made on two threads after the read, in steps.
    for (int32_t f = 0; f < mesh.m_nFaces; ++f)
        ASSERT_TRUE(mesh.m_pFaceSizes[f] == 3 && mesh.m_ppFaces[f][0] == 3 * f &&
                    mesh.m_ppFaces[f][2] == 3 * f + 2 &&
                    mesh.m_ppFaceNormals[f] == mesh.m_ppFaceNormals[0] + 3 * f)
            << f;
    mesh.Translate(CVector3(0.5, 0, 0));
    expectSheet(CVector3(0.5, 0, 0), 1.0, "moved");
    mesh.Invert();
    mesh.Invert();
    expectSheet(CVector3(0.5, 0, 0), 1.0, "inverted twice");
    mesh.Invert();
    EXPECT_EQ(CVector3(mesh.m_ppVertices[0] + SLOT_NORMAL).z, -1.0);
    mesh.Invert();
    // A quarter turn about z shares the records again.
    mesh.Transform(CVector3(0, -1, 0), CVector3(1, 0, 0), CVector3(0, 0, 1));
    EXPECT_EQ(mesh.m_nRecords, 1001 * 501 + 501);
    EXPECT_TRUE(Same(CVector3(mesh.m_ppVertices[0]), CVector3(0, 0.5, 0)));
    EXPECT_TRUE(Same(CVector3(mesh.m_ppFaceNormals[1200]), CVector3(0, -1, 0)));
    for (int32_t v = 0; v < mesh.m_nVertices; ++v)
        ASSERT_LT((CVector3(mesh.m_ppVertices[v] + SLOT_NORMAL) - CVector3(mesh.m_ppFaceNormals[v / 3]))
                      .LengthSquared(),
                  1e-24)
            << v;

    // A facet that is not finite, after the reader has filled blocks of faces: nothing is left.
    std::vector<Triangle> bad = sheet;
    bad[150000] = TRI_NAN;
    CMesh refused;
    EXPECT_FALSE(refused.ReadSTL(Write("bad.stl", BinaryStl(bad)), STL_BINARY));
    EXPECT_EQ(std::tuple(refused.m_nFaces, refused.m_bLoaded, refused.m_ppFaces),
              std::tuple(0, false, nullptr));

    // The sheet, then as many loose triangles as give the soup more positions than it may have:
    // the numbering gives up after the sheet's records were compacted and given back or handed on.
    std::vector<Triangle> mixed = FoldedSheet(1000, 500, 1000);
    for (int i = 0; i < 300000; ++i)
        mixed.push_back({CVector3(2 * i, 0, 9), CVector3(2 * i + 1, 0, 9), CVector3(2 * i, 1, 9 + i % 2)});
    CMesh loose;
    ASSERT_TRUE(loose.ReadSTL(Write("mixed.stl", BinaryStl(mixed)), STL_BINARY));
    EXPECT_FALSE(loose.m_bWeldedNormals);
    ASSERT_FALSE(loose.SharesRecords());
    for (int32_t v = 0; v < loose.m_nVertices; ++v)
    {
        ASSERT_EQ(loose.m_ppVertices[v], loose.VertexPool() + 6 * v);
        ASSERT_TRUE(Same(CVector3(loose.m_ppVertices[v]), mixed[static_cast<size_t>(v / 3)][v % 3])) << v;
        ASSERT_LT((CVector3(loose.m_ppVertices[v] + SLOT_NORMAL) - CVector3(loose.m_ppFaceNormals[v / 3]))
                      .LengthSquared(),
                  1e-24)
            << v;
    }
}

TEST_F(StlTest, AsciiFirstLineAndCountingPass)
{
    const std::string facetA = AsciiFacet(TRI_A, "  facet normal 0 0 1");
    const std::string facetB = AsciiFacet(TRI_B, "  FACET NORMAL 0 0 1");
    // Facets read (-1: refused). Lines are counted, not facets: upper-case NORMAL counts, a facet
    // without the word does not, and the uncounted facet is never read.
    const std::pair<std::string, int32_t> cases[] = {
        {"solid cube\n" + facetA + facetB + "endsolid cube\n", 2},
        {"SOLID cube\n" + facetA + "endsolid cube\n", 1},
        {"my SoLiD model\n" + facetA, 1},
        {"facet normal 0 0 1\n" + facetA + "endsolid\n", -1},
        {"", -1},
        {"solid\n" + facetB + facetB + facetB, 3},
        {"solid\n" + facetA + AsciiFacet(TRI_B, "facet n 0 0 1"), 1},
        {"solid x\r\nfacet normal 0 0 1\r\nouter loop vertex 0 0 0 vertex 1 0 0\r\nvertex 0 1 0 endloop "
         "endfacet",
         1},
        {"solid empty\nendsolid empty\n", 0},
    };
    for (const auto& [text, nFaces] : cases)
    {
        CTeldViewGLDoc doc;
        ASSERT_EQ(doc.ImportSTL(Write("a.stl", text), STL_ASCII), nFaces >= 0) << text;
        ASSERT_EQ(ObjectList(doc).size(), nFaces >= 0 ? 2u : 1u) << text;
        if (nFaces >= 0)
        {
            EXPECT_EQ(MeshAt(doc, 1).m_nVertices, 3 * nFaces) << text;
        }
    }

    // Values are the file's numbers, as doubles.
    ASSERT_TRUE(m_doc.ImportSTL(Write("b.stl", "solid\nfacet normal nan 0 0 outer loop vertex 0.1 -2.5e-3 +7 "
                                               "vertex 1 2 3 vertex -0 1e2 .5 endloop endfacet"),
                                STL_ASCII));
    const double expected[9] = {0.1, -2.5e-3, 7, 1, 2, 3, -0.0, 100, 0.5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(MeshAt(m_doc, 1).m_ppVertices[i / 3][i % 3], expected[i]) << i;

    // The counting pass alone: lines after the first, any case, anywhere in the line, once each.
    EXPECT_EQ(CountAsciiSTLNormalLines("solid normal\nNormal\n\nabnormality normal\nnorma l\n"), 2);
    EXPECT_EQ(CountAsciiSTLNormalLines("solid\nnormalnormal\r\nxxxxxxxxnoRMAL\nnorm\nal"), 2);
    EXPECT_EQ(CountAsciiSTLNormalLines("no line feed normal"), 0);
}

TEST_F(StlTest, MalformedFilesLeaveTheSceneUntouched)
{
    const std::string good = BinaryStl({TRI_A, TRI_B});
    const std::string facet = AsciiFacet(TRI_A);
    const auto ascii =
        [](const char* pszNormal, const char* pszVertex, const char* pszEnd = "endloop endfacet")
    {
        return "solid\nfacet normal " + std::string(pszNormal) + " outer loop vertex " + pszVertex +
               " vertex 1 0 0 vertex 0 1 0 " + pszEnd;
    };
    const std::pair<int, std::string> cases[] = {
        {STL_BINARY, good.substr(0, 83)},                           // shorter than the header
        {STL_BINARY, good.substr(0, good.size() - 1)},              // facet cut short
        {STL_BINARY, BinaryStl({TRI_A, TRI_B}, 3)},                 // count larger than the file
        {STL_BINARY, BinaryStl({TRI_A}, 0x80000000)},               // count 2^31
        {STL_BINARY, BinaryStl({TRI_A}, 715827883)},                // 3N vertices beyond a 32-bit count
        {STL_BINARY, BinaryStl({TRI_A, TRI_NAN})},                  // a coordinate that is not finite
        {STL_BINARY, BinaryStl({TRI_A}, 0)},                        // count 0 before a whole facet
        {STL_ASCII, "solid" + good.substr(5)},                      // binary with a "solid" header
        {STL_ASCII, "solid\n" + facet + std::string(1, '\0')},      // a NUL byte: not text
        {STL_ASCII, facet + facet},                                 // no solid
        {STL_ASCII, ascii("0 0 1", "0 0 x")},                       // non-number vertex
        {STL_ASCII, ascii("0 0 1", "0 0 1.5e")},                    // number with junk
        {STL_ASCII, ascii("0 0 1", "0 0 1,5")},                     // decimal comma
        {STL_ASCII, ascii("0 zero 1", "0 0 0")},                    // non-number normal
        {STL_ASCII, ascii("0 0 1", "0 0 inf")},                     // infinite vertex
        {STL_ASCII, ascii("0 0 1", "0 0 1e999")},                   // vertex out of range
        {STL_ASCII, "solid\n" + facet.substr(0, facet.size() / 2)}, // facet cut short
        {STL_ASCII, ascii("0 0 1", "0 0 0", "endloop")},            // facet without its last word
        {STL_ASCII, "solid\n" + facet + "endsolid normal\n"},       // more normal lines than facets
        {2, good},                                                  // unknown mode
    };
    const std::string strKept = Write("kept.stl", "solid kept\n" + AsciiFacet(TRI_B));
    for (bool bScene : {false, true})
        for (size_t i = 0; i < std::size(cases); ++i)
        {
            SCOPED_TRACE("case " + std::to_string(i) + (bScene ? " in scene mode" : " in replace mode"));
            CTeldViewGLDoc doc;
            doc.m_bScene = bScene;
            ASSERT_TRUE(doc.ImportSTL(strKept, STL_ASCII));
            const std::vector<CSceneObject*> listBefore = ObjectList(doc);
            const std::vector<double> boundsBefore = Bounds(doc);
            doc.m_bHasMesh = false; // a failed import must not claim a mesh

            EXPECT_FALSE(doc.ImportSTL(Write("bad.stl", cases[i].second), cases[i].first));
            EXPECT_EQ(ObjectList(doc), listBefore);
            EXPECT_EQ(doc.m_pCurrentObject, listBefore.back());
            EXPECT_EQ(Bounds(doc), boundsBefore);
            EXPECT_FALSE(doc.m_bHasMesh);
            EXPECT_EQ(MeshAt(doc, 1).m_strName + std::to_string(MeshAt(doc, 1).m_ppVertices[1][0]),
                      "kept.stl3.000000");
        }
    EXPECT_FALSE(m_doc.ImportSTL(Path("missing.stl"), STL_BINARY));
}

// Without a mode (a command-line input) a file loads when either import accepts it: a binary
// header may start with "solid", and text never holds a NUL byte.
TEST_F(StlTest, WithoutAModeTheContentDecides)
{
    const std::string binary = BinaryStl({TRI_A, TRI_B}), solid = "solid" + binary.substr(5);
    const std::pair<std::string, int32_t> cases[] = {
        {solid + "\n", 2},                       // a trailing byte is ignored
        {binary + "x", 2},                       // also without "solid"
        {solid.substr(0, solid.size() - 1), -1}, // truncated
        {"solid x\n" + AsciiFacet(TRI_A) + "endsolid x\n", 1},
    };
    for (const auto& [bytes, nFaces] : cases)
    {
        CTeldViewGLDoc doc;
        const bool bImported = doc.ImportSTL(Write("in.stl", bytes), STL_BY_CONTENT);
        EXPECT_EQ(bImported ? MeshAt(doc, 1).m_nFaces : -1, nFaces) << bytes.size() << " bytes";
    }
    EXPECT_FALSE(m_doc.ImportSTL(Path("missing.stl"), STL_BY_CONTENT));
}

// A regular file is read a block at a time, never whole; the mesh is the one the file's bytes in
// memory give, across block boundaries that cut tokens and facets, and so is the one a pipe
// delivers. A bad facet in a later block fails the whole read.
TEST_F(StlTest, AFileReadInBlocksGivesTheWholeFilesMesh)
{
    std::vector<Triangle> triangles(40000);
    for (size_t i = 0; i < triangles.size(); ++i)
        triangles[i] = {CVector3(i, 0.5 * i, -0.0), CVector3(i + 1.25, 0, 1), CVector3(0, i / 7.0, 2)};
    std::vector<Triangle> bad = triangles;
    bad[30000] = TRI_NAN;
    const auto text = [](const std::vector<Triangle>& facets)
    {
        std::string s = "solid many\n";
        for (const Triangle& t : facets)
            s += AsciiFacet(t);
        return s + "endsolid many\n";
    };
    for (const int nMode : {STL_BINARY, STL_ASCII})
    {
        SCOPED_TRACE(nMode);
        const std::string bytes = nMode == STL_BINARY ? BinaryStl(triangles) : text(triangles);
        ASSERT_GT(bytes.size(), CByteWindow::BLOCK_SIZE);
        const std::string strPath = Write("many.stl", bytes);
        CMesh inMemory;
        ASSERT_TRUE(inMemory.ReadSTLBuffer(bytes, nMode, strPath));
        const size_t nBytes = static_cast<size_t>(inMemory.m_nVertices) * 6 * sizeof(double);
        const auto sameAsInMemory = [&](const CMesh& mesh)
        {
            return mesh.m_nVertices == inMemory.m_nVertices && mesh.m_strName == "many.stl" &&
                   std::memcmp(mesh.m_ppVertices[0], inMemory.m_ppVertices[0], nBytes) == 0 &&
                   std::memcmp(mesh.m_ppFaceNormals[0], inMemory.m_ppFaceNormals[0], 3 * sizeof(double)) == 0;
        };
        EXPECT_EQ(inMemory.m_nVertices, 3 * 40000);
        CMesh streamed;
        CReadProgress progress;
        ASSERT_TRUE(streamed.ReadSTL(strPath, nMode, &progress));
        EXPECT_TRUE(sameAsInMemory(streamed));
        EXPECT_EQ(progress.Percent(), 100);

        CMesh refused;
        const std::string badBytes = nMode == STL_BINARY ? BinaryStl(bad) : text(bad);
        EXPECT_FALSE(refused.ReadSTL(Write("bad.stl", badBytes), nMode));
        EXPECT_EQ(std::tuple(refused.m_nVertices, refused.m_bLoaded, refused.m_ppVertices),
                  std::tuple(0, false, nullptr));
        // Text cut inside its last facet.
        if (nMode == STL_ASCII)
        {
            EXPECT_FALSE(refused.ReadSTL(Write("cut.stl", bytes.substr(0, bytes.size() - 40)), nMode));
        }

        const std::string strPipe = Path("many.stl");
        std::filesystem::remove(strPipe);
        ASSERT_EQ(mkfifo(strPipe.c_str(), 0600), 0);
        const CPipeInputPermit permit(strPipe);
        std::thread writer([&] { std::ofstream(strPipe, std::ios::binary) << bytes; });
        CMesh piped;
        const bool bPiped = piped.ReadSTL(strPipe, nMode);
        writer.join();
        ASSERT_TRUE(bPiped);
        EXPECT_TRUE(sameAsInMemory(piped));
        std::filesystem::remove(strPipe);
    }
}

// Limits the address space to what the process has now and nMoreBytes; saved receives the limit
// to restore.
bool LimitAddressSpace(size_t nMoreBytes, rlimit& saved)
{
    size_t nPages = 0;
    std::ifstream("/proc/self/statm") >> nPages;
    getrlimit(RLIMIT_AS, &saved);
    const rlimit limit = {nPages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + nMoreBytes, saved.rlim_max};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

// Imports strBig under an address space limit that holds the file but not the mesh; true when
// the import failed cleanly.
bool ImportOutOfMemory(const std::string& strSmall, const std::string& strBig, bool bScene)
{
    // Threads share the one heap: an arena of a thread's own reserves 64 MB of address space at
    // once, which an allocation of the main thread may fall back on when the limit stops it.
    mallopt(M_ARENA_MAX, 1);
    CTeldViewGLDoc doc;
    doc.m_bScene = bScene;
    if (!doc.ImportSTL(strSmall, STL_BINARY))
        return false;
    const std::vector<CSceneObject*> listBefore = ObjectList(doc);
    rlimit saved = {};
    if (!LimitAddressSpace(size_t(40) << 20, saved))
        return false;
    const bool bImported = doc.ImportSTL(strBig, STL_BINARY);
    setrlimit(RLIMIT_AS, &saved);
    // The file is read into a mesh of its own first, so either mode keeps the model it had.
    const CMesh& mesh = MeshAt(doc, 1);
    const bool bUnchanged = !bImported && ObjectList(doc) == listBefore &&
                            doc.m_pCurrentObject == listBefore.back() && mesh.m_nVertices == 3 &&
                            mesh.m_bLoaded;
    // An append after the rollback lands behind the last object that stayed.
    return bUnchanged && doc.ImportSTL(strSmall, STL_BINARY) &&
           (!bScene || doc.m_pCurrentObject->m_pPrev == listBefore.back());
}

// A turn of a soup of shared records with no memory for a record per vertex: the records stay
// shared, and the sheet's vertices still get their faces' normals.
bool TransformOutOfMemory(const std::string& strSheet)
{
    // Big blocks from the system and back to it when freed, so that no freed block serves the
    // transform's.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    CMesh mesh;
    if (!mesh.ReadSTL(strSheet, STL_BINARY) || !mesh.SharesRecords())
        return false;
    rlimit saved = {};
    if (!LimitAddressSpace(size_t(8) << 20, saved))
        return false;
    mesh.Transform(CVector3(0, -1, 0), CVector3(1, 0, 0), CVector3(0, 0, 1));
    setrlimit(RLIMIT_AS, &saved);
    const std::vector<Triangle> sheet = FoldedSheet(400, 250, 200);
    bool bRight = mesh.SharesRecords();
    for (int32_t v = 0; v < mesh.m_nVertices && bRight; ++v)
    {
        const CVector3 p = sheet[static_cast<size_t>(v / 3)][v % 3];
        bRight = Same(CVector3(mesh.m_ppVertices[v]), CVector3(-p.y, p.x, p.z)) &&
                 (CVector3(mesh.m_ppVertices[v] + SLOT_NORMAL) - CVector3(mesh.m_ppFaceNormals[v / 3]))
                         .LengthSquared() < 1e-24;
    }
    return bRight;
}

TEST_F(StlTest, OutOfMemoryLeavesNoHalfBuiltMesh)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not mix with the sanitizer's shadow memory";
#endif
    // 200,000 facets: 17 MB to read and check, several times that as a mesh. Each case runs in a
    // fresh process, whose heap holds nothing freed by other tests that the import could reuse.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string strBig = Write("big.stl", BinaryStl(std::vector<Triangle>(200000, TRI_B)));
    const std::string strSmall = Write("small.stl", BinaryStl({TRI_A}));
    for (bool bScene : {true, false})
        EXPECT_EXIT(std::exit(ImportOutOfMemory(strSmall, strBig, bScene) ? 0 : 1),
                    ::testing::ExitedWithCode(0), "")
            << (bScene ? "scene mode" : "replace mode");
    EXPECT_TRUE(m_doc.ImportSTL(strBig, STL_BINARY));
}

TEST_F(StlTest, OutOfMemoryInATransformKeepsTheRecordsShared)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not mix with the sanitizer's shadow memory";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string strSheet = Write("sheet.stl", BinaryStl(FoldedSheet(400, 250, 200)));
    EXPECT_EXIT(std::exit(TransformOutOfMemory(strSheet) ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(StlTest, ExportRefusesFacesThatAreNotTriangles)
{
    const std::vector<CVector3> square = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(1, 1, 0),
                                          CVector3(0, 1, 0)};
    for (const std::vector<int32_t>& bad : {std::vector<int32_t>{0, 1, 2, 3}, {0, 1}, {}})
        for (bool bBadFirst : {true, false})
        {
            SCOPED_TRACE(std::to_string(bad.size()) +
                         (bBadFirst ? " vertices, first mesh" : " vertices, last"));
            CTeldViewGLDoc doc;
            if (!bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            AddMesh(doc, square, {{0, 1, 2}, bad})->m_strName = "square.off";
            if (bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            // The refusal names the object and the face's size.
            std::string strProblem;
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_BINARY_STL, &strProblem));
            EXPECT_EQ(strProblem, "square.off has a face of " + std::to_string(bad.size()) +
                                      " vertices; STL holds triangles only");
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_ASCII_STL));
            EXPECT_EQ(FilesInDir(), 0u);
            // Only the STL modes refuse them.
            EXPECT_TRUE(doc.ExportScene(Path("out.pts"), EXPORT_POINT_CLOUD));
            fs::remove(Path("out.pts"));
        }
    EXPECT_FALSE(m_doc.ExportScene(Path("out.stl"), 3));
    std::string strProblem;
    EXPECT_FALSE(m_doc.ExportScene(Path("no/such/folder/out.stl"), EXPORT_BINARY_STL, &strProblem));
    EXPECT_EQ(strProblem, Path("no/such/folder/out.stl") + ": " + std::strerror(ENOENT));
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(StlTest, BinaryExportLayoutAndPlacement)
{
    std::vector<Triangle> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back({CVector3(i, 0, 0), CVector3(i + 1, 0, 0), CVector3(i, 1, 0)});
    const double xyz[9] = {0.1, 1.0 / 3.0, -2.7, 1e6 + 0.1, 0, 0, 0, 1e-7, 2}; // not all floats
    AddTriangles(m_doc, {{CVector3(xyz[0], xyz[1], xyz[2]), CVector3(xyz[3], xyz[4], xyz[5]),
                          CVector3(xyz[6], xyz[7], xyz[8])},
                         TRI_B});
    CMesh* pMoved = AddTriangles(m_doc, ten);
    // A quarter turn about x and an offset: vertices follow, facet normals do not.
    pMoved->m_qOrientation = CQuaternion(std::sqrt(0.5), std::sqrt(0.5), 0, 0);
    pMoved->m_vPosition = CVector3(10, 20, 30);

    ASSERT_TRUE(m_doc.ExportScene(Path("scene.stl"), EXPORT_BINARY_STL));
    const std::string bytes = ReadFile(Path("scene.stl"));
    ASSERT_EQ(bytes.size(), 684u);
    EXPECT_EQ(bytes.substr(0, 80),
              "Binary STL file created by TeldView." + std::string(1, '\0') + std::string(43, ' '));
    EXPECT_EQ(UInt32At(bytes, 80), 12u);
    for (size_t k = 1; k < 12; ++k)
    {
        const size_t n = 84 + 50 * k;
        EXPECT_EQ(bytes.substr(n + 48, 2), std::string(2, '\0'));
        EXPECT_EQ(FloatAt(bytes, n + 4), 0.0f);
        EXPECT_EQ(FloatAt(bytes, n + 8), 1.0f) << "normals stay unrotated";
    }
    // Positions are the nearest floats. The moved mesh: centre (5, 0.5, 0); the turn maps (x, y, z)
    // about it to (x, z, -y), so its first triangle lands at (10,20.5,30.5), (11,20.5,30.5), (10,20.5,29.5).
    const float moved[9] = {10, 20.5f, 30.5f, 11, 20.5f, 30.5f, 10, 20.5f, 29.5f};
    for (size_t i = 0; i < 9; ++i)
    {
        EXPECT_EQ(FloatAt(bytes, 84 + 12 + 4 * i), static_cast<float>(xyz[i])) << i;
        EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 100 + 12 + 4 * i), moved[i]) << i;
    }
}

TEST_F(StlTest, AsciiExportTextIsExactInEveryLocale)
{
    const CGermanLocale german; // a decimal comma must not reach the file
    if (!german.m_bActive)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh --test adds it)";
    // 1000000.1 is not a float: the vertex is printed from its float value, 1000000.125.
    AddTriangles(m_doc, {{CVector3(0, 0, 0), CVector3(1000000.1, 0, 0), CVector3(0, 0.5, 0)}});
    ASSERT_TRUE(m_doc.ExportScene(Path("scene.stl"), EXPORT_ASCII_STL));
    EXPECT_EQ(ReadFile(Path("scene.stl")), "solid scene.stl - Created by TeldView\n"
                                           "  facet normal 0.000000 0.000000 1.000000\n"
                                           "    outer loop\n"
                                           "      vertex 0.000000 0.000000 0.000000\n"
                                           "      vertex 1000000.125000 0.000000 0.000000\n"
                                           "      vertex 0.000000 0.500000 0.000000\n"
                                           "    endloop\n"
                                           "  endfacet\n"
                                           "endsolid scene.stl\n");
    CTeldViewGLDoc doc;
    ASSERT_TRUE(doc.ImportSTL(Path("scene.stl"), STL_ASCII));
    EXPECT_EQ(MeshAt(doc, 1).m_ppVertices[2][1], 0.5);

    // An empty scene is a valid, empty solid.
    ASSERT_TRUE(CTeldViewGLDoc().ExportScene(Path("empty.stl"), EXPORT_ASCII_STL));
    EXPECT_EQ(ReadFile(Path("empty.stl")), "solid empty.stl - Created by TeldView\nendsolid empty.stl\n");
}

TEST_F(StlTest, WriteErrorKeepsTheOldFile)
{
    AddTriangles(m_doc, std::vector<Triangle>(200, TRI_B));
    const std::string strPath = Write("old.stl", "old contents");
    // With a second name the file is rewritten in place, only once the temporary file is complete.
    fs::create_hard_link(strPath, m_dir / "other.stl");
    bool bWritten = false;
    {
        const CFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.m_bActive);
        for (int nMode : {EXPORT_BINARY_STL, EXPORT_ASCII_STL, EXPORT_POINT_CLOUD})
            bWritten = m_doc.ExportScene(strPath, nMode) || bWritten;
    }
    EXPECT_FALSE(bWritten);
    EXPECT_EQ(ReadFile(Path("other.stl")), "old contents");
    EXPECT_EQ(FilesInDir(), 2u);
}
} // namespace
