#include "e2e/BatchTestSupport.h"

#include <optional>
#include <tuple>

#include "formats/BitmapFile.h"

namespace
{
using namespace BatchTestSupport;

// Snapshots need no display: every run here has none.
class BatchSnapshotTest : public BatchTest
{
protected:
    void SetUp() override
    {
        BatchTest::SetUp();
        if (const char* pszDisplay = std::getenv("DISPLAY"))
            m_display = pszDisplay;
        unsetenv("DISPLAY");
    }
    void TearDown() override
    {
        if (m_display)
            setenv("DISPLAY", m_display->c_str(), 1);
        BatchTest::TearDown();
    }

    // The 24-bit blue, green, red pixel at (x, y) from the top-left.
    static std::tuple<int, int, int> Pixel(const CBitmapFile& bmp, int x, int y)
    {
        const uint8_t* p = &bmp.m_pixels[(static_cast<size_t>(bmp.m_nHeight - 1 - y) * bmp.m_nWidth + x) * 3];
        return {p[0], p[1], p[2]};
    }

    std::optional<std::string> m_display;
};
} // namespace

TEST_F(BatchSnapshotTest, TheCubeShowsItsBlueFrontOnBlackInEveryFormat)
{
    const std::string strCube = EXAMPLES + "/cube.off";
    const SRun run = Run({"--snapshot", Path("cube.bmp"), "--size", "64x48", strCube});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "");
    CBitmapFile bmp;
    ASSERT_TRUE(bmp.Read(Path("cube.bmp")));
    EXPECT_EQ(std::tuple(bmp.m_nWidth, bmp.m_nHeight, bmp.m_nBitCount), std::tuple(64, 48, 24));
    const auto [b, g, r] = Pixel(bmp, 32, 24);
    EXPECT_TRUE(b > 60 && g < 30 && r < 30) << b << " " << g << " " << r;
    for (const auto& [x, y] : {std::pair(0, 0), std::pair(63, 0), std::pair(0, 47), std::pair(63, 47)})
        EXPECT_EQ(Pixel(bmp, x, y), std::tuple(0, 0, 0)) << x << "," << y;

    // The output's extension, in any case, picks the writer; the default size is 800 x 600.
    const std::pair<const char*, std::string> outputs[] = {{"cube.JPEG", "\xFF\xD8\xFF"},
                                                           {"cube.jpg", "\xFF\xD8\xFF"},
                                                           {"cube.emf", std::string("\1\0\0\0", 4)}};
    for (const auto& [pszName, strMagic] : outputs)
    {
        ASSERT_EQ(Run({"--snapshot", Path(pszName), strCube}).nStatus, 0) << pszName;
        EXPECT_EQ(Slurp(Path(pszName)).substr(0, strMagic.size()), strMagic) << pszName;
    }
    // The metafile's bitmap: 800 x 600 at 3 bytes a pixel, after the header and record fields.
    EXPECT_EQ(Slurp(Path("cube.emf")).size(), 108u + 80u + 40u + 800u * 600u * 3u + 20u);
}

// Keyframes of the camera at time 0 win over the fitted view: this camera looks past the cube.
TEST_F(BatchSnapshotTest, AKeyframedCameraWinsOverTheFit)
{
    const std::string strScene = WriteFile(
        "scene.scn", "SCENE 1\n" + WriteFile("camera.kff", "KFF\n1 0\nPOS_FRAME\n0\n100 0 10\n0 0 0\n") +
                         "\n" + EXAMPLES + "/cube.off " + WriteFile("none.kff", "KFF\n0 0\n") + "\n");
    const SRun run = Run({"--snapshot", Path("scene.bmp"), "--size", "64x48", strScene});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    CBitmapFile bmp;
    ASSERT_TRUE(bmp.Read(Path("scene.bmp")));
    EXPECT_EQ(Pixel(bmp, 32, 24), std::tuple(0, 0, 0));
}

TEST_F(BatchSnapshotTest, BadRequestsAndFailuresWriteNothing)
{
    const std::string strCube = EXAMPLES + "/cube.off", strOut = WriteFile("old.bmp", "old");
    // {arguments, exit status, what stderr says}
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{"--snapshot", strOut, "--size", "0x5", strCube}, 2, "--size needs WIDTHxHEIGHT"},
        {{"--snapshot", strOut, "--size", "16385x10", strCube}, 2, "each from 1 to 16384"},
        {{"--snapshot", strOut, "--size", "10x-3", strCube}, 2, "--size needs"},
        {{"--snapshot", strOut, "--size", "640", strCube}, 2, "--size needs"},
        {{"--snapshot", strOut, "--size", "64x48x2", strCube}, 2, "--size needs"},
        {{"--info", "--size", "64x48", strCube}, 2, "--size applies only to --snapshot"},
        {{"--snapshot", Path("out.png"), strCube}, 2, "must end in .bmp, .jpg, .jpeg or .emf"},
        {{"--snapshot", strOut, "--convert", Path("x.off"), strCube}, 2, "cannot be combined"},
        {{"--snapshot", strOut}, 2, "no input file"},
        {{"--snapshot", strOut, WriteFile("bad.off", "OFF\n3 1 0\n0 0 0\n")},
         1,
         "Error reading OFF file. " + Path("bad.off") +
             ": line 2: the counts ask for more than the file holds"},
        {{"--snapshot", Path("missing/out.bmp"), strCube},
         1,
         "Error writing file.\n" + Path("missing/out.bmp") + ": No such file"},
        {{"--snapshot", Path("missing/out.jpg"), strCube},
         1,
         "Error writing file in JPEG library\n" + Path("missing/out.jpg") + ": "},
    };
    for (const auto& [args, nStatus, strMessage] : rows)
    {
        SCOPED_TRACE(args[args.size() - 2] + " " + args.back());
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, nStatus);
        EXPECT_NE(run.strErr.find(strMessage), std::string::npos) << run.strErr;
        EXPECT_EQ(Slurp(strOut), "old");
    }
    EXPECT_FALSE(fs::exists(m_dir / "out.png"));

    // No OpenGL without a display: here, no EGL vendor library at all.
    setenv("__EGL_VENDOR_LIBRARY_FILENAMES", Path("none.json").c_str(), 1);
    const SRun noGl = Run({"--snapshot", strOut, strCube});
    unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    EXPECT_EQ(noGl.nStatus, 1);
    EXPECT_EQ(noGl.strErr.rfind("Cannot draw the picture: ", 0), 0u) << noGl.strErr;
    EXPECT_EQ(Slurp(strOut), "old");
}
