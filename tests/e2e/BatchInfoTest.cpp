#include "e2e/BatchTestSupport.h"
#include "scene/Mesh.h"

namespace
{
using namespace BatchTestSupport;

const std::string CUBE = std::string(TELDVIEW_EXAMPLES_DIR) + "/cube.off";

const char* const CUBE_INFO = "Name: cube.off\n"
                              "File: cube.off\n"
                              "Number of Vertices: 8\n"
                              "Number of Faces: 6\n"
                              "Number of Edges: 24\n"
                              "Edges in Largest Face: 4\n"
                              "Normals: Generated\n"
                              "Min X: -0.500\n"
                              "Max X: 0.500\n"
                              "Min Y: -0.500\n"
                              "Max Y: 0.500\n"
                              "Min Z: -0.500\n"
                              "Max Z: 0.500\n"
                              "Current Position: 0.000 0.000 0.000\n"
                              "Current Orientation: 1.000 0.000 0.000 0.000\n";
} // namespace

TEST_F(BatchTest, InfoOnTheExampleCube)
{
    const SRun run = Run({"--info", CUBE});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.strOut, CUBE_INFO);
    EXPECT_EQ(run.strErr, "");
}

TEST_F(BatchTest, InfoOnTwoFilesSeparatedByABlankLine)
{
    const std::string strTri = WriteFile("tri.off", "NOFF\n3 1 0\n"
                                                    "-1.25 0 0.0004 0 0 1\n"
                                                    "2 0 0.0006 0 0 1\n"
                                                    "0 3.5 -2 0 0 1\n"
                                                    "3 0 1 2 0.5 0.5 0.5\n");
    const SRun run = Run({"--info", CUBE, strTri});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.strOut, std::string(CUBE_INFO) + "\n"
                                                   "Name: tri.off\n"
                                                   "File: tri.off\n"
                                                   "Number of Vertices: 3\n"
                                                   "Number of Faces: 1\n"
                                                   "Number of Edges: 3\n"
                                                   "Edges in Largest Face: 3\n"
                                                   "Normals: From File\n"
                                                   "Min X: -1.250\n"
                                                   "Max X: 2.000\n"
                                                   "Min Y: 0.000\n"
                                                   "Max Y: 3.500\n"
                                                   "Min Z: -2.000\n"
                                                   "Max Z: 0.001\n"
                                                   "Current Position: 0.000 0.000 0.000\n"
                                                   "Current Orientation: 1.000 0.000 0.000 0.000\n");
}

TEST_F(BatchTest, ConvertRoundTrip)
{
    const std::string strOut = (m_dir / "copy.off").string();
    const SRun run = Run({"--convert", strOut, CUBE});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.strErr, "");
    const std::string text = Slurp(strOut);
    EXPECT_EQ(text.substr(0, 11), "OFF\n8 6 24\n");
    EXPECT_NE(text.find("\n-0.500000 -0.500000 -0.500000\n"), std::string::npos);

    CMesh original, copy;
    ASSERT_TRUE(original.ReadOFF(CUBE));
    ASSERT_TRUE(copy.ReadOFF(strOut));
    ASSERT_EQ(copy.m_nVertices, original.m_nVertices);
    ASSERT_EQ(copy.m_nFaces, original.m_nFaces);
    for (int i = 0; i < copy.m_nVertices; ++i)
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(copy.m_ppVertices[i][s], original.m_ppVertices[i][s]);
    for (int f = 0; f < copy.m_nFaces; ++f)
        for (int k = 0; k < copy.m_pFaceSizes[f]; ++k)
            EXPECT_EQ(copy.m_ppFaces[f][k], original.m_ppFaces[f][k]);

    // The copy describes itself like the original.
    const SRun info = Run({"--info", strOut});
    EXPECT_EQ(info.strOut.substr(info.strOut.find("Number of")),
              std::string(CUBE_INFO).substr(std::string(CUBE_INFO).find("Number of")));

    // A conversion that fails leaves the old output file as it was.
    const std::string strBad = WriteFile("bad.off", "OFF\n3 1 0\n0 0 0\n");
    const SRun failed = Run({"--convert", strOut, strBad});
    EXPECT_EQ(failed.nStatus, 1);
    EXPECT_EQ(Slurp(strOut), text);
}

TEST_F(BatchTest, UnreadableFilesFailWithOneLineNamingTheFile)
{
    const std::string strBad = WriteFile("broken.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
    const std::string strMissing = (m_dir / "missing.off").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--info", strBad}, {"--info", strMissing}, {"--info", CUBE, strBad}})
    {
        const std::string& strFile = args.back();
        SCOPED_TRACE(strFile);
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, 1);
        ASSERT_FALSE(run.strErr.empty());
        EXPECT_EQ(run.strErr.find('\n'), run.strErr.size() - 1) << run.strErr;
        EXPECT_NE(run.strErr.find(strFile), std::string::npos) << run.strErr;
    }
}

TEST_F(BatchTest, HelpListsTheOptions)
{
    const SRun run = Run({"--help"});
    EXPECT_EQ(run.nStatus, 0);
    for (const char* pszOption : {"--info", "--convert", "--help"})
        EXPECT_NE(run.strOut.find(pszOption), std::string::npos) << pszOption;

    const SRun unknown = Run({"--no-such-option"});
    EXPECT_NE(unknown.nStatus, 0);
    EXPECT_NE(unknown.strErr.find("--no-such-option"), std::string::npos);
    EXPECT_EQ(unknown.strOut, "");
}
