#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "formats/MeshPartsKeeper.h"
#include "formats/obj/ObjFormat.h"
#include "formats/obj/ObjReader.h"
#include "formats/obj/ObjWriter.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using ObjTest = CScratchTest;

const std::string TRIANGLE = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
const std::string SQUARE = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

struct SReadRow
{
    const char* pszName;
    std::string text;
    int32_t nVertices;
    std::vector<int32_t> sizes;
    std::vector<int32_t> indices;
    int32_t nRecordSize;
    bool bNormals, bTexCoords;
    int32_t nRecord; // checked: the first slots of this record
    std::vector<double> record;
};
} // namespace

TEST(ObjFormat, ReadsStatementsCornerFormsAndFields)
{
    const SReadRow rows[] = {
        {"positions only", TRIANGLE + "f 1 2 3\n", 3, {3}, {0, 1, 2}, 6, false, false, 1, {1, 0, 0}},
        {"v/vt",
         TRIANGLE + "vt 0 0\nvt 1 0\nvt 0.25 0.5\nf 1/1 2/2 3/3\n",
         3,
         {3},
         {0, 1, 2},
         8,
         false,
         true,
         2,
         {0, 1, 0, 0, 0, 0, 0.25, 0.5}},
        {"v//vn",
         TRIANGLE + "vn 0 0 1\nvn 0 0 1\nvn 0 1 0\nf 1//1 2//2 3//3\n",
         3,
         {3},
         {0, 1, 2},
         6,
         true,
         false,
         2,
         {0, 1, 0, 0, 1, 0}},
        // Texture coordinates numbered apart from the positions, one normal for all.
        {"v/vt/vn",
         TRIANGLE + "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nf 1/3/1 2/2/1 3/1/1\n",
         3,
         {3},
         {0, 1, 2},
         8,
         true,
         true,
         0,
         {0, 0, 0, 0, 0, 1, 0, 1}},
        {"mixed forms",
         SQUARE + "vt 0 0\nvn 0 0 1\nf 1 2/1 3//1\nf 1/1/1 3 4\n",
         4,
         {3, 3},
         {0, 1, 2, 0, 2, 3},
         6,
         false,
         false,
         3,
         {0, 1, 0}},
        {"negative indices",
         SQUARE + "f -4 -3 -2\nv 5 5 5\nf -1 -5 -2\n",
         5,
         {3, 3},
         {0, 1, 2, 4, 0, 3},
         6,
         false,
         false,
         4,
         {5, 5, 5}},
        {"quad and pentagon kept",
         SQUARE + "v 2 2 0\nf 1 2 3 4\nf 1 2 5 3 4\n",
         5,
         {4, 5},
         {0, 1, 2, 3, 0, 1, 4, 2, 3},
         6,
         false,
         false,
         4,
         {2, 2, 0}},
        {"continued lines",
         "v 0 0 \\\n 0\nv 1 0 0\nv 0 1 0\nf 1 2\\\r\n 3\n",
         3,
         {3},
         {0, 1, 2},
         6,
         false,
         false,
         0,
         {0, 0, 0}},
        {"continuation at the end",
         TRIANGLE + "f 1 2 3 \\",
         3,
         {3},
         {0, 1, 2},
         6,
         false,
         false,
         0,
         {0, 0, 0}},
        {"w dropped",
         "v 1 2 3 0.5\nv 1 0 0 1\nv 0 1 0 2\nf 1 2 3\n",
         3,
         {3},
         {0, 1, 2},
         6,
         false,
         false,
         0,
         {1, 2, 3}},
        {"colours 0 to 1",
         "v 0 0 0 1 0.5 0\nv 1 0 0 0 0 1\nv 0 1 0\nf 1 2 3\n",
         3,
         {3},
         {0, 1, 2},
         11,
         false,
         false,
         0,
         {0, 0, 0, 0, 0, 0, 0, 0, 1, 0.5, 0}},
        {"colours 0 to 255, with w",
         "v 0 0 0 1 255 51 0\nv 1 0 0 1 0 0 255\nv 0 1 0 1 1 1 1\nf 1 2 3\n",
         3,
         {3},
         {0, 1, 2},
         11,
         false,
         false,
         0,
         {0, 0, 0, 0, 0, 0, 0, 0, 1, 0.2, 0}},
        {"vt of 1 and 3 numbers",
         TRIANGLE + "vt 0.5\nvt 0.25 0.75 9\nf 1/1 2/2 3/1\n",
         3,
         {3},
         {0, 1, 2},
         8,
         false,
         true,
         1,
         {1, 0, 0, 0, 0, 0, 0.25, 0.75}},
        {"groups, materials, lines, points, unknown keywords",
         "o thing\ng a b\ns 1\nmtllib x.mtl y.mtl\nusemtl red\n" + TRIANGLE +
             "l 1 2\np 3\nvp 0.5 0.5\ncstype bezier\nf 1 2 3\ns off\n",
         3,
         {3},
         {0, 1, 2},
         6,
         false,
         false,
         0,
         {0, 0, 0}},
        // Position 1 with two normals: two records; the second use of each position gets its own.
        {"a position with two normals",
         TRIANGLE + "vn 0 0 1\nvn 0 0 -1\nf 1//1 2//1 3//1\nf 1//2 3//2 2//2\n",
         6,
         {3, 3},
         {0, 1, 2, 3, 4, 5},
         6,
         true,
         false,
         3,
         {0, 0, 0, 0, 0, -1}},
        {"CR LF and comments",
         "# made by hand\r\nv 0 0 0 # origin\r\nv 1 0 0\r\n\r\nv 0 1 0\r\nf 1 2 3# face\r\n",
         3,
         {3},
         {0, 1, 2},
         6,
         false,
         false,
         2,
         {0, 1, 0}},
        {"point cloud", TRIANGLE, 3, {}, {}, 6, false, false, 2, {0, 1, 0}},
        {"unused positions kept", SQUARE + "f 2 3 4\n", 4, {3}, {1, 2, 3}, 6, false, false, 0, {0, 0, 0}},
    };
    for (const SReadRow& row : rows)
    {
        SCOPED_TRACE(row.pszName);
        CMeshPartsKeeper keeper;
        std::string strDetail = "unset";
        ASSERT_TRUE(ReadOBJBuffer(row.text, keeper, &strDetail)) << strDetail;
        EXPECT_EQ(strDetail, "");
        const SMeshParts& parts = keeper.m_parts;
        EXPECT_EQ(parts.nVertices, row.nVertices);
        EXPECT_EQ(keeper.Sizes(), row.sizes);
        EXPECT_EQ(parts.indices, row.indices);
        EXPECT_EQ(parts.nEdges, static_cast<int64_t>(row.indices.size()));
        EXPECT_EQ(parts.nRecordSize, row.nRecordSize);
        EXPECT_EQ(parts.bNormals, row.bNormals);
        EXPECT_EQ(parts.bTexCoords, row.bTexCoords);
        EXPECT_EQ(parts.bColors, row.nRecordSize == 11);
        const std::vector<double> record = keeper.Record(row.nRecord, row.record.size());
        for (size_t i = 0; i < record.size(); ++i)
            EXPECT_NEAR(record[i], row.record[i], 1e-12) << "slot " << i;
    }
}

