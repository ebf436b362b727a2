#pragma once

#include <QStringList>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "gui/AppObserver.h"
#include "platform/CmdTarget.h"
#include "platform/CommandRouter.h"

class CFileChangeWatch;
class CMainFrame;
class CMesh;
class CMeshPreloader;
struct SModelFormat;
class CQtUiServices;
class CTeldViewGLDoc;
class CTeldViewGLView;
class CUiServices;

// The application: settings and the five recent files, the document, the frame and the view,
// the command line, dropped files, and the commands Open, the recent files, Exit and About.
// Commands reach the view first, then the document, the frame and this object. Its member
// definitions are split by concern: start-up and exit here, opening files in
// TeldViewGLAppOpen.cpp, reading them again in TeldViewGLAppReload.cpp.
class CTeldViewGLApp : public CCmdTarget
{
public:
    static constexpr int RECENT_FILE_COUNT = 5;

    // What must be set before the QApplication exists: the compatibility-profile default
    // surface format (no multisampling, which would break reading pixels back) and shared
    // contexts, so that moving the view between windows keeps its display lists.
    static void PrepareQt();
    // Allocator settings for the window's process: the GL driver's large per-frame buffers
    // stay in the heap between frames instead of going back to the kernel after each one.
    static void PrepareAllocator();
    // Whether the platform can make an OpenGL context at all (it cannot, for one, with
    // QT_XCB_GL_INTEGRATION=none).
    static bool CanCreateGLContext();
    // The whole GUI run: QApplication, start-up, event loop. The exit status.
    static int Run(int argc, char** argv);

    // pUi: the services for messages and dialogs; null means the Qt ones.
    explicit CTeldViewGLApp(CUiServices* pUi = nullptr);
    ~CTeldViewGLApp() override;

    // Start-up: settings, document, frame and view, the window shown, then the command line
    // (the arguments after the program name). False when the file named there cannot be
    // opened, or when there is no OpenGL at all: the program then ends.
    bool InitInstance(const QStringList& arguments);

    // Opens a file as File > Open does, with the view's context current: what it holds decides
    // (the format table, FindModelFormatOfFile), not its name. A file of a document format (OFF)
    // becomes the document's file; another mesh file (STL) is taken in as the imports take it, so
    // Save asks for a name; a scene file loads as Load Scene loads it; content no format
    // recognises is "unexpected file format". False, after one message naming the file, when it
    // cannot be read;
    // then the document, the picture, the title and the recent files stay as they were (a scene
    // file keeps the meshes read before the one that failed, as Load Scene does).
    bool OpenDocumentFile(const std::string& strPath);
    // Several files open as one scene, in order: the first as OpenDocumentFile, then scene mode
    // (as Make Scene) and every other file added to it. A scene file may only come first. Stops
    // at the first file that fails, after its message. One file is OpenDocumentFile.
    bool OpenDocumentFiles(const std::vector<std::string>& paths);
    // A read of the command line's file started before the QApplication (see
    // PreloadCommandLineFile). The open of that very path takes its mesh instead of reading the
    // file again; any other path leaves it unused. InitInstance is done with it either way.
    void SetCommandLinePreload(std::unique_ptr<CMeshPreloader> pPreload);
    // Starts reading the file the command line names, guessed from the raw arguments from
    // argv[nFirst] on (before Qt takes its own options out): the first non-empty one, when it
    // names a regular mesh file (by content) and does not look like an option. Null when there is
    // none.
    static std::unique_ptr<CMeshPreloader> PreloadCommandLineFile(int argc, char** argv, int nFirst);
    // Has the closing of the window end the process (EndProcess), for the program itself; tests
    // keep their process. Called before InitInstance it holds from the window's start, so that
    // Exit ends the program while the command line's file loads too.
    void EndProcessOnClose();
    // Ends the process with nStatus once the settings are saved and the output is flushed: the
    // memory of a big model and the GL objects of a context that ends with the process go back to
    // the system as a whole instead of being freed one by one. Returns only while the program
    // holds the clipboard, so that the usual shut-down can hand a copied picture to the desktop's
    // clipboard manager.
    void EndProcess(int nStatus);
    void AddToRecentFileList(const std::string& strPath);
    const std::vector<std::string>& RecentFiles() const { return m_recentFiles; }

