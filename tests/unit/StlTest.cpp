#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <locale>

#include "formats/StlFormat.h"
#include "scene/Camera.h"
#include "tests/unit/StlTestSupport.h"

namespace
{
using namespace StlTestSupport;
using Triangle = std::array<CVector3, 3>;
using StlTest = CSceneFileTest;

const Triangle TRI_A = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)};
const Triangle TRI_B = {CVector3(0, 0, 2), CVector3(3, 0, 2), CVector3(0, 4, 2)};

void PutUInt32(std::string& bytes, uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(n >> (8 * i));
}

// Binary STL bytes; the count may differ from the facets given.
std::string BinaryStl(const std::vector<Triangle>& triangles, int64_t nCount = -1)
{
    std::string bytes(80, 'h');
    PutUInt32(bytes, static_cast<uint32_t>(nCount < 0 ? static_cast<int64_t>(triangles.size()) : nCount));
    for (const Triangle& t : triangles)
    {
        for (int i = 0; i < 3; ++i)
            PutUInt32(bytes, std::bit_cast<uint32_t>(9.0f)); // normals the reader must ignore
        for (const CVector3& p : t)
            for (double d : {p.x, p.y, p.z})
                PutUInt32(bytes, std::bit_cast<uint32_t>(static_cast<float>(d)));
        bytes += std::string("\x07\x00", 2);
    }
    return bytes;
}

std::string AsciiFacet(const char* pszNormalLine, const Triangle& t)
{
    std::string s = std::string(pszNormalLine) + "\n    outer loop\n";
    for (const CVector3& p : t)
        s += "      vertex " + std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' + std::to_string(p.z) +
             '\n';
    return s + "    endloop\n  endfacet\n";
}

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

void ExpectBounds(const CTeldViewGLDoc& doc, const std::array<double, 6>& bounds)
{
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(doc.m_dSceneBounds[i], bounds[i]) << i;
}

TEST_F(StlTest, BinaryCubeImportsAsSeparateTriangles)
{
    // The twelve outward (counter-clockwise) triangles of the unit cube.
    const auto corner = [](int i) { return CVector3(i & 1, (i >> 1) & 1, (i >> 2) & 1); };
    std::vector<Triangle> cube;
    for (const auto& q :
         {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}})
    {
        cube.push_back({corner(q[0]), corner(q[1]), corner(q[2])});
        cube.push_back({corner(q[0]), corner(q[2]), corner(q[3])});
    }
    const std::string strPath = Write("cube.stl", BinaryStl(cube) + "trailing bytes are ignored");
    ASSERT_TRUE(m_doc.ImportSTL(strPath, STL_BINARY));

    ASSERT_EQ(ObjectList(m_doc).size(), 2u);
    const CMesh& mesh = MeshAt(m_doc, 1);
    EXPECT_EQ(m_doc.m_pCurrentObject, &mesh);
    EXPECT_TRUE(m_doc.m_bHasMesh && mesh.m_bLoaded);
    EXPECT_EQ(mesh.m_strName, "cube.stl");
    EXPECT_EQ(mesh.m_strPath, strPath);
    EXPECT_EQ(mesh.m_nVertices, 36);
    EXPECT_EQ(mesh.m_nFaces, 12);
    EXPECT_EQ(mesh.m_nEdges, 36);
    EXPECT_EQ(mesh.m_nLargestFace, 3);
    for (int32_t f = 0; f < 12; ++f)
    {
        ASSERT_EQ(mesh.m_pFaceSizes[f], 3);
        // Computed outward normals, not the 9s of the file.
        const CVector3 n(mesh.m_ppFaceNormals[f]);
        EXPECT_NEAR(n.LengthSquared(), 1.0, 1e-12);
        EXPECT_GT(n.Dot(cube[static_cast<size_t>(f)][0] - CVector3(0.5, 0.5, 0.5)), 0.0);
        for (int i = 0; i < 3; ++i)
        {
            // Each facet owns its vertices: corners are not shared, and take their facet's normal.
            const int32_t v = mesh.m_ppFaces[f][i];
            EXPECT_EQ(v, 3 * f + i);
            EXPECT_EQ((CVector3(mesh.m_ppVertices[v]) - cube[static_cast<size_t>(f)][static_cast<size_t>(i)])
                          .LengthSquared(),
                      0.0);
            EXPECT_DOUBLE_EQ(CVector3(mesh.m_ppVertices[v] + SLOT_NORMAL).Dot(n), 1.0);
        }
    }
    EXPECT_EQ(mesh.m_dHalfExtent, 0.5);
    ExpectBounds(m_doc, {0, 1, 0, 1, 0, 1});
}

