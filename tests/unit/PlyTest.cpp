#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "formats/MeshPartsKeeper.h"
#include "formats/ply/PlyFormat.h"
#include "formats/ply/PlyReader.h"
#include "formats/ply/PlyWriter.h"
#include "platform/ReadProgress.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using PlyTest = CScratchTest;

// Binary values in either byte order.
struct SBytes
{
    bool bBig;
    std::string s;
    template <typename T> SBytes& Put(T value)
    {
        char b[sizeof(T)];
        std::memcpy(b, &value, sizeof(T));
        for (size_t i = 0; i < sizeof(T); ++i)
            s += b[bBig ? sizeof(T) - 1 - i : i];
        return *this;
    }
    SBytes& Tri() { return Put<float>(0).Put<float>(0).Put<float>(0); }
};

std::string Header(const char* pszFormat, const std::string& strElements)
{
    return std::string("ply\nformat ") + pszFormat + " 1.0\n" + strElements + "end_header\n";
}

const std::string XYZ = "property float x\nproperty float y\nproperty float z\n";
const std::string FACE = "element face 1\nproperty list uchar int vertex_indices\n";
const std::string ASCII_TRI =
    Header("ascii", "element vertex 3\n" + XYZ + FACE) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
const std::vector<double> TRI_RECORDS = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};

// A binary triangle (1,2,3) (0,0,0) (0,0,0) with x of the given type.
std::string BinaryTriangle(bool bBig, const char* pszXType, int nXType)
{
    SBytes b{bBig, Header(bBig ? "binary_big_endian" : "binary_little_endian",
                          "element vertex 3\nproperty " + std::string(pszXType) +
                              " x\nproperty float y\nproperty float z\n" + FACE)};
    for (int i = 0; i < 3; ++i)
    {
        const double d = i == 0 ? 7 : 0;
        switch (nXType)
        {
        case PLY_INT8:
            b.Put<int8_t>(int8_t(d));
            break;
        case PLY_UINT8:
            b.Put<uint8_t>(uint8_t(d));
            break;
        case PLY_INT16:
            b.Put<int16_t>(int16_t(d));
            break;
        case PLY_UINT16:
            b.Put<uint16_t>(uint16_t(d));
            break;
        case PLY_INT32:
            b.Put<int32_t>(int32_t(d));
            break;
        case PLY_UINT32:
            b.Put<uint32_t>(uint32_t(d));
            break;
        case PLY_FLOAT32:
            b.Put<float>(float(d));
            break;
        default:
            b.Put<double>(d);
        }
        b.Put<float>(i == 1 ? 1 : 0).Put<float>(i == 2 ? 1 : 0);
    }
    return b.Put<uint8_t>(3).Put<int32_t>(0).Put<int32_t>(1).Put<int32_t>(2).s;
}

struct SGood
{
    std::string strName;
    std::string data;
    int nRecordSize;
    std::vector<double> records;
    std::vector<int32_t> sizes;
    std::vector<int32_t> indices;
};

