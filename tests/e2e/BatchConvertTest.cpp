#include "e2e/BatchTestSupport.h"

#include <sys/resource.h>
#include <zip.h>

#include <cstring>
#include <sstream>

#include "formats/off/OffWriter.h"
#include "model/Mesh.h"

namespace
{
using namespace BatchTestSupport;

const std::string TWO_FACETS_STL =
    "solid two\nfacet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 2 0 0\nvertex 0 2 0\n"
    "endloop\nendfacet\nfacet normal 0 0 0\nouter loop\nvertex 0 0 1\nvertex 2 0 1\n"
    "vertex 0 2 1\nendloop\nendfacet\nendsolid two\n";

using BatchConvertTest = BatchTest;

// A triangle with corners (0 0 0), (1 0 0), (0 1 0) placed twice, the second time moved 2 along x:
// as a glTF document with its buffer beside it, and as a 3MF package.
const std::string TWICE_GLTF =
    R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
 "nodes": [{"mesh": 0, "name": "left"}, {"mesh": 0, "name": "right", "translation": [2, 0, 0]}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
 "buffers": [{"uri": "twice.bin", "byteLength": 42}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [0, 0, 0], "max": [1, 1, 0]},
               {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}]})";
const std::string TWICE_3MF_MODEL =
    "<?xml version=\"1.0\"?>\n<model unit=\"millimeter\" "
    "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\"><resources><object id=\"1\">"
    "<mesh><vertices><vertex x=\"0\" y=\"0\" z=\"0\"/><vertex x=\"1\" y=\"0\" z=\"0\"/>"
    "<vertex x=\"0\" y=\"1\" z=\"0\"/></vertices><triangles><triangle v1=\"0\" v2=\"1\" v3=\"2\"/>"
    "</triangles></mesh></object></resources><build><item objectid=\"1\"/>"
    "<item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 2 0 0\"/></build></model>\n";
const std::string TWICE_3MF_RELS =
    "<?xml version=\"1.0\"?>\n<Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r0\" "
    "Target=\"/3D/3dmodel.model\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>\n";

void WriteZip(const std::string& strPath, const std::vector<std::pair<std::string, std::string>>& parts)
{
    int nError = 0;
    zip_t* pZip = zip_open(strPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &nError);
    ASSERT_NE(pZip, nullptr);
    for (const auto& [strName, contents] : parts)
        EXPECT_GE(zip_file_add(pZip, strName.c_str(),
                               zip_source_buffer(pZip, contents.data(), contents.size(), 0),
                               ZIP_FL_ENC_UTF_8),
                  0);
    EXPECT_EQ(zip_close(pZip), 0);
}
} // namespace