    CTeldViewGLDoc* GetDocument() const { return m_pDocument.get(); }
    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    CTeldViewGLView* GetView() const { return m_pView; }
    CCommandRouter& Router() { return m_router; }
    CUiServices& Ui() const { return *m_pUi; }
    // Who is told of the start's steps and of every open (the benchmarks); not owned. Set before
    // InitInstance.
    void SetObserver(CAppObserver* pObserver) { m_pObserver = pObserver; }

private:
    // The steps of InitInstance, in order.
    bool CreateDocumentFrameAndView();
    void ConnectCommands();
    bool ProcessCommandLine(const QStringList& arguments);
    void RegisterCommands();
    void RegisterOpenCommands();
    void RegisterReloadCommands();
    void OnFileOpen();
    void OnOpenRecentFile(int nID);
    void OnUpdateRecentFile(CCmdUI& ui);
    void OnAppExit();
    void OnAppAbout();
    void OnHelpKeysAndMouse();
    // Files dropped onto the window open as File > Open opens them, once the drop is over.
    void OnFilesDropped(const QStringList& files);
    void OnFileReload();
    // File > Reload: the files of the scene's meshes read again (only strOnly's when given), on
    // the worker thread as an open reads them, into the objects that show them; the camera, the
    // objects' poses, keyframes and display settings stay. Should any file fail to read, nothing
    // changes, and why is said in a message box, or for an automatic reload (bAutomatic) in the
    // status bar. False then, and when there is nothing to read.
    bool ReloadFiles(const std::string& strOnly, bool bAutomatic);
    void OnUpdateFileReload(CCmdUI& ui);
    void OnFileReloadOnChange();
    void OnUpdateFileReloadOnChange(CCmdUI& ui);
    // The watch of the opened files, told of every change of the scene's content.
    void ConnectReload();
    // Reload on Change: the watch follows the files the scene's meshes were read from.
    void WatchOpenedFiles();
    // A watched file changed and settled: it is read again once nothing stands in the way.
    void OnFileSettled(const std::string& strPath);
    void LoadStdProfileSettings();
    // Writes the recent files and Reload on Change now, after any write still on its way.
    void SaveStdProfileSettings();
    // The same on a worker: the settings file is synced to disk, which may take long while the
    // system writes much else, and the window must not wait for it (an open would stall).
    void SaveSettingsInBackground();
    static void WriteSettings(const std::vector<std::string>& files, bool bReloadOnChange);
    // Lets the shown window create the view's context and run initializeGL.
    void WaitForContext();
    // A mesh file read on the worker thread, with the read started before the window when there
    // is one, and taken into the document.
    bool OpenMesh(const std::string& strPath, const SModelFormat& format);
    bool OpenScene(const std::string& strPath);
    // The view after a read: what follows a load, or what a failure left. Returns bOpened.
    bool ShowOpened(bool bOpened);
    // The read started before the window when it reads strPath as the format, else null; the
    // start-up's read is used up either way.
    std::unique_ptr<CMeshPreloader> TakePreload(const std::string& strPath, const SModelFormat& format);

    std::unique_ptr<CQtUiServices> m_pQtUi;
    CUiServices* m_pUi;
    CCommandRouter m_router;
    std::vector<std::string> m_recentFiles;
    bool m_bReloadOnChange = true;
    std::future<void> m_settingsWrite;
    // The frame (with the view) goes before the document, while the context can still release
    // the document's GL objects.
    std::unique_ptr<CTeldViewGLDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bEndProcessOnClose = false;
    CTeldViewGLView* m_pView = nullptr;
    std::unique_ptr<CMeshPreloader> m_pPreload;
    CAppObserver* m_pObserver = nullptr;
    std::unique_ptr<CFileChangeWatch> m_pWatch;
};