TEST_F(StlTest, AsciiFirstLineAndCountingPass)
{
    const std::string facetA = AsciiFacet("  facet normal 0 0 1", TRI_A);
    const std::string facetB = AsciiFacet("  FACET NORMAL 0 0 1", TRI_B);
    const struct
    {
        const char* pszName;
        std::string text;
        int32_t nFaces; // -1: refused
    } cases[] = {
        {"lower case", "solid cube\n" + facetA + facetB + "endsolid cube\n", 2},
        {"upper-case first line", "SOLID cube\n" + facetA + "endsolid cube\n", 1},
        {"solid inside the first line", "my SoLiD model\n" + facetA, 1},
        {"no solid", "facet normal 0 0 1\n" + facetA + "endsolid\n", -1},
        {"empty file", "", -1},
        // Lines are counted, not facets: upper-case NORMAL counts, a facet without the word does
        // not, and the uncounted facet is never read.
        {"upper-case normals counted", "solid\n" + facetB + facetB + facetB, 3},
        {"facet without normal not read", "solid\n" + facetA + AsciiFacet("facet n 0 0 1", TRI_B), 1},
        {"windows line ends",
         "solid x\r\nfacet normal 0 0 1\r\nouter loop\r\nvertex 0 0 0\r\nvertex 1 0 0\r\n"
         "vertex 0 1 0\r\nendloop\r\nendfacet\r\nendsolid x\r\n",
         1},
        {"no facets", "solid empty\nendsolid empty\n", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        CTeldViewGLDoc doc;
        doc.m_bCompileLists = false;
        ASSERT_EQ(doc.ImportSTL(Write("a.stl", c.text), STL_ASCII), c.nFaces >= 0);
        ASSERT_EQ(ObjectList(doc).size(), c.nFaces >= 0 ? 2u : 1u);
        if (c.nFaces >= 0)
        {
            EXPECT_EQ(MeshAt(doc, 1).m_nVertices, 3 * c.nFaces);
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
    const std::pair<const char*, int64_t> counts[] = {
        {"solid normal\nNormal\n\nabnormality normal\nnorma l\n", 2},
        {"solid\nnorm\nal\nnorMal", 1},
        {"solid\nmmmmmmmmmmmmmmmm NORMAL mmmm\r\nxxxxxxxnormal\nxxxxxxxxnoRMAL\n", 3},
        {"solid\nnormalnormal normal\nnormal\nnorm", 2},
        {"no line feed normal", 0},
    };
    for (const auto& [pszText, nCount] : counts)
        EXPECT_EQ(CountAsciiSTLNormalLines(pszText), nCount) << pszText;
}

TEST_F(StlTest, ReplaceModeReusesTheMeshAndSceneModeAppends)
{
    const std::string strA = Write("a.stl", BinaryStl({TRI_A}));
    const std::string strB = Write("b.stl", "solid b\n" + AsciiFacet("facet normal 0 0 1", TRI_B));
    ASSERT_TRUE(m_doc.ImportSTL(strA, STL_BINARY));
    CMesh* pFirst = &MeshAt(m_doc, 1);
    // What Reset keeps of the old model must not leak into the new one; display settings stay.
    pFirst->m_nRecordSize = 11;
    pFirst->m_vPosition = CVector3(5, 5, 5);
    pFirst->m_nRenderMode = RENDER_WIREFRAME;
    ASSERT_TRUE(m_doc.ImportSTL(strB, STL_ASCII));
    EXPECT_EQ(ObjectList(m_doc), (std::vector<CSceneObject*>{m_doc.m_pCamera, pFirst}));
    EXPECT_EQ(m_doc.m_pCurrentObject, pFirst);
    EXPECT_EQ(pFirst->m_strName, "b.stl");
    EXPECT_EQ(pFirst->m_nRecordSize, 6);
    EXPECT_EQ(pFirst->m_vPosition.x, 0.0);
    EXPECT_EQ(pFirst->m_nRenderMode, RENDER_WIREFRAME);
    ExpectBounds(m_doc, {0, 3, 0, 4, 2, 2}); // exactly the new model's box

    m_doc.m_bScene = true;
    ASSERT_TRUE(m_doc.ImportSTL(strA, STL_BINARY));
    const std::vector<CSceneObject*> list = ObjectList(m_doc);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1], pFirst);
    EXPECT_EQ(list[2]->m_pPrev, pFirst);
    EXPECT_EQ(m_doc.m_pCurrentObject, list[2]);
    EXPECT_EQ(list[2]->m_strName, "a.stl");
    ExpectBounds(m_doc, {0, 3, 0, 4, 0, 2});
}

TEST_F(StlTest, MalformedFilesLeaveTheSceneUntouched)
{
    const std::string good = BinaryStl({TRI_A, TRI_B});
    const std::string facet = AsciiFacet("facet normal 0 0 1", TRI_A);
    const auto ascii =
        [](const char* pszNormal, const char* pszVertex, const char* pszEnd = "endloop endfacet")
    {
        return "solid\nfacet normal " + std::string(pszNormal) + " outer loop vertex " + pszVertex +
               " vertex 1 0 0 vertex 0 1 0 " + pszEnd;
    };
    const struct
    {
        const char* pszName;
        int nMode;
        std::string contents;
    } cases[] = {
        {"binary shorter than the header", STL_BINARY, good.substr(0, 83)},
        {"binary facet cut short", STL_BINARY, good.substr(0, good.size() - 1)},
        {"binary count larger than the file", STL_BINARY, BinaryStl({TRI_A, TRI_B}, 3)},
        {"binary count 2^31", STL_BINARY, BinaryStl({TRI_A}, 0x80000000)},
        {"binary count too large for the mesh", STL_BINARY, BinaryStl({TRI_A}, 715827883)},
        {"ascii without solid", STL_ASCII, facet + facet},
        {"ascii non-number vertex", STL_ASCII, ascii("0 0 1", "0 0 x")},
        {"ascii number with junk", STL_ASCII, ascii("0 0 1", "0 0 1.5e")},
        {"ascii comma decimal", STL_ASCII, ascii("0 0 1", "0 0 1,5")},
        {"ascii non-number normal", STL_ASCII, ascii("0 zero 1", "0 0 0")},
        {"ascii infinite vertex", STL_ASCII, ascii("0 0 1", "0 0 inf")},
        {"ascii vertex out of range", STL_ASCII, ascii("0 0 1", "0 0 1e999")},
        {"ascii facet cut short", STL_ASCII, "solid\n" + facet.substr(0, facet.size() - 10)},
        {"ascii facet without its last word", STL_ASCII, ascii("0 0 1", "0 0 0", "endloop")},
        {"ascii more normal lines than facets", STL_ASCII, "solid\n" + facet + "endsolid normal\n"},
        {"unknown mode", 2, good},
    };
    const std::string strKept = Write("kept.stl", "solid kept\n" + AsciiFacet("facet normal 0 0 1", TRI_B));
    for (bool bScene : {false, true})
        for (const auto& c : cases)
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
            EXPECT_EQ(MeshAt(doc, 1).m_strName, "kept.stl");
            EXPECT_EQ(MeshAt(doc, 1).m_ppVertices[1][0], 3.0);
        }
    EXPECT_FALSE(m_doc.ImportSTL(Path("missing.stl"), STL_BINARY));
}

