#include "main_window/window_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace vidmora::main_window {
namespace {

QString firstInstalled(const QStringList &families)
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    }
    return families.last();
}

} // namespace

QFont designFont(FontRole role)
{
    QFont font;
    switch (role) {
    case FontRole::Tahoma:
    case FontRole::TahomaBold:
        font.setFamily(firstInstalled({QStringLiteral("Tahoma"),
                                       // Tahoma is narrow: the condensed cut matches its widths best.
                                       QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                                       QStringLiteral("Sans Serif")}));
        font.setPixelSize(11);
        font.setBold(role == FontRole::TahomaBold);
        break;
    case FontRole::Arial18:
        font.setFamily(firstInstalled({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                       QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans"),
                                       QStringLiteral("Sans Serif")}));
        font.setPixelSize(24);
        break;
    }
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace vidmora::main_window
