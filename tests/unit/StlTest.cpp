#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "formats/StlFormat.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"
#include "tests/unit/StlTestSupport.h"

namespace
{
using namespace StlTestSupport;

using Triangle = std::array<CVector3, 3>;

// The twelve outward-facing (counter-clockwise) triangles of the unit cube [0, 1]^3.
std::vector<Triangle> UnitCube()
{
    const auto v = [](int i) { return CVector3(i & 1, (i >> 1) & 1, (i >> 2) & 1); };
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<Triangle> triangles;
    for (const auto& q : quads)
    {
        triangles.push_back({v(q[0]), v(q[1]), v(q[2])});
        triangles.push_back({v(q[0]), v(q[2]), v(q[3])});
    }
    return triangles;
}

// Builds binary STL bytes; the count may be set to something the facets do not match.
class CBinaryStl
{
public:
    explicit CBinaryStl(const std::vector<Triangle>& triangles)
    {
        m_bytes.assign(80, 'h');
        PutUInt32(static_cast<uint32_t>(triangles.size()));
        for (const Triangle& t : triangles)
        {
            for (int i = 0; i < 3; ++i)
                PutFloat(9.0f); // the reader must ignore facet normals
            for (const CVector3& p : t)
            {
                PutFloat(static_cast<float>(p.x));
                PutFloat(static_cast<float>(p.y));
                PutFloat(static_cast<float>(p.z));
            }
            m_bytes += std::string("\x07\x00", 2);
        }
    }
    CBinaryStl& Count(uint32_t nCount)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[80 + i] = static_cast<char>(nCount >> (8 * i));
        return *this;
    }
    CBinaryStl& Resize(size_t nSize)
    {
        m_bytes.resize(nSize);
        return *this;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    void PutUInt32(uint32_t n)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes += static_cast<char>(n >> (8 * i));
    }
    void PutFloat(float f) { PutUInt32(std::bit_cast<uint32_t>(f)); }
    std::string m_bytes;
};

std::string AsciiFacet(const char* pszNormalLine, const Triangle& t)
{
    std::ostringstream s;
    s << pszNormalLine << "\n    outer loop\n";
    for (const CVector3& p : t)
        s << "      vertex " << p.x << ' ' << p.y << ' ' << p.z << '\n';
    s << "    endloop\n  endfacet\n";
    return s.str();
}

const Triangle TRI_A = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)};
const Triangle TRI_B = {CVector3(0, 0, 2), CVector3(3, 0, 2), CVector3(0, 4, 2)};

CMesh* AddTriangles(CTeldViewGLDoc& doc, const std::vector<Triangle>& triangles)
{
    std::vector<CVector3> vertices;
    std::vector<std::vector<int32_t>> faces;
    for (const Triangle& t : triangles)
    {
        const int32_t n = static_cast<int32_t>(vertices.size());
        vertices.insert(vertices.end(), t.begin(), t.end());
        faces.push_back({n, n + 1, n + 2});
    }
    return AddMesh(doc, vertices, faces);
}

using StlTest = CSceneFileTest;

