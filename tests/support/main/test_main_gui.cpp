#include <gtest/gtest.h>

#include <QApplication>

#include "main/offscreen.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    vidmora::test::useOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