// Imports strBig under an address space limit that holds the file but not the mesh. Returns 0
// when the import failed cleanly, else the number of the first check that did not hold.
int ImportOutOfMemory(const std::string& strSmall, const std::string& strBig, bool bScene)
{
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    doc.m_bScene = bScene;
    if (!doc.ImportSTL(strSmall, STL_BINARY))
        return 1;
    const std::vector<CSceneObject*> listBefore = ObjectList(doc);
    size_t nPages = 0;
    std::ifstream("/proc/self/statm") >> nPages;
    rlimit saved = {};
    getrlimit(RLIMIT_AS, &saved);
    rlimit limit = saved;
    limit.rlim_cur = nPages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + (size_t(40) << 20);
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
    return mesh.m_nVertices == (bScene ? 3 : 0) && mesh.m_bLoaded == bScene ? 0 : 5;
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
        EXPECT_EXIT(std::exit(ImportOutOfMemory(strSmall, strBig, bScene)), ::testing::ExitedWithCode(0), "")
            << (bScene ? "scene mode" : "replace mode");
    EXPECT_TRUE(m_doc.ImportSTL(strBig, STL_BINARY));
}

TEST_F(StlTest, ExportRefusesFacesThatAreNotTriangles)
{
    const std::vector<CVector3> square = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(1, 1, 0),
                                          CVector3(0, 1, 0)};
    for (const std::vector<int32_t>& bad : {std::vector<int32_t>{0, 1, 2, 3}, {0, 1}, {}})
        for (bool bBadFirst : {true, false})
        {
            SCOPED_TRACE(std::to_string(bad.size()) +
                         (bBadFirst ? " vertices, first mesh" : " vertices, last mesh"));
            CTeldViewGLDoc doc;
            doc.m_bCompileLists = false;
            if (!bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            AddMesh(doc, square, {{0, 1, 2}, bad});
            if (bBadFirst)
                AddTriangles(doc, {TRI_A, TRI_B});
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_BINARY_STL));
            EXPECT_FALSE(doc.ExportScene(Path("out.stl"), EXPORT_ASCII_STL));
            EXPECT_EQ(FilesInDir(), 0u);
            // Only the STL modes refuse them.
            EXPECT_TRUE(doc.ExportScene(Path("out.pts"), EXPORT_POINT_CLOUD));
            fs::remove(Path("out.pts"));
        }
    EXPECT_FALSE(m_doc.ExportScene(Path("out.stl"), 3));
    EXPECT_FALSE(m_doc.ExportScene(Path("no/such/folder/out.stl"), EXPORT_BINARY_STL));
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(StlTest, BinaryExportLayoutPlacementAndRoundTrip)
{
    std::vector<Triangle> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back({CVector3(i, 0, 0), CVector3(i + 1, 0, 0), CVector3(i, 1, 0)});
    const Triangle inexact = {CVector3(0.1, 1.0 / 3.0, -2.7), CVector3(1e6 + 0.1, 0, 0),
                              CVector3(0, 1e-7, 2)};
    AddTriangles(m_doc, {inexact, TRI_B});
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
    // The moved mesh: centre (5, 0.5, 0); the turn maps (x, y, z) about it to (x, z, -y). Its first
    // triangle (0,0,0), (1,0,0), (0,1,0) lands at (10,20.5,30.5), (11,20.5,30.5), (10,20.5,29.5).
    const float expected[9] = {10, 20.5f, 30.5f, 11, 20.5f, 30.5f, 10, 20.5f, 29.5f};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 100 + 12 + 4 * i), expected[i]) << i;

    // Read back, positions are the floats that were written.
    ASSERT_TRUE(m_doc.ImportSTL(Path("scene.stl"), STL_BINARY));
    const CMesh& mesh = MeshAt(m_doc, 1);
    ASSERT_EQ(mesh.m_nVertices, 36);
    for (size_t i = 0; i < 3; ++i)
        for (size_t a = 0; a < 3; ++a)
        {
            const double d = a == 0 ? inexact[i].x : (a == 1 ? inexact[i].y : inexact[i].z);
            EXPECT_EQ(mesh.m_ppVertices[i][a], static_cast<double>(static_cast<float>(d)));
        }
}

