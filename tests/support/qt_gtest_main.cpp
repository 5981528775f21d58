// Test entry point for every test program: a QApplication on the offscreen
// platform, with the settings and data folders pointed at a private
// temporary home so no test ever touches the real user's files.
#include "privatehome.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    kolvo::test::usePrivateHome(home.path());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvo"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
