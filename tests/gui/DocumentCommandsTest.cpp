#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>

#include "GuiTestSupport.h"
#include "app/QtUiServices.h"

TEST(DocumentCommands, SaveSaveAsAndAFailedOpen)
{
    QTemporaryDir dir;
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    // Right after start-up Save behaves as Save As, and there is nothing to write.
    const std::string strTarget = dir.filePath("copy.off").toStdString();
    gui.ui.m_fileAnswers.push_back(strTarget);
    gui.Execute(ID_FILE_SAVE);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 1u);
    EXPECT_FALSE(gui.ui.m_fileRequests[0].bOpen);
    EXPECT_TRUE(gui.ui.m_fileRequests[0].bOverwritePrompt);
    EXPECT_EQ(gui.ui.m_fileRequests[0].strInitialName, "Untitled");
    EXPECT_EQ(gui.ui.m_messages, std::vector<std::string>{"No object selected to save."});
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(strTarget)));

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

    // A file that fails to open is named in the message and leaves the document's name alone.
    QFile bad(dir.filePath("broken.off"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("OFF\n3 1 0\n0 0 0\n") > 0);
    bad.close();
    gui.ui.m_fileAnswers.push_back(bad.fileName().toStdString());
    gui.Execute(ID_FILE_OPEN);
    ASSERT_EQ(gui.ui.m_fileRequests.size(), 4u);
    EXPECT_TRUE(gui.ui.m_fileRequests[3].bOpen && gui.ui.m_fileRequests[3].bFileMustExist);
    ASSERT_EQ(gui.ui.m_messages.size(), 1u);
    EXPECT_NE(gui.ui.m_messages[0].find("broken.off"), std::string::npos);
    EXPECT_EQ(gui.Doc().GetTitle(), "copy.off");
    EXPECT_EQ(gui.app->RecentFiles().front(), strTarget);
}

TEST(DocumentCommands, RecentFilesPersistAndFillTheFileMenu)
{
    QTemporaryDir dir;
    // A copy, as it is deleted later.
    const std::string strCube = Example("cube.off"), strColored = dir.filePath("colored.off").toStdString();
    ASSERT_TRUE(
        QFile::copy(QString::fromStdString(Example("colored.off")), QString::fromStdString(strColored)));
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
    EXPECT_EQ(entries[0]->statusTip(), "Open this document");
    EXPECT_FALSE(gui.Frame().FindAction(ID_FILE_MRU_FILE1)->text() == "Recent File" &&
                 gui.Frame().FindAction(ID_FILE_MRU_FILE1)->isVisible());

    // An entry that can no longer be opened leaves the list.
    QFile::remove(QString::fromStdString(strColored));
    gui.Execute(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(gui.ui.m_messages.size(), 1u);
    EXPECT_EQ(gui.app->RecentFiles(), std::vector<std::string>{strCube});
    // Six different files keep the five most recent.
    for (int i = 0; i < 6; ++i)
    {
        const QString strName = dir.filePath(QStringLiteral("c%1.off").arg(i));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(strCube), strName));
        ASSERT_TRUE(gui.Open(strName.toStdString()));
    }
    ASSERT_EQ(gui.app->RecentFiles().size(), 5u);
    EXPECT_EQ(gui.app->RecentFiles().front(), dir.filePath("c5.off").toStdString());
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