TEST_F(StlTest, BinaryCubeImportsAsSeparateTriangles)
{
    const std::vector<Triangle> cube = UnitCube();
    const std::string strPath = Write("cube.stl", CBinaryStl(cube).Bytes() + "trailing bytes are ignored");
    ASSERT_TRUE(m_doc.ImportSTL(strPath, STL_BINARY));

    ASSERT_EQ(ObjectList(m_doc).size(), 2u);
    CMesh& mesh = MeshAt(m_doc, 1);
    EXPECT_EQ(m_doc.m_pCurrentObject, &mesh);
    EXPECT_TRUE(m_doc.m_bHasMesh);
    EXPECT_TRUE(mesh.m_bLoaded);
    EXPECT_EQ(mesh.m_strName, "cube.stl");
    EXPECT_EQ(mesh.m_strPath, strPath);
    EXPECT_EQ(mesh.m_nVertices, 36);
    EXPECT_EQ(mesh.m_nFaces, 12);
    EXPECT_EQ(mesh.m_nEdges, 36);
    EXPECT_EQ(mesh.m_nLargestFace, 3);
    EXPECT_FALSE(mesh.m_bHasNormals);
    for (int32_t f = 0; f < 12; ++f)
    {
        ASSERT_EQ(mesh.m_pFaceSizes[f], 3);
        for (int i = 0; i < 3; ++i)
        {
            // Each facet owns its three vertices, so the eight corners are not shared.
            const int32_t v = mesh.m_ppFaces[f][i];
            EXPECT_EQ(v, 3 * f + i);
            const CVector3& p = cube[static_cast<size_t>(f)][static_cast<size_t>(i)];
            EXPECT_EQ(CVector3(mesh.m_ppVertices[v]).x, p.x);
            EXPECT_EQ(CVector3(mesh.m_ppVertices[v]).y, p.y);
            EXPECT_EQ(CVector3(mesh.m_ppVertices[v]).z, p.z);
            // Unshared vertices take their facet's normal, computed (not the 9s of the file).
            for (int a = 0; a < 3; ++a)
                EXPECT_DOUBLE_EQ(mesh.m_ppVertices[v][SLOT_NORMAL + a], mesh.m_ppFaceNormals[f][a]);
        }
    }
    // Outward normals: the face normal points away from the centre.
    for (int32_t f = 0; f < 12; ++f)
    {
        const CVector3 n(mesh.m_ppFaceNormals[f]);
        const CVector3 toFace = CVector3(mesh.m_ppVertices[mesh.m_ppFaces[f][0]]) - CVector3(0.5, 0.5, 0.5);
        EXPECT_NEAR(n.LengthSquared(), 1.0, 1e-12);
        EXPECT_GT(n.Dot(toFace), 0.0);
    }
    EXPECT_EQ(mesh.m_vCenter.x, 0.5);
    EXPECT_EQ(mesh.m_dHalfExtent, 0.5);
    const double bounds[6] = {0, 1, 0, 1, 0, 1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], bounds[i]) << i;
}

TEST_F(StlTest, AsciiFirstLineAndCountingPass)
{
    const std::string facetA = AsciiFacet("  facet normal 0 0 1", TRI_A);
    const std::string facetB = AsciiFacet("  FACET NORMAL 0 0 1", TRI_B);
    struct SCase
    {
        const char* pszName;
        std::string text;
        bool bAccepted;
        int32_t nFaces;
    };
    const SCase cases[] = {
        {"lower case", "solid cube\n" + facetA + facetB + "endsolid cube\n", true, 2},
        {"upper case first line", "SOLID cube\n" + facetA + "endsolid cube\n", true, 1},
        {"solid inside the first line", "my SoLiD model\n" + facetA, true, 1},
        {"no solid", "facet normal 0 0 1\n" + facetA + "endsolid\n", false, 0},
        {"empty file", "", false, 0},
        // Lines are counted, not facets: upper-case NORMAL counts, a facet without the word
        // does not, and the uncounted facet is never read.
        {"upper-case normals counted", "solid\n" + facetB + facetB + facetB, true, 3},
        {"facet without normal not read", "solid\n" + facetA + AsciiFacet("facet n 0 0 1", TRI_B), true, 1},
        {"windows line ends",
         "solid x\r\n  facet normal 0 0 1\r\n outer loop\r\n vertex 0 0 0\r\n vertex 1 0 0\r\n"
         " vertex 0 1 0\r\n endloop\r\n endfacet\r\nendsolid x\r\n",
         true, 1},
        {"no facets", "solid empty\nendsolid empty\n", true, 0},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        CTeldViewGLDoc doc;
        doc.m_bCompileLists = false;
        ASSERT_EQ(doc.ImportSTL(Write("a.stl", c.text), STL_ASCII), c.bAccepted);
        ASSERT_EQ(ObjectList(doc).size(), c.bAccepted ? 2u : 1u);
        if (!c.bAccepted)
            continue;
        const CMesh& mesh = MeshAt(doc, 1);
        EXPECT_EQ(mesh.m_nFaces, c.nFaces);
        EXPECT_EQ(mesh.m_nVertices, 3 * c.nFaces);
    }

    // Values: the file's numbers, as doubles.
    ASSERT_TRUE(m_doc.ImportSTL(Write("b.stl", "solid\nfacet normal 0 0 0 outer loop vertex 0.1 -2.5e-3 +7 "
                                               "vertex 1 2 3 vertex -0 1e2 .5 endloop endfacet"),
                                STL_ASCII));
    const CMesh& mesh = MeshAt(m_doc, 1);
    const double expected[9] = {0.1, -2.5e-3, 7, 1, 2, 3, -0.0, 100, 0.5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(mesh.m_ppVertices[i / 3][i % 3], expected[i]) << i;

    // The counting pass alone: lines after the first, any case, anywhere in the line, once each.
    const std::pair<const char*, int64_t> counts[] = {
        {"solid normal\nNormal\n\nabnormality normal\nnorma l\n", 2},
        {"solid\nnorm\nal\nnorMal", 1},
        {"solid\nmmmmmmmmmmmmmmmm NORMAL mmmm\r\nxxxxxxxnormal\nxxxxxxxxnoRMAL\n", 3},
        {"solid\nnormalnormal normal\nnormal\nnorm", 2},
        {"no line feed normal", 0},
        {"", 0},
    };
    for (const auto& [pszText, nCount] : counts)
        EXPECT_EQ(CountAsciiSTLNormalLines(pszText), nCount) << pszText;
}

TEST_F(StlTest, ReplaceModeReusesTheMeshAndSceneModeAppends)
{
    const std::string strA = Write("a.stl", CBinaryStl({TRI_A}).Bytes());
    const std::string strB = Write("b.stl", "solid b\n" + AsciiFacet("facet normal 0 0 1", TRI_B));

    ASSERT_TRUE(m_doc.ImportSTL(strA, STL_BINARY));
    CMesh* pFirst = &MeshAt(m_doc, 1);
    // What Reset keeps of the previous model must not leak into the import.
    pFirst->m_nRecordSize = 11;
    pFirst->m_vPosition = CVector3(5, 5, 5);
    pFirst->m_nRenderMode = RENDER_WIREFRAME;
    ASSERT_TRUE(m_doc.ImportSTL(strB, STL_ASCII));
    ASSERT_EQ(ObjectList(m_doc).size(), 2u);
    EXPECT_EQ(&MeshAt(m_doc, 1), pFirst);
    EXPECT_EQ(m_doc.m_pCurrentObject, pFirst);
    EXPECT_EQ(pFirst->m_strName, "b.stl");
    EXPECT_EQ(pFirst->m_nRecordSize, 6);
    EXPECT_EQ(pFirst->m_vPosition.x, 0.0);
    EXPECT_EQ(pFirst->m_nRenderMode, RENDER_WIREFRAME);
    // Replace mode: the scene bounds are exactly the new model's box.
    const double boundsB[6] = {0, 3, 0, 4, 2, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], boundsB[i]) << i;

    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.ImportSTL(strA, STL_BINARY));
    const std::vector<CSceneObject*> list = ObjectList(m_doc);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1], pFirst);
    EXPECT_EQ(m_doc.m_pCurrentObject, list[2]);
    EXPECT_EQ(list[2]->m_pPrev, pFirst);
    EXPECT_EQ(list[2]->m_strName, "a.stl");
    const double boundsAB[6] = {0, 3, 0, 4, 0, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_doc.m_dSceneBounds[i], boundsAB[i]) << i;
}

