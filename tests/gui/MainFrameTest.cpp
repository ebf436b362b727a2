#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "GuiTestSupport.h"
#include "X11TestHelpers.h"
#include "model/Camera.h"

namespace
{
// Flat Shading has no handler in the program yet.
struct CFlatShadingHandler : CCmdTarget
{
    CFlatShadingHandler()
    {
        OnCommand(ID_VIEW_FLAT_SHADING, [] {});
    }
};
} // namespace

TEST(MainFrame, OnlyHandledCommandsAreEnabledAndMenusUpdateAsTheyOpen)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    // Texture Map stands in the View and the Textures menus: both must follow its state.
    EXPECT_EQ(gui.Frame().FindActions(ID_VIEW_TEXTURE_MAP).size(), 2);

    // Only handled commands are enabled.
    gui.Frame().OnIdleUpdate();
    for (const int nID : {ID_FILE_NEW, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_PASTE, ID_VIEW_FLAT_SHADING,
                          ID_NEXT_PANE, ID_VIEW_SELECT_NEXT, ID_VIEW_SELECT_PREVIOUS})
    {
        const QAction* pAction = gui.Frame().FindAction(nID); // none for the F6 accelerator
        EXPECT_FALSE(gui.app->Router().Update(nID).m_bEnabled || (pAction != nullptr && pAction->isEnabled()))
            << nID;
    }
    for (const int nID : {ID_FILE_OPEN, ID_FILE_SAVE, ID_APP_EXIT, ID_APP_ABOUT, ID_VIEW_STATUS_BAR})
        EXPECT_TRUE(gui.Frame().FindAction(nID)->isEnabled()) << nID;
    // The keys help lists the view's own inputs and every shortcut by its command's name.
    gui.Execute(ID_HELP_KEYS_AND_MOUSE);
    ASSERT_FALSE(gui.ui.m_messages.empty());
    for (const char* pszLine :
         {"\nLeft drag: turn", "\nSpace: show", "\nCtrl+O: Open\n", "\nN: Select Next Object\n",
          "\nCtrl+C, Ctrl+Ins: Copy\n", "\nNum+5, Num+Clear: Orthographic\n"})
        EXPECT_NE(gui.ui.m_messages.back().find(pszLine), std::string::npos) << pszLine;
    EXPECT_EQ(gui.ui.m_captions.back(), "Keys and Mouse");
    // No recent file: the grayed placeholder stands for the list.
    EXPECT_FALSE(gui.Frame().FindAction(ID_FILE_MRU_FILE1)->isEnabled());

    // Opening a menu recomputes its states without waiting for idle.
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    QMetaObject::invokeMethod(gui.Frame().Menus()[2], "aboutToShow");
    EXPECT_TRUE(gui.Frame().FindAction(ID_VIEW_SELECT_PREVIOUS)->isEnabled());
    EXPECT_FALSE(gui.Frame().FindAction(ID_VIEW_SELECT_NEXT)->isEnabled());

    EXPECT_TRUE(gui.Frame().FindAction(ID_VIEW_STATUS_BAR)->isChecked());
    gui.Execute(ID_VIEW_STATUS_BAR);
    gui.Frame().OnIdleUpdate();
    EXPECT_TRUE(gui.Frame().statusBar()->isHidden());
    EXPECT_FALSE(gui.Frame().FindAction(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST(MainFrame, KeysNAndPSelectObjectsWhileTheViewHasFocus)
{
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Doc().m_bScene = true;
    ASSERT_TRUE(gui.Open(Example("cube.off")));
    ASSERT_TRUE(gui.Open(Example("colored.off")));
    CSceneObject* pFirst = gui.Doc().m_pCamera->m_pNext;
    ASSERT_EQ(gui.Doc().m_pCurrentObject, pFirst->m_pNext);
    gui.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gui.Frame()));
    gui.View().setFocus();
    ASSERT_TRUE(gui.View().hasFocus());

    QTest::keyClick(&gui.View(), Qt::Key_P);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, pFirst);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "cube.off");
    // At the head P is disabled and changes nothing; Ctrl+N (New, unhandled) is not N.
    QTest::keyClick(&gui.View(), Qt::Key_P);
    QTest::keyClick(&gui.View(), Qt::Key_P);
    QTest::keyClick(&gui.View(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, gui.Doc().m_pCamera);
    EXPECT_EQ(gui.Doc().m_pCamera->m_pNext, pFirst);
    QTest::keyClick(&gui.View(), Qt::Key_N);
    QTest::keyClick(&gui.View(), Qt::Key_N);
    EXPECT_EQ(gui.Doc().m_pCurrentObject, pFirst->m_pNext);
}