// One input is copied as the writer writes it; several become one scene, in every format.
TEST_F(BatchConvertTest, InputsBecomeOneSceneInEveryFormat)
{
    const std::string strCube = EXAMPLES + "/cube.off";
    SRun run = Run({"--convert", Path("copy.off"), strCube});
    EXPECT_TRUE(run.nStatus == 0 && run.strErr.empty()) << run.strErr;
    CMesh original;
    std::ostringstream expected;
    ASSERT_TRUE(original.ReadOFF(strCube) && WriteOFF(expected, original.View()));
    EXPECT_EQ(Slurp(Path("copy.off")), expected.str());

    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strStl = WriteFile("two.stl", TWO_FACETS_STL);
    run = Run({"--convert", Path("scene.off"), strTri, strStl});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    const std::string strText = Slurp(Path("scene.off"));
    EXPECT_EQ(strText.substr(0, strText.find('\n', 4) + 1), "OFF\n9 3 9\n");
    EXPECT_NE(strText.find("\n3 3 4 5\n3 6 7 8\n"), std::string::npos) << "indices of the second mesh shift";

    // STL and point clouds by the output's extension; --ascii before or after --convert.
    const std::string strBin = Path("out.stl"), strAscii = Path("out_ascii.stl"), strPts = Path("out.pts");
    fs::create_directories(m_dir / "again");
    ASSERT_EQ(Run({"--convert", strBin, strTri, strStl}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", strAscii, "--ascii", strTri, strStl}).nStatus, 0);
    ASSERT_EQ(Run({"--ascii", "--convert", Path("again/out_ascii.stl"), strTri, strStl}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", strPts, strTri, strStl}).nStatus, 0);
    const std::string strBinary = Slurp(strBin), strAsciiText = Slurp(strAscii);
    EXPECT_EQ(strBinary.size(), 84u + 50u * 3u);
    EXPECT_EQ(strAsciiText.rfind("solid out_ascii.stl - Created by TeldView\n", 0), 0u);
    EXPECT_EQ(Slurp(Path("again/out_ascii.stl")), strAsciiText);
    EXPECT_EQ(Slurp(strPts).size(), 28u + 24u * 9u);

    // The binary and the ASCII file read back the same (binary or ASCII told by content).
    const SRun binInfo = Run({"--info", strBin}), asciiInfo = Run({"--info", strAscii});
    ASSERT_TRUE(binInfo.nStatus == 0 && asciiInfo.nStatus == 0) << binInfo.strErr << asciiInfo.strErr;
    EXPECT_NE(binInfo.strOut.find("Number of Faces: 3\n"), std::string::npos);
    EXPECT_EQ(binInfo.strOut.substr(binInfo.strOut.find("Number")),
              asciiInfo.strOut.substr(asciiInfo.strOut.find("Number")));
}

// The objects of a glTF or 3MF file are sections of --info, each where its node or build item
// puts it, and --convert writes them as one mesh.
TEST_F(BatchConvertTest, GltfAndThreeMfObjectsAreSectionsThatConvertAsOne)
{
    std::string strBin(42, '\0');
    const float fPositions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t nIndices[3] = {0, 1, 2};
    std::memcpy(strBin.data(), fPositions, sizeof fPositions);
    std::memcpy(strBin.data() + 36, nIndices, sizeof nIndices);
    WriteFile("twice.bin", strBin);
    const std::string strGltf = WriteFile("twice.gltf", TWICE_GLTF), str3mf = Path("twice.3mf");
    WriteZip(str3mf, {{"_rels/.rels", TWICE_3MF_RELS}, {"3D/3dmodel.model", TWICE_3MF_MODEL}});
    for (const std::string& strInput : {strGltf, str3mf})
    {
        SCOPED_TRACE(strInput);
        const SRun info = Run({"--info", strInput});
        ASSERT_EQ(info.nStatus, 0) << info.strErr;
        const size_t nSecond = info.strOut.find("\n\nName: ");
        ASSERT_NE(nSecond, std::string::npos) << info.strOut;
        EXPECT_NE(info.strOut.find("Min X: 0.000\nMax X: 1.000\n"), std::string::npos);
        EXPECT_NE(info.strOut.find("Min X: 2.000\nMax X: 3.000\n", nSecond), std::string::npos);
        ASSERT_EQ(Run({"--convert", Path("one.off"), strInput}).nStatus, 0);
        const std::string strOne = Slurp(Path("one.off"));
        EXPECT_EQ(strOne.substr(0, strOne.find('\n', 4) + 1), "OFF\n6 2 6\n");
    }
}

TEST_F(BatchConvertTest, AnyFailedInputWritesNothing)
{
    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF), strOut = WriteFile("out.off", "old");
    const std::pair<std::string, std::string> cases[] = {
        {WriteFile("short.stl", TWO_FACETS_STL.substr(0, 60)), "Error reading STL file."},
        {WriteFile("bad.scn", "SCENE x\n"), "Error reading scene file."},
        {WriteFile("bad.off", "OFF\n3 1 0\n0 0 0\n"), "bad.off"}};
    for (const auto& [strFile, strMessage] : cases)
    {
        SCOPED_TRACE(strFile);
        const SRun run = Run({"--convert", strOut, strFile, strTri});
        EXPECT_EQ(run.nStatus, 1);
        EXPECT_NE(run.strErr.find(strMessage), std::string::npos) << run.strErr;
        EXPECT_NE(run.strErr.find(strFile), std::string::npos) << run.strErr;
        EXPECT_EQ(Slurp(strOut), "old");
    }
    // STL cannot hold a quadrilateral: the export fails, saying where, and the old file stays.
    const std::string strStl = WriteFile("old.stl", "old");
    const SRun run = Run(
        {"--convert", strStl, WriteFile("quad.off", "OFF\n4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n")});
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.strErr.rfind("Error exporting scene to file. " + strStl + ": quad.off has a face of 4", 0),
              0u);
    EXPECT_EQ(Slurp(strStl), "old");
    // An unknown output extension, and --ascii for output that is not STL, are usage errors.
    EXPECT_EQ(Run({"--convert", Path("out.txt"), strTri}).nStatus, 2);
    EXPECT_EQ(Run({"--convert", Path("x.off"), "--ascii", strTri}).nStatus, 2);
    // An option where the output belongs is misplaced, not the output.
    const SRun misplaced = Run({"--convert", "--ascii", Path("out.stl"), strTri});
    EXPECT_EQ(misplaced.nStatus, 2);
    EXPECT_NE(misplaced.strErr.find("--convert needs an output file\nusage:"), std::string::npos);
}

// A write beyond the file-size limit fails and is reported instead of killing the program; the
// old file stays and no temporary file is left.
TEST_F(BatchConvertTest, AWriteBeyondTheFileSizeLimitIsReported)
{
    std::string strBig = "OFF\n20000 1 0\n";
    for (int i = 0; i < 20000; ++i)
        strBig += "1.5 2.5 3.5\n";
    const std::string strIn = WriteFile("big.off", strBig + "3 0 1 2\n"),
                      strOut = WriteFile("out.off", "old");
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit = {65536, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const SRun run = Run({"--convert", strOut, strIn});
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.strErr, "Error exporting scene to file. " + strOut + ": File too large\n");
    EXPECT_EQ(Slurp(strOut), "old");
    // big.off, out.off and the captured output
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 4);
}
