#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "GuiTestSupport.h"
#include "X11TestHelpers.h"

namespace
{
// Starts the program on the test's display and closes the window titled pszTitle once it
// shows; returns the exit status, or -1 when the window never came or the program hung.
int RunAndClose(const QStringList& arguments, const char* pszTitle, QString* pstrError = nullptr)
{
    QProcess process;
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
} // namespace

TEST(CommandLine, OpensTheFileNamedThere)
{
    EXPECT_EQ(RunAndClose({QString::fromStdString(Example("cube.off"))}, "cube.off - TeldViewGL"), 0);
}

TEST(CommandLine, AFileThatCannotBeReadEndsTheProgramAfterTheMessage)
{
    QTemporaryDir dir;
    QFile bad(dir.filePath("broken.off"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a mesh");
    bad.close();
    // The message box carries the program's title; closing it ends the program.
    EXPECT_EQ(RunAndClose({bad.fileName()}, "TeldViewGL"), 1);
}