std::vector<SGood> GoodRows()
{
    const std::vector<double> seven = {7, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    std::vector<SGood> rows = {
        {"ascii", ASCII_TRI, 6, TRI_RECORDS, {3}, {0, 1, 2}},
        {"normals",
         Header("ascii",
                "element vertex 1\n" + XYZ + "property float nx\nproperty float ny\nproperty float nz\n") +
             "1 2 3 0 0 1\n",
         6,
         {1, 2, 3, 0, 0, 1},
         {},
         {}},
        {"uchar colours, alpha dropped",
         Header("ascii",
                "element vertex 1\n" + XYZ +
                    "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n") +
             "1 2 3 255 0 51 9\n",
         11,
         {1, 2, 3, 0, 0, 0, 0, 0, 1, 0, 0.2},
         {},
         {}},
        {"float colours",
         Header("ascii", "element vertex 1\n" + XYZ +
                             "property double red\nproperty float green\nproperty float blue\n") +
             "1 2 3 0.5 1 0\n",
         11,
         {1, 2, 3, 0, 0, 0, 0, 0, 0.5, 1, 0},
         {},
         {}},
        {"quad and pentagon",
         Header("ascii",
                "element vertex 5\n" + XYZ + "element face 2\nproperty list uchar uint vertex_index\n") +
             "0 0 0 1 0 0 1 1 0 0 1 0 2 2 0\n4 0 1 2 3\n5 0 1 4 2 3\n",
         6,
         {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0},
         {4, 5},
         {0, 1, 2, 3, 0, 1, 4, 2, 3}},
        {"face colours",
         Header("ascii", "element vertex 3\n" + XYZ + FACE +
                             "property uchar red\nproperty uchar green\nproperty uchar blue\n") +
             "0 0 0\n1 0 0\n0 1 0\n3 2 1 0 255 0 0\n",
         11,
         {0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0},
         {3},
         {0, 1, 2}},
        {"unknown elements and properties, comments, CR LF",
         "ply\r\ncomment made by hand\r\nformat ascii 1.0\r\nobj_info anything\r\nelement material "
         "1\r\nproperty list int float shades\r\nelement vertex 3\r\nproperty int quality\r\n" +
             XYZ +
             "property list uchar uchar friends\r\nelement edge 2\r\nproperty int a\r\nelement face "
             "1\r\nproperty float confidence\r\nproperty list uchar int vertex_indices\r\nproperty list int "
             "int extra\r\nend_header\r\n2 0.5 0.5\r\n9 0 0 0 0\r\n9 1 0 0 2 1 2\r\n9 0 1 0 1 "
             "0\r\n5\r\n6\r\n0.5 3 0 1 2 1 7\r\n",
         6,
         TRI_RECORDS,
         {3},
         {0, 1, 2}},
        {"point cloud",
         Header("ascii", "element vertex 2\n" + XYZ) + "1 2 3\n4 5 6\n",
         6,
         {1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0},
         {},
         {}},
        {"no faces",
         Header("ascii",
                "element vertex 1\n" + XYZ + "element face 0\nproperty list uchar int vertex_indices\n") +
             "1 2 3\n",
         6,
         {1, 2, 3, 0, 0, 0},
         {},
         {}},
    };
    for (const char* pszNames : {"s t", "u v", "texture_u texture_v"})
    {
        std::istringstream names(pszNames);
        std::string strU, strV;
        names >> strU >> strV;
        rows.push_back({pszNames,
                        Header("ascii", "element vertex 1\n" + XYZ + "property float " + strU +
                                            "\nproperty float " + strV + "\n") +
                            "1 2 3 0.25 0.75\n",
                        8,
                        {1, 2, 3, 0, 0, 0, 0.25, 0.75},
                        {},
                        {}});
    }
    const char* const TYPES[] = {"char", "uchar", "short", "ushort", "int",   "uint",   "float",   "double",
                                 "int8", "uint8", "int16", "uint16", "int32", "uint32", "float32", "float64"};
    for (int t = 0; t < 16; ++t)
        for (bool bBig : {false, true})
            rows.push_back({std::string(TYPES[t]) + (bBig ? " big" : " little"),
                            BinaryTriangle(bBig, TYPES[t], t % 8),
                            6,
                            seven,
                            {3},
                            {0, 1, 2}});
    // Face lists of other types, and the same unknown elements and properties stepped over in binary.
    const char* const LISTS[][2] = {
        {"uchar", "int"}, {"int", "int"}, {"uint", "uint"}, {"uchar", "short"}, {"ushort", "uint8"}};
    for (const auto& list : LISTS)
        for (bool bBig : {false, true})
        {
            SBytes b{bBig,
                     Header(bBig ? "binary_big_endian" : "binary_little_endian",
                            "element material 1\nproperty list int double shades\nelement vertex 3\nproperty "
                            "short quality\n" +
                                XYZ +
                                "property list uchar int friends\nelement face 1\nproperty float "
                                "confidence\nproperty list " +
                                list[0] + " " + list[1] +
                                " vertex_indices\nproperty uchar flags\nelement edge 1\nproperty int a\n")};
            b.Put<int32_t>(2).Put<double>(0.5).Put<double>(0.5);
            for (int i = 0; i < 3; ++i)
                b.Put<int16_t>(9)
                    .Put<float>(i == 1)
                    .Put<float>(i == 2)
                    .Put<float>(0)
                    .Put<uint8_t>(1)
                    .Put<int32_t>(5);
            b.Put<float>(0.5);
            const std::string strCount = list[0];
            for (int k = -1; k < 3; ++k)
            {
                const int n = k < 0 ? 3 : k;
                const std::string strType = k < 0 ? strCount : list[1];
                if (strType == "uchar" || strType == "uint8")
                    b.Put<uint8_t>(uint8_t(n));
                else if (strType == "short" || strType == "ushort")
                    b.Put<int16_t>(int16_t(n));
                else
                    b.Put<int32_t>(n);
            }
            b.Put<uint8_t>(1).Put<int32_t>(4);
            rows.push_back({std::string("lists ") + list[0] + " " + list[1] + (bBig ? " big" : " little"),
                            b.s,
                            6,
                            TRI_RECORDS,
                            {3},
                            {0, 1, 2}});
        }
    return rows;
}
SMeshView View(int32_t nVertices, int32_t nFaces, int32_t nRecordSize, double* const* ppVertices,
               int32_t* const* ppFaces, const int32_t* pFaceSizes, const char* pszName)
{
    SMeshView view;
    view.nVertices = nVertices;
    view.nFaces = nFaces;
    view.nRecordSize = nRecordSize;
    view.bNormals = view.bColors = nRecordSize == 11;
    view.ppVertices = ppVertices;
    view.ppFaces = ppFaces;
    view.pFaceSizes = pFaceSizes;
    view.strName = pszName;
    return view;
}
} // namespace

