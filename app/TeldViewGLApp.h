#pragma once

#include <QStringList>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/CmdTarget.h"
#include "platform/CommandRouter.h"

class CMainFrame;
class CMesh;
class CMeshPreloader;
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

    // Where the time of a start with a file goes, for the start-up benchmark: when each step
    // ended, and how many page faults the GUI thread had taken by then.
    struct SStartupTrace
    {
        enum
        {
            TRACE_QT = 0,     // the QApplication exists
            TRACE_WINDOW,     // window shown and exposed, context ready
            TRACE_READ_TAKEN, // the GUI thread has the mesh read ahead
            TRACE_OPENED,     // the document holds the mesh and its display list
            TRACE_DRAWN,      // the first frame with the mesh is drawn
            TRACE_SWAPPED,    // ... and on screen
            TRACE_COUNT
        };
        using TimePoint = std::chrono::steady_clock::time_point;
        // Records step nStep (once) on the calling thread.
        void Mark(int nStep);
        bool Has(int nStep) const { return m_t[nStep] != TimePoint(); }

        TimePoint m_tMain; // main began
        TimePoint m_t[TRACE_COUNT] = {};
        long m_nFaults[TRACE_COUNT] = {};
        TimePoint m_tReadStart; // the worker's read, when there was one
        TimePoint m_tReadEnd;
        bool m_bPreloaded = false;
        int m_nFrames = 0;       // frames drawn so far
        int m_nMeshFrames = 0;   // of which with a mesh
        int m_nFirstFrameMs = 0; // the first frame with the mesh: its own drawing time
    };

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
    // As Run, but quits after the first frame of FILE is on screen and prints where the time
    // went. tStart is when main began.
    static int RunStartupBenchmark(int argc, char** argv, std::chrono::steady_clock::time_point tStart);
    // Opens FILE, spins it for some seconds (4 unless given after FILE) and prints the spin
    // period, the frame times, the ticks per drawn frame, pane 102 and the idle update's cost.
    static int RunSpinBenchmark(int argc, char** argv);
    // Starts empty, runs Import from Binary STL on FILE and prints how long the command and the
    // first frame with the mesh took.
    static int RunImportBenchmark(int argc, char** argv);
    // A benchmark's own arguments: the command line without the program and pszMode.
    static QStringList BenchmarkArguments(const char* pszMode);

    // pUi: the services for messages and dialogs; null means the Qt ones.
    explicit CTeldViewGLApp(CUiServices* pUi = nullptr);
    ~CTeldViewGLApp() override;

    // Start-up: settings, document, frame and view, the window shown, then the command line
    // (the arguments after the program name). False when the file named there cannot be
    // opened, or when there is no OpenGL at all: the program then ends.
    bool InitInstance(const QStringList& arguments);

    // Opens a file as File > Open does, with the view's context current; false (after the
    // document's message) when it cannot be read.
    bool OpenDocumentFile(const std::string& strPath);
    // The command line also takes scene files and STL files (binary or ASCII by content), read
    // as Load Scene and the STL imports read them; the file's name becomes the title.
    bool OpenCommandLineFile(const std::string& strPath);
    // A read of the command line's file started before the QApplication (see
    // PreloadCommandLineFile). The open of that very path takes its mesh instead of reading the
    // file again; any other path leaves it unused. InitInstance is done with it either way.
    void SetCommandLinePreload(std::unique_ptr<CMeshPreloader> pPreload);
    // Starts reading the file the command line names, guessed from the raw arguments from
    // argv[nFirst] on (before Qt takes its own options out): the first non-empty one, when it
    // names an OFF or STL file and does not look like an option. Null when there is none.
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

private:
    void RegisterCommands();
    void OnFileOpen();
    void OnOpenRecentFile(int nID);
    void OnAppAbout();
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;
    // Lets the shown window create the view's context and run initializeGL.
    void WaitForContext();
    // OpenDocumentFile, with the read of strPath on the worker thread when one was started
    // already (else one is started here).
    bool OpenDocument(const std::string& strPath, std::unique_ptr<CMeshPreloader> pRead);
    // The view after a read for File > Open or the command line: what follows a load, or what
    // the failure left. Returns bOpened.
    bool ShowOpened(bool bOpened);
    // What the command line's file is read as on the worker: STL by content, or OFF.
    static int PreloadFormat(const std::string& strPath);
    // The read started before the window when it reads strPath as nFormat, else null; the
    // start-up's read is used up either way.
    std::unique_ptr<CMeshPreloader> TakePreload(const std::string& strPath, int nFormat);
    // Notes the worker's read times for the start-up benchmark.
    void TraceRead(const CMeshPreloader& read);
    void TraceFrames();

    std::unique_ptr<CQtUiServices> m_pQtUi;
    CUiServices* m_pUi;
    CCommandRouter m_router;
    std::vector<std::string> m_recentFiles;
    // The frame (with the view) goes before the document, while the context can still release
    // the document's GL objects.
    std::unique_ptr<CTeldViewGLDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bEndProcessOnClose = false;
    CTeldViewGLView* m_pView = nullptr;
    std::unique_ptr<CMeshPreloader> m_pPreload;
    SStartupTrace* m_pTrace = nullptr;
};
