// The app tests run offscreen with a profile of their own: QSettings points into a temporary
// folder before anything reads it, so the user's settings are never touched.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs this program outside ctest's environment.
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