TEST_F(StlTest, MalformedFilesLeaveTheSceneUntouched)
{
    const std::string good = CBinaryStl({TRI_A, TRI_B}).Bytes();
    const std::string facet = AsciiFacet("facet normal 0 0 1", TRI_A);
    struct SCase
    {
        const char* pszName;
        int nMode;
        std::string contents;
    };
    const SCase cases[] = {
        {"binary shorter than the header", STL_BINARY, good.substr(0, 83)},
        {"binary facet cut short", STL_BINARY, good.substr(0, good.size() - 1)},
        {"binary count larger than the file", STL_BINARY, CBinaryStl({TRI_A, TRI_B}).Count(3).Bytes()},
        {"binary count 2^31", STL_BINARY, CBinaryStl({TRI_A}).Count(0x80000000u).Bytes()},
        {"binary count 2^32-1", STL_BINARY, CBinaryStl({TRI_A}).Count(0xFFFFFFFFu).Bytes()},
        {"binary count too large for the mesh", STL_BINARY, CBinaryStl({TRI_A}).Count(715827883u).Bytes()},
        {"ascii without solid", STL_ASCII, facet + facet},
        {"ascii non-number vertex", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 x vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii number with junk", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 1.5e vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii comma decimal", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 1,5 vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii non-number normal", STL_ASCII,
         "solid\nfacet normal 0 zero 1 outer loop vertex 0 0 0 vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii infinite vertex", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 inf vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii vertex out of range", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 1e999 vertex 1 0 0 "
         "vertex 0 1 0 endloop endfacet"},
        {"ascii facet cut short", STL_ASCII, "solid\n" + facet.substr(0, facet.size() - 10)},
        {"ascii facet without its last words", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop vertex 0 0 0 "
         "vertex 1 0 0 vertex 0 1 0 endloop"},
        {"ascii more normal lines than facets", STL_ASCII, "solid\n" + facet + "endsolid normal\n"},
        {"ascii vertex word missing", STL_ASCII,
         "solid\nfacet normal 0 0 1 outer loop 0 0 0 "
         "vertex 1 0 0 vertex 0 1 0 endloop endfacet x"},
        {"binary file read as an unknown mode", 2, good},
        {"binary file read as mode -1", -1, good},
    };
    const std::string strKept = Write("kept.stl", "solid kept\n" + AsciiFacet("facet normal 0 0 1", TRI_B));
    for (bool bScene : {false, true})
    {
        for (const SCase& c : cases)
        {
            SCOPED_TRACE(std::string(c.pszName) + (bScene ? " (scene mode)" : " (replace mode)"));
            CTeldViewGLDoc doc;
            doc.m_bCompileLists = false;
            doc.m_bScene = bScene;
            ASSERT_TRUE(doc.ImportSTL(strKept, STL_ASCII));
            const std::vector<CSceneObject*> listBefore = ObjectList(doc);
            double boundsBefore[6];
            std::memcpy(boundsBefore, doc.m_dSceneBounds, sizeof boundsBefore);
            doc.m_bHasMesh = false; // a failed import must not claim a mesh

            EXPECT_FALSE(doc.ImportSTL(Write("bad.stl", c.contents), c.nMode));

            EXPECT_EQ(ObjectList(doc), listBefore);
            EXPECT_EQ(doc.m_pCurrentObject, listBefore.back());
            EXPECT_EQ(std::memcmp(doc.m_dSceneBounds, boundsBefore, sizeof boundsBefore), 0);
            EXPECT_FALSE(doc.m_bHasMesh);
            const CMesh& mesh = MeshAt(doc, 1);
            EXPECT_EQ(mesh.m_strName, "kept.stl");
            EXPECT_EQ(mesh.m_nFaces, 1);
            EXPECT_EQ(mesh.m_ppVertices[1][0], 3.0);
        }
    }
    EXPECT_FALSE(m_doc.ImportSTL(Path("missing.stl"), STL_BINARY));
    EXPECT_EQ(ObjectList(m_doc).size(), 1u);
}

