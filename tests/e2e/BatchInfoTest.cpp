#include "e2e/BatchTestSupport.h"

namespace
{
using namespace BatchTestSupport;

const std::string CUBE = EXAMPLES + "/cube.off";
} // namespace

TEST_F(BatchTest, InfoOnTheExampleCubeAndASecondFile)
{
    const std::string strCubeInfo =
        "Name: cube.off\nFile: cube.off\nNumber of Vertices: 8\nNumber of Faces: 6\n"
        "Number of Edges: 24\nEdges in Largest Face: 4\nNormals: Generated\n"
        "Min X: -0.500\nMax X: 0.500\nMin Y: -0.500\nMax Y: 0.500\nMin Z: -0.500\n"
        "Max Z: 0.500\nCurrent Position: 0.000 0.000 0.000\n"
        "Current Orientation: 1.000 0.000 0.000 0.000\n";
    const SRun run = Run({"--info", CUBE});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.strOut, strCubeInfo);
    EXPECT_EQ(run.strErr, "");

    // A second file follows after a blank line, its values rounded to three decimals.
    const std::string strTri = WriteFile("tri.off", "NOFF\n3 1 0\n-1.25 0 0.0004 0 0 1\n2 0 0.0006 0 0 1\n"
                                                    "0 3.5 -2 0 0 1\n3 0 1 2 0.5 0.5 0.5\n");
    const SRun two = Run({"--info", CUBE, strTri});
    EXPECT_EQ(two.nStatus, 0);
    EXPECT_EQ(two.strOut, strCubeInfo +
                              "\nName: tri.off\nFile: tri.off\nNumber of Vertices: 3\nNumber of Faces: 1\n"
                              "Number of Edges: 3\nEdges in Largest Face: 3\nNormals: From File\n"
                              "Min X: -1.250\nMax X: 2.000\nMin Y: 0.000\nMax Y: 3.500\nMin Z: -2.000\n"
                              "Max Z: 0.001\nCurrent Position: 0.000 0.000 0.000\n"
                              "Current Orientation: 1.000 0.000 0.000 0.000\n");
}

TEST_F(BatchTest, UnreadableFilesAndUnknownOptionsFailWithOneLine)
{
    const std::string strBad = WriteFile("broken.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--info", strBad}, {"--info", Path("missing.off")}, {"--info", CUBE, strBad}})
    {
        SCOPED_TRACE(args.back());
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 1);
        ASSERT_FALSE(run.strErr.empty());
        EXPECT_EQ(run.strErr.find('\n'), run.strErr.size() - 1) << run.strErr;
        EXPECT_NE(run.strErr.find(args.back()), std::string::npos) << run.strErr;
    }

    const SRun help = Run({"--help"});
    EXPECT_EQ(help.nStatus, 0);
    for (const char* pszOption : {"--info", "--convert", "--ascii", "--help"})
        EXPECT_NE(help.strOut.find(pszOption), std::string::npos) << pszOption;
    const SRun unknown = Run({"--no-such-option"});
    EXPECT_NE(unknown.nStatus, 0);
    EXPECT_NE(unknown.strErr.find("--no-such-option"), std::string::npos);
    EXPECT_EQ(unknown.strOut, "");
}

TEST_F(BatchTest, SceneInfoListsTheCameraFirst)
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

    // The bundled scene loads from the repository root too (its names are found beside it).
    const std::string strCommand = "cd " + Quote(EXAMPLES + "/..") + " && " + Quote(TELDVIEW_EXE) +
                                   " --info examples/scene.scn > /dev/null 2>&1";
    EXPECT_EQ(std::system(strCommand.c_str()), 0);
    // A scene file must come first: anything loaded before it would be thrown away.
    EXPECT_EQ(Run({"--info", strOff, strScene}).nStatus, 1);
}

TEST_F(BatchTest, InfoPosesTheSceneAtTheGivenTime)
{
    const std::string strOff = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strKeys =
        WriteFile("tri.kff", "KFF\n2 0\nPOS_FRAME\n0\n0 0 0\n0 0 0\nPOS_FRAME\n100\n10 0 0\n0 0 0\n");
    const std::string strScene = WriteFile("s.scn", "SCENE 1\nnone.kff\n" + strOff + " " + strKeys + "\n");
    for (const auto& [pszTime, pszPosition] : {std::pair("0.5", "5.000"), std::pair("+1e1", "10.000")})
    {
        const SRun run = Run({"--info", strScene, "--time", pszTime});
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        EXPECT_NE(run.strOut.find(std::string("Current Position: ") + pszPosition + " 0.000 0.000\n"),
                  std::string::npos)
            << pszTime << "\n"
            << run.strOut;
    }
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--info", strScene, "--time", "-1"},
                                               {"--info", strScene, "--time", "1,5"},
                                               {"--info", strScene, "--time"},
                                               {"--time", "1", strScene}})
    {
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 2) << args.back();
        EXPECT_NE(run.strErr.find("--time"), std::string::npos) << run.strErr;
    }
}