TEST(ObjFormat, MalformedTextIsRefusedWithWhereAndWhy)
{
    const std::pair<std::string, std::string> rows[] = {
        {TRIANGLE + "f 0 1 2\n", "line 4: vertex index 0 is not in 1 to 3"},
        {TRIANGLE + "f 1 2 9\n", "line 4: vertex index 9 is not in 1 to 3"},
        {TRIANGLE + "f -4 1 2\n", "line 4: vertex index -4 is not in -3 to -1"},
        {"f 1 2 3\n" + TRIANGLE, "line 1: vertex index 1, but none is defined before it"},
        {TRIANGLE + "f 3 2 1\nv 9 9 9\nf 1 2 4 5\n", "line 6: vertex index 5 is not in 1 to 4"},
        {TRIANGLE + "vt 0 0\nf 1/1 2/2 3/1\n", "line 5: texture coordinate index 2 is not in 1 to 1"},
        {TRIANGLE + "f 1//1 2//1 3//1\n", "line 4: normal index 1, but none is defined before it"},
        {TRIANGLE + "f   # nothing\n", "line 4: a face without vertices"},
        {TRIANGLE + "vt 0 0\nvn 0 0 1\nf 1/1/1/1 2 3\n", "line 6: malformed face corner \"1/1/1/1\""},
        {TRIANGLE + "f 1// 2 3\n", "line 4: malformed face corner \"1//\""},
        {TRIANGLE + "f /1 2 3\n", "line 4: malformed face corner \"/1\""},
        {TRIANGLE + "f 1 2 3x\n", "line 4: malformed face corner \"3x\""},
        {TRIANGLE + "f 1 2 " + std::string(100, '7') + "\n",
         "line 4: vertex index " + std::string(40, '7') + "... is not in 1 to 3"},
        {"v 0 nan 0\n", "line 1: expected a finite number, not \"nan\""},
        {"v 0 0 0\nvn 1e999 0 0\n", "line 2: expected a finite number, not \"1e999\""},
        {"\n\nv 0 0\n",
         "line 3: a vertex of 2 numbers; expected x y z, x y z w, or either with r g b after it"},
        {"v 0 0 0 1 1\n",
         "line 1: a vertex of 5 numbers; expected x y z, x y z w, or either with r g b after it"},
        {"v 0 0 0\nvn 0 1\n", "line 2: a normal of 2 numbers; expected x y z"},
        {"v 0 0 0\nvt 1 2 3 4\n", "line 2: a texture coordinate of more than 3 numbers; expected u [v [w]]"},
        {"v 1 2 \\\n3 \\\n 4 5\n",
         "line 1: a vertex of 5 numbers; expected x y z, x y z w, or either with r g b after it"},
        {"# nothing but a comment\ng group\n", "the file holds no vertex"},
        {"", "the file holds no vertex"},
        {"v 0 0 0\n" + std::string(1, '\0') + "v 1 1 1\n", "line 2: a NUL byte, which no OBJ text holds"},
    };
    for (const auto& [text, strWanted] : rows)
    {
        SCOPED_TRACE(text.substr(0, 60));
        CMeshPartsKeeper keeper;
        std::string strDetail;
        EXPECT_FALSE(ReadOBJBuffer(text, keeper, &strDetail));
        EXPECT_EQ(strDetail, strWanted);
        EXPECT_EQ(keeper.m_nAdopted, 0);
    }
}

