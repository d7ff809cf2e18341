#include "main_window/button_design.h"

#include <QFontInfo>

#include "main_window/window_fonts.h"

namespace vidmora::main_window {
namespace {

using platform::PropertyBag;

// The design font by the face that stands in for it here, at its design size.
platform::StdFont storedFont(FontRole role, float points)
{
    const QFont face = designFont(role);
    platform::StdFont font;
    font.Name = QFontInfo(face).family();
    font.Size = points;
    font.Bold = face.bold();
    return font;
}

} // namespace

PropertyBag storedButtonBag(const QString &caption, ButtonLook look)
{
    const bool system = look == ButtonLook::System;
    return PropertyBag{
        {QStringLiteral("btype"), PropertyBag::int32(3)}, // gradient
        {QStringLiteral("tx"), caption},
        {QStringLiteral("enab"), true},
        {QStringLiteral("font"), PropertyBag::font(system ? storedFont(FontRole::TahomaBold, 8.25f)
                                                          : storedFont(FontRole::Arial18, 18.0f))},
        {QStringLiteral("coltype"), PropertyBag::int32(system ? 1 : 2)}, // system / custom colours
        {QStringLiteral("focusr"), true},
        {QStringLiteral("bcol"), PropertyBag::int32(system ? rgbValue(212, 208, 200) : rgbValue(255, 255, 255))},
        {QStringLiteral("bcolo"), PropertyBag::int32(system ? rgbValue(212, 208, 200) : rgbValue(255, 255, 255))},
        {QStringLiteral("fcol"), PropertyBag::int32(system ? rgbValue(0, 0, 0) : rgbValue(64, 64, 64))},
        {QStringLiteral("fcolo"), PropertyBag::int32(system ? rgbValue(0, 0, 0) : rgbValue(64, 0, 0))},
        {QStringLiteral("mcol"), PropertyBag::int32(rgbValue(192, 192, 192))},
        {QStringLiteral("mptr"), PropertyBag::int16(1)},
        {QStringLiteral("umcol"), true},
        {QStringLiteral("soft"), false},
        {QStringLiteral("picpos"), PropertyBag::int32(0)},
        {QStringLiteral("ngrey"), false},
        {QStringLiteral("fx"), PropertyBag::int32(0)},
        {QStringLiteral("hand"), false},
        {QStringLiteral("check"), false},
        {QStringLiteral("value"), false},
    };
}

} // namespace vidmora::main_window
