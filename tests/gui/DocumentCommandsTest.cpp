#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "GuiTestSupport.h"
#include "app/QtUiServices.h"
#include "platform/CommandIds.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"

TEST(DocumentCommands, SaveRightAfterStartUpAsksForANameAndWritesNothing)
{
    QTemporaryDir dir;
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    const std::string strTarget = dir.filePath("saved.off").toStdString();
    gui.ui.m_fileAnswers.push_back(strTarget);
    // Save with no path behaves as Save As.
    gui.app->Router().Execute(ID_FILE_SAVE);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 1u);
    const SFileDialogRequest& request = gui.ui.m_fileRequests[0];
    EXPECT_FALSE(request.bOpen);
    EXPECT_TRUE(request.bOverwritePrompt);
    EXPECT_EQ(request.strInitialName, "Untitled");
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"No object selected to save."});
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(strTarget)));
}

TEST(DocumentCommands, SaveAsWritesTheMeshAndRenamesTheDocument)
{
    QTemporaryDir dir;
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    const std::string strSource = CopyExample(dir, "cube.off");
    ASSERT_TRUE(gui.app->OpenDocumentFile(strSource));

    // Cancelled: nothing happens.
    gui.app->Router().Execute(ID_FILE_SAVE_AS);
    EXPECT_EQ(gui.Doc().GetPathName(), strSource);

    const std::string strTarget = dir.filePath("copy.off").toStdString();
    gui.ui.m_fileAnswers.push_back(strTarget);
    gui.app->Router().Execute(ID_FILE_SAVE_AS);
    EXPECT_TRUE(gui.ui.m_messages.empty());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(strTarget)));
    EXPECT_EQ(gui.Doc().GetTitle(), "copy.off");
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().windowTitle(), "copy.off - TeldViewGL");
    EXPECT_EQ(gui.app->RecentFiles().front(), strTarget);

    // Save now writes to the document's own path without a dialog.
    QFile target(QString::fromStdString(strTarget));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
    target.close();
    gui.app->Router().Execute(ID_FILE_SAVE);
    EXPECT_EQ(gui.ui.m_fileRequests.size(), 2u);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_TRUE(target.readAll().startsWith("OFF\n8 6 24\n"));
}

TEST(DocumentCommands, AFailedOpenNamesTheFileAndKeepsTheDocument)
{
    QTemporaryDir dir;
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    ASSERT_TRUE(gui.app->OpenDocumentFile(Example("cube.off")));
    QFile bad(dir.filePath("broken.off"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("OFF\n3 1 0\n0 0 0\n");
    bad.close();

    gui.ui.m_fileAnswers.push_back(bad.fileName().toStdString());
    gui.app->Router().Execute(ID_FILE_OPEN);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 1u);
    EXPECT_TRUE(gui.ui.m_fileRequests[0].bOpen);
    EXPECT_TRUE(gui.ui.m_fileRequests[0].bFileMustExist);
    ASSERT_EQ(gui.ui.m_messages.size(), 1u);
    EXPECT_NE(gui.ui.m_messages[0].find("broken.off"), std::string::npos);
    EXPECT_EQ(gui.Doc().GetTitle(), "cube.off");
    // Replace mode reused the mesh, which is now empty; a Save refuses it quietly.
    const CMesh* pMesh = static_cast<const CMesh*>(gui.Doc().m_pCamera->m_pNext);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_FALSE(pMesh->m_bLoaded);
    EXPECT_EQ(gui.app->RecentFiles().size(), 1u);
}

TEST(DocumentCommands, RecentFilesPersistAndFillTheFileMenu)
{
    QTemporaryDir dir;
    const std::string strCube = CopyExample(dir, "cube.off");
    const std::string strColored = CopyExample(dir, "colored.off");
    {
        SGuiApp gui;
        ASSERT_TRUE(gui.bStarted);
        ASSERT_TRUE(gui.app->OpenDocumentFile(strCube));
        ASSERT_TRUE(gui.app->OpenDocumentFile(strColored));
        ASSERT_TRUE(gui.app->OpenDocumentFile(strCube));
    }
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    EXPECT_EQ(gui.app->RecentFiles(), (std::vector<std::string>{strCube, strColored}));

    QMenu* pFile = gui.Frame().Menus()[0];
    QMetaObject::invokeMethod(pFile, "aboutToShow");
    const QList<QAction*> entries = gui.Frame().FindActions(ID_FILE_MRU_FILE1 + 1);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0]->text().startsWith("&2 "));
    EXPECT_TRUE(entries[0]->isEnabled());
    EXPECT_EQ(entries[0]->statusTip(), "Open this document");
    EXPECT_FALSE(gui.Frame().FindAction(ID_FILE_MRU_FILE1)->text() == "Recent File" &&
                 gui.Frame().FindAction(ID_FILE_MRU_FILE1)->isVisible());

    // An entry that can no longer be opened leaves the list.
    QFile::remove(QString::fromStdString(strColored));
    gui.app->Router().Execute(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(gui.ui.m_messages.size(), 1u);
    EXPECT_EQ(gui.app->RecentFiles(), std::vector<std::string>{strCube});
    // Six different files keep the five most recent.
    for (int i = 0; i < 6; ++i)
    {
        const QString strName = dir.filePath(QStringLiteral("c%1.off").arg(i));
        QFile::copy(QString::fromStdString(strCube), strName);
        ASSERT_TRUE(gui.app->OpenDocumentFile(strName.toStdString()));
    }
    ASSERT_EQ(gui.app->RecentFiles().size(), 5u);
    EXPECT_EQ(gui.app->RecentFiles().front(), dir.filePath("c5.off").toStdString());
}

TEST(DocumentCommands, FileFiltersBecomeQtFilters)
{
    const struct
    {
        const char* pszProduct;
        const char* pszQt;
    } rows[] = {
        {"All Files (*.*)|*.*||", "All Files (*)"},
        {"Keyframe Files (*.kff)|*.kff|All Files (*.*)|*.*||", "Keyframe Files (*.kff);;All Files (*)"},
        {"Images (*.jpg;*.jpeg)|*.jpg;*.jpeg||", "Images (*.jpg *.jpeg)"},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CQtUiServices::ToQtFilter(row.pszProduct), QString::fromUtf8(row.pszQt)) << row.pszProduct;
}
