#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "FileTestSupport.h"

using namespace FileTestSupport;

// The check the document base's open makes before it touches anything.
using DocumentOpenCheck = CScratchTest;

// Only a regular file that can be opened passes; a pipe is refused at once rather than left to
// hang the read. (The GUI tests show that a refused open leaves the document as it was.)
TEST_F(DocumentOpenCheck, OnlyRegularReadableFilesPass)
{
    ASSERT_EQ(mkfifo(Path("pipe.off").c_str(), 0600), 0);
    fs::create_directory(Path("folder.off"));
    const std::pair<std::string, std::string> rows[] = {
        {Write("tri.off", "OFF\n"), ""},
        {Path("missing.off"), std::generic_category().message(ENOENT)},
        {Path("folder.off"), std::generic_category().message(EISDIR)},
        {Path("pipe.off"), "not a regular file"},
    };
    for (const auto& [strPath, strProblem] : rows)
        EXPECT_EQ(CDocument::OpenProblem(strPath), strProblem) << strPath;
}
