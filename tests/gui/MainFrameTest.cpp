#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "X11TestHelpers.h"
#include "app/Resources.h"
#include "platform/CommandIds.h"
#include "scene/Camera.h"

namespace
{
// A handler for a command nothing in the program handles yet.
class CExtraTarget : public CCmdTarget
{
public:
    explicit CExtraTarget(int nID)
    {
        OnCommand(nID, [] {});
    }
};

struct SItemRow
{
    int nID;
    const char* pszText;
    const char* pszPrompt;
};
} // namespace

TEST(MainFrame, MenusCarryTheProductTextsPromptsAndIds)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    QStringList titles;
    for (const QMenu* pMenu : gui.Frame().Menus())
        titles << pMenu->title();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "Text&ures", "&Import", "E&xport", "&Tools",
                                   "&Animation", "&Help"}));

    const SItemRow rows[] = {
        {ID_FILE_NEW, "&New\tCtrl+N", "Create a new document"},
        {ID_FILE_OPEN, "&Open...\tCtrl+O", "Open an existing document"},
        {ID_FILE_SAVE_AS, "Save &As...", "Save the active document with a new name"},
        {ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents"},
        {ID_EDIT_PASTE, "&Paste\tCtrl+V", "Insert Clipboard contents"},
        {ID_VIEW_SELECT_NEXT, "Select &Next Object\tN", "Select next object in the scene."},
        {ID_VIEW_SELECT_PREVIOUS, "Select &Previous Object\tP", "Select previous object in the scene."},
        {ID_VIEW_HIDDEN_LINE, "Wireframe w/o &Hidden Lines",
         "View as a wireframe with hidden lines removed."},
        {ID_VIEW_FLAT_SHADING, "&Flat Shading", ""},
        {ID_TEXTURE_CHECKERBOARD, "Generate &Checkboard Texture", ""},
        {ID_TOOLS_LIGHTING, "&Lighting Enabled", "Enabled or disable lighting."},
        {ID_EXPORT_POINT_CLOUD, "Write Scene to Point Cloud...",
         "Write out points and normals to non-standard binary format."},
        {ID_ANIMATION_LOAD_KEYFRAMES, "&Load Keyframes from File...",
         "Load keyframes for the current object from a .ANM file."},
        {ID_APP_ABOUT, "&About TeldViewGL...", "Display program information, version number and copyright"},
    };
    for (const SItemRow& row : rows)
    {
        SCOPED_TRACE(row.nID);
        const QAction* pAction = gui.Frame().FindAction(row.nID);
        ASSERT_NE(pAction, nullptr);
        EXPECT_EQ(pAction->text(), QString::fromUtf8(row.pszText));
        EXPECT_EQ(pAction->statusTip(), QString::fromUtf8(row.pszPrompt));
    }
    EXPECT_EQ(Resources::ShortName(ID_VIEW_STATUS_BAR), "Toggle StatusBar");
    EXPECT_EQ(Resources::ShortName(ID_TOOLS_INVERT_MESH), "Invert the model's mesh.");
    // Texture Map stands in the View and the Textures menus.
    EXPECT_EQ(gui.Frame().FindActions(ID_VIEW_TEXTURE_MAP).size(), 2);
    // View menu: 14 commands and 5 separators, in the product's order.
    const QList<QAction*> view = gui.Frame().Menus()[2]->actions();
    ASSERT_EQ(view.size(), 19);
    EXPECT_EQ(view[5]->isSeparator(), true);
    EXPECT_EQ(view.back()->data().toInt(), ID_VIEW_STATUS_BAR);
}

TEST(MainFrame, OnlyHandledCommandsAreEnabled)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Frame().OnIdleUpdate();
    for (const int nID : {ID_FILE_NEW, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_PASTE, ID_VIEW_FLAT_SHADING,
                          ID_NEXT_PANE, ID_VIEW_SELECT_NEXT, ID_VIEW_SELECT_PREVIOUS})
    {
        SCOPED_TRACE(nID);
        EXPECT_FALSE(gui.Frame().FindActions(nID).value(0, nullptr) != nullptr &&
                     gui.Frame().FindAction(nID)->isEnabled());
        EXPECT_FALSE(gui.Enabled(nID));
    }
    for (const int nID :
         {ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_APP_EXIT, ID_APP_ABOUT, ID_VIEW_STATUS_BAR})
    {
        SCOPED_TRACE(nID);
        EXPECT_TRUE(gui.Frame().FindAction(nID)->isEnabled());
    }
    EXPECT_TRUE(gui.Frame().FindAction(ID_VIEW_STATUS_BAR)->isChecked());
    // No recent file: the grayed placeholder stands for the list.
    EXPECT_FALSE(gui.Frame().FindAction(ID_FILE_MRU_FILE1)->isEnabled());

    // Ctrl+N reaches nothing: the document stays as it is.
    gui.app->OpenDocumentFile(Example("cube.off"));
    QTest::keyClick(&gui.View(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(gui.Doc().GetTitle(), "cube.off");

    // Opening a menu recomputes its states without waiting for idle.
    QMenu* pViewMenu = gui.Frame().Menus()[2];
    QMetaObject::invokeMethod(pViewMenu, "aboutToShow");
    EXPECT_TRUE(gui.Frame().FindAction(ID_VIEW_SELECT_PREVIOUS)->isEnabled());
    EXPECT_FALSE(gui.Frame().FindAction(ID_VIEW_SELECT_NEXT)->isEnabled());

    gui.app->Router().Execute(ID_VIEW_STATUS_BAR);
    gui.Frame().OnIdleUpdate();
    EXPECT_TRUE(gui.Frame().statusBar()->isHidden());
    EXPECT_FALSE(gui.Frame().FindAction(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST(MainFrame, KeysNAndPSelectObjectsWhileTheViewHasFocus)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Doc().m_bScene = true;
    ASSERT_TRUE(gui.app->OpenDocumentFile(Example("cube.off")));
    ASSERT_TRUE(gui.app->OpenDocumentFile(Example("colored.off")));
    CSceneObject* pFirst = gui.Doc().m_pCamera->m_pNext;
    CSceneObject* pSecond = pFirst->m_pNext;
    ASSERT_EQ(gui.Doc().m_pCurrentObject, pSecond);

    gui.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gui.Frame()));
    gui.View().setFocus();
    ASSERT_TRUE(gui.View().hasFocus());

    QTest::keyClick(&gui.View(), Qt::Key_P);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, pFirst);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "cube.off");
    QTest::keyClick(&gui.View(), Qt::Key_P);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, gui.Doc().m_pCamera);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");
    // At the head P is disabled and changes nothing.
    QTest::keyClick(&gui.View(), Qt::Key_P);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, gui.Doc().m_pCamera);
    QTest::keyClick(&gui.View(), Qt::Key_N);
    QTest::keyClick(&gui.View(), Qt::Key_N);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, pSecond);
    EXPECT_EQ(gui.View().m_strSelectedName, "colored.off");
}

