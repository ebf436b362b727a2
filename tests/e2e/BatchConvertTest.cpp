#include "e2e/BatchTestSupport.h"

#include <sys/resource.h>

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
