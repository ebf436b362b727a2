#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstring>

#include "app/TeldViewGLApp.h"

// One QApplication for every GUI test. Settings go to a temporary folder so the tests never
// touch the user's recent-file list; dialogs are Qt's own so tests can find and answer them.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests happens at build time, without a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    CTeldViewGLApp::PrepareQt();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    return RUN_ALL_TESTS();
}
