#include <png.h>

#include <map>
#include <sstream>

#include "e2e/BatchTestSupport.h"

namespace
{
using namespace BatchTestSupport;

// The keys of a desktop file's one group, checked to be that group.
std::map<std::string, std::string> ReadEntry(const std::string& strText, const std::string& strGroup)
{
    std::map<std::string, std::string> keys;
    std::istringstream in(strText);
    std::string strLine;
    EXPECT_TRUE(std::getline(in, strLine) && strLine == "[" + strGroup + "]") << strLine;
    while (std::getline(in, strLine))
        if (!strLine.empty() && strLine[0] != '#')
        {
            const size_t nEqual = strLine.find('=');
            EXPECT_NE(nEqual, std::string::npos) << strLine;
            keys[strLine.substr(0, nEqual)] = strLine.substr(nEqual + 1);
        }
    return keys;
}
} // namespace

// A file manager finds the installed thumbnailer, runs its Exec line without a display and gets a
// square PNG, opaque on the model and clear around it; a file that cannot be read gives nothing
// and exit status 1, so the file manager shows its generic icon.
TEST_F(BatchTest, TheInstalledThumbnailerDrawsEveryModelKind)
{
    const std::string strPrefix = Path("prefix");
    const SRun install = RunCommand(TELDVIEW_CMAKE, {"--install", TELDVIEW_BUILD_DIR, "--prefix", strPrefix});
    ASSERT_EQ(install.nStatus, 0) << install.strErr;
    std::map<std::string, std::string> keys =
        ReadEntry(Slurp(strPrefix + "/share/thumbnailers/teldviewgl.thumbnailer"), "Thumbnailer Entry");
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys["TryExec"], strPrefix + "/bin/teldviewgl");
    EXPECT_EQ(keys["MimeType"],
              "model/x.off;model/stl;application/x-ply;model/obj;model/3mf;model/gltf+json;");
    std::vector<std::string> exec;
    std::istringstream words(keys["Exec"]);
    for (std::string strWord; words >> strWord;)
        exec.push_back(strWord);
    ASSERT_FALSE(exec.empty());
    EXPECT_EQ(exec[0], keys["TryExec"]);
    EXPECT_EQ(access(exec[0].c_str(), X_OK), 0);

    // The bundled cube, and the same cube in triangles for STL.
    const std::string strCube = EXAMPLES + "/cube.off";
    std::string strTriangles = "OFF\n8 12 0\n";
    for (int i = 0; i < 8; ++i)
        strTriangles += std::string(i % 4 == 1 || i % 4 == 2 ? "0.5 " : "-0.5 ") +
                        (i % 4 >= 2 ? "0.5 " : "-0.5 ") + (i >= 4 ? "0.5\n" : "-0.5\n");
    strTriangles += "3 0 3 2\n3 0 2 1\n3 4 5 6\n3 4 6 7\n3 0 1 5\n3 0 5 4\n"
                    "3 2 3 7\n3 2 7 6\n3 1 2 6\n3 1 6 5\n3 3 0 4\n3 3 4 7\n";
    const std::string strTriangleCube = WriteFile("cube3.off", strTriangles);
    ASSERT_EQ(Run({"--convert", Path("cube.stl"), strTriangleCube}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", Path("ascii.stl"), "--ascii", strTriangleCube}).nStatus, 0);
    // The cube through the PLY and OBJ writers, read back by content.
    ASSERT_EQ(Run({"--convert", Path("cube.ply"), strCube}).nStatus, 0);
    ASSERT_EQ(Run({"--convert", Path("cube.obj"), strCube}).nStatus, 0);
    const std::string strBad = WriteFile("bad.stl", "solid x\n facet normal 0 0 1\n outer loop\n");
    unsetenv("DISPLAY");
    for (const std::string& strInput :
         {strCube, Path("cube.stl"), Path("ascii.stl"), Path("cube.ply"), Path("cube.obj"), strBad})
    {
        SCOPED_TRACE(strInput);
        const std::string strOut = Path("thumb.png");
        fs::remove(strOut);
        std::vector<std::string> args;
        for (size_t i = 1; i < exec.size(); ++i)
            args.push_back(exec[i] == "%s"   ? "48"
                           : exec[i] == "%i" ? strInput
                           : exec[i] == "%o" ? strOut
                                             : exec[i]);
        const SRun run = RunCommand(exec[0], args);
        if (strInput == strBad)
        {
            EXPECT_EQ(run.nStatus, 1);
            EXPECT_EQ(run.strErr, "Error reading STL file. " + strBad + "\n");
            EXPECT_FALSE(fs::exists(strOut));
            continue;
        }
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, strOut.c_str()));
        EXPECT_TRUE(image.width == 48 && image.height == 48 && image.format == PNG_FORMAT_RGBA);
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
        // The cube seen face-on fills the square but for the pixel kept on each side.
        const auto alpha = [&](int x, int y) { return rgba[4 * static_cast<size_t>(y * 48 + x) + 3]; };
        for (int i = 1; i < 47; ++i)
            EXPECT_TRUE(alpha(i, 1) == 255 && alpha(1, i) == 255 && alpha(i, 46) == 255 &&
                        alpha(46, i) == 255)
                << i;
        for (int i = 0; i < 48; ++i)
            EXPECT_TRUE(alpha(i, 0) == 0 && alpha(0, i) == 0 && alpha(i, 47) == 0 && alpha(47, i) == 0) << i;
        // Its blue front, lit (white light adds the same red and green, more on flat STL faces).
        const uint8_t* pCentre = &rgba[4 * (24 * 48 + 24)];
        EXPECT_TRUE(pCentre[2] >= pCentre[0] + 100 && pCentre[0] == pCentre[1]) << int(pCentre[0]);
    }

    // Usage errors: exit status 2.
    for (const char* pszSize : {"0", "1025", "64x64", "big"})
        EXPECT_EQ(Run({"--thumbnail", pszSize, strCube, Path("t.png")}).nStatus, 2) << pszSize;
    EXPECT_EQ(Run({"--thumbnail", "64", strCube}).nStatus, 2);
    EXPECT_FALSE(fs::exists(Path("t.png")));
}