TEST_F(ObjTest, MaterialColoursComeFromTheLibraryBesideTheFile)
{
    Write("colours.mtl",
          "# library\nnewmtl red\nKd 1 0 0\nnewmtl grey\r\nKd 0.5\nnewmtl odd\nKd spectral x.spd\n");
    Write("more.mtl", "newmtl blue\nKd 0 0 2\nnewmtl red\nKd 0 1 0\n");
    Write("outside.mtl", "newmtl red\nKd 0 1 0\n");
    // red and blue share positions 1 and 3: those split; "grey" and "none" faces split again.
    const std::string strFaces = SQUARE + "usemtl red\nf 1 2 3\nusemtl blue\nf 1 3 4\nusemtl odd\nf 1 2 4\n"
                                          "usemtl grey\nf 2 3 4\n";
    const std::string strPath = Write("m.obj", "mtllib colours.mtl missing.mtl more.mtl\n" + strFaces);
    CMeshPartsKeeper keeper;
    ASSERT_TRUE(ReadOBJ(strPath, keeper, nullptr, nullptr));
    const SMeshParts& parts = keeper.m_parts;
    ASSERT_TRUE(parts.bColors);
    ASSERT_EQ(parts.nRecordSize, 11);
    // The first definition of "red" counts; "odd" has no colour and takes the neutral white.
    const std::vector<std::vector<double>> faceColours = {{1, 0, 0}, {0, 0, 1}, {1, 1, 1}, {0.5, 0.5, 0.5}};
    for (int32_t f = 0; f < 4; ++f)
        for (int32_t k = 0; k < 3; ++k)
        {
            const int32_t nRecord = parts.indices[static_cast<size_t>(f * 3 + k)];
            const std::vector<double> record = keeper.Record(nRecord, 11);
            EXPECT_EQ(std::vector<double>(record.begin() + SLOT_COLOR, record.end()), faceColours[f])
                << "face " << f << " corner " << k;
        }
    // Positions 1..4, then 1 and 3 blue, 1 2 4 white, 2 3 4 grey.
    EXPECT_EQ(parts.nVertices, 4 + 2 + 3 + 3);

    // Without a library that can be read (missing, outside the folder, a folder, or from a
    // buffer), the faces have no colour.
    std::filesystem::create_directory(m_dir / "folder.mtl");
    const std::string strWithout[] = {"mtllib missing.mtl\n", "mtllib ../outside.mtl\n",
                                      "mtllib " + Path("outside.mtl") + "\n", "mtllib folder.mtl\n"};
    for (const std::string& strLibrary : strWithout)
    {
        SCOPED_TRACE(strLibrary);
        CMeshPartsKeeper plain;
        std::string strDetail;
        ASSERT_TRUE(ReadOBJ(Write("sub.obj", strLibrary + strFaces), plain, nullptr, &strDetail))
            << strDetail;
        EXPECT_FALSE(plain.m_parts.bColors);
        EXPECT_EQ(plain.m_parts.nVertices, 4);
    }
    CMeshPartsKeeper buffered;
    ASSERT_TRUE(ReadOBJBuffer("mtllib colours.mtl\n" + strFaces, buffered, nullptr));
    EXPECT_FALSE(buffered.m_parts.bColors);
}