TEST(Ply, EveryLayoutGivesItsParts)
{
    for (const SGood& row : GoodRows())
    {
        SCOPED_TRACE(row.strName);
        CMeshPartsKeeper keeper;
        std::string strDetail = "stale";
        ASSERT_TRUE(ReadPLYBuffer(row.data, keeper, &strDetail)) << strDetail;
        EXPECT_EQ(strDetail, "");
        EXPECT_EQ(keeper.m_nAdopted, 1);
        EXPECT_EQ(keeper.m_parts.nRecordSize, row.nRecordSize);
        EXPECT_EQ(keeper.Records(), row.records);
        EXPECT_EQ(keeper.Sizes(), row.sizes);
        EXPECT_EQ(keeper.m_parts.indices, row.indices);
        EXPECT_EQ(keeper.m_parts.nEdges, static_cast<int64_t>(row.indices.size()));
        EXPECT_EQ(keeper.m_parts.bColors, row.nRecordSize == 11);
        EXPECT_EQ(keeper.m_parts.bTexCoords, row.nRecordSize == 8);
        EXPECT_EQ(keeper.m_parts.bNormals, row.strName == "normals");
    }
}

TEST(Ply, MalformedFilesAreRefusedWithWhereAndWhy)
{
    const std::string binaryHead = Header("binary_little_endian", "element vertex 3\n" + XYZ + FACE);
    SBytes tri{false, binaryHead};
    tri.Tri().Tri().Tri();
    SBytes nan{false, binaryHead};
    nan.Put<float>(std::nanf(""))
        .Put<float>(0)
        .Put<float>(0)
        .Tri()
        .Tri()
        .Put<uint8_t>(3)
        .Put<int32_t>(0)
        .Put<int32_t>(1)
        .Put<int32_t>(2);
    SBytes listVertex{false, Header("binary_little_endian",
                                    "element vertex 13\n" + XYZ + "property list uchar int more\n")};
    for (int i = 0; i < 12; ++i)
        listVertex.Tri().Put<uint8_t>(1).Put<int32_t>(0);
    // Lists longer than their least before items of a fixed size: those must still fit.
    SBytes listsFirst{false, Header("binary_little_endian", "element extra 1\nproperty list uchar int v\n"
                                                            "element vertex 3\n" +
                                                                XYZ)};
    listsFirst.Put<uint8_t>(3).Put<int32_t>(0).Put<int32_t>(0).Put<int32_t>(0).Tri().Tri();
    SBytes listsBeforeSkipped{
        false, Header("binary_little_endian", "element vertex 1\n" + XYZ +
                                                  "element extra 1\nproperty list uchar int v\n"
                                                  "element pad 2\nproperty int p\n")};
    listsBeforeSkipped.Tri().Put<uint8_t>(2).Put<int32_t>(0).Put<int32_t>(0);
    std::string strComments;
    for (int i = 0; i < 7000; ++i)
        strComments += "comment a long header\n";
    std::string strProperties;
    for (int i = 0; i < 1001; ++i)
        strProperties += "property int p\n";
    const std::pair<std::string, std::string> rows[] = {
        {"OFF\n3 1 0\n", "the header: the file does not start with 'ply'"},
        {"ply\nformat binary_middle_endian 1.0\nend_header\n",
         "the header: unknown format 'binary_middle_endian'"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float64x x\nend_header\n",
         "unknown property type 'float64x'"},
        {"ply\nformat ascii 1.0\n" + strComments, "the header: no end_header in the first 64 KiB"},
        {Header("ascii", "element vertex 1\n" + strProperties), "more properties"},
        {Header("ascii", "element vertex 1\nproperty float x\nproperty float y\n") + "1 2\n",
         "the header: the vertex element has no x, y and z"},
        {Header("ascii", "element vertex 1000000000\n" + XYZ) + "1 2 3\n",
         "the header: 1000000000 vertex items ask for more than the file holds"},
        {binaryHead + std::string(36, '\0'), "the header: 1 face items ask for more than the file holds"},
        {Header("ascii", "element vertex 2\n" + XYZ) + "10 20 30\n40 50\n",
         "line 9: expected a vertex coordinate, but the file ends"},
        {Header("ascii", "element vertex 1\n" + XYZ) + "1 nan 3\n", "line 8: expected a vertex coordinate"},
        {Header("ascii", "element vertex 3\n" + XYZ + FACE) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n",
         "line 13: vertex index 3 is not in 0 to 2"},
        {Header("ascii", "element vertex 3\n" + XYZ + FACE) + "0 0 0\n1 0 0\n0 1 0\n0\n",
         "line 13: expected a face size of at least 1"},
        {Header("ascii", "element vertex 3\n" + XYZ + FACE) + "0 0 0\n1 0 0\n0 1 0\n9 0 1 2\n",
         "line 13: the list count asks for more than the file holds"},
        {SBytes(tri).Put<uint8_t>(200).Put<int32_t>(0).Put<int32_t>(1).Put<int32_t>(2).s,
         "face 0: a list longer than the rest of the file"},
        {SBytes(tri).Put<uint8_t>(0).Put<int32_t>(0).Put<int32_t>(1).Put<int32_t>(2).s,
         "face 0: a face of no corners"},
        {SBytes(tri).Put<uint8_t>(3).Put<int32_t>(0).Put<int32_t>(-1).Put<int32_t>(2).s,
         "face 0: vertex index -1 is not in 0 to 2"},
        {nan.s, "vertex 0: a number that is not finite"},
        {listVertex.s, "vertex 12: the file ends"},
        {listsFirst.s, "vertex 2: the file ends"},
        {listsBeforeSkipped.s, "pad 0: the file ends"},
    };
    for (const auto& [data, strWhy] : rows)
    {
        SCOPED_TRACE(strWhy);
        CMeshPartsKeeper keeper;
        std::string strDetail;
        EXPECT_FALSE(ReadPLYBuffer(data, keeper, &strDetail));
        EXPECT_NE(strDetail.find(strWhy), std::string::npos) << strDetail;
        EXPECT_EQ(keeper.m_nAdopted, 0);
    }
    // A negative list count in a skipped list, and one of a face.
    SBytes negative{
        false, Header("binary_little_endian",
                      "element vertex 1\n" + XYZ + "element face 1\nproperty list int int vertex_indices\n")};
    negative.Tri().Put<int32_t>(-5).Put<int32_t>(0);
    CMeshPartsKeeper keeper;
    std::string strDetail;
    EXPECT_FALSE(ReadPLYBuffer(negative.s, keeper, &strDetail));
    EXPECT_EQ(strDetail, "face 0: a list count below 0");
}