TEST_F(StlTest, AsciiExportTextIsExactInEveryLocale)
{
    // A user locale with a decimal comma must not reach the file.
    const std::string strOldLocale = std::setlocale(LC_ALL, nullptr);
    const bool bGerman = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const std::locale oldGlobal = bGerman ? std::locale::global(std::locale("de_DE.UTF-8")) : std::locale();

    // 1000000.1 is not a float: the vertex is printed from its float value, 1000000.125.
    AddTriangles(m_doc, {{CVector3(0, 0, 0), CVector3(1000000.1, 0, 0), CVector3(0, 0.5, 0)}});
    const bool bExported = m_doc.ExportScene(Path("scene.stl"), EXPORT_ASCII_STL);
    CTeldViewGLDoc doc;
    doc.m_bCompileLists = false;
    const bool bImported = doc.ImportSTL(Path("scene.stl"), STL_ASCII);
    if (bGerman)
    {
        std::locale::global(oldGlobal);
        std::setlocale(LC_ALL, strOldLocale.c_str());
    }

    ASSERT_TRUE(bExported);
    EXPECT_EQ(ReadFile(Path("scene.stl")), "solid scene.stl - Created by TeldView\n"
                                           "  facet normal 0.000000 0.000000 1.000000\n"
                                           "    outer loop\n"
                                           "      vertex 0.000000 0.000000 0.000000\n"
                                           "      vertex 1000000.125000 0.000000 0.000000\n"
                                           "      vertex 0.000000 0.500000 0.000000\n"
                                           "    endloop\n"
                                           "  endfacet\n"
                                           "endsolid scene.stl\n");
    ASSERT_TRUE(bImported);
    EXPECT_EQ(MeshAt(doc, 1).m_ppVertices[2][1], 0.5);

    // An empty scene is a valid, empty solid.
    CTeldViewGLDoc empty;
    ASSERT_TRUE(empty.ExportScene(Path("empty.stl"), EXPORT_ASCII_STL));
    EXPECT_EQ(ReadFile(Path("empty.stl")), "solid empty.stl - Created by TeldView\nendsolid empty.stl\n");
    if (!bGerman)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh --test)";
}

TEST_F(StlTest, WriteErrorKeepsTheOldFile)
{
    AddTriangles(m_doc, std::vector<Triangle>(200, TRI_B));
    const std::string strPath = Write("old.stl", "old contents");
    // A file size limit makes every write beyond it fail, as a full disk would.
    struct sigaction ignore = {}, oldAction = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &oldAction);
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    bool bWritten[3];
    for (int nMode : {EXPORT_BINARY_STL, EXPORT_ASCII_STL, EXPORT_POINT_CLOUD})
        bWritten[nMode] = m_doc.ExportScene(strPath, nMode);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &oldAction, nullptr);
    EXPECT_FALSE(bWritten[0] || bWritten[1] || bWritten[2]);
    EXPECT_EQ(ReadFile(strPath), "old contents");
    EXPECT_EQ(FilesInDir(), 1u);
}
} // namespace
