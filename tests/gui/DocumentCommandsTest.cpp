#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>

#include <cerrno>
#include <system_error>

#include "GuiTestSupport.h"
#include "drawing/MeshGL.h"
#include "gui/QtUiServices.h"
#include "model/Camera.h"
#include "model/Mesh.h"

TEST(DocumentCommands, SaveSaveAsAndAFailedOpen)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    // Right after start-up Save behaves as Save As, and there is nothing to write: the document
    // keeps its name and no recent file names the file that was not written.
    const std::string strTarget = ScratchPath(QStringLiteral("copy.off"));
    gui.ui.m_fileAnswers.push_back(strTarget);
    gui.Execute(ID_FILE_SAVE);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 1u);
    EXPECT_FALSE(gui.ui.m_fileRequests[0].bOpen);
    EXPECT_TRUE(gui.ui.m_fileRequests[0].bOverwritePrompt);
    EXPECT_EQ(gui.ui.m_fileRequests[0].strInitialName, "Untitled");
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"No object selected to save."});
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(strTarget)));
    EXPECT_EQ(gui.Doc().GetTitle(), "Untitled");
    EXPECT_TRUE(gui.app->RecentFiles().empty());

    gui.ui.m_messages.clear();
    const std::string strSource = Example("cube.off");
    ASSERT_TRUE(gui.Open(strSource));
    gui.Execute(ID_FILE_SAVE_AS); // cancelled: nothing changes
    EXPECT_EQ(gui.Doc().GetPathName(), strSource);
    gui.ui.m_fileAnswers.push_back(strTarget);
    gui.Execute(ID_FILE_SAVE_AS);
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_EQ(gui.Doc().GetTitle(), "copy.off");
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().windowTitle(), "copy.off - TeldViewGL");
    EXPECT_EQ(gui.app->RecentFiles().front(), strTarget);

    // Now Save writes to the document's own path without a dialog.
    QFile target(QString::fromStdString(strTarget));
    ASSERT_TRUE(target.resize(0));
    gui.Execute(ID_FILE_SAVE);
    EXPECT_EQ(gui.ui.m_fileRequests.size(), 3u);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_TRUE(target.readAll().startsWith("OFF\n8 6 24\n"));

    // A file that fails to parse is named in the message and leaves all as it was: the mesh with
    // its display list, the picture, the title and the recent files.
    const CMesh* pMesh = static_cast<const CMesh*>(gui.Doc().m_pCurrentObject);
    const unsigned nList = CMeshGL::ListOf(*pMesh);
    const QImage before = gui.View().grabFramebuffer();
    const std::vector<std::string> recent = gui.app->RecentFiles();
    gui.ui.m_fileAnswers.push_back(WriteScratch(QStringLiteral("broken.off"), "OFF\n3 1 0\n0 0 0\n"));
    gui.Execute(ID_FILE_OPEN);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 4u);
    EXPECT_TRUE(gui.ui.m_fileRequests[3].bOpen && gui.ui.m_fileRequests[3].bFileMustExist);
    EXPECT_EQ(gui.ui.m_messages,
              std::vector<std::string>{"Unable to read broken.off: unexpected file format.\n"
                                       "broken.off: line 2: the counts ask for more "
                                       "than the file holds"});
    EXPECT_EQ(std::tuple(gui.Doc().m_pCamera->m_pNext, pMesh->m_nVertices, CMeshGL::ListOf(*pMesh)),
              std::tuple(static_cast<CSceneObject*>(const_cast<CMesh*>(pMesh)), 8, nList));
    EXPECT_EQ(gui.View().grabFramebuffer(), before);
    EXPECT_EQ(gui.Doc().GetTitle(), "copy.off");
    EXPECT_EQ(gui.app->RecentFiles(), recent);
}

// After an import replaces the mesh the document has no file of its own: the title names the
// imported file and Save asks for a name, so the file opened before is never overwritten. In
// scene mode Save refuses, as ever.
TEST(DocumentCommands, SaveAfterAnImportLeavesTheOpenedFileAlone)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    const std::string strMine = CopyExample("cube.off");
    const auto contents = [&]
    {
        // Opened afresh each time: a save replaces the file by another.
        QFile mine(QString::fromStdString(strMine));
        return mine.open(QIODevice::ReadOnly) ? mine.readAll() : QByteArray();
    };
    const QByteArray original = contents();
    const std::string strStl = WriteScratch(QStringLiteral("tri.stl"),
                                            "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n"
                                            "vertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid t\n");
    for (const bool bScene : {false, true})
    {
        SCOPED_TRACE(bScene ? "scene mode" : "replace mode");
        ASSERT_TRUE(gui.Open(strMine));
        if (bScene)
            gui.Execute(ID_FILE_MAKE_SCENE);
        gui.ui.m_fileAnswers = {strStl};
        gui.Execute(ID_IMPORT_ASCII_STL);
        const size_t nRequests = gui.ui.m_fileRequests.size();
        gui.ui.m_messages.clear();
        gui.Execute(ID_FILE_SAVE); // the dialog, if any, is cancelled
        EXPECT_EQ(gui.ui.m_fileRequests.size(), nRequests + (bScene ? 0 : 1));
        EXPECT_EQ(gui.ui.m_messages,
                  bScene ? std::vector<std::string>{"To save a scene, Export it as an OFF file."}
                         : std::vector<std::string>());
        EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "tri.stl");
        EXPECT_EQ(gui.Frame().windowTitle(), bScene ? "New Scene - TeldViewGL" : "tri.stl - TeldViewGL");
        EXPECT_EQ(contents(), original);
    }
}

