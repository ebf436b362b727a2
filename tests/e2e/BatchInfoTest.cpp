#include "e2e/BatchTestSupport.h"

#include <tuple>

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

    const std::string strTri = WriteFile("tri.off", "NOFF\n3 1 0\n-1.25 0 0.0004 0 0 1\n2 0 0.0006 0 0 1\n"
                                                    "0 3.5 -2 0 0 1\n3 0 1 2 0.5 0.5 0.5\n");
    const SRun two = Run({"--info", CUBE, strTri});
    EXPECT_EQ(two.nStatus, 0);
    // A second file follows after a blank line, its values rounded to three decimals.
    EXPECT_EQ(two.strOut.rfind(strCubeInfo + "\nName: tri.off\n", 0), 0u) << two.strOut;
    for (const char* pszLine : {"\nNormals: From File\n", "\nMin X: -1.250\n", "\nMax Z: 0.001\n"})
        EXPECT_NE(two.strOut.find(pszLine), std::string::npos) << pszLine;
}

TEST_F(BatchTest, HelpAndUnknownOptions)
{
    const SRun help = Run({"--help"});
    EXPECT_TRUE(help.nStatus == 0 && help.strOut.find("--info") != std::string::npos);
    EXPECT_NE(help.strOut.find("\n       teldviewgl --version\n"), std::string::npos) << "in the synopsis";
    const SRun unknown = Run({"--no-such-option"});
    EXPECT_NE(unknown.nStatus, 0);
    EXPECT_NE(unknown.strErr.find("--no-such-option"), std::string::npos);
    EXPECT_EQ(unknown.strOut, "");
}

// A failure is one line naming the file as given (OUT for --convert), with the system's reason
// when there is one, whatever the file's kind.
TEST_F(BatchTest, FailuresNameThePathAndTheReason)
{
    fs::create_directories(m_dir / "folder.off");
    fs::create_symlink("loop.stl", m_dir / "loop.stl");
    const std::string strLocked = WriteFile("locked.off", TRIANGLE_OFF);
    fs::permissions(strLocked, fs::perms::none);
    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strBad = WriteFile("broken.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
    const std::string strHuge = WriteFile("huge.off", "OFF\n3 1 0\n0 0 0\n1e39 0 0\n0 1 0\n3 0 1 2\n");
    const std::string CANNOT = "Cannot open file.", EXPORT = "Error exporting scene to file.";
    const std::tuple<std::vector<std::string>, std::string, std::string> rows[] = {
        {{"--info", Path("nope.off")}, CANNOT, "No such file or directory"},
        {{"--info", Path("nope.stl")}, CANNOT, "No such file or directory"},
        {{"--info", Path("nope.scn")}, CANNOT, "No such file or directory"},
        {{"--info", Path("folder.off")}, CANNOT, "Is a directory"},
        {{"--info", Path("loop.stl")}, CANNOT, "Too many levels of symbolic links"},
        {{"--info", strLocked}, geteuid() == 0 ? "" : CANNOT, "Permission denied"}, // root reads all
        {{"--info", CUBE, strBad}, "Error reading OFF file.", "line 6: vertex index 7 is not in 0 to 2"},
        {{"--convert", Path("nofolder/x.off"), strTri}, EXPORT, "No such file or directory"},
        {{"--convert", Path("nofolder/x.stl"), strTri, strTri}, EXPORT, "No such file or directory"},
        {{"--convert", Path("loop.stl"), strTri}, EXPORT, "Too many levels of symbolic links"},
        {{"--convert", Path("huge.stl"), strHuge},
         EXPORT,
         "huge.off has a coordinate or normal beyond the range of 32-bit floats"},
    };
    for (const auto& [args, strHead, strReason] : rows)
    {
        if (strHead.empty())
            continue;
        const std::string& strNamed = args[0] == "--convert" ? args[1] : args.back();
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 1) << strNamed;
        EXPECT_EQ(run.strErr, strHead + " " + strNamed + (strReason.empty() ? "" : ": " + strReason) + "\n");
    }
}

