#include "button_fixture.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <functional>
#include <limits>
#include <string_view>
#include <vector>

using namespace vidmora;
using platform::makePicture;
using platform::PicturePtr;
using platform::PropertyBag;
using platform::StdFont;
using platform::gdi::RGB;
using vidmora::test::ShownButton;

namespace {

const char *const kKeys[23] = {"BTYPE", "TX",    "ENAB",  "FONT",   "COLTYPE", "FOCUSR", "BCOL",  "BCOLO",
                               "FCOL",  "FCOLO", "MCOL",  "MPTR",   "MICON",   "PICN",   "PICH",  "UMCOL",
                               "SOFT",  "PICPOS", "NGREY", "FX",    "HAND",    "CHECK",  "VALUE"};

PicturePtr smallPicture(QRgb colour = qRgb(0, 0, 255))
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(colour);
    return makePicture(img);
}

QStringList keysOf(const PropertyBag &bag)
{
    QStringList keys;
    for (const auto &e : bag.entries())
        keys << e.first;
    return keys;
}

} // namespace

TEST(ButtonProperties, NewInstanceDefaults)
{
    QWidget window;
    Button b(&window);
    EXPECT_EQ(b.ButtonType(), btStandard);
    EXPECT_EQ(b.ColorScheme(), csSystem);
    EXPECT_TRUE(b.Enabled());
    EXPECT_TRUE(b.ShowFocusRect());
    EXPECT_TRUE(b.UseMaskColor());
    EXPECT_EQ(b.Caption(), b.AmbientDisplayName());
    EXPECT_EQ(b.BackColor(), RGB(212, 208, 200)); // an RGB value, not a system-colour reference
    EXPECT_EQ(b.BackOver(), RGB(212, 208, 200));
    EXPECT_EQ(b.ForeColor(), 0u);
    EXPECT_EQ(b.ForeOver(), 0u);
    EXPECT_EQ(b.MaskColor(), 12632256u);
    EXPECT_EQ(b.Font().Name, StdFont::fromQFont(window.font()).Name);
    EXPECT_TRUE(b.AccessKeys().isEmpty());
    EXPECT_EQ(b.Version(), "2.0.6 B");

    PropertyBag bag;
    ASSERT_TRUE(b.UserControl_WriteProperties(bag));
    ASSERT_EQ(bag.size(), 23);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(bag.entries().at(i).first, kKeys[i]);
    EXPECT_EQ(bag.ReadProperty("MPTR").metaType(), QMetaType::fromType<qint16>());
    EXPECT_EQ(bag.ReadProperty("MPTR").toInt(), 0);
    EXPECT_EQ(bag.ReadProperty("BTYPE").metaType(), QMetaType::fromType<qint32>());
    EXPECT_EQ(bag.ReadProperty("ENAB").metaType(), QMetaType::fromType<bool>());
}

TEST(ButtonProperties, NewInstanceIsCaptionedWithTheNameItsContainerGaveIt)
{
    QWidget window;
    window.setObjectName(QStringLiteral("Form1"));
    auto *named = new Button(QStringLiteral("cmdGo"), &window);
    EXPECT_EQ(named->AmbientDisplayName(), "cmdGo");
    EXPECT_EQ(named->Caption(), "cmdGo");

    // Unnamed by the caller: named as the container names a control it places,
    // after the lowest number no control of the window carries.
    auto *first = new Button(&window);
    EXPECT_EQ(first->Caption(), "Button1");
    auto *panel = new QWidget(&window);
    auto *designed = new QWidget(panel);
    designed->setObjectName(QStringLiteral("Button2")); // a control further down the window
    auto *third = new Button(panel);
    EXPECT_EQ(third->Caption(), "Button3");
    EXPECT_EQ(third->objectName(), "Button3");
    delete first;
    EXPECT_EQ(Button(&window).Caption(), "Button1");
    EXPECT_EQ(Button().Caption(), "Button1");

    // The name only gives the first caption: renaming later changes the
    // ambient name, not the caption.
    named->setObjectName(QStringLiteral("cmdStop"));
    EXPECT_EQ(named->AmbientDisplayName(), "cmdStop");
    EXPECT_EQ(named->Caption(), "cmdGo");
}

