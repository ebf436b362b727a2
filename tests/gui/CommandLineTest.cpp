#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>

#include <array>

#include "GuiTestSupport.h"
#include "X11TestHelpers.h"
#include "drawing/MeshGL.h"
#include "formats/ModelFormats.h"
#include "model/Camera.h"
#include "model/Mesh.h"
#include "model/MeshPreloader.h"

namespace
{
// Starts the program on the test's display, with the environment additions, and closes the
// windows titled as listed, in turn, as each shows; returns the exit status, or -1 when a window
// never came or the program hung or crashed. The program keeps its settings with the test's.
int RunAndClose(const QStringList& arguments, const std::vector<std::string>& titles,
                const QProcessEnvironment& extra)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TELDVIEW_EXE), arguments);
    if (!process.waitForStarted(10000))
        return -1;
    const bool bClosed = CloseX11WindowsOf(process.processId(), titles, 15000);
    if (!bClosed || !process.waitForFinished(15000))
    {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The program's settings file in the test's settings folder.
QString SettingsFile()
{
    return SettingsFolder() + QStringLiteral("/Local AppWizard-Generated Applications/TeldViewGL.conf");
}

// The first recent file a program started by the test left there.
QString FirstRecentFile()
{
    const QSettings settings(SettingsFile(), QSettings::IniFormat);
    return settings.value(QStringLiteral("Recent File List/File1")).toString();
}

// What a start with the command line's file leaves behind, to compare the two ways of reading.
struct SStartResult
{
    bool bStarted = false;
    std::vector<std::string> messages;
    QString strFrameTitle;
    std::vector<std::string> recentFiles;
    std::string strSelected;
    double dCameraZ = 0.0;
    std::array<double, 6> bounds = {};
    bool bListCompiled = false;
    bool operator==(const SStartResult&) const = default;
};

// Starts the application on strArgument, with a read ahead of strPreload unless that is empty.
SStartResult Start(const std::string& strArgument, const std::string& strPreload)
{
    // Each start begins without recent files (the settings are the tests' own), so the list
    // shows what this start added.
    QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("TeldViewGL"))
        .remove(QStringLiteral("Recent File List"));
    CScriptedUiServices ui;
    CTeldViewGLApp app(&ui);
    if (!strPreload.empty())
        app.SetCommandLinePreload(std::make_unique<CMeshPreloader>(strPreload, *ModelFormatNamed("OFF")));
    SStartResult result;
    result.bStarted = app.InitInstance({QString::fromStdString(strArgument)});
    result.messages = ui.m_messages;
    app.GetMainFrame()->OnIdleUpdate();
    result.strFrameTitle = app.GetMainFrame()->windowTitle();
    result.recentFiles = app.RecentFiles();
    result.strSelected = app.GetView()->m_strSelectedName;
    const CTeldViewGLDoc& doc = *app.GetDocument();
    result.dCameraZ = doc.m_pCamera->m_vPosition.z;
    result.bounds = std::to_array(doc.m_dSceneBounds);
    const CSceneObject* pMesh = doc.m_pCamera->m_pNext;
    result.bListCompiled = pMesh != nullptr && CMeshGL::ListOf(*static_cast<const CMesh*>(pMesh)) != 0;
    return result;
}
} // namespace

// The file read ahead on a worker thread opens as File > Open would open it: same document,
// title, recent file, view and display list; an unreadable one gives the same single
// message and a failed start; a read ahead of another path is left unused.
TEST(CommandLine, AFileReadAheadOpensAsFileOpenWould)
{
    const std::string strCube = CopyExample("cube.off");
    const std::string strColored = CopyExample("colored.off");
    const std::string strBad = WriteScratch(QStringLiteral("broken.off"), "OFF\n3 1 0\n0 0 0\n");
    struct SCase
    {
        const char* pszName;
        std::string strArgument;
        std::string strPreload;
        std::string strMessage; // empty: the start succeeds
    };
    const SCase cases[] = {
        {"read ahead", strCube, strCube, ""},
        {"another file read ahead", strCube, strColored, ""},
        {"unreadable, read ahead", strBad, strBad,
         "Unable to read broken.off: unexpected file format.\nbroken.off: line 2: the counts ask for more "
         "than "
         "the file holds"},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const SStartResult plain = Start(c.strArgument, std::string());
        const SStartResult ahead = Start(c.strArgument, c.strPreload);
        EXPECT_TRUE(ahead == plain);
        if (!c.strMessage.empty())
        {
            EXPECT_FALSE(ahead.bStarted);
            EXPECT_TRUE(ahead.recentFiles.empty());
            EXPECT_EQ(ahead.messages, std::vector<std::string>{c.strMessage});
        }
        else
        {
            EXPECT_TRUE(ahead.bStarted);
            EXPECT_TRUE(ahead.messages.empty());
            EXPECT_EQ(ahead.strFrameTitle, "cube.off - TeldViewGL");
            EXPECT_TRUE(ahead.bListCompiled);
            EXPECT_GT(ahead.dCameraZ, 0.0);
            EXPECT_EQ(ahead.recentFiles, std::vector<std::string>{strCube});
        }
    }
}