TEST(DocumentCommands, RecentFilesPersistAndFillTheFileMenu)
{
    // A copy, as it is deleted later.
    const std::string strCube = Example("cube.off"), strColored = CopyExample("colored.off");
    {
        SGuiApp gui;
        ASSERT_TRUE(gui.bStarted);
        ASSERT_TRUE(gui.Open(strCube) && gui.Open(strColored) && gui.Open(strCube));
    }
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    EXPECT_EQ(gui.app->RecentFiles(), (std::vector<std::string>{strCube, strColored}));

    QMetaObject::invokeMethod(gui.Frame().Menus()[0], "aboutToShow");
    const QList<QAction*> entries = gui.Frame().FindActions(ID_FILE_MRU_FILE1 + 1);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0]->text().startsWith("&2 "));
    EXPECT_TRUE(entries[0]->isEnabled());
    EXPECT_FALSE(gui.Frame().FindAction(ID_FILE_MRU_FILE1)->text() == "Recent File" &&
                 gui.Frame().FindAction(ID_FILE_MRU_FILE1)->isVisible());

    // An entry whose file is gone leaves the list, with a message giving the system's reason,
    // and the mesh on screen stays as it was: its data, its display list, the title, the picture.
    ASSERT_TRUE(gui.Open(strCube));
    const CMesh* pMesh = static_cast<const CMesh*>(gui.Doc().m_pCurrentObject);
    const unsigned nList = CMeshGL::ListOf(*pMesh);
    const QImage before = gui.View().grabFramebuffer();
    QFile::remove(QString::fromStdString(strColored));
    gui.Execute(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"Unable to open colored.off: " +
                                                          std::generic_category().message(ENOENT) + "."});
    EXPECT_EQ(gui.app->RecentFiles(), std::vector<std::string>{strCube});
    EXPECT_EQ(gui.Doc().m_pCamera->m_pNext, pMesh);
    EXPECT_EQ(pMesh->m_nVertices, 8);
    EXPECT_EQ(CMeshGL::ListOf(*pMesh), nList);
    EXPECT_EQ(gui.Doc().GetTitle(), "cube.off");
    EXPECT_EQ(gui.View().grabFramebuffer(), before);

    // Six different files keep the five most recent.
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(gui.Open(
            WriteScratch(QStringLiteral("c%1.off").arg(i), "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")));
    ASSERT_EQ(gui.app->RecentFiles().size(), 5u);
    EXPECT_EQ(gui.app->RecentFiles().front(), ScratchPath(QStringLiteral("c5.off")));

    // An entry whose file no longer reads as a mesh gives its message and changes nothing: it
    // stays in the list, as it may be mended, and the title stays. Content no format knows has no
    // reader's detail; a broken OFF file names the line.
    const std::vector<std::string> recent = gui.app->RecentFiles();
    WriteScratch(QStringLiteral("c4.off"), "not a mesh");
    gui.ui.m_messages.clear();
    gui.Execute(ID_FILE_MRU_FILE1 + 1);
    WriteScratch(QStringLiteral("c4.off"), "OFF\n3 1 0\n0 0 0\n");
    gui.Execute(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(gui.ui.m_messages,
              (std::vector<std::string>{
                  "Unable to read c4.off: unexpected file format.",
                  "Unable to read c4.off: unexpected file format.\nc4.off: line 2: the counts "
                  "ask for more than the file holds"}));
    EXPECT_EQ(gui.app->RecentFiles(), recent);
    EXPECT_EQ(gui.Doc().GetTitle(), "c5.off");
}

TEST(DocumentCommands, FileFiltersBecomeQtFilters)
{
    const std::pair<const char*, const char*> rows[] = {
        {"All Files (*.*)|*.*||", "All Files (*)"},
        {"Keyframe Files (*.kff)|*.kff|All Files (*.*)|*.*||", "Keyframe Files (*.kff);;All Files (*)"},
        {"Images (*.jpg;*.jpeg)|*.jpg;*.jpeg||", "Images (*.jpg *.jpeg)"},
        {"", ""},
    };
    for (const auto& [pszProduct, pszQt] : rows)
        EXPECT_EQ(CQtUiServices::ToQtFilter(pszProduct), QString::fromUtf8(pszQt)) << pszProduct;
}