TEST(ButtonProperties, EmptyBagGivesTheReadDefaults)
{
    Button b{PropertyBag{}};
    EXPECT_EQ(b.ButtonType(), 2);
    EXPECT_EQ(b.Caption(), "");
    EXPECT_TRUE(b.Enabled());
    EXPECT_TRUE(b.isEnabled());
    EXPECT_EQ(b.ColorScheme(), 1);
    EXPECT_TRUE(b.ShowFocusRect());
    EXPECT_EQ(b.BackColor(), RGB(212, 208, 200));
    EXPECT_EQ(b.BackOver(), RGB(212, 208, 200));
    EXPECT_EQ(b.ForeColor(), 0u);
    EXPECT_EQ(b.ForeOver(), 0u);
    EXPECT_EQ(b.MaskColor(), 0xC0C0C0u);
    EXPECT_EQ(b.MousePointer(), 1);
    EXPECT_FALSE(b.MouseIcon());
    EXPECT_FALSE(b.PictureNormal());
    EXPECT_FALSE(b.PictureOver());
    EXPECT_TRUE(b.UseMaskColor());
    EXPECT_FALSE(b.SoftBevel() || b.UseGreyscale() || b.HandPointer() || b.CheckBoxBehaviour() || b.Value());
    EXPECT_EQ(b.PicturePosition(), 0);
    EXPECT_EQ(b.SpecialEffect(), 0);
}

TEST(ButtonProperties, WriteReadWriteRoundTrip)
{
    Button a;
    a.setAmbientUserMode(true);
    a.setButtonType(btGlossy);
    a.setCaption(QStringLiteral("Save && &Exit"));
    StdFont f;
    f.Name = "Arial";
    f.Size = 18;
    a.setFont(f);
    a.setColorScheme(csCustom);
    a.setShowFocusRect(false);
    a.setBackColor(RGB(255, 255, 255));
    a.setBackOver(RGB(1, 2, 3));
    a.setForeColor(0x80000012); // a system-colour reference is kept as given
    a.setForeOver(RGB(64, 0, 0));
    a.setMaskColor(RGB(255, 0, 255));
    a.setPictureNormal(smallPicture());
    a.setPictureOver(smallPicture(qRgb(0, 255, 0)));
    a.setUseMaskColor(false);
    a.setSoftBevel(true);
    a.setPicturePosition(ppTop);
    a.setUseGreyscale(true);
    a.setSpecialEffect(seShadow);
    a.setHandPointer(true);
    a.setCheckBoxBehaviour(true);
    a.setValue(true);
    a.setEnabled(false);

    PropertyBag first;
    ASSERT_TRUE(a.UserControl_WriteProperties(first));
    const PropertyBag stored = first; // as a window keeps it
    Button b(stored);
    PropertyBag second;
    ASSERT_TRUE(b.UserControl_WriteProperties(second));
    ASSERT_EQ(keysOf(first), keysOf(second));
    for (const char *k : kKeys) {
        const QVariant x = first.ReadProperty(k), y = second.ReadProperty(k);
        if (x.metaType() == QMetaType::fromType<PicturePtr>()) {
            const PicturePtr px = x.value<PicturePtr>(), py = y.value<PicturePtr>();
            ASSERT_EQ(bool(px), bool(py)) << k;
            if (px) {
                EXPECT_EQ(px->image, py->image) << k;
            }
        } else if (x.metaType() == QMetaType::fromType<StdFont>()) {
            EXPECT_EQ(x.value<StdFont>(), y.value<StdFont>()) << k;
        } else {
            EXPECT_EQ(x, y) << k;
        }
    }
    EXPECT_EQ(b.ForeColor(), 0x80000012u);
    EXPECT_EQ(b.AccessKeys(), "e");
    EXPECT_FALSE(b.isEnabled());
    EXPECT_EQ(b.MousePointer(), 99);
    EXPECT_EQ(b.PictureWidth(), 16);
}