size_t AddressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    size_t nPages = 0;
    statm >> nPages;
    return nPages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Imports strBig under an address space limit that holds the file but not the mesh, and returns
// 0 when the import failed cleanly, else the number of the first check that did not hold.
int ImportOutOfMemory(const std::string& strSmall, const std::string& strBig, bool bScene)
{
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    doc.m_bScene = bScene;
    if (!doc.ImportSTL(strSmall, STL_BINARY))
        return 1;
    const std::vector<CSceneObject*> listBefore = ObjectList(doc);
    rlimit saved = {};
    getrlimit(RLIMIT_AS, &saved);
    rlimit limit = saved;
    limit.rlim_cur = AddressSpaceInUse() + (size_t(40) << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        return 2;
    const bool bImported = doc.ImportSTL(strBig, STL_BINARY);
    setrlimit(RLIMIT_AS, &saved);
    if (bImported)
        return 3;
    if (ObjectList(doc) != listBefore || doc.m_pCurrentObject != listBefore.back())
        return 4;
    // Replace mode has given up the old model already; its mesh stays empty.
    const CMesh& mesh = MeshAt(doc, 1);
    if (mesh.m_nVertices != (bScene ? 3 : 0) || mesh.m_bLoaded != bScene)
        return 5;
    return 0;
}

TEST_F(StlTest, OutOfMemoryLeavesNoHalfBuiltMesh)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not mix with the sanitizer's shadow memory";
#endif
    // A 10 MB file of 200,000 facets: reading and checking it takes about 17 MB, the mesh several
    // times that. Each case runs in a fresh process, whose heap holds nothing that other tests
    // freed and the import could reuse under the limit.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string strBig = Write("big.stl", CBinaryStl(std::vector<Triangle>(200000, TRI_B)).Bytes());
    const std::string strSmall = Write("small.stl", CBinaryStl({TRI_A}).Bytes());
    EXPECT_EXIT(std::exit(ImportOutOfMemory(strSmall, strBig, true)), ::testing::ExitedWithCode(0), "")
        << "scene mode";
    EXPECT_EXIT(std::exit(ImportOutOfMemory(strSmall, strBig, false)), ::testing::ExitedWithCode(0), "")
        << "replace mode";
    // With the memory back, the same file imports.
    EXPECT_TRUE(m_doc.ImportSTL(strBig, STL_BINARY));
}

