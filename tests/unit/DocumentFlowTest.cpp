#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "FileTestSupport.h"
#include "platform/ScriptedUiServices.h"

using namespace FileTestSupport;

// The framework's open and save flow, as the document base runs it.
using DocumentFlow = CScratchTest;

// Only a regular file that can be opened passes; a pipe is refused at once rather than left to
// hang the read, and a refused open leaves the document as it was, with one message naming the
// file and the reason.
TEST_F(DocumentFlow, OnlyRegularReadableFilesPass)
{
    const std::string strMesh = Write("tri.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    ASSERT_EQ(mkfifo(Path("pipe.off").c_str(), 0600), 0);
    fs::create_directory(Path("folder.off"));
    const std::pair<std::string, std::string> rows[] = {
        {strMesh, ""},
        {Path("missing.off"), std::generic_category().message(ENOENT)},
        {Path("folder.off"), std::generic_category().message(EISDIR)},
        {Path("pipe.off"), "not a regular file"},
    };
    for (const auto& [strPath, strProblem] : rows)
        EXPECT_EQ(CDocument::OpenProblem(strPath), strProblem) << strPath;

    CScriptedUiServices ui;
    m_doc.SetUiServices(&ui);
    ASSERT_TRUE(m_doc.OnOpenDocument(strMesh));
    EXPECT_FALSE(m_doc.OnOpenDocument(Path("missing.off")));
    EXPECT_EQ(ui.m_messages, std::vector<std::string>{"Unable to open missing.off: " +
                                                      std::generic_category().message(ENOENT) + "."});
    EXPECT_EQ(m_doc.GetTitle(), "tri.off");
    EXPECT_EQ(MeshAt(m_doc, 1).m_nVertices, 3);
    EXPECT_TRUE(MeshAt(m_doc, 1).m_bLoaded);
}

// A save that wrote nothing (its message said why) keeps the document's name; one that wrote
// the file takes the new name.
TEST_F(DocumentFlow, OnlyASaveThatWroteTheFileRenamesTheDocument)
{
    CScriptedUiServices ui;
    m_doc.SetUiServices(&ui);
    std::vector<std::string> recent;
    m_doc.m_fnAddToRecentFileList = [&](const std::string& strPath) { recent.push_back(strPath); };
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tri.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")));
    m_doc.m_bScene = true;
    EXPECT_TRUE(m_doc.DoSave(Path("scene.off")));
    EXPECT_EQ(m_doc.GetTitle(), "tri.off");
    EXPECT_EQ(recent.size(), 1u);
    m_doc.m_bScene = false;
    EXPECT_TRUE(m_doc.DoSave(Path("copy.off")));
    EXPECT_EQ(m_doc.GetTitle(), "copy.off");
    EXPECT_EQ(recent.back(), Path("copy.off"));
}