TEST(ButtonProperties, LowerCaseKeysAreRead)
{
    Button b(PropertyBag{{"btype", PropertyBag::int32(3)}, {"tx", QStringLiteral("&Download")},
                         {"coltype", PropertyBag::int32(2)}, {"bcol", PropertyBag::int32(0xFFFFFF)}});
    EXPECT_EQ(b.ButtonType(), btGradient);
    EXPECT_EQ(b.Caption(), "&Download");
    EXPECT_EQ(b.AccessKeys(), "d");
    EXPECT_EQ(b.ColorScheme(), csCustom);
    EXPECT_EQ(b.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(b.BackOver(), 0xFFFFFFu); // defaults to the BackColor just read
}

TEST(ButtonProperties, WronglyTypedValueStopsTheReadAtItsKey)
{
    Button b;
    const auto schemeBefore = b.ColorScheme();
    const PropertyBag bag{{"BTYPE", PropertyBag::int32(4)}, {"TX", QStringLiteral("&Go")},
                          {"ENAB", QStringLiteral("False")}, {"FONT", QStringLiteral("Arial")},
                          {"COLTYPE", PropertyBag::int32(3)}};
    EXPECT_FALSE(b.UserControl_ReadProperties(bag));
    EXPECT_EQ(b.ButtonType(), 4);
    EXPECT_EQ(b.Caption(), "&Go");
    EXPECT_FALSE(b.Enabled());
    EXPECT_EQ(b.ColorScheme(), schemeBefore); // after the failing key: as it was
    EXPECT_TRUE(b.AccessKeys().isEmpty());    // the steps after the last key did not run
    EXPECT_TRUE(b.isEnabled());

    Button c;
    EXPECT_FALSE(c.UserControl_ReadProperties(PropertyBag{{"BTYPE", QStringLiteral("three")}}));
    EXPECT_EQ(c.ButtonType(), btStandard);
}

TEST(ButtonProperties, HandPointerDecidesThePointerAfterLoading)
{
    const PropertyBag arrow{{"MPTR", PropertyBag::int16(99)}, {"MICON", PropertyBag::picture(smallPicture())},
                            {"HAND", false}};
    Button a(arrow);
    EXPECT_EQ(a.MousePointer(), 1);
    EXPECT_FALSE(a.MouseIcon());
    EXPECT_EQ(a.cursor().shape(), Qt::ArrowCursor);

    Button h(PropertyBag{{"HAND", true}});
    EXPECT_EQ(h.MousePointer(), 99);
    ASSERT_TRUE(h.MouseIcon());
    EXPECT_EQ(h.MouseIcon()->Type, platform::StdPicture::Icon);
    EXPECT_EQ(h.cursor().shape(), Qt::BitmapCursor);
}

TEST(ButtonProperties, AccessKeyDerivation)
{
    struct Case {
        const char *caption;
        const char *key;
    };
    const Case cases[] = {{"&Open", "o"},      {"Save && &Exit", "e"}, {"Save && Exit", ""},
                          {"Run && Stop && &Now", ""}, {"Exit&", ""},  {"&", ""},
                          {"x", ""},           {"&&", ""},             {"A&&&b", "b"},
                          {"a && b &&", ""},   {"&&x&", ""},
                          // only the first two runs of ampersands are looked at
                          {"&&&x", "x"},       {"a&&b&&&c", ""},       {"&&&&&x", ""},
                          {"& x", " "},        {"&&a&B", "b"}};
    Button b;
    for (const Case &c : cases) {
        b.setCaption(QString::fromUtf8(c.caption));
        EXPECT_EQ(b.AccessKeys(), QString::fromUtf8(c.key)) << c.caption;
    }
    b.setCaption("&Open");
    b.setCaption("Plain");
    EXPECT_TRUE(b.AccessKeys().isEmpty()); // the previous key is dropped
}

TEST(ButtonProperties, FontSizeReadBackRoundsHalvesToEven)
{
    Button b;
    StdFont f = b.Font();
    for (auto [size, expected] : {std::pair{8.25f, 8}, {10.5f, 10}, {11.5f, 12}, {18.0f, 18}}) {
        f.Size = size;
        b.setFont(f);
        EXPECT_EQ(b.FontSize(), expected) << size;
    }
    b.setFontSize(9);
    EXPECT_FLOAT_EQ(b.Font().Size, 9.0f);
}

TEST(ButtonProperties, DesignTimeMirrorsAndRunTimeDoesNot)
{
    Button b;
    b.setAmbientUserMode(false);
    b.setBackColor(RGB(1, 1, 1));
    b.setForeColor(RGB(2, 2, 2));
    EXPECT_EQ(b.BackOver(), RGB(1, 1, 1));
    EXPECT_EQ(b.ForeOver(), RGB(2, 2, 2));
    b.setFontBold(false);
    b.setButtonType(btSoft);
    EXPECT_TRUE(b.FontBold());

    b.setAmbientUserMode(true);
    b.setBackColor(RGB(3, 3, 3));
    b.setForeColor(RGB(4, 4, 4));
    EXPECT_EQ(b.BackOver(), RGB(1, 1, 1));
    EXPECT_EQ(b.ForeOver(), RGB(2, 2, 2));
    b.setFontBold(false);
    b.setButtonType(btSoft);
    EXPECT_FALSE(b.FontBold());
}

TEST(ButtonProperties, SettersSignalTheirKeysAndRedrawOnlyWhenTheyShould)
{
    ShownButton s;
    Button &b = *s.button;
    QSignalSpy changed(&b, &Button::PropertyChanged);
    auto lastKey = [&] { return changed.isEmpty() ? QString() : changed.last().at(0).toString(); };

    int paints = b.paintCount();
    b.setValue(true); // no check-box behaviour: stored and signalled, not drawn
    EXPECT_EQ(lastKey(), "VALUE");
    EXPECT_EQ(b.paintCount(), paints);
    b.setUseMaskColor(false);
    EXPECT_EQ(lastKey(), "UMCOL");
    b.setUseGreyscale(true);
    EXPECT_EQ(lastKey(), "NGREY");
    b.setPictureOver(smallPicture());
    EXPECT_EQ(lastKey(), "PICH");
    EXPECT_EQ(b.paintCount(), paints);

    const auto before = changed.size();
    b.setFontBold(true);
    b.setFontItalic(true);
    b.setFontUnderline(true);
    b.setFontSize(12);
    b.setFontName("DejaVu Sans");
    EXPECT_EQ(changed.size(), before); // font attributes signal nothing
    EXPECT_GT(b.paintCount(), paints);

    b.setCheckBoxBehaviour(true);
    paints = b.paintCount();
    b.setValue(true);
    EXPECT_EQ(b.paintCount(), paints + 1);
    EXPECT_EQ(b.LastState(), 2); // the checked toggle shows pressed

    EXPECT_FALSE(b.setMousePointer(70000));
    EXPECT_FALSE(b.setMousePointer(50));
    EXPECT_NE(lastKey(), "MPTR");
    EXPECT_TRUE(b.setMousePointer(11));
    EXPECT_EQ(lastKey(), "MPTR");
    EXPECT_EQ(b.MousePointer(), 11);

    b.setPicturePosition(ppRight);
    EXPECT_EQ(lastKey(), "PICPOS");
}

TEST(ButtonProperties, DisableRefreshHoldsDrawingUntilRefresh)
{
    ShownButton s;
    Button &b = *s.button;
    b.DisableRefresh();
    const int paints = b.paintCount();
    b.setCaption("One");
    b.setBackColor(RGB(9, 9, 9));
    b.setButtonType(btGradient);
    b.setEnabled(false);
    EXPECT_EQ(b.paintCount(), paints);
    b.Refresh();
    EXPECT_EQ(b.paintCount(), paints + 1);
    EXPECT_TRUE(b.CanDraw());
}

TEST(ButtonProperties, ContainerEnabledSwitchReachesTheEnabledProperty)
{
    ShownButton s;
    Button &b = *s.button;
    QSignalSpy changed(&b, &Button::PropertyChanged);
    QWidget *asWidget = &b;
    asWidget->setEnabled(false);
    EXPECT_FALSE(b.Enabled());
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last().at(0).toString(), "ENAB");
    asWidget->setEnabled(true);
    EXPECT_TRUE(b.Enabled());
    b.setEnabled(false);
    EXPECT_FALSE(asWidget->isEnabled());
    b.setEnabled(true);
    // disabling the container leaves the button's own switch alone
    s.window->setEnabled(false);
    EXPECT_TRUE(b.Enabled());
    s.window->setEnabled(true);
}