TEST_F(StlTest, ExportRefusesFacesThatAreNotTriangles)
{
    const std::vector<CVector3> square = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(1, 1, 0),
                                          CVector3(0, 1, 0)};
    struct SCase
    {
        const char* pszName;
        std::vector<std::vector<int32_t>> faces;
    };
    const SCase cases[] = {
        {"quadrilateral", {{0, 1, 2}, {0, 1, 2, 3}}},
        {"face of two vertices", {{0, 1, 2}, {0, 1}}},
        {"empty face", {{0, 1, 2}, {}}},
    };
    for (const SCase& c : cases)
    {
        for (bool bBadFirst : {true, false})
        {
            SCOPED_TRACE(std::string(c.pszName) + (bBadFirst ? ", first mesh" : ", last mesh"));
            CTeldViewGLDoc doc;
            doc.m_bCompileLists = false;
            if (!bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            AddMesh(doc, square, c.faces);
            if (bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_BINARY_STL));
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_ASCII_STL));
            EXPECT_EQ(FilesInDir(), 0u);
            // Only the STL modes refuse them.
            EXPECT_TRUE(doc.ExportScene(Path("out.pts"), EXPORT_POINT_CLOUD));
            fs::remove(Path("out.pts"));
        }
    }
    CTeldViewGLDoc doc;
    EXPECT_FALSE(doc.ExportScene(Path("out.stl"), 3));
    EXPECT_FALSE(doc.ExportScene(Path("out.stl"), -1));
    EXPECT_FALSE(doc.ExportScene(Path("no/such/folder/out.stl"), EXPORT_BINARY_STL));
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(StlTest, BinaryExportLayoutAndPlacement)
{
    std::vector<Triangle> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back({CVector3(i, 0, 0), CVector3(i + 1, 0, 0), CVector3(i, 1, 0)});
    AddTriangles(m_doc, {TRI_A, TRI_B});
    CMesh* pMoved = AddTriangles(m_doc, ten);
    // A quarter turn about x and an offset: vertices follow, facet normals do not.
    pMoved->m_qOrientation = CQuaternion(std::sqrt(0.5), std::sqrt(0.5), 0, 0);
    pMoved->m_vPosition = CVector3(10, 20, 30);

    ASSERT_TRUE(m_doc.ExportScene(Path("scene.stl"), EXPORT_BINARY_STL));
    const std::string bytes = ReadFile(Path("scene.stl"));
    ASSERT_EQ(bytes.size(), 684u);
    const std::string title = "Binary STL file created by TeldView.";
    EXPECT_EQ(bytes.substr(0, 36), title);
    EXPECT_EQ(bytes[36], '\0');
    EXPECT_EQ(bytes.substr(37, 43), std::string(43, ' '));
    EXPECT_EQ(UInt32At(bytes, 80), 12u);
    for (size_t k = 0; k < 12; ++k)
    {
        const size_t n = 84 + 50 * k;
        EXPECT_EQ(bytes[n + 48], '\0');
        EXPECT_EQ(bytes[n + 49], '\0');
        EXPECT_EQ(FloatAt(bytes, n), 0.0f);
        EXPECT_EQ(FloatAt(bytes, n + 4), 0.0f);
        EXPECT_EQ(FloatAt(bytes, n + 8), 1.0f) << "normals stay unrotated";
    }
    // Facet 1 is TRI_B, unmoved.
    EXPECT_EQ(FloatAt(bytes, 84 + 50 + 12 + 12), 3.0f);
    // The moved mesh: centre (5, 0.5, 0); the turn maps (x, y, z) about it to (x, z, -y).
    // Its first triangle (0,0,0), (1,0,0), (0,1,0) lands at (10,20.5,30.5), (11,20.5,30.5), (10,20.5,29.5).
    const float expected[9] = {10, 20.5f, 30.5f, 11, 20.5f, 30.5f, 10, 20.5f, 29.5f};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 100 + 12 + 4 * i), expected[i]) << i;
}

