#include "gui/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QUrl>

#include <algorithm>

#include "gui/Resources.h"
#include "platform/CommandIds.h"
#include "platform/CommandRouter.h"
#include "platform/Document.h"

namespace
{
// Events after which the framework would run its idle update: input, timers, focus and window
// changes. Paint and layout events are left out, so the idle update cannot feed itself.
bool TriggersIdle(QEvent::Type nType)
{
    switch (nType)
    {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Timer:
    case QEvent::FocusIn:
    case QEvent::WindowActivate:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        return true;
    default:
        return false;
    }
}

// Room for a pane's frame and a little space beside its text.
int PaneMargin(const QLabel* pLabel)
{
    return 2 * pLabel->frameWidth() + 8;
}

QString RecentFileText(int nIndex, const std::string& strPath)
{
    const QString strFull = QString::fromStdString(strPath);
    const QFileInfo info(strFull);
    // Files of the working directory go by their name, others by their whole path.
    QString strName = info.absolutePath() == QDir::currentPath() ? info.fileName() : strFull;
    strName.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(strName);
}
} // namespace

CMainFrame::CMainFrame(CCommandRouter& router, QWidget* pParent) : QMainWindow(pParent), m_router(router)
{
    resize(800, 600);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(0);
    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::OnIdleUpdate);
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    RegisterCommands();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

bool CMainFrame::OnCreate()
{
    for (const SMenu& menu : Resources::MainMenu())
        m_menus.push_back(BuildMenu(menu));
    CreateAccelerators();
    return CreateStatusBar();
}

void CMainFrame::RegisterCommands()
{
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    OnUpdateCommand(ID_VIEW_STATUS_BAR,
                    [this](CCmdUI& ui)
                    {
                        ui.Enable();
                        ui.SetCheck(!statusBar()->isHidden());
                    });
    OnUpdateCommand(ID_INDICATOR_CAPS,
                    [this](CCmdUI& ui) { ui.Enable(m_lockKeys.IsOn(CLockKeyState::KEY_CAPS)); });
    OnUpdateCommand(ID_INDICATOR_NUM,
                    [this](CCmdUI& ui) { ui.Enable(m_lockKeys.IsOn(CLockKeyState::KEY_NUM)); });
    OnUpdateCommand(ID_INDICATOR_SCRL,
                    [this](CCmdUI& ui) { ui.Enable(m_lockKeys.IsOn(CLockKeyState::KEY_SCROLL)); });
}

QMenu* CMainFrame::BuildMenu(const SMenu& menu)
{
    QMenu* pMenu = menuBar()->addMenu(QString::fromUtf8(menu.pszTitle));
    for (const SMenuItem& item : menu.items)
    {
        if (item.pszText == nullptr)
        {
            pMenu->addSeparator();
            continue;
        }
        QAction* pAction = CreateCommandAction(item.nID, QString::fromUtf8(item.pszText), pMenu);
        pMenu->addAction(pAction);
        // Grayed items stay disabled until an update finds a handler for them.
        pAction->setEnabled(!item.bGrayed);
        if (item.nID == ID_FILE_MRU_FILE1)
        {
            m_pFileMenu = pMenu;
            m_pRecentPlaceholder = pAction;
        }
    }
    connect(pMenu, &QMenu::aboutToShow, this,
            [this, pMenu]
            {
                if (pMenu == m_pFileMenu)
                    RebuildRecentFileMenu();
                UpdateMenu(pMenu);
            });
    return pMenu;
}

QAction* CMainFrame::CreateCommandAction(int nID, const QString& strText, QMenu* pMenu)
{
    // The accelerator text after "\t" is shown by the menu; the keys themselves are window
    // shortcuts, so an action never competes with them.
    auto* pAction = new QAction(strText, pMenu);
    pAction->setData(nID);
    pAction->setStatusTip(QString::fromStdString(Resources::Prompt(nID)));
    const std::string strShort = Resources::ShortName(nID);
    if (!strShort.empty())
        pAction->setToolTip(QString::fromStdString(strShort));
    connect(pAction, &QAction::triggered, this, [this, nID] { m_router.Execute(nID); });
    return pAction;
}

