#include "e2e/BatchTestSupport.h"

#include <png.h>

#include <optional>
#include <tuple>

#include "formats/bmp/BitmapFile.h"

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

// A PNG file as libpng reads it: RGBA rows, top row first; empty when it cannot be read.
std::vector<uint8_t> ReadPng(const std::string& strPath, int& nWidth, int& nHeight, uint32_t& nFormat)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgba;
    if (!png_image_begin_read_from_file(&image, strPath.c_str()))
        return rgba;
    nWidth = static_cast<int>(image.width);
    nHeight = static_cast<int>(image.height);
    nFormat = image.format;
    image.format = PNG_FORMAT_RGBA;
    rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
        rgba.clear();
    return rgba;
}
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

// The PNG holds the bitmap's pixels; with --transparent the same colours, opaque exactly where the
// cube was drawn.
TEST_F(BatchSnapshotTest, PngHoldsTheBitmapsPicture)
{
    const std::string strCube = EXAMPLES + "/cube.off";
    ASSERT_EQ(Run({"--snapshot", Path("cube.bmp"), "--size", "64x48", strCube}).nStatus, 0);
    CBitmapFile bmp;
    ASSERT_TRUE(bmp.Read(Path("cube.bmp")));
    for (const bool bClear : {false, true})
    {
        SCOPED_TRACE(bClear);
        const std::string strPng = Path(bClear ? "clear.PNG" : "cube.png");
        const SRun run = bClear ? Run({"--snapshot", strPng, "--size", "64x48", "--transparent", strCube})
                                : Run({"--snapshot", strPng, "--size", "64x48", strCube});
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        int nWidth = 0, nHeight = 0;
        uint32_t nFormat = 0;
        const std::vector<uint8_t> rgba = ReadPng(strPng, nWidth, nHeight, nFormat);
        ASSERT_EQ(std::tuple(nWidth, nHeight, rgba.size()), std::tuple(64, 48, size_t(64 * 48 * 4)));
        EXPECT_EQ(nFormat, bClear ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB);
        int nWrong = 0, nOpaque = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
            {
                const auto [b, g, r] = Pixel(bmp, x, y);
                const uint8_t* p = &rgba[4 * (static_cast<size_t>(y) * 64 + static_cast<size_t>(x))];
                const bool bDrawn = std::tuple(b, g, r) != std::tuple(0, 0, 0);
                nOpaque += p[3] == 255;
                nWrong += std::tuple(int(p[0]), int(p[1]), int(p[2])) != std::tuple(r, g, b) ||
                          p[3] != (bClear && !bDrawn ? 0 : 255);
            }
        EXPECT_EQ(nWrong, 0);
        EXPECT_GT(nOpaque, 400);
    }
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

// The look options: a wireframe from above, in parallel projection, on a chosen background, which
// shows through the middle of the top face and at the corners.
TEST_F(BatchSnapshotTest, TheLookOptionsApplyToEveryMesh)
{
    const SRun run =
        Run({"--snapshot", Path("wire.bmp"), "--size", "64x48", "--view", "top", "--ortho", "--mode",
             "wireframe", "--flat", "--background", "#3366cc", EXAMPLES + "/cube.off"});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    CBitmapFile bmp;
    ASSERT_TRUE(bmp.Read(Path("wire.bmp")));
    const std::tuple<int, int, int> background(0xcc, 0x66, 0x33);
    EXPECT_EQ(Pixel(bmp, 0, 0), background);
    EXPECT_EQ(Pixel(bmp, 32, 24), background);
    int nEdges = 0;
    for (int x = 0; x < 64; ++x)
        nEdges += Pixel(bmp, x, 24) != background;
    EXPECT_TRUE(nEdges >= 2 && nEdges <= 4) << nEdges;
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
        {{"--snapshot", Path("out.gif"), strCube}, 2, "must end in .bmp, .jpg, .jpeg, .emf or .png"},
        {{"--snapshot", strOut, "--transparent", strCube},
         2,
         "--transparent applies only to --snapshot to .png"},
        {{"--snapshot", strOut, "--view", "above", strCube},
         2,
         "--view needs front, back, left, right, top, bottom or iso"},
        {{"--snapshot", strOut, "--mode", strCube}, 2, "--mode needs points, wireframe, hidden or shaded"},
        {{"--snapshot", strOut, "--background", "12345g", strCube}, 2, "--background needs a colour RRGGBB"},
        {{"--info", "--ortho", strCube}, 2, "--ortho applies only to --snapshot"},
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
    EXPECT_FALSE(fs::exists(m_dir / "out.gif"));

    // No OpenGL without a display: here, no EGL vendor library at all.
    setenv("__EGL_VENDOR_LIBRARY_FILENAMES", Path("none.json").c_str(), 1);
    const SRun noGl = Run({"--snapshot", strOut, strCube});
    unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    EXPECT_EQ(noGl.nStatus, 1);
    EXPECT_EQ(noGl.strErr.rfind("Cannot draw the picture: ", 0), 0u) << noGl.strErr;
    EXPECT_EQ(Slurp(strOut), "old");
}