namespace {

// A written value as text, so that tables can state what a key holds: its type and its value.
QString describe(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<qint16>())
        return QStringLiteral("i16 %1").arg(v.value<qint16>());
    if (v.metaType() == QMetaType::fromType<qint32>())
        return QStringLiteral("i32 %1").arg(v.value<qint32>());
    if (v.metaType() == QMetaType::fromType<bool>())
        return v.toBool() ? QStringLiteral("bool True") : QStringLiteral("bool False");
    if (v.metaType() == QMetaType::fromType<QString>())
        return QStringLiteral("str ") + v.toString();
    if (v.metaType() == QMetaType::fromType<StdFont>()) {
        const StdFont f = v.value<StdFont>();
        return QStringLiteral("font %1 %2%3%4%5").arg(f.Name).arg(f.Size).arg(f.Bold ? " bold" : "")
            .arg(f.Italic ? " italic" : "").arg(f.Underline ? " underline" : "");
    }
    if (v.metaType() == QMetaType::fromType<PicturePtr>()) {
        const PicturePtr p = v.value<PicturePtr>();
        if (!p)
            return QStringLiteral("pic none");
        return QStringLiteral("pic %1x%2 %3").arg(p->image.width()).arg(p->image.height())
            .arg(p->image.pixel(0, 0), 8, 16, QLatin1Char('0'));
    }
    return QStringLiteral("other ") + QString::fromLatin1(v.typeName());
}

