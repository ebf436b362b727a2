#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <array>

#include "GuiTestSupport.h"
#include "X11TestHelpers.h"
#include "scene/Camera.h"
#include "scene/Mesh.h"
#include "scene/MeshPreloader.h"

namespace
{
std::string CopyExample(const QTemporaryDir& dir, const char* pszName)
{
    const QString strTarget = dir.filePath(QString::fromUtf8(pszName));
    QFile::copy(QString::fromStdString(Example(pszName)), strTarget);
    return strTarget.toStdString();
}

// Starts the program on the test's display and closes the window titled pszTitle once it
// shows; returns the exit status, or -1 when the window never came or the program hung.
// pstrConfigHome, when given, becomes the program's settings folder.
int RunAndClose(const QStringList& arguments, const char* pszTitle, QString* pstrError = nullptr,
                const QString* pstrConfigHome = nullptr)
{
    QProcess process;
    if (pstrConfigHome != nullptr)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), *pstrConfigHome);
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(TELDVIEW_EXE), arguments);
    if (!process.waitForStarted(10000))
        return -1;
    const bool bClosed = CloseX11WindowOf(process.processId(), pszTitle, 15000);
    if (!bClosed || !process.waitForFinished(15000))
    {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (pstrError != nullptr)
        *pstrError = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The first recent file the program left in the settings folder strConfigHome.
QString FirstRecentFile(const QString& strConfigHome)
{
    const QSettings settings(strConfigHome +
                                 QStringLiteral("/Local AppWizard-Generated Applications/TeldViewGL.conf"),
                             QSettings::IniFormat);
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
        app.SetCommandLinePreload(std::make_unique<CMeshPreloader>(strPreload));
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
    result.bListCompiled = pMesh != nullptr && static_cast<const CMesh*>(pMesh)->m_nDisplayList != 0;
    return result;
}
} // namespace

TEST(CommandLine, OpensTheFileNamedThere)
{
    QTemporaryDir config;
    const QString strConfig = config.path();
    const QString strCube = QString::fromStdString(Example("cube.off"));
    EXPECT_EQ(RunAndClose({strCube}, "cube.off - TeldViewGL", nullptr, &strConfig), 0);
    EXPECT_EQ(FirstRecentFile(strConfig), QFileInfo(strCube).absoluteFilePath());
}

// The file read ahead on a worker thread opens as File > Open would open it: same document,
// title, recent file, view and display list; an unreadable one gives the same single message
// and a failed start; a read ahead of another path is left unused.
TEST(CommandLine, AFileReadAheadOpensAsFileOpenWould)
{
    QTemporaryDir dir;
    const std::string strCube = CopyExample(dir, "cube.off");
    const std::string strColored = CopyExample(dir, "colored.off");
    const std::string strBad = dir.filePath(QStringLiteral("broken.off")).toStdString();
    {
        QFile bad(QString::fromStdString(strBad));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("OFF\n3 1 0\n0 0 0\n");
    }
    struct SCase
    {
        const char* pszName;
        std::string strArgument;
        std::string strPreload;
    };
    const SCase cases[] = {
        {"read ahead", strCube, strCube},
        {"another file read ahead", strCube, strColored},
        {"unreadable, read ahead", strBad, strBad},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const SStartResult plain = Start(c.strArgument, std::string());
        const SStartResult ahead = Start(c.strArgument, c.strPreload);
        EXPECT_TRUE(ahead == plain);
        if (c.strArgument == strBad)
        {
            EXPECT_FALSE(ahead.bStarted);
            EXPECT_TRUE(ahead.recentFiles.empty());
            EXPECT_EQ(ahead.messages,
                      std::vector<std::string>{"Unable to read broken.off: unexpected file format."});
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

TEST(CommandLine, AFileThatCannotBeReadEndsTheProgramAfterTheMessage)
{
    QTemporaryDir dir;
    QFile bad(dir.filePath("broken.off"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a mesh");
    bad.close();
    // The message box carries the program's title; closing it ends the program, and the file
    // joins no recent-file list.
    QTemporaryDir config;
    const QString strConfig = config.path();
    EXPECT_EQ(RunAndClose({bad.fileName()}, "TeldViewGL", nullptr, &strConfig), 1);
    EXPECT_TRUE(FirstRecentFile(strConfig).isEmpty());
}

// The read ahead starts before Qt has taken its own options out of argv, so it guesses: the
// first non-empty argument when it names an OFF file; nothing after an option, whose value it
// could be, and nothing for the other kinds, which are not read that way.
TEST(CommandLine, TheReadAheadGuessesOnlyPlainOffArguments)
{
    struct SCase
    {
        std::vector<std::string> args;
        const char* pszExpected; // null: no read ahead
    };
    const SCase cases[] = {
        {{"teldviewgl", "/nowhere/a.off"}, "/nowhere/a.off"},
        {{"teldviewgl", "", "/nowhere/b.OFF"}, "/nowhere/b.OFF"},
        {{"teldviewgl", "/nowhere/mesh"}, "/nowhere/mesh"},
        {{"teldviewgl", "-style", "fusion", "/nowhere/a.off"}, nullptr},
        {{"teldviewgl", "/nowhere/a.stl"}, nullptr},
        {{"teldviewgl", "/nowhere/a.scn"}, nullptr},
        {{"teldviewgl"}, nullptr},
    };
    for (const SCase& c : cases)
    {
        std::vector<std::string> args = c.args;
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        const std::unique_ptr<CMeshPreloader> pPreload =
            CTeldViewGLApp::PreloadCommandLineFile(static_cast<int>(argv.size()), argv.data(), 1);
        EXPECT_EQ(pPreload ? pPreload->Path() : "(none)", c.pszExpected ? c.pszExpected : "(none)")
            << args.back();
    }
}
