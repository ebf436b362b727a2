#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "gui/LockKeyState.h"
#include "platform/CmdTarget.h"

class CCommandRouter;
class CDocument;
class QAction;
class QLabel;
class QMenu;
class QMimeData;
struct SMenu;

// The main window: menu bar and accelerators built from the resource tables, the status bar
// with its seven panes (message pane, 103, 102, 101, CAP, NUM, SCRL), the title, and the idle
// update that recomputes every item's enable and check state and every pane's text. It handles
// the Status Bar toggle and the lock-key panes itself.
class CMainFrame : public QMainWindow, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CMainFrame(CCommandRouter& router, QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Menus, accelerators and status bar; false when the status bar could not be set up.
    bool OnCreate();
    void SetDocument(const CDocument* pDocument) { m_pDocument = pDocument; }
    // The recent files, most recent first; read whenever the File menu opens.
    void SetRecentFileSource(std::function<std::vector<std::string>()> fn)
    {
        m_fnRecentFiles = std::move(fn);
    }

    // What the framework does on idle: item states, pane texts, the message pane and the title.
    void OnIdleUpdate();
    // Enable and check states of one menu's items (when it opens).
    void UpdateMenu(QMenu* pMenu);
    void RebuildRecentFileMenu();

    void SetMessageText(const QString& strText);
    // A message that stands in for the idle text ("Ready") while it is set, such as the progress
    // of a load; empty gives the idle text back.
    void SetBusyMessage(const QString& strText);
    QString MessageText() const;
    // Every menu item with this command id, in menu order (Texture Map stands in two menus).
    QList<QAction*> FindActions(int nID) const;
    QAction* FindAction(int nID) const;
    QLabel* MessagePane() const { return m_pMessagePane; }
    // The label of pane nID (103, 102, 101, 59137, 59138, 59139), or nullptr.
    QLabel* Pane(int nID) const;
    const std::vector<QMenu*>& Menus() const { return m_menus; }
    // The window title for a document title: "<title> - TeldViewGL".
    static QString FrameTitle(const std::string& strDocTitle);

signals:
    // The window has accepted a close (its close button, or Exit).
    void Closed();
    // Files were dropped onto the window, in the order the drag listed them.
    void FilesDropped(const QStringList& files);

protected:
    bool event(QEvent* pEvent) override;
    // A drag of local files is taken whenever File > Open is offered (not while a file loads).
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    struct SPane
    {
        int nID;
        QLabel* pLabel;
        QString strText;
        int nMinWidth; // fits the sizing string
    };

    QMenu* BuildMenu(const SMenu& menu);
    QAction* CreateCommandAction(int nID, const QString& strText, QMenu* pMenu);
    void CreateAccelerators();
    bool CreateStatusBar();
    void UpdateAction(QAction* pAction);
    void UpdatePanes();
    void ShowPaneText(const SPane& pane, const QString& strText);
    void RegisterCommands();
    void ScheduleIdle();
    // What the message pane shows when nothing else speaks: the busy message, or "Ready".
    QString IdleText() const;
    // The local files a drag carries; empty when it carries anything else too.
    QStringList DroppableFiles(const QMimeData* pData) const;

    CCommandRouter& m_router;
    const CDocument* m_pDocument = nullptr;
    std::function<std::vector<std::string>()> m_fnRecentFiles;
    std::vector<QMenu*> m_menus;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;
    std::vector<QAction*> m_recentActions;
    QLabel* m_pMessagePane = nullptr;
    QString m_strBusyMessage;
    std::vector<SPane> m_panes;
    CLockKeyState m_lockKeys;
    QTimer m_idleTimer;
};