// An input is told by its content, not its name, and may come through a pipe: as "-" (the
// standard input) or as /dev/stdin.
TEST_F(BatchTest, InputsAreToldByContentAndMayBePiped)
{
    const std::string strStl =
        WriteFile("stl_named.off", "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n"
                                   "vertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n");
    const std::string strOff = WriteFile("off_named.stl", TRIANGLE_OFF);
    for (const SRun& run :
         {Run({"--info", strStl}), Run({"--info", strOff}), RunPiped(strStl, {"--info", "-"}),
          RunPiped(strStl, {"--info", "/dev/stdin"}), RunPiped(strOff, {"--info", CUBE, "-"})})
    {
        EXPECT_EQ(run.nStatus, 0) << run.strErr;
        EXPECT_NE(run.strOut.find("Number of Vertices: 3\nNumber of Faces: 1\n"), std::string::npos)
            << run.strOut;
    }
    // What no format recognises says so, naming the input as given, whatever its name.
    const std::string strJunk = WriteFile("junk.off", "junk");
    for (const SRun& bad : {RunPiped(strJunk, {"--info", "-"}), Run({"--info", strJunk})})
        EXPECT_EQ(std::pair(bad.nStatus, bad.strErr.substr(bad.strErr.find(':'))),
                  std::pair(1, std::string(": unexpected file format.\n")))
            << bad.strErr;
}

// The camera comes first, then each mesh posed by its keyframes at time 0 or at the time given.
TEST_F(BatchTest, SceneInfoListsTheCameraFirstAndPosesTheScene)
{
    const std::string strOff = WriteFile("tri.off", TRIANGLE_OFF);
    const std::string strKeys =
        WriteFile("tri.kff", "KFF\n2 0\nPOS_FRAME\n0\n2 0 0\n0 0 0\nPOS_FRAME\n100\n12 0 0\n0 0 0\n");
    const std::string strScene = WriteFile("s.scn", "SCENE 2\nmissing_camera.kff\n" + strOff + " " + strKeys +
                                                        "\n" + strOff + " " + strKeys + "\n");
    const SRun run = Run({"--info", strScene});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut.rfind("Name: Camera\nFile: N/A\nNumber of Vertices: 0\n", 0), 0u) << run.strOut;
    EXPECT_NE(run.strOut.find("Normals: N/A\nMin X: N/A\n"), std::string::npos);
    size_t nMeshes = 0;
    for (size_t n = run.strOut.find("Name: tri.off"); n != std::string::npos;
         n = run.strOut.find("Name: tri.off", n + 1))
        ++nMeshes;
    EXPECT_EQ(nMeshes, 2u);
    for (const auto& [pszTime, pszPosition] :
         {std::pair("", "2.000"), std::pair("0.5", "7.000"), std::pair("+1e1", "12.000")})
    {
        const SRun posed = *pszTime != 0 ? Run({"--info", strScene, "--time", pszTime}) : run;
        ASSERT_EQ(posed.nStatus, 0) << posed.strErr;
        EXPECT_NE(posed.strOut.find(std::string("Current Position: ") + pszPosition + " 0.000 0.000\n"),
                  std::string::npos)
            << pszTime << "\n"
            << posed.strOut;
    }
    // A scene file must come first: anything loaded before it would be thrown away.
    EXPECT_EQ(Run({"--info", strOff, strScene}).nStatus, 1);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--info", strScene, "--time", "-1"},
                                               {"--info", strScene, "--time", "1,5"},
                                               {"--info", strScene, "--time"},
                                               {"--time", "1", strScene}})
    {
        const SRun bad = Run(args);
        EXPECT_EQ(bad.nStatus, 2) << args.back();
        EXPECT_NE(bad.strErr.find("--time"), std::string::npos) << bad.strErr;
    }
}

