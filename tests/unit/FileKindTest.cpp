#include <gtest/gtest.h>

#include <sys/stat.h>

#include <tuple>

#include "FileTestSupport.h"
#include "formats/FileKind.h"

using namespace FileTestSupport;

using FileKindTest = CScratchTest;

// What a file holds decides how it is read, whatever its name says; only content that is none of
// the kinds goes by the extension. A FIFO, a folder or a missing file is not judged (and a FIFO
// not read, which would wait for a writer).
TEST_F(FileKindTest, TheContentDecidesBeforeTheName)
{
    // Binary STL under a header that reads "OFF", with a byte too many for its size to tell.
    std::string binary(84 + 50 + 1, '\0');
    binary.replace(0, 3, "OFF");
    const std::tuple<const char*, std::string, int> rows[] = {
        {"a.stl", "OFF\n3 1 0\n", INPUT_OFF},   {"a.stl", "# made elsewhere\n\n  STCNOFF 3", INPUT_OFF},
        {"a.stl", "OFF1234 5 0\n", INPUT_OFF},  {"a.off", "SCENE 1\nc.kff\n", INPUT_SCENE},
        {"a.off", "solid x\nfacet", INPUT_STL}, {"a.off", std::string("xyz\0\1", 5), INPUT_STL},
        {"a.off", binary, INPUT_STL},           {"a.stl", "COFFEE", INPUT_STL},
        {"a.scn", "COFFEE", INPUT_SCENE},       {"a", "", INPUT_OFF},
    };
    for (const auto& [pszName, bytes, nKind] : rows)
        EXPECT_EQ(InputKind(Write(pszName, bytes)), nKind) << pszName << " " << bytes;

    ASSERT_EQ(mkfifo(Path("pipe.stl").c_str(), 0600), 0);
    fs::create_directory(Path("folder.stl"));
    for (const char* pszName : {"pipe.stl", "folder.stl", "missing.stl"})
        EXPECT_EQ(InputKind(Path(pszName)), INPUT_NONE) << pszName;
}