TEST(ObjFormat, WrittenMeshesReadBackPlacedAndWhole)
{
    // Two meshes: a quad with normals and texture coordinates, moved; a triangle of the same.
    std::vector<std::vector<double>> records = {{0, 0, 0, 0, 0, 1, 0, 0},    {1, 0, 0, 0, 0, 1, 1, 0},
                                                {1, 1, 0, 0, 0, 1, 1, 1},    {0, 1, 0, 0, 0, 1, 0, 1},
                                                {0, 0, 1, 1, 0, 0, 0.5, 0},  {0, 1, 1, 1, 0, 0, 0.5, 1},
                                                {0, 0, 2, 1, 0, 0, 0.5, 0.5}};
    std::vector<double*> ppVertices;
    for (auto& r : records)
        ppVertices.push_back(r.data());
    std::vector<int32_t> quad = {0, 1, 2, 3}, tri = {2, 1, 0};
    std::vector<int32_t*> ppFaces = {quad.data(), tri.data()};
    const int32_t sizes[] = {4, 3};
    SMeshView a, b;
    for (SMeshView* p : {&a, &b})
    {
        p->nRecordSize = 8;
        p->bNormals = p->bTexCoords = true;
        p->pFaceSizes = sizes;
    }
    a.nVertices = 4, a.nFaces = 1, a.nEdges = 4, a.strName = "quad";
    a.ppVertices = ppVertices.data(), a.ppFaces = ppFaces.data();
    a.vPosition = CVector3(10, 0, 0);
    b.nVertices = 3, b.nFaces = 1, b.nEdges = 3, b.strName = "tri\nangle";
    b.ppVertices = ppVertices.data() + 4, b.ppFaces = ppFaces.data() + 1, b.pFaceSizes = sizes + 1;
    ASSERT_EQ(CheckOBJ({a, b}), "");
    std::ostringstream out;
    std::string strProblem;
    ASSERT_TRUE(WriteOBJ(out, {a, b}, strProblem));
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "# written by TeldViewGL\nv 10.000000 0.000000 0.000000\n");
    EXPECT_NE(text.find("\nf 1/1/1 2/2/2 3/3/3 4/4/4\n"), std::string::npos);
    EXPECT_NE(text.find("\no tri_angle\nf 7/7/7 6/6/6 5/5/5\n"), std::string::npos);

    CMeshPartsKeeper keeper;
    ASSERT_TRUE(ReadOBJBuffer(text, keeper, nullptr));
    const SMeshParts& parts = keeper.m_parts;
    EXPECT_EQ(parts.nVertices, 7);
    EXPECT_EQ(keeper.Sizes(), (std::vector<int32_t>{4, 3}));
    EXPECT_EQ(parts.indices, (std::vector<int32_t>{0, 1, 2, 3, 6, 5, 4}));
    EXPECT_TRUE(parts.bNormals && parts.bTexCoords);
    for (int32_t i = 0; i < 7; ++i)
    {
        std::vector<double> wanted = records[static_cast<size_t>(i)];
        wanted[0] += i < 4 ? 10 : 0;
        EXPECT_EQ(keeper.Record(i, 8), wanted) << "record " << i;
    }

    // Without normals and texture coordinates in one of them, corners are plain indices.
    b.bNormals = b.bTexCoords = false;
    std::ostringstream plain;
    ASSERT_TRUE(WriteOBJ(plain, {a, b}, strProblem));
    EXPECT_EQ(plain.str().find("vn "), std::string::npos);
    EXPECT_NE(plain.str().find("\nf 1 2 3 4\n"), std::string::npos);

    // Numbers that no reader takes back and faces that name no vertex are refused.
    records[5][4] = std::numeric_limits<double>::quiet_NaN();
    b.bNormals = true;
    a.bNormals = true;
    std::ostringstream refused;
    EXPECT_FALSE(WriteOBJ(refused, {a, b}, strProblem));
    EXPECT_EQ(strProblem, "tri\nangle has a coordinate or normal that is not a finite number");
    EXPECT_TRUE(refused.fail());
    tri[0] = 3;
    EXPECT_EQ(CheckOBJ({a, b}), "tri\nangle has a face that names no vertex of it");
}