TEST_F(StlTest, AsciiExportTextIsExact)
{
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
    // An empty scene is a valid, empty solid.
    CTeldViewGLDoc empty;
    ASSERT_TRUE(empty.ExportScene(Path("empty.stl"), EXPORT_ASCII_STL));
    EXPECT_EQ(ReadFile(Path("empty.stl")), "solid empty.stl - Created by TeldView\nendsolid empty.stl\n");
    ASSERT_TRUE(empty.ExportScene(Path("empty.stl"), EXPORT_BINARY_STL));
    EXPECT_EQ(ReadFile(Path("empty.stl")).size(), 84u);
}

TEST_F(StlTest, RoundTripsGiveFloatPositions)
{
    const std::vector<Triangle> triangles = {
        {CVector3(0.1, 1.0 / 3.0, -2.7), CVector3(1e6 + 0.1, 0, 0), CVector3(0, 1e-7, 123.456789)},
        {CVector3(-5, -5, -5), CVector3(5, -5, -5), CVector3(0, 5, 5)}};
    AddTriangles(m_doc, triangles);
    for (int nMode : {EXPORT_BINARY_STL, EXPORT_ASCII_STL})
    {
        SCOPED_TRACE(nMode);
        const std::string strPath = Path("round.stl");
        ASSERT_TRUE(m_doc.ExportScene(strPath, nMode));
        CTeldViewGLDoc doc;
        doc.m_bCompileLists = false;
        ASSERT_TRUE(doc.ImportSTL(strPath, nMode == EXPORT_BINARY_STL ? STL_BINARY : STL_ASCII));
        const CMesh& mesh = MeshAt(doc, 1);
        ASSERT_EQ(mesh.m_nVertices, 6);
        for (size_t i = 0; i < 6; ++i)
        {
            const CVector3& p = triangles[i / 3][i % 3];
            const double* q = mesh.m_ppVertices[i];
            if (nMode == EXPORT_BINARY_STL)
            {
                EXPECT_EQ(q[0], static_cast<double>(static_cast<float>(p.x)));
                EXPECT_EQ(q[1], static_cast<double>(static_cast<float>(p.y)));
                EXPECT_EQ(q[2], static_cast<double>(static_cast<float>(p.z)));
            }
            else
            {
                // Six decimals of the float value.
                EXPECT_NEAR(q[0], static_cast<float>(p.x), 5e-7);
                EXPECT_NEAR(q[1], static_cast<float>(p.y), 5e-7);
                EXPECT_NEAR(q[2], static_cast<float>(p.z), 5e-7);
            }
        }
    }
}

TEST_F(StlTest, WriteErrorKeepsTheOldFile)
{
    std::vector<Triangle> many(200, TRI_B);
    AddTriangles(m_doc, many);
    const std::string strPath = Write("old.stl", "old contents");
    // A file size limit makes every write beyond it fail, as a full disk would.
    struct sigaction ignore = {}, old = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit = {}, saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit.rlim_cur = 4096;
    limit.rlim_max = saved.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool bBinary = m_doc.ExportScene(strPath, EXPORT_BINARY_STL);
    const bool bAscii = m_doc.ExportScene(strPath, EXPORT_ASCII_STL);
    const bool bPoints = m_doc.ExportScene(strPath, EXPORT_POINT_CLOUD);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(bBinary);
    EXPECT_FALSE(bAscii);
    EXPECT_FALSE(bPoints);
    EXPECT_EQ(ReadFile(strPath), "old contents");
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(StlTest, NumbersDoNotFollowTheLocale)
{
    const char* pszOld = std::setlocale(LC_ALL, nullptr);
    const std::string strOld = pszOld != nullptr ? pszOld : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh --test)";
    const std::locale oldGlobal = std::locale::global(std::locale("de_DE.UTF-8"));

    AddTriangles(m_doc, {{CVector3(0.5, 0, 0), CVector3(1.25, 0, 0), CVector3(0, 2.5, 0)}});
    const bool bExported = m_doc.ExportScene(Path("de.stl"), EXPORT_ASCII_STL);
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    const bool bImported = doc.ImportSTL(Path("de.stl"), STL_ASCII);

    std::locale::global(oldGlobal);
    std::setlocale(LC_ALL, strOld.c_str());
    ASSERT_TRUE(bExported);
    const std::string text = ReadFile(Path("de.stl"));
    EXPECT_NE(text.find("      vertex 0.500000 0.000000 0.000000\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(','), std::string::npos);
    ASSERT_TRUE(bImported);
    EXPECT_EQ(MeshAt(doc, 1).m_ppVertices[1][0], 1.25);
}
} // namespace