QStringList describeAll(const PropertyBag &bag)
{
    QStringList out;
    for (const auto &e : bag.entries())
        out << e.first + QStringLiteral(" = ") + describe(e.second);
    return out;
}

StdFont arial18()
{
    StdFont f;
    f.Name = "Arial";
    f.Size = 18;
    f.Italic = true;
    return f;
}

// One stored value for every key (none of them the default, several of a type
// the read converts) and what a write gives back for it, in the order of the keys.
struct StoredCase {
    const char *key;
    QVariant stored;
    const char *written;
};

std::vector<StoredCase> storedCases()
{
    return {
        {"BTYPE", QStringLiteral("7"), "BTYPE = i32 7"},
        {"TX", PropertyBag::int16(42), "TX = str 42"},
        {"ENAB", PropertyBag::int16(0), "ENAB = bool False"},
        {"FONT", PropertyBag::font(arial18()), "FONT = font Arial 18 italic"},
        {"COLTYPE", PropertyBag::int16(3), "COLTYPE = i32 3"},
        {"FOCUSR", QStringLiteral("False"), "FOCUSR = bool False"},
        {"BCOL", QStringLiteral("&H8000000F"), "BCOL = i32 -2147483633"},
        {"BCOLO", PropertyBag::int32(0x010203), "BCOLO = i32 66051"},
        {"FCOL", 2.5, "FCOL = i32 2"}, // halves to even
        {"FCOLO", PropertyBag::int32(0x400000), "FCOLO = i32 4194304"},
        {"MCOL", PropertyBag::int32(0xFF00FF), "MCOL = i32 16711935"},
        {"MPTR", PropertyBag::int32(11), "MPTR = i16 1"},    // HAND, read later, decides
        {"MICON", PropertyBag::picture(smallPicture(qRgb(9, 9, 9))), "MICON = pic none"},
        {"PICN", PropertyBag::picture(smallPicture(qRgb(0, 0, 255))), "PICN = pic 16x16 ff0000ff"},
        {"PICH", PropertyBag::picture(smallPicture(qRgb(0, 255, 0))), "PICH = pic 16x16 ff00ff00"},
        {"UMCOL", false, "UMCOL = bool False"},
        {"SOFT", PropertyBag::int32(5), "SOFT = bool True"},
        {"PICPOS", PropertyBag::int32(ppBottom), "PICPOS = i32 3"},
        {"NGREY", true, "NGREY = bool True"},
        {"FX", PropertyBag::int16(seSunken), "FX = i32 2"},
        {"HAND", false, "HAND = bool False"},
        {"CHECK", QStringLiteral("True"), "CHECK = bool True"},
        {"VALUE", PropertyBag::int16(-1), "VALUE = bool True"},
    };
}

} // namespace