TEST(MainFrame, StatusPanesTitleAndMessagePane)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().windowTitle(), "Untitled - TeldViewGL");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");

    ASSERT_TRUE(gui.app->OpenDocumentFile(Example("cube.off")));
    EXPECT_EQ(gui.Frame().windowTitle(), "cube.off - TeldViewGL");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "cube.off");
    EXPECT_EQ(gui.PaneText(ID_FRAME_RATE), "0.0 FPS");
    const QString strSize = QStringLiteral("%1 x %2").arg(gui.View().width()).arg(gui.View().height());
    EXPECT_EQ(gui.PaneText(ID_VIEW_SIZE), strSize);

    // The seven panes in their order: message pane, 103, 102, 101, CAP, NUM, SCRL.
    QStringList names;
    for (const QLabel* pLabel : gui.Frame().statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        names << pLabel->objectName();
    EXPECT_EQ(names, QStringList({"0", "103", "102", "101", "59137", "59138", "59139"}));
    // The lock-key panes show their text only while the lock is on; Xvfb starts with all off.
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_CAPS), "");
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_NUM), "");
    ASSERT_TRUE(SetX11CapsLock(true));
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_CAPS), "CAP");
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_SCRL), "");
    ASSERT_TRUE(SetX11CapsLock(false));
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_CAPS), "");
    EXPECT_GE(gui.Frame().Pane(ID_INDICATOR_SCRL)->width(),
              gui.Frame().Pane(ID_INDICATOR_SCRL)->fontMetrics().horizontalAdvance("SCRL"));

    EXPECT_EQ(gui.Frame().MessageText(), "Ready");
    QStatusTipEvent prompt(QStringLiteral("Open an existing document"));
    QApplication::sendEvent(&gui.Frame(), &prompt);
    EXPECT_EQ(gui.Frame().MessageText(), "Open an existing document");
    // An empty tip with no item highlighted (the menus closed) brings "Ready" back.
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(&gui.Frame(), &none);
    EXPECT_EQ(gui.Frame().MessageText(), "Ready");
}

TEST(MainFrame, AboutBoxShowsTheVersionAndEndsWithOk)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    QString strTitle, strText;
    QTimer::singleShot(0,
                       [&]
                       {
                           QWidget* pBox = QApplication::activeModalWidget();
                           if (pBox == nullptr)
                               return;
                           strTitle = pBox->windowTitle();
                           if (const QLabel* pText = pBox->findChild<QLabel*>("aboutText"))
                               strText = pText->text();
                           if (QPushButton* pOk = pBox->findChild<QPushButton*>("1"))
                               pOk->click();
                       });
    gui.app->Router().Execute(ID_APP_ABOUT);
    EXPECT_EQ(strTitle, "About TeldViewGL");
    EXPECT_EQ(strText, "TeldViewGL Version 3.2");
}

TEST(MainFrame, HighlightedItemsShowTheirPromptAndItemsWithoutOneShowNothing)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    CExtraTarget flatShading(ID_VIEW_FLAT_SHADING);
    gui.app->Router().AddTarget(&flatShading);
    QMenu* pViewMenu = gui.Frame().Menus()[2];
    gui.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gui.Frame()));
    // Opened from the menu bar, as the user does: prompts travel from there to the frame.
    gui.Frame().menuBar()->setActiveAction(pViewMenu->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pViewMenu));
    ASSERT_TRUE(gui.Frame().FindAction(ID_VIEW_FLAT_SHADING)->isEnabled());

    pViewMenu->setActiveAction(gui.Frame().FindAction(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(gui.Frame().MessageText(), "Show or hide the status bar");
    pViewMenu->setActiveAction(gui.Frame().FindAction(ID_VIEW_FLAT_SHADING));
    EXPECT_EQ(gui.Frame().MessageText(), "");
    pViewMenu->hide();
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().MessageText(), "Ready");
    gui.app->Router().RemoveTarget(&flatShading);

    gui.app->Router().Execute(ID_APP_EXIT);
    EXPECT_FALSE(gui.Frame().isVisible());
}