TEST(Ply, ContentTestKnowsTheHeaderOnly)
{
    const std::pair<const char*, int> rows[] = {
        {"ply\nformat ascii 1.0\n", 2},
        {"ply\r\ncomment x\r\nformat binary_little_endian 1.0\r\n", 2},
        {"ply\nelement vertex 1\n", 0},
        {"plywood\nformat ascii 1.0\n", 0},
        {"OFF\n3 1 0\n", 0},
        {"solid ply\n", 0},
        {"SCENE 1\nply\nformat ascii\n", 0},
        {"1 2 3\n", 0},
    };
    for (const auto& [pszHead, nExpected] : rows)
        EXPECT_EQ(RecognisePLY(pszHead, std::strlen(pszHead)), nExpected) << pszHead;
}

TEST_F(PlyTest, WrittenScenesReadBackPlaced)
{
    // Two meshes: a coloured quad and triangle with normals, and a triangle moved by (10, 0, 0).
    double records[2][4][11] = {{{0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0},
                                 {1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0},
                                 {1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                                 {0, 1, 0, 0, 0, 1, 0, 0, 0.5, 0.5, 0.5}},
                                {{0, 0, 5, 0, 1, 0, 0, 0, 0.2, 0.4, 0.6},
                                 {1, 0, 5, 0, 1, 0, 0, 0, 1, 1, 1},
                                 {0, 1, 5, 0, 1, 0, 0, 0, 0, 0, 0}}};
    double* vertices[2][4] = {{records[0][0], records[0][1], records[0][2], records[0][3]},
                              {records[1][0], records[1][1], records[1][2], nullptr}};
    int32_t quad[] = {0, 1, 2, 3}, tri[] = {0, 2, 3}, other[] = {2, 1, 0};
    int32_t* faces0[] = {quad, tri};
    int32_t* faces1[] = {other};
    const int32_t sizes0[] = {4, 3}, sizes1[] = {3};
    std::vector<SMeshView> meshes(2);
    meshes[0] = View(4, 2, 11, vertices[0], faces0, sizes0, "a");
    meshes[1] = View(3, 1, 11, vertices[1], faces1, sizes1, "b");
    meshes[1].vPosition = CVector3(10, 0, 0);
    ASSERT_EQ(CheckPLY(meshes), "");
    std::ostringstream out;
    std::string strProblem;
    ASSERT_TRUE(WritePLY(out, meshes, strProblem));
    EXPECT_EQ(
        out.str().rfind(
            "ply\nformat binary_little_endian 1.0\ncomment written by TeldViewGL\nelement vertex 7\n", 0),
        0u);

    CMeshPartsKeeper keeper;
    CReadProgress progress;
    ASSERT_TRUE(ReadPLY(Write("scene.ply", out.str()), keeper, &progress, nullptr));
    EXPECT_EQ(progress.Percent(), 100);
    EXPECT_TRUE(keeper.m_parts.bNormals && keeper.m_parts.bColors);
    EXPECT_EQ(keeper.Sizes(), (std::vector<int32_t>{4, 3, 3}));
    EXPECT_EQ(keeper.m_parts.indices, (std::vector<int32_t>{0, 1, 2, 3, 0, 2, 3, 6, 5, 4}));
    for (int i = 0; i < 7; ++i)
    {
        const double* pExpected = i < 4 ? records[0][i] : records[1][i - 4];
        const double* pRead = keeper.m_parts.pRecords.get() + 11 * i;
        EXPECT_EQ(pRead[0], pExpected[0] + (i >= 4 ? 10 : 0)) << i;
        for (int s = 1; s < 6; ++s)
            EXPECT_EQ(pRead[s], pExpected[s]) << i;
        for (int s = SLOT_COLOR; s < 11; ++s)
            EXPECT_EQ(pRead[s], std::round(pExpected[s] * 255) / 255) << i;
    }

    // A face of 300 corners counts in ints; a coordinate beyond floats is refused.
    std::vector<int32_t> big(300, 0);
    int32_t* bigFaces[] = {big.data()};
    const int32_t bigSizes[] = {300};
    std::vector<SMeshView> one = {View(1, 1, 6, vertices[0], bigFaces, bigSizes, "c")};
    std::ostringstream bigOut;
    ASSERT_TRUE(WritePLY(bigOut, one, strProblem));
    EXPECT_NE(bigOut.str().find("property list int int vertex_indices\n"), std::string::npos);
    CMeshPartsKeeper again;
    ASSERT_TRUE(ReadPLYBuffer(bigOut.str(), again, nullptr));
    EXPECT_EQ(again.Sizes(), std::vector<int32_t>{300});
    records[0][0][1] = 1e300;
    std::ostringstream refused;
    EXPECT_FALSE(WritePLY(refused, one, strProblem));
    EXPECT_EQ(strProblem, "c has a coordinate or normal beyond the range of 32-bit floats");
    EXPECT_FALSE(refused);
    const int32_t emptySizes[] = {0};
    one[0].pFaceSizes = emptySizes;
    EXPECT_NE(CheckPLY(one), "");
}
