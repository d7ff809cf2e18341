#include <gtest/gtest.h>

#include <QApplication>

#include "announcement/web_engine_setup.h"

// The web engine must be configured before the application object exists, so
// these tests bring their own main. They always run offscreen: the window's
// behaviour is checked against the pointer events the tests send, not against
// a window manager's.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vidmora::announcement::prepareWebEngine();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
