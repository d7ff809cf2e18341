#include <gtest/gtest.h>

#include <QCoreApplication>

// Components deliver their events through the Qt event loop, so every test
// runs with an application object on the main thread.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
