#include <QApplication>

#include "main_window/app_start.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return vidmora::runMainProgram(app);
}
