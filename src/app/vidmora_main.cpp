#include <QApplication>

#ifdef VIDMORA_HAVE_MAIN_WINDOW
#include "main_window/app_start.h"
#else
#include <QWidget>
#endif

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
#ifdef VIDMORA_HAVE_MAIN_WINDOW
    return vidmora::runMainProgram(app);
#else
    QWidget window;
    window.resize(690, 489);
    window.show();
    return app.exec();
#endif
}