TEST(ObjFormat, ContentTestTakesObjStatementsOnly)
{
    const std::pair<std::string, int> rows[] = {
        {"# comment\n\nv 1 2 3\nv 4 5 6\nf 1 2 3\n", 2},
        {"mtllib a.mtl\no thing\ng g\nusemtl red\ns 1\nv 0 0 0\n", 2},
        {"mtllib a.mtl\no thing\ng g\nusemtl red\ns 1\nf 1 2 3\n", 1},
        {"vn 0 0 1\r\nvt 0.5 0.5\r\nf 1/1/1 2/2/1 3/3/1\r\n", 1},
        {"v 1 2 3\nv 1 2 3\nv 1 2 3\nv 1 2 3\nhello world\n", 0},
        {"OFF\n3 1 0\n", 0},
        {"3 1 0\n0 0 0\n", 0},
        {"solid cube\nfacet normal 0 0 1\n", 0},
        {"SCENE\nv 1 2 3\n", 0},
        {"ply\nformat ascii 1.0\n", 0},
        {"{\"v\": [1, 2, 3]}\n", 0},
        {"v x y z\n", 0},
        {"v 1 2 3\n" + std::string(1, '\0'), 0},
        {"# only a comment\n", 0},
    };
    for (const auto& [head, nWanted] : rows)
        EXPECT_EQ(RecogniseOBJ(head, head.size()), nWanted) << head;
}