void CMainFrame::CreateAccelerators()
{
    for (const SAccelerator& accel : Resources::Accelerators())
    {
        auto* pShortcut = new QShortcut(QKeySequence(QString::fromUtf8(accel.pszKeys)), this);
        pShortcut->setContext(Qt::WindowShortcut);
        const int nID = accel.nID;
        connect(pShortcut, &QShortcut::activated, this,
                [this, nID]
                {
                    m_router.Execute(nID);
                    ScheduleIdle();
                });
    }
}

bool CMainFrame::CreateStatusBar()
{
    QStatusBar* pBar = statusBar();
    pBar->setObjectName(QString::number(ID_VIEW_STATUS_BAR));
    m_pMessagePane = new QLabel(pBar);
    m_pMessagePane->setObjectName(QStringLiteral("0"));
    SetMessageText(QString::fromUtf8(Resources::LoadString(AFX_IDS_IDLEMESSAGE)));
    pBar->addWidget(m_pMessagePane, 1);

    for (const int nID : Resources::IndicatorPanes())
    {
        const char* pszSizing = Resources::LoadString(nID);
        if (pszSizing == nullptr)
            return false;
        auto* pLabel = new QLabel(QString::fromUtf8(pszSizing), pBar);
        pLabel->setObjectName(QString::number(nID));
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The sizing string gives the pane its least width.
        const int nMinWidth = pLabel->fontMetrics().horizontalAdvance(pLabel->text()) + PaneMargin(pLabel);
        pLabel->setFixedWidth(nMinWidth);
        pBar->addPermanentWidget(pLabel);
        m_panes.push_back(SPane{nID, pLabel, pLabel->text(), nMinWidth});
    }
    return true;
}

void CMainFrame::RebuildRecentFileMenu()
{
    if (m_pFileMenu == nullptr || m_pRecentPlaceholder == nullptr)
        return;
    for (QAction* pAction : m_recentActions)
        delete pAction;
    m_recentActions.clear();
    const std::vector<std::string> files = m_fnRecentFiles ? m_fnRecentFiles() : std::vector<std::string>();
    const int nCount =
        static_cast<int>(std::min<size_t>(files.size(), ID_FILE_MRU_FILE5 - ID_FILE_MRU_FILE1 + 1));
    // With no file the grayed "Recent File" placeholder stands in for the list.
    m_pRecentPlaceholder->setVisible(nCount == 0);
    for (int i = 0; i < nCount; ++i)
    {
        QAction* pAction =
            CreateCommandAction(ID_FILE_MRU_FILE1 + i, RecentFileText(i, files[i]), m_pFileMenu);
        m_pFileMenu->insertAction(m_pRecentPlaceholder, pAction);
        m_recentActions.push_back(pAction);
    }
}

void CMainFrame::UpdateAction(QAction* pAction)
{
    const int nID = pAction->data().toInt();
    if (nID == 0 || pAction->isSeparator())
        return;
    const CCmdUI ui = m_router.Update(nID);
    pAction->setEnabled(ui.m_bEnabled);
    // Only checked items are checkable, so unchecked ones look like plain commands.
    if (pAction->isCheckable() != ui.m_bChecked)
        pAction->setCheckable(ui.m_bChecked);
    pAction->setChecked(ui.m_bChecked);
    if (ui.m_bHasText)
        pAction->setText(QString::fromStdString(ui.m_strText));
}

void CMainFrame::UpdateMenu(QMenu* pMenu)
{
    for (QAction* pAction : pMenu->actions())
        UpdateAction(pAction);
}

void CMainFrame::UpdatePanes()
{
    m_lockKeys.Refresh();
    for (SPane& pane : m_panes)
    {
        const CCmdUI ui = m_router.Update(pane.nID);
        if (ui.m_bHasText)
            pane.strText = QString::fromStdString(ui.m_strText);
        // A disabled pane shows no text (a lock that is off, a pane nobody fills).
        ShowPaneText(pane, ui.m_bEnabled ? pane.strText : QString());
    }
}

void CMainFrame::ShowPaneText(const SPane& pane, const QString& strText)
{
    // A longer text than the sizing string widens the pane, up to a third of the window; beyond
    // that it is cut in the middle, where a file name can best spare it. The tool tip always
    // holds all of it.
    QLabel* pLabel = pane.pLabel;
    const QFontMetrics metrics = pLabel->fontMetrics();
    const int nMargin = PaneMargin(pLabel);
    const int nWanted = metrics.horizontalAdvance(strText) + nMargin;
    const int nWidth = std::clamp(nWanted, pane.nMinWidth, std::max(pane.nMinWidth, width() / 3));
    const QString strFitted =
        nWanted <= nWidth ? strText : metrics.elidedText(strText, Qt::ElideMiddle, nWidth - nMargin);
    if (pLabel->maximumWidth() != nWidth)
        pLabel->setFixedWidth(nWidth);
    if (pLabel->text() != strFitted)
        pLabel->setText(strFitted);
    if (pLabel->toolTip() != strText)
        pLabel->setToolTip(strText);
}