TEST(MainFrame, StatusBarPanesAndMessages)
{
    CFlatShadingHandler flatShading; // outlives the application that routes to it
    SGuiApp gui;
    ASSERT_TRUE(gui.bStarted);
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().MessageText(), "Ready");
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "Camera");
    ASSERT_TRUE(gui.Open(Example("textured_box.off")));
    EXPECT_EQ(gui.PaneText(ID_VIEW_SIZE),
              QString("%1 x %2").arg(gui.View().width()).arg(gui.View().height()));
    // A name longer than the sizing string widens its pane; a very long one is cut in the middle
    // within a third of the window. The tool tip holds the whole name.
    const QLabel* pName = gui.Frame().Pane(ID_SELECTED_MESH);
    EXPECT_EQ(gui.PaneText(ID_SELECTED_MESH), "textured_box.off");
    EXPECT_GE(pName->maximumWidth(), pName->fontMetrics().horizontalAdvance("textured_box.off"));
    EXPECT_EQ(pName->toolTip(), "textured_box.off");
    const QString strLong = QString(200, u'x') + ".off";
    gui.View().m_strSelectedName = strLong.toStdString();
    const QString strCut = gui.PaneText(ID_SELECTED_MESH);
    EXPECT_TRUE(strCut.contains(QChar(0x2026)) && strCut.endsWith("x.off")) << strCut.toStdString();
    EXPECT_LE(pName->maximumWidth(), gui.Frame().width() / 3);
    EXPECT_EQ(pName->toolTip(), strLong);

    // The lock-key panes show their text only while the lock is on; Xvfb starts with all off.
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_NUM), "");
    ASSERT_TRUE(SetX11CapsLock(true));
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_CAPS), "CAP");
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_SCRL), "");
    ASSERT_TRUE(SetX11CapsLock(false));
    EXPECT_EQ(gui.PaneText(ID_INDICATOR_CAPS), "");
    const QLabel* pScroll = gui.Frame().Pane(ID_INDICATOR_SCRL);
    EXPECT_GE(pScroll->width(), pScroll->fontMetrics().horizontalAdvance("SCRL"));

    // A highlighted item shows its prompt; one without a prompt (given a handler so it is
    // enabled) shows nothing.
    gui.app->Router().AddTarget(&flatShading);
    QMenu* pViewMenu = gui.Frame().Menus()[2];
    gui.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gui.Frame()));
    // Opened from the menu bar, as the user does: prompts travel from there to the frame.
    gui.Frame().menuBar()->setActiveAction(pViewMenu->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pViewMenu));
    pViewMenu->setActiveAction(gui.Frame().FindAction(ID_VIEW_STATUS_BAR));
    EXPECT_EQ(gui.Frame().MessageText(), "Show or hide the status bar");
    pViewMenu->setActiveAction(gui.Frame().FindAction(ID_VIEW_FLAT_SHADING));
    EXPECT_EQ(gui.Frame().MessageText(), "");
    pViewMenu->hide();
    gui.Frame().OnIdleUpdate();
    EXPECT_EQ(gui.Frame().MessageText(), "Ready");

    gui.Execute(ID_APP_EXIT);
    EXPECT_FALSE(gui.Frame().isVisible());
}
