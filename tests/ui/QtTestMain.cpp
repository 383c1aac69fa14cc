// GUI tests run offscreen, in a QApplication, with QSettings pointed into a temporary folder so
// the user's own profile is never read or written.
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this program at build time, outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (!config.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
