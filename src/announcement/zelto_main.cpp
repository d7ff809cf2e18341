// The announcement program: one window with the maker's two pages.
#include <QApplication>

#include "announcement/form1.h"
#include "announcement/web_engine_setup.h"
#include "vidmora/deployment.h"

int main(int, char **argv)
{
    vidmora::announcement::prepareWebEngine();
    // The program takes no arguments: the application sees only its own name.
    static int qtArgc = 1;
    static char name[] = "zelto";
    static char *qtArgv[] = {argv && argv[0] ? argv[0] : name, nullptr};
    QApplication app(qtArgc, qtArgv);

    vidmora::announcement::Form1 form(QString::fromLatin1(vidmora::deployment::kMakerHost));
    form.show();
    return app.exec();
}