// An input named on the command line may be a pipe, as scripts feed it (the files a scene names
// never are; see BoundedReadTest).
TEST_F(BatchTest, APipeNamedOnTheCommandLineIsRead)
{
    const SRun piped = RunCommand("/bin/sh", {"-c", "cat \"$1\" | \"$0\" --info /dev/stdin", TELDVIEW_EXE,
                                              WriteFile("tri.off", TRIANGLE_OFF)});
    EXPECT_EQ(piped.nStatus, 0) << piped.strErr;
    EXPECT_NE(piped.strOut.find("Number of Faces: 1\n"), std::string::npos) << piped.strOut;
}

// What an attacker or an unlucky user feeds the batch mode: endless pipes, devices, an output that
// cannot take the text, an output that is an input.
TEST_F(BatchTest, HostileInputsAndOutputsAreRefused)
{
    const std::string strTri = WriteFile("tri.off", TRIANGLE_OFF);
    const auto failure = [&](const std::string& strShell)
    {
        const SRun run = RunCommand("/bin/sh", {"-c", strShell, TELDVIEW_EXE, strTri});
        return std::pair(run.nStatus, run.strErr);
    };
    const std::pair<std::string, std::string> rows[] = {
        {"\"$0\" --info \"$1\" >/dev/full", "Error writing the standard output: No space left on device\n"},
        {"\"$0\" --info - </dev/null", "Cannot open file. -: not a regular file\n"},
        {"\"$0\" --info /dev/zero", "Cannot open file. /dev/zero: not a regular file\n"},
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer's shadow memory needs more address space
        // Endless pipes are judged by their first bytes, within a small address space.
        {"cat /dev/zero | (ulimit -v 1000000; exec \"$0\" --info -)", "Error reading STL file. -\n"},
        {"yes | (ulimit -v 1000000; exec \"$0\" --info -)", "Unable to read -: unexpected file format.\n"},
#endif
    };
    for (const auto& [strShell, strMessage] : rows)
        EXPECT_EQ(failure(strShell), std::pair(1, strMessage)) << strShell;
    EXPECT_EQ(failure("\"$0\" --thumbnail 64 - t.png <\"$1\"").first, 2);

    // An output that is an input, by its name, through a link or named by a scene, is refused and
    // the input kept.
    const std::string strKeys = WriteFile("none.kff", "KFF 0 0\n");
    const std::string strScene =
        WriteFile("s.scn", "SCENE 1 " + strKeys + " " + strTri + " " + strKeys + "\n");
    fs::create_symlink(strTri, Path("link.off"));
    const std::string strPng = WriteFile("p.png", "not a picture");
    const std::tuple<std::vector<std::string>, std::string, std::string> same[] = {
        {{"--thumbnail", "64", strTri, strTri}, "Error writing file.\n" + strTri, strTri},
        {{"--convert", Path("link.off"), strTri},
         "Error exporting scene to file. " + Path("link.off"),
         strTri},
        {{"--convert", strTri, strScene}, "Error exporting scene to file. " + strTri, strTri},
        {{"--snapshot", strPng, strPng}, "Error writing file.\n" + strPng, strPng},
    };
    for (const auto& [args, strHead, strInput] : same)
    {
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 1) << args[0];
        EXPECT_EQ(run.strErr, strHead + ": the same file as the input " + strInput + "\n");
    }
    EXPECT_EQ(Slurp(strTri), TRIANGLE_OFF);
    EXPECT_EQ(Slurp(strPng), "not a picture");

    // A link to the standard output writes to the pipe there.
    fs::create_symlink("/dev/stdout", Path("out.off"));
    const SRun piped = RunCommand(
        "/bin/sh", {"-c", "\"$0\" --convert \"$1\" \"$2\" | cat", TELDVIEW_EXE, Path("out.off"), strTri});
    EXPECT_EQ(piped.nStatus, 0) << piped.strErr;
    EXPECT_EQ(piped.strOut, "OFF\n3 1 3\n0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n"
                            "0.000000 1.000000 0.000000\n3 0 1 2\n");
}