TEST(ButtonProperties, EveryKeyIsReadConvertedAndWrittenBackInOrder)
{
    PropertyBag bag;
    QStringList expected;
    for (const StoredCase &c : storedCases()) {
        bag.WriteProperty(QString::fromLatin1(c.key).toLower(), c.stored);
        expected << QString::fromLatin1(c.written);
    }
    Button b(bag);
    PropertyBag written;
    ASSERT_TRUE(b.UserControl_WriteProperties(written));
    EXPECT_EQ(describeAll(written).join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    EXPECT_EQ(b.MousePointer(), 1);
    EXPECT_FALSE(b.isEnabled());
    EXPECT_EQ(b.PictureWidth(), 16);
    EXPECT_EQ(b.AccessKeys(), "");
}

TEST(ButtonProperties, WritesOfAnEmptyBagAndOfANewInstance)
{
    Button fromEmpty{PropertyBag{}};
    PropertyBag written;
    ASSERT_TRUE(fromEmpty.UserControl_WriteProperties(written));
    const QString font = describe(PropertyBag::font(fromEmpty.Font()));
    EXPECT_EQ(describeAll(written).join(u'\n').toStdString(),
              QStringList({"BTYPE = i32 2", "TX = str ", "ENAB = bool True", "FONT = " + font, "COLTYPE = i32 1",
                           "FOCUSR = bool True", "BCOL = i32 13160660", "BCOLO = i32 13160660", "FCOL = i32 0",
                           "FCOLO = i32 0", "MCOL = i32 12632256", "MPTR = i16 1", "MICON = pic none",
                           "PICN = pic none", "PICH = pic none", "UMCOL = bool True", "SOFT = bool False",
                           "PICPOS = i32 0", "NGREY = bool False", "FX = i32 0", "HAND = bool False",
                           "CHECK = bool False", "VALUE = bool False"})
                  .join(u'\n')
                  .toStdString());

    Button placed(QStringLiteral("cmdGo"));
    placed.setMousePointer(11); // the surface's current setting is what is written
    written.clear();
    ASSERT_TRUE(placed.UserControl_WriteProperties(written));
    const QStringList all = describeAll(written);
    ASSERT_EQ(all.size(), 23);
    EXPECT_EQ(all.at(1).toStdString(), "TX = str cmdGo");
    EXPECT_EQ(all.at(11).toStdString(), "MPTR = i16 11");
    EXPECT_EQ(all.at(12).toStdString(), "MICON = pic none");
}

namespace {

// Reads every stored value of storedCases() with `bad` in place of the value at
// key k into a new instance, and checks that the read fails and stops there:
// the keys before k keep the values read, k and the keys after it the values
// they had, and the steps after the last key do not run.
void expectReadStopsAt(std::size_t k, const QVariant &bad)
{
    const std::vector<StoredCase> cases = storedCases();
    PropertyBag fresh;
    ASSERT_TRUE(Button().UserControl_WriteProperties(fresh));
    const QStringList before = describeAll(fresh);
    PropertyBag bag;
    for (std::size_t i = 0; i < cases.size(); ++i)
        bag.WriteProperty(QString::fromLatin1(cases[i].key), i == k ? bad : cases[i].stored);
    Button b;
    const bool enabledBefore = b.isEnabled();
    EXPECT_FALSE(b.UserControl_ReadProperties(bag));
    PropertyBag written;
    ASSERT_TRUE(b.UserControl_WriteProperties(written));
    const QStringList after = describeAll(written);
    const bool handRead = k > 20; // "HAND", read after "MPTR" and "MICON", decides the pointer
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string_view key = cases[i].key;
        QString expected = QString::fromLatin1(cases[i].written); // read
        if (i >= k)
            expected = before.at(i); // kept as it was
        else if (key == "MPTR" && !handRead)
            expected = QStringLiteral("MPTR = i16 11");
        else if (key == "MICON" && !handRead)
            expected = QStringLiteral("MICON = pic 16x16 ff090909");
        EXPECT_EQ(after.at(i).toStdString(), expected.toStdString());
    }
    EXPECT_EQ(b.isEnabled(), enabledBefore); // the steps after the last key did not run
}

std::size_t indexOfKey(std::string_view key)
{
    const std::vector<StoredCase> cases = storedCases();
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (key == cases[i].key)
            return i;
    ADD_FAILURE() << "no key " << key;
    return 0;
}

} // namespace

