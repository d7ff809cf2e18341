// Pins what the painter draws: every style in every look, as checksums of the
// whole surface taken from a known-good build. A change to the painter that
// should draw the same must leave every checksum as it is; one that means to
// draw differently prints the new rows to paste here.

#include "button_fixture.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include <array>
#include <cstdio>
#include <functional>
#include <string_view>

using namespace vidmora;
using platform::makePicture;
using platform::StdFont;
using platform::gdi::COLORREF;
using platform::gdi::RGB;
using vidmora::test::ShownButton;

namespace {

constexpr int kLooks = 8; // up, hovered, pressed, hovered and pressed, disabled, focused, default, checked

// What a paint leaves: the pixels, and the values it must put back before it returns.
quint32 checksum(const Button &b)
{
    quint32 h = 2166136261u;
    auto mix = [&h](quint32 v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xFFu;
            h *= 16777619u;
        }
    };
    const QImage &img = b.surface();
    mix(static_cast<quint32>(img.width()));
    mix(static_cast<quint32>(img.height()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            mix(img.pixel(x, y) & 0xFFFFFFu);
    mix(b.colors().BaseColor);
    mix(b.BackColor());
    mix(b.FontBold() ? 1u : 0u);
    mix(b.CanDraw() ? 1u : 0u);
    mix(static_cast<quint32>(b.LastTextState()));
    return h;
}

platform::PicturePtr picture()
{
    QImage img(12, 10, QImage::Format_RGB32);
    img.fill(qRgb(192, 192, 192)); // the mask colour: see-through
    for (int y = 2; y < 8; ++y)
        for (int x = 1; x < 11; ++x)
            img.setPixel(x, y, x < 6 ? qRgb(200, 40, 40) : qRgb(250, 250, 250));
    return makePicture(img);
}

struct Config {
    const char *name;
    std::function<void(Button &)> setUp;
    bool usesText = false;
};

const Config kConfigs[] = {
    {"plain", [](Button &) {}},
    {"picture",
     [](Button &b) {
         b.setPictureNormal(picture());
         b.setSpecialEffect(seRaised);
         b.setUseGreyscale(true);
     }},
    {"custom",
     [](Button &b) {
         b.setColorScheme(csCustom);
         b.setBackColor(RGB(240, 240, 255));
         b.setBackOver(RGB(255, 200, 120));
         b.setForeColor(RGB(30, 30, 90));
         b.setForeOver(RGB(120, 0, 0));
         b.setSoftBevel(true);
     }},
    {"caption",
     [](Button &b) {
         StdFont f;
         f.Name = "DejaVu Sans";
         f.Size = 8.25f;
         b.setFont(f);
         b.setCaption(QStringLiteral("&Go && Stop"));
         b.setSpecialEffect(seSunken);
         b.setPictureNormal(picture());
         b.setPicturePosition(ppBehind);
     },
     true},
};

void showLook(ShownButton &s, int look)
{
    Button &b = *s.button;
    switch (look) {
    case 0: break;
    case 1:
        s.pointerOver = true;
        b.UserControl_MouseMove(0, 0, 1, 1);
        break;
    case 2: b.DrawButton(2, false); break;
    case 3:
        s.pointerOver = true;
        b.UserControl_MouseMove(0, 0, 1, 1);
        b.DrawButton(2, false);
        break;
    case 4: b.setEnabled(false); break;
    case 5: b.UserControl_GotFocus(); break;
    case 6: b.setAmbientDisplayAsDefault(true); break;
    case 7:
        b.setCheckBoxBehaviour(true);
        b.setValue(true);
        break;
    }
}

quint32 render(const Config &config, int style, int look)
{
    ShownButton s(60, 24, style);
    QPalette pal = s.window->palette();
    pal.setColor(QPalette::Window, QColor(236, 233, 216));
    s.window->setPalette(pal);
    s.window->setAutoFillBackground(true);
    Button &b = *s.button;
    config.setUp(b);
    if (style == btSeeThrough)
        b.Refresh();
    showLook(s, look);
    const quint32 sum = checksum(b);
    b.setPointerProbe(nullptr);
    return sum;
}

struct Row {
    const char *config;
    int style;
    std::array<quint32, kLooks> sums;
};

// clang-format off
const Row kPinned[] = {
    {"plain", 1, {0x4f0667c2u, 0x9f32a6d3u, 0x8c3c1ea0u, 0x8c3c1ea0u, 0xfeda28b1u, 0x44d8c3e2u, 0x4f0667c2u, 0x8c3c1ea0u}},
    {"plain", 2, {0x5b61002fu, 0x0b34c11eu, 0xcbbc7cc5u, 0xcbbc7cc5u, 0x6adc42fcu, 0x5b61002fu, 0x9ca97127u, 0xcbbc7cc5u}},
    {"plain", 3, {0x2f88ee74u, 0x290e3295u, 0xd59eb072u, 0xd59eb072u, 0xff2d0585u, 0x001f1488u, 0x001f1488u, 0xd59eb072u}},
    {"plain", 4, {0x6366b14eu, 0xb392f05fu, 0x829beaa0u, 0x829beaa0u, 0x133a723du, 0x6366b14eu, 0x6366b14eu, 0x829beaa0u}},
    {"plain", 5, {0xedeb5102u, 0x3e179013u, 0x6aea0b33u, 0x1abdcc22u, 0x23dd61a6u, 0x82bf8572u, 0xedeb5102u, 0x6aea0b33u}},
    {"plain", 6, {0xf92f1912u, 0x495b5823u, 0x09edb490u, 0x09edb490u, 0x39e01556u, 0xc8186012u, 0xf92f1912u, 0x09edb490u}},
    {"plain", 7, {0x411b1f43u, 0xf0eee032u, 0xc2654861u, 0xc2654861u, 0x50966210u, 0x4527383bu, 0x411b1f43u, 0xc2654861u}},
    {"plain", 8, {0x28941ee2u, 0xf0eee032u, 0xc2654861u, 0xc2654861u, 0xd867dfd1u, 0xb6c18322u, 0x28941ee2u, 0xc2654861u}},
    {"plain", 9, {0x28941ee2u, 0x0663a49bu, 0x24a04600u, 0x2fbdfce0u, 0x69451b26u, 0xb6c18322u, 0x28941ee2u, 0x24a04600u}},
    {"plain", 10, {0x28941ee2u, 0x28941ee2u, 0x28941ee2u, 0x28941ee2u, 0x28941ee2u, 0x28941ee2u, 0x28941ee2u, 0x28941ee2u}},
    {"plain", 11, {0x075c8762u, 0x5788c673u, 0x67040940u, 0x67040940u, 0xb7304851u, 0xa2ffe46au, 0x075c8762u, 0x67040940u}},
    {"plain", 12, {0x28941ee2u, 0x0b34c11eu, 0xcbbc7cc5u, 0xcbbc7cc5u, 0xd867dfd1u, 0xb6c18322u, 0x28941ee2u, 0xcbbc7cc5u}},
    {"plain", 13, {0x28941ee2u, 0x6151fa73u, 0x23c17640u, 0x23c17640u, 0xd867dfd1u, 0x28941ee2u, 0x28941ee2u, 0x23c17640u}},
    {"plain", 14, {0xa0f98de2u, 0x443d1bf3u, 0xdcd24b51u, 0xdcd24b51u, 0x41520c04u, 0x7289b62au, 0xa0f98de2u, 0xdcd24b51u}},
    {"picture", 1, {0x6ff370f2u, 0x8e780f23u, 0x9faf5250u, 0x9faf5250u, 0x61ede429u, 0xb30ae272u, 0x6ff370f2u, 0x9faf5250u}},
    {"picture", 2, {0xb04bc757u, 0xfdcebe46u, 0x1c14778du, 0x1c14778du, 0x0ebc3dacu, 0xb04bc757u, 0x250ba48fu, 0x1c14778du}},
    {"picture", 3, {0x34501241u, 0xc97d1f78u, 0x083a42a6u, 0x083a42a6u, 0x4d7dd2d5u, 0xdaf0ed21u, 0xdaf0ed21u, 0x083a42a6u}},
    {"picture", 4, {0x1fb993c6u, 0x55a63717u, 0xf8d9ae80u, 0xf8d9ae80u, 0xfefc1c45u, 0x1fb993c6u, 0x1fb993c6u, 0xf8d9ae80u}},
    {"picture", 5, {0x95162632u, 0x23b36b63u, 0xf6b1fc63u, 0xa685bd52u, 0x8ea72ca6u, 0xcb6f94f2u, 0x95162632u, 0xf6b1fc63u}},
    {"picture", 6, {0x53f36872u, 0x1a4e5c63u, 0x059f1bd0u, 0x059f1bd0u, 0x85e08916u, 0xc69f34b2u, 0x53f36872u, 0x059f1bd0u}},
    {"picture", 7, {0x5c3354fbu, 0xfe26deeau, 0x65c950a1u, 0x65c950a1u, 0xd3feef48u, 0xdab4d813u, 0x5c3354fbu, 0x65c950a1u}},
    {"picture", 8, {0x1cf7d7c2u, 0xfe26deeau, 0x65c950a1u, 0x65c950a1u, 0xd72921a9u, 0xc4e60ae2u, 0x1cf7d7c2u, 0x65c950a1u}},
    {"picture", 9, {0x1cf7d7c2u, 0x4688a2d3u, 0x95fa2a80u, 0xae5758b0u, 0xa78d01f6u, 0xc4e60ae2u, 0x1cf7d7c2u, 0x95fa2a80u}},
    {"picture", 10, {0x1cf7d7c2u, 0x00c3f642u, 0xf3c64e82u, 0xf3c64e82u, 0x275560bau, 0x1cf7d7c2u, 0x1cf7d7c2u, 0xf3c64e82u}},
    {"picture", 11, {0xdccd8e42u, 0xa2df8533u, 0xc16c22e0u, 0xc16c22e0u, 0x935ddd49u, 0xd7ed3b8au, 0xdccd8e42u, 0xc16c22e0u}},
    {"picture", 12, {0x1cf7d7c2u, 0xfdcebe46u, 0x1c14778du, 0x1c14778du, 0xd72921a9u, 0xc4e60ae2u, 0x1cf7d7c2u, 0x1c14778du}},
    {"picture", 13, {0x1cf7d7c2u, 0x095dae93u, 0xa1711980u, 0xa1711980u, 0xd72921a9u, 0x1cf7d7c2u, 0x1cf7d7c2u, 0xa1711980u}},
    {"picture", 14, {0x2427bdb6u, 0xd125f20bu, 0x1f402e39u, 0x1f402e39u, 0xd56a2fcau, 0xa41d9b6eu, 0x2427bdb6u, 0x1f402e39u}},
    {"custom", 1, {0x06c4970au, 0x249ce26bu, 0x09fe0f20u, 0x1abd0fe0u, 0xb69857f9u, 0x6bc328aeu, 0x06c4970au, 0x09fe0f20u}},
    {"custom", 2, {0x29ccb462u, 0x565eb673u, 0x2fbe9c08u, 0x0f83a3b8u, 0xd9a07551u, 0x29ccb462u, 0x72c684cau, 0x2fbe9c08u}},
    {"custom", 3, {0xe42d8bf6u, 0x7059614bu, 0xe177d61eu, 0x82a9072au, 0xa49bbf63u, 0x7d1d810au, 0x7d1d810au, 0xe177d61eu}},
    {"custom", 4, {0x3ddb72e6u, 0xf7a5b427u, 0x99f8be54u, 0x94c7b9f4u, 0xedaf33d5u, 0x3ddb72e6u, 0x3ddb72e6u, 0x99f8be54u}},
    {"custom", 5, {0xe4cb65d6u, 0x5ddb1a9fu, 0x1c3d6e8cu, 0x5ba4110du, 0xcde4ef02u, 0x8e799cb6u, 0xe4cb65d6u, 0x1c3d6e8cu}},
    {"custom", 6, {0x0006cd22u, 0xaab270d3u, 0xffd35348u, 0x22aba640u, 0x40b7c966u, 0x572039e6u, 0x0006cd22u, 0xffd35348u}},
    {"custom", 7, {0xa3b59c38u, 0x30d045d1u, 0x53058b36u, 0xe726a12eu, 0x943a596bu, 0xc1455060u, 0xa3b59c38u, 0x53058b36u}},
    {"custom", 8, {0xb566f946u, 0x30d045d1u, 0x53058b36u, 0xe726a12eu, 0x653aba35u, 0xcae6742au, 0xb566f946u, 0x53058b36u}},
    {"custom", 9, {0xb566f946u, 0xcb09c6d7u, 0x221fca24u, 0x1fb75b24u, 0x74b5fd02u, 0xcae6742au, 0xb566f946u, 0x221fca24u}},
    {"custom", 10, {0xb566f946u, 0x17c15f46u, 0xb566f946u, 0x17c15f46u, 0xb566f946u, 0xb566f946u, 0xb566f946u, 0xb566f946u}},
    {"custom", 11, {0x2baea4c6u, 0x7bdae3d7u, 0x8b5626a4u, 0x8b5626a4u, 0xdb8265b5u, 0x738b728eu, 0x2baea4c6u, 0x8b5626a4u}},
    {"custom", 12, {0xb566f946u, 0x565eb673u, 0x2fbe9c08u, 0x0f83a3b8u, 0x653aba35u, 0xcae6742au, 0xb566f946u, 0x2fbe9c08u}},
    {"custom", 13, {0xb566f946u, 0x3fc36057u, 0x4eb128e4u, 0x550aad24u, 0x653aba35u, 0xb566f946u, 0xb566f946u, 0x4eb128e4u}},
    {"custom", 14, {0xfb931616u, 0xc2376b47u, 0x0e960597u, 0x1fb36857u, 0x1a899bb0u, 0x6a8fafc6u, 0xfb931616u, 0x0e960597u}},
    {"caption", 1, {0xb7f1abddu, 0x67c56cccu, 0x14363b0au, 0x14363b0au, 0xd220c8bcu, 0xed60a03du, 0xb7f1abddu, 0x14363b0au}},
    {"caption", 2, {0x6933e235u, 0x1907a324u, 0x615d979fu, 0x615d979fu, 0xf791591cu, 0x6933e235u, 0x0e540a8cu, 0x615d979fu}},
    {"caption", 3, {0x882aaed3u, 0x0d6fca86u, 0xa1e5f5beu, 0xa1e5f5beu, 0xb7fea0bbu, 0xe52625c2u, 0xe52625c2u, 0xa1e5f5beu}},
    {"caption", 4, {0x2e5ad09cu, 0x7e870fadu, 0x00b5b326u, 0x00b5b326u, 0xc4237908u, 0x2e5ad09cu, 0x2e5ad09cu, 0x00b5b326u}},
    {"caption", 5, {0xb47f3db1u, 0x6452fea0u, 0x0a259701u, 0xb9f957f0u, 0x384ef6b2u, 0x84465a02u, 0xb47f3db1u, 0x0a259701u}},
    {"caption", 6, {0x180d0f1cu, 0x68394e2du, 0xd79d4a26u, 0xd79d4a26u, 0x332f43f2u, 0xfb21ec5cu, 0x180d0f1cu, 0xd79d4a26u}},
    {"caption", 7, {0x1d9d5df1u, 0xcd711ee0u, 0x926beb2bu, 0x926beb2bu, 0x2bfd9598u, 0xbe0da385u, 0x1d9d5df1u, 0x926beb2bu}},
    {"caption", 8, {0x83d1d3f4u, 0xcd711ee0u, 0x926beb2bu, 0x926beb2bu, 0x4ac54e31u, 0x79ef5b48u, 0x83d1d3f4u, 0x926beb2bu}},
    {"caption", 9, {0x2851c653u, 0xa7961523u, 0x900794c8u, 0xedfb185fu, 0x6b654791u, 0x09cb72c7u, 0x2851c653u, 0x900794c8u}},
    {"caption", 10, {0x83d1d3f4u, 0x83d1d3f4u, 0x5c6a7954u, 0x5c6a7954u, 0x38f7a726u, 0x83d1d3f4u, 0x83d1d3f4u, 0x5c6a7954u}},
    {"caption", 11, {0xde90c94cu, 0x2ebd085du, 0x340625d6u, 0x340625d6u, 0x6227a499u, 0xe5ad3560u, 0xde90c94cu, 0x340625d6u}},
    {"caption", 12, {0x83d1d3f4u, 0x1907a324u, 0x615d979fu, 0x615d979fu, 0x4ac54e31u, 0x79ef5b48u, 0x83d1d3f4u, 0x615d979fu}},
    {"caption", 13, {0x83d1d3f4u, 0xe02d1919u, 0x416a908au, 0x416a908au, 0x4ac54e31u, 0x83d1d3f4u, 0x83d1d3f4u, 0x416a908au}},
    {"caption", 14, {0x5732b0d1u, 0x9dfc0f9cu, 0x33c433b1u, 0x33c433b1u, 0x178c3010u, 0xb3478129u, 0x6b3b52d2u, 0x33c433b1u}},
};
// clang-format on

} // namespace

TEST(ButtonPainterPins, EveryStyleInEveryLookDrawsAsPinned)
{
    const bool textAsPinned = QFontInfo(QFont(QStringLiteral("DejaVu Sans"))).family() == "DejaVu Sans";
    QString fresh;
    for (const Config &config : kConfigs) {
        if (config.usesText && !textAsPinned)
            continue; // glyphs come from the font the pins were taken with
        for (int style = 1; style <= 14; ++style) {
            std::array<quint32, kLooks> sums{};
            for (int look = 0; look < kLooks; ++look)
                sums[look] = render(config, style, look);
            fresh += QStringLiteral("    {\"%1\", %2, {").arg(QLatin1String(config.name)).arg(style);
            for (int look = 0; look < kLooks; ++look)
                fresh += QStringLiteral("0x%1u%2").arg(sums[look], 8, 16, QLatin1Char('0')).arg(look + 1 < kLooks ? ", " : "");
            fresh += QStringLiteral("}},\n");
            const Row *pinned = nullptr;
            for (const Row &r : kPinned)
                if (r.style == style && std::string_view(r.config) == config.name)
                    pinned = &r;
            if (!pinned) {
                ADD_FAILURE() << "no pinned row for " << config.name << " style " << style;
                continue;
            }
            for (int look = 0; look < kLooks; ++look) {
                EXPECT_EQ(sums[look], pinned->sums[look]) << config.name << " style " << style << " look " << look;
            }
        }
    }
    if (::testing::Test::HasFailure())
        std::fprintf(stderr, "rows drawn now:\n%s", qPrintable(fresh));
}
