#include <gtest/gtest.h>

#include <zip.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "formats/3mf/ThreeMfFormat.h"
#include "formats/3mf/ThreeMfReader.h"
#include "formats/MeshSet.h"
#include "tests/unit/FileTestSupport.h"

namespace
{
using namespace FileTestSupport;
using ThreeMfTest = CScratchTest;
using Parts = std::vector<std::pair<std::string, std::string>>;

const std::string RELS = "<?xml version=\"1.0\"?>\n<Relationships "
                         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"r0\" Target=\"/3D/3dmodel.model\" "
                         "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>"
                         "</Relationships>\n";

// A tetrahedron: vertex 1 is (1, 0, 0), the last triangle "1 2 3".
std::string Tetra(int nId, const std::string& strAttributes = "")
{
    return "<object id=\"" + std::to_string(nId) + "\" " + strAttributes +
           "><mesh><vertices>\n<vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/>\n"
           "<vertex x=\"0\" y=\"1\" z=\"0\"/><vertex x=\"0\" y=\"0\" z=\"1\"/>\n</vertices><triangles>\n"
           "<triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" v3=\"3\"/>\n"
           "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" v3=\"3\"/>\n"
           "</triangles></mesh></object>\n";
}

std::string Assembly(int nId, const std::vector<std::pair<int, std::string>>& components)
{
    std::string s = "<object id=\"" + std::to_string(nId) + "\"><components>";
    for (const auto& [nObject, strTransform] : components)
        s += "<component objectid=\"" + std::to_string(nObject) + "\"" +
             (strTransform.empty() ? "" : " transform=\"" + strTransform + "\"") + "/>";
    return s + "</components></object>\n";
}

std::string Model(const std::string& strResources, const std::string& strItems)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"millimeter\" "
           "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n<resources>\n" +
           strResources + "</resources>\n<build>" + strItems + "</build>\n</model>\n";
}

std::string Item(int nObject, const std::string& strTransform = "")
{
    return "<item objectid=\"" + std::to_string(nObject) + "\"" +
           (strTransform.empty() ? "" : " transform=\"" + strTransform + "\"") + "/>";
}

Parts Package(const std::string& strModel)
{
    return {{"_rels/.rels", RELS}, {"3D/3dmodel.model", strModel}};
}

