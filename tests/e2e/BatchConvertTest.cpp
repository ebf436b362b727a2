#include "e2e/BatchTestSupport.h"

#include <bit>
#include <cstdint>

#include "scene/Mesh.h"

namespace
{
using namespace BatchTestSupport;

const std::string EXAMPLES = TELDVIEW_EXAMPLES_DIR;
const char* const TRIANGLE_OFF = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
const char* const QUAD_OFF = "OFF\n4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n";

uint32_t UInt32At(const std::string& s, size_t n)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s.at(n + static_cast<size_t>(i)));
    return v;
}

std::string BinaryStl(const std::vector<std::vector<float>>& facets)
{
    std::string s(80, ' ');
    const uint32_t n = static_cast<uint32_t>(facets.size());
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((n >> (8 * i)) & 0xFF);
    for (const auto& facet : facets)
    {
        for (int k = 0; k < 12; ++k)
        {
            const uint32_t bits =
                std::bit_cast<uint32_t>(k < 3 ? 0.0f : facet.at(static_cast<size_t>(k - 3)));
            for (int i = 0; i < 4; ++i)
                s += static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
        s += std::string(2, '\0');
    }
    return s;
}

class BatchConvertTest : public BatchTest
{
};
} // namespace

TEST_F(BatchConvertTest, SeveralInputsBecomeOneSceneInEveryFormat)
{
    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strStl =
        WriteFile("two.stl", BinaryStl({{0, 0, 0, 2, 0, 0, 0, 2, 0}, {0, 0, 1, 2, 0, 1, 0, 2, 1}}));
    const std::string strOff = (m_dir / "scene.off").string();
    SRun run = Run({"--convert", strOff, strTri, strStl});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    const std::string strText = Slurp(strOff);
    EXPECT_EQ(strText.substr(0, strText.find('\n', 4) + 1), "OFF\n9 3 9\n");
    EXPECT_NE(strText.find("\n3 3 4 5\n3 6 7 8\n"), std::string::npos) << "indices of the second mesh shift";

    // Options in any order before the files; STL and point clouds by the output's extension.
    const std::string strBin = (m_dir / "out.stl").string();
    const std::string strAscii = (m_dir / "out_ascii.stl").string();
    const std::string strPts = (m_dir / "out.pts").string();
    ASSERT_EQ(Run({"--convert", strBin, strTri, strStl}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", strAscii, "--ascii", strTri, strStl}).nStatus, 0);
    fs::create_directories(m_dir / "again");
    const std::string strAsciiAgain = (m_dir / "again" / "out_ascii.stl").string();
    ASSERT_EQ(Run({"--ascii", "--convert", strAsciiAgain, strTri, strStl}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", strPts, strTri, strStl}).nStatus, 0);
    const std::string strBinary = Slurp(strBin);
    ASSERT_EQ(strBinary.size(), 84u + 50u * 3u);
    EXPECT_EQ(UInt32At(strBinary, 80), 3u);
    const std::string strAsciiText = Slurp(strAscii);
    EXPECT_EQ(strAsciiText.rfind("solid out_ascii.stl - Created by TeldView\n", 0), 0u);
    EXPECT_EQ(Slurp(strAsciiAgain), strAsciiText);
    EXPECT_EQ(Slurp(strPts).size(), 28u + 24u * 9u);

    // The binary and the ASCII file read back the same (binary or ASCII told by content).
    const SRun binInfo = Run({"--info", strBin});
    const SRun asciiInfo = Run({"--info", strAscii});
    ASSERT_EQ(binInfo.nStatus, 0) << binInfo.strErr;
    ASSERT_EQ(asciiInfo.nStatus, 0) << asciiInfo.strErr;
    EXPECT_NE(binInfo.strOut.find("Number of Faces: 3\n"), std::string::npos);
    EXPECT_EQ(binInfo.strOut.substr(binInfo.strOut.find("Number")),
              asciiInfo.strOut.substr(asciiInfo.strOut.find("Number")));
}

TEST_F(BatchConvertTest, AnyFailedInputWritesNothing)
{
    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strOut = WriteFile("out.off", "old");
    struct SCase
    {
        std::string strFile;
        std::string strMessage;
    };
    const SCase cases[] = {
        {WriteFile("short.stl", BinaryStl({{0, 0, 0, 1, 0, 0, 0, 1, 0}}).substr(0, 100)),
         "Error reading STL file."},
        {WriteFile("bad.scn", "SCENE x\n"), "Error reading scene file."},
        {WriteFile("bad.off", "OFF\n3 1 0\n0 0 0\n"), "bad.off"},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.strFile);
        const SRun run = Run({"--convert", strOut, c.strFile, strTri});
        EXPECT_EQ(run.nStatus, 1);
        EXPECT_NE(run.strErr.find(c.strMessage), std::string::npos) << run.strErr;
        EXPECT_NE(run.strErr.find(c.strFile), std::string::npos) << run.strErr;
        EXPECT_EQ(Slurp(strOut), "old");
    }
    // STL cannot hold a quadrilateral: the export fails and the old file stays.
    const std::string strQuad = WriteFile("quad.off", QUAD_OFF);
    const std::string strStl = WriteFile("old.stl", "old");
    const SRun run = Run({"--convert", strStl, strQuad});
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.strErr, "Error exporting scene to file. " + strStl + "\n");
    EXPECT_EQ(Slurp(strStl), "old");
    EXPECT_EQ(Run({"--convert", (m_dir / "out.txt").string(), strTri}).nStatus, 2);
    EXPECT_EQ(Run({"--convert", (m_dir / "x.off").string(), "--ascii", strTri}).nStatus, 2);
}

TEST_F(BatchConvertTest, SceneInfoListsTheCameraFirst)
{
    const std::string strOff = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strKeys = WriteFile("tri.kff", "KFF\n1 0\nPOS_FRAME\n0\n2 0 0\n0 0 0\n");
    const std::string strScene = WriteFile("s.scn", "SCENE 2\nmissing_camera.kff\n" + strOff + " " + strKeys +
                                                        "\n" + strOff + " " + strKeys + "\n");
    const SRun run = Run({"--info", strScene});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut.rfind("Name: Camera\nFile: N/A\nNumber of Vertices: 0\n", 0), 0u) << run.strOut;
    EXPECT_NE(run.strOut.find("Normals: N/A\nMin X: N/A\n"), std::string::npos);
    // Two meshes follow, each posed at time 0 by its keyframe.
    size_t nMeshes = 0;
    for (size_t n = run.strOut.find("Name: tri.off"); n != std::string::npos;
         n = run.strOut.find("Name: tri.off", n + 1))
        ++nMeshes;
    EXPECT_EQ(nMeshes, 2u);
    EXPECT_NE(run.strOut.find("Current Position: 2.000 0.000 0.000\n"), std::string::npos);

    // The bundled scene loads from the repository root, where its relative names point.
    const std::string strCommand = "cd " + Quote(EXAMPLES + "/..") + " && " + Quote(TELDVIEW_EXE) +
                                   " --info examples/scene.scn > /dev/null 2>&1";
    EXPECT_EQ(std::system(strCommand.c_str()), 0);
    // A scene file must come first: anything loaded before it would be thrown away.
    EXPECT_EQ(Run({"--info", strOff, strScene}).nStatus, 1);
}