void CMainFrame::OnIdleUpdate()
{
    for (QMenu* pMenu : m_menus)
        UpdateMenu(pMenu);
    UpdatePanes();
    if (QApplication::activePopupWidget() == nullptr)
        SetMessageText(IdleText());
    if (m_pDocument != nullptr)
    {
        const QString strTitle = FrameTitle(m_pDocument->GetTitle());
        if (windowTitle() != strTitle)
            setWindowTitle(strTitle);
    }
}

QString CMainFrame::FrameTitle(const std::string& strDocTitle)
{
    return QString::fromStdString(strDocTitle) + QStringLiteral(" - ") +
           QString::fromUtf8(Resources::LoadString(AFX_IDS_APP_TITLE));
}

void CMainFrame::SetMessageText(const QString& strText)
{
    if (m_pMessagePane != nullptr && m_pMessagePane->text() != strText)
        m_pMessagePane->setText(strText);
}

void CMainFrame::SetBusyMessage(const QString& strText)
{
    m_strBusyMessage = strText;
    if (QApplication::activePopupWidget() == nullptr)
        SetMessageText(IdleText());
}

QString CMainFrame::IdleText() const
{
    return m_strBusyMessage.isEmpty() ? QString::fromUtf8(Resources::LoadString(AFX_IDS_IDLEMESSAGE))
                                      : m_strBusyMessage;
}

QString CMainFrame::MessageText() const
{
    return m_pMessagePane != nullptr ? m_pMessagePane->text() : QString();
}

QList<QAction*> CMainFrame::FindActions(int nID) const
{
    QList<QAction*> found;
    for (const QMenu* pMenu : m_menus)
        for (QAction* pAction : pMenu->actions())
            if (!pAction->isSeparator() && pAction->data().toInt() == nID)
                found.push_back(pAction);
    return found;
}

QAction* CMainFrame::FindAction(int nID) const
{
    const QList<QAction*> found = FindActions(nID);
    return found.isEmpty() ? nullptr : found.front();
}

QLabel* CMainFrame::Pane(int nID) const
{
    for (const SPane& pane : m_panes)
        if (pane.nID == nID)
            return pane.pLabel;
    return nullptr;
}

bool CMainFrame::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::StatusTip)
    {
        const QString strTip = static_cast<QStatusTipEvent*>(pEvent)->tip();
        if (!strTip.isEmpty())
            SetMessageText(strTip);
        else
        {
            // An item without a prompt shows an empty pane while it is highlighted; leaving the
            // menus brings "Ready" back.
            const auto* pPopup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            const QAction* pActive = pPopup != nullptr ? pPopup->activeAction() : nullptr;
            const bool bItemHighlighted =
                pActive != nullptr && !pActive->isSeparator() && pActive->menu() == nullptr;
            SetMessageText(bItemHighlighted ? QString() : IdleText());
        }
        return true;
    }
    return QMainWindow::event(pEvent);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    QMainWindow::closeEvent(pEvent);
    if (pEvent->isAccepted())
        emit Closed();
}

QStringList CMainFrame::DroppableFiles(const QMimeData* pData) const
{
    QStringList files;
    if (pData == nullptr || !pData->hasUrls() || !m_router.Update(ID_FILE_OPEN).m_bEnabled)
        return files;
    for (const QUrl& url : pData->urls())
    {
        if (!url.isLocalFile())
            return QStringList();
        files << url.toLocalFile();
    }
    return files;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (!DroppableFiles(pEvent->mimeData()).isEmpty())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent)
{
    const QStringList files = DroppableFiles(pEvent->mimeData());
    if (files.isEmpty())
        return;
    pEvent->acceptProposedAction();
    emit FilesDropped(files);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched != &m_idleTimer && TriggersIdle(pEvent->type()))
        ScheduleIdle();
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::ScheduleIdle()
{
    if (!m_idleTimer.isActive())
        m_idleTimer.start();
}