// The program as started from a shell: a readable file opens and joins the recent files, and
// closing the window ends the program well. A file that cannot be read gives its message (the
// box carries the program's title) and a failed end. Without any OpenGL both context messages
// come before any window (Qt would fail inside the GL widget), and the program fails.
TEST(CommandLine, TheProgramOpensTheFileNamedThereOrEndsAfterTheMessage)
{
    const QString strCube = QString::fromStdString(Example("cube.off"));
    const QString strBad = QString::fromStdString(WriteScratch(QStringLiteral("broken.off"), "not a mesh"));
    QProcessEnvironment noGL;
    noGL.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    struct SCase
    {
        QString strFile;
        std::vector<std::string> windows;
        QProcessEnvironment environment;
        int nStatus;
        QString strRecent;
    };
    const SCase cases[] = {
        {strCube, {"cube.off - TeldViewGL"}, {}, 0, strCube},
        {strBad, {"TeldViewGL"}, {}, 1, ""},
        {strCube, {"TeldViewGL", "TeldViewGL"}, noGL, 1, ""},
    };
    for (const SCase& c : cases)
    {
        QFile::remove(SettingsFile());
        EXPECT_EQ(RunAndClose({c.strFile}, c.windows, c.environment), c.nStatus) << c.windows.size();
        EXPECT_EQ(FirstRecentFile(), c.strRecent);
    }
}

// The read ahead starts before Qt has taken its own options out of argv, so it guesses: the
// first non-empty argument when it names a regular OFF or STL file (STL read as its content
// says); nothing after an option, whose value it could be, nothing for a scene file, which is not
// read that way, and nothing for a file that is missing or not regular (a pipe would keep the
// read waiting for a writer).
TEST(CommandLine, TheReadAheadGuessesOnlyPlainMeshFiles)
{
    const std::string strOff = CopyExample("cube.off"), strStl = WriteScratch("a.stl", "solid a\n");
    const std::string strPipe = ScratchPath(QStringLiteral("pipe.off"));
    ASSERT_EQ(mkfifo(strPipe.c_str(), 0600), 0);
    struct SCase
    {
        std::vector<std::string> args;
        std::string strExpected; // empty: no read ahead
        const char* pszFormat;
    };
    const SCase cases[] = {
        {{"teldviewgl", strOff}, strOff, "OFF"},
        {{"teldviewgl", "", strOff}, strOff, "OFF"},
        {{"teldviewgl", strStl}, strStl, "STL"},
        {{"teldviewgl", "-style", "fusion", strOff}, "", nullptr},
        {{"teldviewgl", Example("scene.scn")}, "", nullptr},
        {{"teldviewgl", "/nowhere/a.off"}, "", nullptr},
        {{"teldviewgl", strPipe}, "", nullptr},
        {{"teldviewgl", ScratchPath(QString())}, "", nullptr},
        {{"teldviewgl"}, "", nullptr},
    };
    for (const SCase& c : cases)
    {
        std::vector<std::string> args = c.args;
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        const std::unique_ptr<CMeshPreloader> pPreload =
            CTeldViewGLApp::PreloadCommandLineFile(static_cast<int>(argv.size()), argv.data(), 1);
        EXPECT_EQ(pPreload ? pPreload->Path() : std::string(), c.strExpected) << args.back();
        EXPECT_EQ(pPreload ? pPreload->Format() : nullptr,
                  c.pszFormat ? ModelFormatNamed(c.pszFormat) : nullptr)
            << args.back();
    }
}
