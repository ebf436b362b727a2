#pragma once

#include <gtest/gtest.h>

#include <QLabel>

#include <memory>
#include <string>

#include "app/MainFrame.h"
#include "app/TeldViewGLApp.h"
#include "platform/CommandIds.h"
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
        : app(std::make_unique<CTeldViewGLApp>(&ui)), bStarted(app->InitInstance(arguments))
    {
    }
    CMainFrame& Frame() const { return *app->GetMainFrame(); }
    CTeldViewGLView& View() const { return *app->GetView(); }
    CTeldViewGLDoc& Doc() const { return *app->GetDocument(); }
    bool Open(const std::string& strPath) const { return app->OpenDocumentFile(strPath); }
    void Execute(int nID) const { app->Router().Execute(nID); }
    QString PaneText(int nID) const
    {
        Frame().OnIdleUpdate();
        return Frame().Pane(nID)->text();
    }

    CScriptedUiServices ui;
    std::unique_ptr<CTeldViewGLApp> app;
    bool bStarted;
};

inline std::string Example(const char* pszName)
{
    return std::string(TELDVIEW_EXAMPLES_DIR) + "/" + pszName;
}
