#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>
#include <string>

#include "app/MainFrame.h"
#include "app/TeldViewGLApp.h"
#include "platform/CommandRouter.h"
#include "platform/ScriptedUiServices.h"
#include "scene/TeldViewGLDoc.h"
#include "view/TeldViewGLView.h"

inline void PrintTo(const QString& str, std::ostream* pOut)
{
    *pOut << '"' << str.toStdString() << '"';
}

// The application started with scripted dialogs and messages, as a test drives it.
struct SGuiApp
{
    explicit SGuiApp(const QStringList& arguments = {})
    {
        app = std::make_unique<CTeldViewGLApp>(&ui);
        bStarted = app->InitInstance(arguments);
    }
    CMainFrame& Frame() const { return *app->GetMainFrame(); }
    CTeldViewGLView& View() const { return *app->GetView(); }
    CTeldViewGLDoc& Doc() const { return *app->GetDocument(); }
    bool Enabled(int nID) const { return app->Router().Update(nID).m_bEnabled; }
    QString PaneText(int nID) const
    {
        Frame().OnIdleUpdate();
        return Frame().Pane(nID)->text();
    }

    CScriptedUiServices ui;
    std::unique_ptr<CTeldViewGLApp> app;
    bool bStarted = false;
};

inline std::string Example(const char* pszName)
{
    return std::string(TELDVIEW_EXAMPLES_DIR) + "/" + pszName;
}

// Copies a bundled example into dir, so a test may save over it.
inline std::string CopyExample(const QTemporaryDir& dir, const char* pszName)
{
    const QString strTarget = dir.filePath(QString::fromUtf8(pszName));
    QFile::copy(QString::fromStdString(Example(pszName)), strTarget);
    return strTarget.toStdString();
}
