#include <cstdlib>

#include "e2e/BatchTestSupport.h"

namespace
{
using namespace BatchTestSupport;

bool HaveTool(const char* pszName)
{
    return std::system(("command -v " + std::string(pszName) + " >/dev/null 2>&1").c_str()) == 0;
}
} // namespace

// The desktop entry passes the freedesktop.org checks without a warning or a hint.
TEST_F(BatchTest, TheDesktopEntryIsValid)
{
    if (!HaveTool("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const SRun run = RunCommand("desktop-file-validate", {TELDVIEW_SOURCE_DIR "/desktop/teldviewgl.desktop"});
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.strOut + run.strErr, "");
}

// An install puts the program, its menu entry, its file types and its icon where a Linux
// desktop looks for them; the installed program runs and tells its version.
TEST_F(BatchTest, InstallsLikeADesktopApplication)
{
    const std::string strPrefix = Path("prefix");
    const SRun install = RunCommand(TELDVIEW_CMAKE, {"--install", TELDVIEW_BUILD_DIR, "--prefix", strPrefix});
    ASSERT_EQ(install.nStatus, 0) << install.strErr;
    for (const char* pszFile : {"share/applications/teldviewgl.desktop", "share/mime/packages/teldviewgl.xml",
                                "share/icons/hicolor/scalable/apps/teldviewgl.svg"})
        EXPECT_TRUE(fs::is_regular_file(fs::path(strPrefix) / pszFile)) << pszFile;
    // The file types' definitions were understood when the database was built from them.
    if (HaveTool("update-mime-database"))
    {
        for (const char* pszType : {"share/mime/model/x.off.xml", "share/mime/model/stl.xml"})
            EXPECT_TRUE(fs::is_regular_file(fs::path(strPrefix) / pszType)) << pszType;
    }

    const SRun version = RunCommand(strPrefix + "/bin/teldviewgl", {"--version"});
    EXPECT_EQ(version.nStatus, 0);
    EXPECT_EQ(version.strOut, "TeldViewGL " TELDVIEW_VERSION "\n");
    // The installed program finds the installed video module.
    const std::string strScene = EXAMPLES + "/scene.scn";
    const std::vector<std::string> video = {"--animate", Path("clip.mp4"), "--size", "32x32", "--to",
                                            "0.1",       strScene};
    const SRun animate = RunCommand(strPrefix + "/bin/teldviewgl", video);
    EXPECT_EQ(animate.nStatus, 0) << animate.strErr;
    EXPECT_TRUE(fs::is_regular_file(Path("clip.mp4")));
    // Without it, videos are refused with the module's name and nothing is written; picture
    // sequences do not need it.
    fs::remove(Path("clip.mp4"));
    fs::path module;
    for (const auto& entry : fs::recursive_directory_iterator(strPrefix))
        if (entry.path().filename() == "libteldview_video.so")
            module = entry.path();
    ASSERT_FALSE(module.empty());
    fs::remove(module);
    const SRun refused = RunCommand(strPrefix + "/bin/teldviewgl", video);
    EXPECT_EQ(refused.nStatus, 1);
    EXPECT_NE(refused.strErr.find("teldviewgl: the video module " + fs::weakly_canonical(module).string() +
                                  " cannot be loaded: "),
              std::string::npos)
        << refused.strErr;
    EXPECT_FALSE(fs::exists(Path("clip.mp4")));
    const SRun sequence = RunCommand(strPrefix + "/bin/teldviewgl", {"--animate", Path("f%d.bmp"), "--size",
                                                                     "32x32", "--to", "0", strScene});
    EXPECT_EQ(sequence.nStatus, 0) << sequence.strErr;
    EXPECT_TRUE(fs::is_regular_file(Path("f0.bmp")));

    // The entry names the installed program by its absolute path, and stays valid.
    const std::string strEntry = strPrefix + "/share/applications/teldviewgl.desktop";
    EXPECT_NE(Slurp(strEntry).find("\nExec=" + strPrefix + "/bin/teldviewgl %F\n"), std::string::npos);
    if (HaveTool("desktop-file-validate"))
    {
        EXPECT_EQ(RunCommand("desktop-file-validate", {strEntry}).nStatus, 0);
    }
    // PNG icons beside the SVG, each of its own size (width and height in the PNG header).
    for (const int nSize : {16, 24, 32, 48, 64, 128, 256})
    {
        const std::string strSize = std::to_string(nSize) + "x" + std::to_string(nSize);
        const std::string strPng =
            Slurp(strPrefix + "/share/icons/hicolor/" + strSize + "/apps/teldviewgl.png");
        const auto side = [&](size_t n)
        { return strPng.size() < 24 ? -1 : uint8_t(strPng[n]) << 8 | uint8_t(strPng[n + 1]); };
        EXPECT_TRUE(!TELDVIEW_WITH_GUI || (side(18) == nSize && side(22) == nSize)) << strSize;
    }
}

// The model and the formats draw nothing and show no window: their tests' executable, which links
// all of them, loads neither OpenGL nor Qt.
TEST_F(BatchTest, TheCoreLinksNeitherOpenGLNorQt)
{
    const SRun ldd = RunCommand("ldd", {TELDVIEW_BUILD_DIR "/tests/unit_tests"});
    ASSERT_EQ(ldd.nStatus, 0) << ldd.strErr;
    for (const char* pszLibrary : {"libGL", "libEGL", "libGLU", "libOpenGL", "libQt6"})
        EXPECT_EQ(ldd.strOut.find(pszLibrary), std::string::npos) << pszLibrary << " in\n" << ldd.strOut;
}
