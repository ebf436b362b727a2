#pragma once

#include <QStringList>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/CmdTarget.h"
#include "platform/CommandRouter.h"

class CMainFrame;
class CQtUiServices;
class CTeldViewGLDoc;
class CTeldViewGLView;
class CUiServices;

// The application: settings and the five recent files, the document, the frame and the view,
// the command line, and the commands Open, the recent files, Exit and About. Commands reach
// the view first, then the document, the frame and this object.
class CTeldViewGLApp : public CCmdTarget
{
public:
    static constexpr int RECENT_FILE_COUNT = 5;

    // What must be set before the QApplication exists: the compatibility-profile default
    // surface format (no multisampling, which would break reading pixels back) and shared
    // contexts, so that moving the view between windows keeps its display lists.
    static void PrepareQt();
    // The whole GUI run: QApplication, start-up, event loop. The exit status.
    static int Run(int argc, char** argv);
    // As Run, but quits after the first frame of FILE is on screen and prints where the time
    // went. tStart is when main began.
    static int RunStartupBenchmark(int argc, char** argv, std::chrono::steady_clock::time_point tStart);

    // pUi: the services for messages and dialogs; null means the Qt ones.
    explicit CTeldViewGLApp(CUiServices* pUi = nullptr);
    ~CTeldViewGLApp() override;

    // Start-up: settings, document, frame and view, the window shown, then the command line
    // (the arguments after the program name). False when the file named there cannot be
    // opened: the program then ends.
    bool InitInstance(const QStringList& arguments);

    // Opens a file as File > Open does, with the view's context current; false (after the
    // document's message) when it cannot be read.
    bool OpenDocumentFile(const std::string& strPath);
    // The command line also takes scene files and STL files (binary or ASCII by content),
    // loaded as Load Scene and the STL imports load them.
    bool OpenCommandLineFile(const std::string& strPath);
    void AddToRecentFileList(const std::string& strPath);
    const std::vector<std::string>& RecentFiles() const { return m_recentFiles; }

    CTeldViewGLDoc* GetDocument() const { return m_pDocument.get(); }
    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    CTeldViewGLView* GetView() const { return m_pView; }
    CCommandRouter& Router() { return m_router; }
    CUiServices& Ui() const { return *m_pUi; }

private:
    void RegisterCommands();
    void OnFileOpen();
    void OnOpenRecentFile(int nID);
    void OnAppAbout();
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;
    // Lets the shown window create the view's context and run initializeGL.
    void WaitForContext();

    std::unique_ptr<CQtUiServices> m_pQtUi;
    CUiServices* m_pUi;
    CCommandRouter m_router;
    std::vector<std::string> m_recentFiles;
    // The frame (with the view) goes before the document, while the context can still release
    // the document's GL objects.
    std::unique_ptr<CTeldViewGLDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pFrame;
    CTeldViewGLView* m_pView = nullptr;
};