TEST(ButtonProperties, AValueThatCannotBeConvertedStopsTheReadAtEachKey)
{
    const std::vector<StoredCase> cases = storedCases();
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].key);
        // a font converts to nothing else, and a text is no font
        expectReadStopsAt(k, std::string_view(cases[k].key) == "FONT" ? QVariant(QStringLiteral("Arial"))
                                                                      : PropertyBag::font(arial18()));
    }
}

// A value read as a number must be a finite number in the range of the
// property's type; anything else is a failed conversion, whatever key holds it.
TEST(ButtonProperties, ANumberThatIsNotFiniteOrOutOfRangeStopsTheReadAtItsKey)
{
    enum Kind { Long, Integer, Boolean };
    const std::pair<const char *, Kind> keys[] = {
        {"BTYPE", Long},   {"ENAB", Boolean},  {"COLTYPE", Long}, {"FOCUSR", Boolean}, {"BCOL", Long},
        {"BCOLO", Long},   {"FCOL", Long},     {"FCOLO", Long},   {"MCOL", Long},      {"MPTR", Integer},
        {"UMCOL", Boolean}, {"SOFT", Boolean}, {"PICPOS", Long},  {"NGREY", Boolean},  {"FX", Long},
        {"HAND", Boolean}, {"CHECK", Boolean}, {"VALUE", Boolean},
    };
    struct Value {
        const char *name;
        QVariant value;
        bool failsAs[3]; // Long, Integer, Boolean
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Value values[] = {
        {"text nan", QStringLiteral("nan"), {true, true, true}},
        {"text NaN", QStringLiteral("NaN"), {true, true, true}},
        {"text inf", QStringLiteral("inf"), {true, true, true}},
        {"text -INF", QStringLiteral("-INF"), {true, true, true}},
        {"text Infinity", QStringLiteral("Infinity"), {true, true, true}},
        {"double NaN", nan, {true, true, true}},
        {"double -inf", -inf, {true, true, true}},
        {"float NaN", QVariant(std::numeric_limits<float>::quiet_NaN()), {true, true, true}},
        {"text 1e10", QStringLiteral("1e10"), {true, true, false}},
        {"double 2147483647.5", 2147483647.5, {true, true, false}}, // rounds to 2^31
        {"text -2147483649", QStringLiteral("-2147483649"), {true, true, false}},
        {"i32 40000", PropertyBag::int32(40000), {false, true, false}},
    };
    for (const Value &v : values) {
        for (const auto &[key, kind] : keys) {
            SCOPED_TRACE(testing::Message() << key << " = " << v.name);
            if (v.failsAs[kind]) {
                expectReadStopsAt(indexOfKey(key), v.value);
                continue;
            }
            Button b;
            EXPECT_TRUE(b.UserControl_ReadProperties(PropertyBag{{QString::fromLatin1(key), v.value}}));
            PropertyBag written;
            ASSERT_TRUE(b.UserControl_WriteProperties(written));
            const QString shown = describe(written.ReadProperty(QString::fromLatin1(key)));
            if (kind == Boolean)
                EXPECT_EQ(shown.toStdString(), "bool True");
            else
                EXPECT_EQ(shown.toStdString(), "i32 40000");
        }
    }
}

TEST(ButtonProperties, EverySetterSignalsItsStoredKey)
{
    struct Case {
        const char *key;
        std::function<void(Button &)> set;
    };
    const Case cases[] = {
        {"BTYPE", [](Button &b) { b.setButtonType(btOval); }},
        {"TX", [](Button &b) { b.setCaption("&Go"); }},
        {"ENAB", [](Button &b) { b.setEnabled(false); }},
        {"FONT", [](Button &b) { b.setFont(arial18()); }},
        {"COLTYPE", [](Button &b) { b.setColorScheme(csClassic); }},
        {"FOCUSR", [](Button &b) { b.setShowFocusRect(false); }},
        {"BCOL", [](Button &b) { b.setBackColor(RGB(1, 2, 3)); }},
        {"BCOLO", [](Button &b) { b.setBackOver(RGB(1, 2, 3)); }},
        {"FCOL", [](Button &b) { b.setForeColor(RGB(1, 2, 3)); }},
        {"FCOLO", [](Button &b) { b.setForeOver(RGB(1, 2, 3)); }},
        {"MCOL", [](Button &b) { b.setMaskColor(RGB(1, 2, 3)); }},
        {"MPTR", [](Button &b) { b.setMousePointer(2); }},
        {"MICON", [](Button &b) { b.setMouseIcon(smallPicture()); }},
        {"PICN", [](Button &b) { b.setPictureNormal(smallPicture()); }},
        {"PICH", [](Button &b) { b.setPictureOver(smallPicture()); }},
        {"UMCOL", [](Button &b) { b.setUseMaskColor(false); }},
        {"SOFT", [](Button &b) { b.setSoftBevel(true); }},
        {"PICPOS", [](Button &b) { b.setPicturePosition(ppTop); }},
        {"NGREY", [](Button &b) { b.setUseGreyscale(true); }},
        {"FX", [](Button &b) { b.setSpecialEffect(seRaised); }},
        {"HAND", [](Button &b) { b.setHandPointer(true); }},
        {"CHECK", [](Button &b) { b.setCheckBoxBehaviour(true); }},
        {"VALUE", [](Button &b) { b.setValue(true); }},
    };
    ShownButton s;
    Button &b = *s.button;
    QSignalSpy changed(&b, &Button::PropertyChanged);
    for (const Case &c : cases) {
        changed.clear();
        c.set(b);
        ASSERT_EQ(changed.size(), 1) << c.key;
        EXPECT_EQ(changed.first().at(0).toString(), QString::fromLatin1(c.key));
    }
}
