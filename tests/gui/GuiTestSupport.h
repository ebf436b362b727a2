#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QLabel>
#include <QString>

#include <initializer_list>
#include <memory>
#include <string>

#include "gui/MainFrame.h"
#include "gui/TeldViewGLApp.h"
#include "gui/view/TeldViewGLView.h"
#include "model/SceneObject.h"
#include "model/TeldViewGLDoc.h"
#include "platform/CommandIds.h"
#include "platform/ScriptedUiServices.h"

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
    // One letter per command: 'C'hecked, 'E'nabled or '-' disabled.
    std::string States(std::initializer_list<int> ids) const
    {
        std::string str;
        for (const int nID : ids)
        {
            const CCmdUI ui = app->Router().Update(nID);
            str += ui.m_bChecked ? 'C' : ui.m_bEnabled ? 'E' : '-';
        }
        return str;
    }
    QString PaneText(int nID) const
    {
        Frame().OnIdleUpdate();
        return Frame().Pane(nID)->text();
    }

    CScriptedUiServices ui;
    std::unique_ptr<CTeldViewGLApp> app;
    bool bStarted;
};

// The names of the scene's objects in list order, camera first.
inline std::string ObjectNames(const CTeldViewGLDoc& doc)
{
    std::string strNames;
    for (const CSceneObject* p = doc.m_pObjectList; p != nullptr; p = p->m_pNext)
        strNames += (p == doc.m_pObjectList ? "" : " ") + p->m_strName;
    return strNames;
}

inline std::string Example(const char* pszName)
{
    return std::string(TELDVIEW_EXAMPLES_DIR) + "/" + pszName;
}

// The running test's own folders, made when it starts and removed when it ends: the settings
// (the recent-file list) and a scratch folder for its files.
QString SettingsFolder();
std::string ScratchPath(const QString& strName);

// A file of the scratch folder with the given bytes; its path.
inline std::string WriteScratch(const QString& strName, const QByteArray& bytes)
{
    const std::string strPath = ScratchPath(strName);
    QFile file(QString::fromStdString(strPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << strPath;
    return strPath;
}

// A copy of an example in the scratch folder, for tests that change or delete it.
inline std::string CopyExample(const char* pszName)
{
    const std::string strPath = ScratchPath(QString::fromUtf8(pszName));
    if (!QFile::copy(QString::fromStdString(Example(pszName)), QString::fromStdString(strPath)))
        ADD_FAILURE() << "cannot copy " << pszName;
    return strPath;
}
