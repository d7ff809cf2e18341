#include "main_window/app_start.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include "http_client/dgsws_http.h"
#include "main_window/form1.h"
#include "main_window/skin.h"
#include "platform/async_download_qt.h"
#include "platform/gui/message_box_qt.h"
#include "platform/gui/shell.h"
#include "vidmora/deployment.h"

namespace vidmora {

int runMainProgram(QApplication &app)
{
    app.setWindowIcon(QIcon(main_window::makeWindowIcon()));
    platform::QtMessageBox box;
    platform::QtShell shell;
    platform::QtAsyncDownloadService downloads;

    main_window::Form1Setup setup;
    setup.wsc = std::make_unique<DGSwsHTTP>();
    setup.downloadService = &downloads;
    setup.messageBox = &box;
    setup.shell = &shell;
    setup.programFolder = QCoreApplication::applicationDirPath();
    setup.saveFolder = QDir::homePath() + QStringLiteral("/Vidmora");
    setup.siteHost = QString::fromLatin1(deployment::kSiteHost);
    setup.siteDomain = QString::fromLatin1(deployment::kSiteDomain);
    setup.imageHost = QString::fromLatin1(deployment::kImageHost);
    setup.makerHost = QString::fromLatin1(deployment::kMakerHost);

    main_window::Form1 window(std::move(setup));
    box.setParentWidget(&window);
    window.show();
    return app.exec();
}

} // namespace vidmora
