#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include "GuiTestSupport.h"
#include "gui/TeldViewGLApp.h"

namespace
{
// The running test's folder, with "settings" and "scratch" inside.
std::unique_ptr<QTemporaryDir> s_pTestFolder;

// Gives every test settings of its own (no recent files left by another test, never the
// user's) and a scratch folder, both gone when it ends. Programs the test starts find the same
// settings through XDG_CONFIG_HOME.
class CPerTestFolders : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override
    {
        s_pTestFolder = std::make_unique<QTemporaryDir>();
        const QString strSettings = SettingsFolder();
        QDir().mkpath(strSettings);
        QDir().mkpath(s_pTestFolder->filePath(QStringLiteral("scratch")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, strSettings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, strSettings);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(strSettings));
    }
    void OnTestEnd(const ::testing::TestInfo&) override { s_pTestFolder.reset(); }
};
} // namespace

QString SettingsFolder()
{
    return s_pTestFolder->filePath(QStringLiteral("settings"));
}

std::string ScratchPath(const QString& strName)
{
    return s_pTestFolder->filePath(QStringLiteral("scratch/") + strName).toStdString();
}

// One QApplication for every GUI test; dialogs are Qt's own so tests can find and answer them.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests happens at build time, without a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    CTeldViewGLApp::PrepareQt();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new CPerTestFolders);
    return RUN_ALL_TESTS();
}