// The bytes of a zip archive of the parts, deflated or stored, written by libzip to strPath.
std::string Zip(const std::string& strPath, const Parts& parts, bool bStore = false)
{
    int nError = 0;
    zip_t* pZip = zip_open(strPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &nError);
    EXPECT_NE(pZip, nullptr);
    for (const auto& [strName, contents] : parts)
    {
        zip_source_t* pSource = zip_source_buffer(pZip, contents.data(), contents.size(), 0);
        const zip_int64_t nIndex = zip_file_add(pZip, strName.c_str(), pSource, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(nIndex, 0);
        zip_set_file_compression(pZip, static_cast<zip_uint64_t>(nIndex),
                                 bStore ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    EXPECT_EQ(zip_close(pZip), 0);
    return ReadFile(strPath);
}

// Sets the uncompressed size of the central directory's first entry.
std::string WithStatedSize(std::string zip, uint32_t nSize)
{
    const size_t nAt = zip.find("PK\1\2") + 24;
    for (int i = 0; i < 4; ++i)
        zip[nAt + static_cast<size_t>(i)] = static_cast<char>(nSize >> (8 * i));
    return zip;
}

struct SMeshExpected
{
    std::string strName;
    int32_t nVertices;
    std::array<double, 3> vertex1; // where the tetrahedron's vertex 1 lands
    std::array<int32_t, 3> lastTriangle;
};

TEST_F(ThreeMfTest, LayoutsGiveOneMeshPerBuildItemPlaced)
{
    const std::string ROTATE_LIFT = "0 1 0 -1 0 0 0 0 1 0 0 5"; // (1 0 0) -> (0 1 5)
    const std::string MOVE_X = "1 0 0 0 1 0 0 0 1 10 0 0";
    const std::string DOUBLE = "2 0 0 0 2 0 0 0 2 0 0 0";
    const struct
    {
        const char* pszLayout;
        Parts parts;
        std::vector<SMeshExpected> meshes;
    } ROWS[] = {
        {"one object", Package(Model(Tetra(1), Item(1))), {{"object 1", 4, {1, 0, 0}, {1, 2, 3}}}},
        {"two items of one object, a support object left out",
         Package(Model(Tetra(3, "name=\"Tip\"") + Tetra(4, "type=\"support\""),
                       Item(3) + Item(4) + Item(3, MOVE_X))),
         {{"Tip", 4, {1, 0, 0}, {1, 2, 3}}, {"Tip", 4, {11, 0, 0}, {1, 2, 3}}}},
        {"component transform, then the item's",
         Package(Model(Tetra(1) + Assembly(2, {{1, ""}, {1, ROTATE_LIFT}}), Item(2, MOVE_X))),
         {{"object 2", 8, {10, 1, 5}, {5, 6, 7}}}},
        {"nested components",
         Package(
             Model(Tetra(1) + Assembly(2, {{1, ROTATE_LIFT}}) + Assembly(3, {{2, DOUBLE}}), Item(3, MOVE_X))),
         {{"object 3", 4, {10, 2, 10}, {1, 2, 3}}}},
        {"the relationship names another part",
         {{"_rels/.rels", std::string(RELS).replace(RELS.find("/3D/3dmodel"), 17, "/Models/main.model")},
          {"3D/3dmodel.model", "not read"},
          {"Models/main.model", Model(Tetra(5, "name=\"Main\""), Item(5))}},
         {{"Main", 4, {1, 0, 0}, {1, 2, 3}}}},
        {"a mirroring item keeps the faces outward",
         Package(Model(Tetra(1), Item(1, "-1 0 0 0 1 0 0 0 1 0 0 0"))),
         {{"object 1", 4, {-1, 0, 0}, {1, 3, 2}}}},
        {"no relationships: the usual part",
         {{"3D/3dmodel.model", Model(Tetra(1), Item(1))}},
         {{"object 1", 4, {1, 0, 0}, {1, 2, 3}}}},
    };
    for (const auto& row : ROWS)
    {
        SCOPED_TRACE(row.pszLayout);
        SMeshSet set;
        std::string strDetail = "stale";
        ASSERT_TRUE(Read3MF(Zip(Path("p.3mf"), row.parts), set, &strDetail)) << strDetail;
        EXPECT_EQ(strDetail, "");
        ASSERT_EQ(set.meshes.size(), row.meshes.size());
        ASSERT_EQ(set.names.size(), row.meshes.size());
        for (size_t m = 0; m < row.meshes.size(); ++m)
        {
            const SMeshParts& mesh = set.meshes[m];
            const SMeshExpected& expected = row.meshes[m];
            EXPECT_EQ(set.names[m], expected.strName);
            ASSERT_EQ(mesh.nVertices, expected.nVertices);
            ASSERT_EQ(mesh.nFaces, expected.nVertices);
            EXPECT_EQ(mesh.nEdges, 3 * mesh.nFaces);
            EXPECT_EQ(mesh.nRecordSize, 6);
            ASSERT_EQ(mesh.indices.size(), static_cast<size_t>(mesh.nEdges));
            for (int32_t f = 0; f < mesh.nFaces; ++f)
                EXPECT_EQ(mesh.pFaceSizes[f], 3);
            // The last copy placed holds the vertex checked.
            const double* p = &mesh.pRecords[6 * (mesh.nVertices - 3)];
            EXPECT_EQ((std::array<double, 3>{p[0], p[1], p[2]}), expected.vertex1);
            EXPECT_EQ((std::array<double, 3>{p[3], p[4], p[5]}), (std::array<double, 3>{0, 0, 0}));
            const int32_t* pLast = &mesh.indices[mesh.indices.size() - 3];
            EXPECT_EQ((std::array<int32_t, 3>{pLast[0], pLast[1], pLast[2]}), expected.lastTriangle);
        }
    }
}

TEST_F(ThreeMfTest, HostilePackagesAreRefusedWithWhereAndWhy)
{
    const std::string strGood = Zip(Path("p.3mf"), {{"3D/3dmodel.model", Model(Tetra(1), Item(1))}});
    std::string strChain = Tetra(1);
    for (int i = 2; i <= 70; ++i)
        strChain += Assembly(i, {{i - 1, ""}});
    const std::string strBadIndex =
        std::string(Tetra(1)).replace(Tetra(1).find("v3=\"3\"/>\n</"), 6, "v3=\"9\"");
    const struct
    {
        const char* pszCase;
        std::string data;
        std::string strDetail;
    } ROWS[] = {
        {"no zip", "solid x\n", "not a zip archive"},
        {"size claimed beyond the cap", WithStatedSize(strGood, 0x7FFFFFFF),
         "3D/3dmodel.model: 2147483647 bytes, more than the"},
        {"size claimed beyond what deflate gives", WithStatedSize(strGood, 1000000), "(a zip bomb)"},
        {"size claimed short of the data", WithStatedSize(strGood, 100),
         "3D/3dmodel.model: the data goes on past its stated size"},
        {"no model part", Zip(Path("p.3mf"), {{"3D/other.model", Model(Tetra(1), Item(1))}}),
         "the package has no model part 3D/3dmodel.model"},
        {"relationship to a missing part",
         Zip(Path("p.3mf"),
             {{"_rels/.rels", std::string(RELS).replace(RELS.find("3dmodel.model"), 13, "x.model")}}),
         "the package has no model part 3D/x.model"},
        {"malformed XML", Zip(Path("p.3mf"), Package("<model>\n<resources>\n</model>")),
         "3D/3dmodel.model: line 3: mismatched tag"},
        {"index out of range", Zip(Path("p.3mf"), Package(Model(strBadIndex, Item(1)))),
         "3D/3dmodel.model: line 9: vertex index 9 is not in 0 to 3"},
        {"no number",
         Zip(Path("p.3mf"),
             Package(Model(std::string(Tetra(1)).replace(Tetra(1).find("1\" y"), 1, "nan"), Item(1)))),
         "line 5: a vertex needs finite numbers x, y and z"},
        {"short transform", Zip(Path("p.3mf"), Package(Model(Tetra(1), Item(1, "1 0 0 0 1 0 0 0 1 0 0")))),
         "line 12: the transform needs 12 finite numbers"},
        {"transform beyond doubles",
         Zip(Path("p.3mf"), Package(Model(Tetra(1), Item(1, "1e308 0 0 0 1 0 0 0 1 1e308 0 0")))),
         "3D/3dmodel.model: line 12: the transforms carry a vertex beyond the range of numbers"},
        {"component cycle",
         Zip(Path("p.3mf"), Package(Model(Assembly(1, {{2, ""}}) + Assembly(2, {{1, ""}}), Item(1)))),
         "object 1 contains itself through its components"},
        {"missing object", Zip(Path("p.3mf"), Package(Model(Tetra(1), Item(7)))),
         "3D/3dmodel.model: line 12: the build item names object 7, which is not there"},
        {"absurd nesting", Zip(Path("p.3mf"), Package(Model(strChain, Item(70)))),
         "components nested deeper than 64 levels"},
        {"entities", Zip(Path("p.3mf"), Package("<!DOCTYPE model [<!ENTITY a \"b\">]><model/>")),
         "document type"},
        {"no build", Zip(Path("p.3mf"), Package(Model(Tetra(1), ""))), "the build places no object"},
    };
    for (const auto& row : ROWS)
    {
        SCOPED_TRACE(row.pszCase);
        SMeshSet set;
        set.names.push_back("kept");
        set.meshes.emplace_back();
        std::string strDetail;
        EXPECT_FALSE(Read3MF(row.data, set, &strDetail));
        EXPECT_NE(strDetail.find(row.strDetail), std::string::npos) << strDetail;
        EXPECT_EQ(set.names, std::vector<std::string>{"kept"});
    }
}

TEST_F(ThreeMfTest, ContentTestLooksForAModelPartName)
{
    const struct
    {
        const char* pszCase;
        std::string head;
        int nExpected;
    } ROWS[] = {
        {"a package",
         Zip(Path("p.3mf"),
             {{"[Content_Types].xml", "<Types/>"}, {"_rels/.rels", RELS}, {"3D/a.model", "x"}}),
         3},
        {"stored relationships", Zip(Path("p.3mf"), {{"_rels/.rels", RELS}}, true), 3},
        {"another zip",
         Zip(Path("p.3mf"), {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "<w/>"}}), 1},
        {"no zip", "PK\3", 0},
    };
    for (const auto& row : ROWS)
        EXPECT_EQ(Recognise3MF(std::string_view(row.head).substr(0, 4096), row.head.size()), row.nExpected)
            << row.pszCase;
}
} // namespace
