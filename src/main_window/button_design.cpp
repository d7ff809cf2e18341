#include "main_window/button_design.h"

#include <QFont>

#include "main_window/window_fonts.h"

namespace vidmora::main_window {

QVariantMap storedButtonBag(const QString &caption, ButtonLook look)
{
    QVariantMap bag;
    bag.insert(QStringLiteral("btype"), 3); // gradient
    bag.insert(QStringLiteral("tx"), caption);
    bag.insert(QStringLiteral("enab"), true);
    bag.insert(QStringLiteral("focusr"), true);
    bag.insert(QStringLiteral("mcol"), rgbValue(192, 192, 192));
    bag.insert(QStringLiteral("mptr"), 1);
    bag.insert(QStringLiteral("umcol"), true);
    bag.insert(QStringLiteral("soft"), false);
    bag.insert(QStringLiteral("picpos"), 0);
    bag.insert(QStringLiteral("ngrey"), false);
    bag.insert(QStringLiteral("fx"), 0);
    bag.insert(QStringLiteral("hand"), false);
    bag.insert(QStringLiteral("check"), false);
    bag.insert(QStringLiteral("value"), false);
    if (look == ButtonLook::System) {
        bag.insert(QStringLiteral("coltype"), 1); // system colours
        bag.insert(QStringLiteral("font"), QVariant::fromValue(designFont(FontRole::TahomaBold)));
        bag.insert(QStringLiteral("bcol"), rgbValue(212, 208, 200));
        bag.insert(QStringLiteral("bcolo"), rgbValue(212, 208, 200));
        bag.insert(QStringLiteral("fcol"), rgbValue(0, 0, 0));
        bag.insert(QStringLiteral("fcolo"), rgbValue(0, 0, 0));
    } else {
        bag.insert(QStringLiteral("coltype"), 2); // custom colours
        bag.insert(QStringLiteral("font"), QVariant::fromValue(designFont(FontRole::Arial18)));
        bag.insert(QStringLiteral("bcol"), rgbValue(255, 255, 255));
        bag.insert(QStringLiteral("bcolo"), rgbValue(255, 255, 255));
        bag.insert(QStringLiteral("fcol"), rgbValue(64, 64, 64));
        bag.insert(QStringLiteral("fcolo"), rgbValue(64, 0, 0));
    }
    return bag;
}

} // namespace vidmora::main_window
