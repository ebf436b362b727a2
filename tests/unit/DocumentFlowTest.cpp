#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "FileTestSupport.h"
#include "platform/ScriptedUiServices.h"

using namespace FileTestSupport;

// The framework's open and save flow, as the document base runs it.
using DocumentFlow = CScratchTest;

// Only a regular file that can be opened passes; a pipe is refused at once rather than left to
// hang the read. (The GUI tests show that a refused open leaves the document as it was.)
TEST_F(DocumentFlow, OnlyRegularReadableFilesPassTheOpenCheck)
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

// A save that wrote nothing (its message said why) keeps the document's name and adds no recent
// file; one that wrote the file takes the new name.
TEST_F(DocumentFlow, OnlyASaveThatWroteTheFileRenamesTheDocument)
{
    CScriptedUiServices ui;
    m_doc.SetUiServices(&ui);
    int nRecent = 0;
    m_doc.m_fnAddToRecentFileList = [&](const std::string&) { ++nRecent; };
    ASSERT_TRUE(m_doc.LoadMeshFile(Write("tri.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"), false));
    m_doc.m_bScene = true;
    EXPECT_TRUE(m_doc.DoSave(Path("scene.off")));
    EXPECT_EQ(m_doc.GetTitle(), "Untitled");
    EXPECT_EQ(nRecent, 0);
    m_doc.m_bScene = false;
    EXPECT_TRUE(m_doc.DoSave(Path("copy.off")));
    EXPECT_EQ(m_doc.GetTitle(), "copy.off");
    EXPECT_EQ(nRecent, 1);
}
