// The window as the user meets it: places, captions, colours, load steps, chrome.

#include "window_fixture.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QHeaderView>
#include <QIcon>
#include <QWindow>

#include "main_window/form2.h"
#include "main_window/skin.h"
#include "platform/gui/dir_list_box.h"
#include "profiles/profiles.h"

namespace vidmora::test {
namespace {

using DesignTest = WindowTest;

struct Place {
    const char *name;
    int left, top, width, height; // twips
};

// Every control at its design place: twips / 15 = pixels.
const Place kPlaces[] = {
    {"lblurl", 600, 720, 1335, 285},     {"txturl", 1890, 720, 5415, 285},
    {"Command1", 7440, 720, 1095, 300},  {"cmdCancel", 8640, 720, 1095, 300},
    {"Label11", 8400, 120, 1335, 255},   {"Button2", 9960, 120, 255, 225},
    {"Label6", 1680, 1440, 885, 225},    {"Text1", 1680, 1680, 3735, 285},
    {"Button3", 240, 1440, 1335, 465},   {"lblTC", 7080, 1560, 1530, 225},
    {"lblTitle", 5880, 1800, 4005, 225}, {"Image1", 5880, 2160, 3975, 2655},
    {"Shape1", 5880, 2160, 3975, 2655},  {"Label3", 255, 1995, 1125, 225},
    {"lblDate", 1080, 1995, 4290, 225},  {"Label4", 240, 2280, 1380, 225},
    {"lblCat", 1440, 2280, 3990, 225},   {"Label5", 240, 2760, 1755, 225},
    {"txtDes", 240, 3000, 5175, 735},    {"Label1", 495, 9435, 1260, 225},
    {"lblvmrUser", 1485, 9435, 3885, 225}, {"Label2", 6480, 5040, 2805, 225},
    {"lblViews", 6600, 5280, 2685, 225}, {"Button1", 240, 3960, 5175, 465},
    {"Label7", 360, 5040, 1935, 255},    {"Combo1", 2040, 4920, 3135, 315},
    {"lstDownload", 600, 5640, 9105, 1125}, {"SB1", 120, 6960, 8055, 255},
};

int px(int twips) { return (twips + 7) / 15; }

TEST_F(DesignTest, EveryControlSitsAtItsDesignPlace)
{
    makeWindow();
    EXPECT_EQ(window->size(), QSize(690, 489));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    for (const Place &p : kPlaces) {
        QWidget *w = child<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(px(p.left), px(p.top), px(p.width), px(p.height))) << p.name;
    }
}

TEST_F(DesignTest, CaptionsColoursAndFontsFollowTheDesign)
{
    makeWindow();
    struct Caption {
        const char *name;
        QString text;
        QColor color;
    };
    const Caption captions[] = {
        {"lblurl", QStringLiteral("Vidmora URL:"), Qt::white},
        {"Label11", kMakerHost, QColor(192, 192, 192)},
        {"Label6", QStringLiteral("Save path:"), Qt::white},
        {"lblTC", QStringLiteral("Name of the video:"), Qt::black},
        {"Label3", QStringLiteral("Added at:"), Qt::white},
        {"lblDate", QStringLiteral("no date"), Qt::white},
        {"Label4", QStringLiteral("From category:"), Qt::white},
        {"lblCat", QStringLiteral("no category"), Qt::white},
        {"Label5", QStringLiteral("Description:"), Qt::white},
        {"txtDes", QStringLiteral("no description"), Qt::white},
        {"Label1", QStringLiteral("Uploaded By:"), Qt::white},
        {"Label2", QStringLiteral("Current Views:"), Qt::black},
        {"Label7", QStringLiteral("Convert Format Type"), Qt::white},
        {"SB1", main_window::Form1::startNotice() + QStringLiteral(" - Ready for converting ..."), QColor(224, 224, 224)},
    };
    for (const Caption &c : captions) {
        auto *label = child<platform::Label>(c.name);
        EXPECT_EQ(label->Caption(), c.text) << c.name;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), c.color) << c.name;
        EXPECT_EQ(label->font().pixelSize(), 11) << c.name;
    }
    EXPECT_TRUE(child<QWidget>("lblurl")->font().bold());
    EXPECT_TRUE(child<QLabel>("lblTitle")->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(child<QLabel>("lblViews")->alignment() & Qt::AlignHCenter);

    auto *address = child<QLineEdit>("txturl");
    EXPECT_EQ(address->text(), QStringLiteral("http://"));
    EXPECT_EQ(address->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(address->palette().color(QPalette::Text), QColor(64, 0, 0));
    EXPECT_TRUE(address->hasFocus() || QApplication::focusWidget() == nullptr);
    auto *folder = child<QLineEdit>("Text1");
    EXPECT_EQ(folder->text(), saveFolder());
    EXPECT_EQ(folder->palette().color(QPalette::Base), QColor(64, 64, 64));
    EXPECT_EQ(folder->palette().color(QPalette::Text), QColor(Qt::white));

    EXPECT_EQ(child<main_window::WindowButton>("Command1")->Caption(), QStringLiteral("Download"));
    EXPECT_EQ(child<main_window::WindowButton>("cmdCancel")->Caption(), QStringLiteral("Cancel"));
    EXPECT_EQ(child<main_window::WindowButton>("Button1")->Caption(), QStringLiteral("Play"));
    EXPECT_EQ(child<main_window::WindowButton>("Button2")->Caption(), QStringLiteral("X"));
    EXPECT_EQ(child<main_window::WindowButton>("Button3")->Caption(), QStringLiteral("Chose path ..."));
    EXPECT_FALSE(button("Button1")->isVisible());
    EXPECT_FALSE(button("Shape1")->isVisible());
    for (const char *name : {"Command1", "cmdCancel", "Button2", "Button3"})
        EXPECT_TRUE(button(name)->isEnabled()) << name;
}

TEST(LabelCaption, ShowsTheAccessKeyAmpersandsBlanksAndLineBreaksAsTheRuntimeDoes)
{
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("Film && Animation"), QStringLiteral("Film &amp; Animation")},
        {QStringLiteral("&Save path"), QStringLiteral("<u>S</u>ave path")},
        {QStringLiteral("a&b&c"), QStringLiteral("a<u>b</u>c")}, // the first mark only
        {QStringLiteral("<b>\"x\"</b>"), QStringLiteral("&lt;b&gt;&quot;x&quot;&lt;/b&gt;")},
        {QStringLiteral("two  blanks\r\nnext"), QStringLiteral("two  blanks<br>next")},
        {QStringLiteral("ends in &"), QStringLiteral("ends in &amp;")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::Label::displayHtml(c.first), c.second) << c.first.toStdString();
}

TEST(LabelCaption, ACaptionFarLongerThanTheLabelLooksAsTheWholeWouldAndIsKeptWhole)
{
    // The description label's place and look.
    QWidget parent;
    parent.resize(400, 120);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(20, 30, 90));
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    auto *shown = new platform::Label(&parent);
    shown->setGeometry(16, 0, 345, 49);
    auto *whole = new QLabel(&parent); // the same caption laid out in full
    whole->setGeometry(16, 60, 345, 49);
    for (QLabel *l : {static_cast<QLabel *>(shown), whole}) {
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setContentsMargins(0, 0, 0, 0);
        l->setMargin(0);
        l->setIndent(0);
        l->setTextInteractionFlags(Qt::NoTextInteraction);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(p);
    }
    const QString caption = QStringLiteral("Sunny afternoon by the lake &amp; more. ").repeated(500);
    shown->setCaption(caption);
    whole->setTextFormat(Qt::RichText);
    whole->setText(QStringLiteral("<span style=\"white-space:pre-wrap\">") + platform::Label::displayHtml(caption)
                   + QStringLiteral("</span>"));
    parent.show();
    EXPECT_EQ(shown->Caption(), caption);
    EXPECT_EQ(shown->grab().toImage(), whole->grab().toImage());
}

TEST_F(DesignTest, FormatBoxOffersTheTwentySevenEntriesPickOnly)
{
    makeWindow();
    auto *combo = child<QComboBox>("Combo1");
    EXPECT_FALSE(combo->isEditable());
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries.append(combo->itemText(i));
    EXPECT_EQ(entries, profiles::formatListEntries());
    ASSERT_EQ(entries.size(), 27);
    EXPECT_EQ(entries.first(), QStringLiteral("AVI (MPEG4-DivX-Compatible)"));
    EXPECT_EQ(entries.last(), QStringLiteral("WAVE Sound (WAV)"));
    // Selected at load, since the box starts without a selection.
    EXPECT_EQ(combo->currentText(), QStringLiteral("AVI (MPEG4-DivX-Compatible)"));
    EXPECT_EQ(combo->palette().color(QPalette::Base), QColor(64, 64, 64));
    // Its list drops below it, eight entries high, in the same colours.
    EXPECT_EQ(combo->style()->styleHint(QStyle::SH_ComboBox_Popup, nullptr, combo), 0);
    EXPECT_EQ(combo->maxVisibleItems(), 8);
    EXPECT_EQ(combo->view()->palette().color(QPalette::Base), QColor(64, 64, 64));
    EXPECT_EQ(combo->view()->palette().color(QPalette::Text), QColor(Qt::white));
}

TEST_F(DesignTest, DownloadListHasItsThreeColumns)
{
    makeWindow();
    platform::ListView *l = list();
    ASSERT_EQ(l->columnCount(), 3);
    EXPECT_EQ(l->headerItem()->text(0), QStringLiteral("Video:"));
    EXPECT_EQ(l->headerItem()->text(1), QStringLiteral("ID:"));
    EXPECT_EQ(l->headerItem()->text(2), QStringLiteral("Status:"));
    EXPECT_EQ(l->columnWidth(0), px(5440));
    EXPECT_EQ(l->columnWidth(1), px(1140));
    EXPECT_EQ(l->columnWidth(2), px(1440));
    EXPECT_TRUE(l->headerItem()->textAlignment(1) & Qt::AlignHCenter);
    EXPECT_EQ(l->count(), 0);
}

TEST_F(DesignTest, LoadCreatesTheSaveFolderAndStartsTheAnnouncementProgram)
{
    ASSERT_FALSE(QFileInfo::exists(saveFolder()));
    makeWindow();
    EXPECT_TRUE(QFileInfo(saveFolder()).isDir());
    EXPECT_EQ(shell.started, QStringList{QStringLiteral(VIDMORA_TEST_BIN_DIR "/zelto")});
    EXPECT_EQ(window->statusText(), main_window::Form1::startNotice() + QStringLiteral(" - Ready for converting ..."));
    EXPECT_EQ(window->SpinFrame(), 0);
    EXPECT_TRUE(box.shown.isEmpty()); // a missing announcement program leaves no trace
}

TEST_F(DesignTest, SaveFolderWhoseParentIsMissingIsLeftUncreatedSilently)
{
    // The design text names a folder two levels below what exists.
    adjustSetup = [this](main_window::Form1Setup &setup) {
        setup.saveFolder = m_temp.path() + QStringLiteral("/missing/Vidmora");
    };
    makeWindow(Downloads::Fake);
    EXPECT_FALSE(QFileInfo::exists(m_temp.path() + QStringLiteral("/missing")));
    EXPECT_TRUE(box.shown.isEmpty());
}

TEST_F(DesignTest, MakersAddressWiderThanItsPlaceGrowsLeftwardsBesideX)
{
    const QString longHost = QStringLiteral("www.zevrak-software-downloads.example");
    adjustSetup = [&](main_window::Form1Setup &setup) { setup.makerHost = longHost; };
    makeWindow(Downloads::Fake);
    auto *link = child<platform::Label>("Label11");
    const QRect design(px(8400), px(120), px(1335), px(255));
    EXPECT_EQ(link->Caption(), longHost);
    EXPECT_EQ(link->geometry().right(), design.right());
    EXPECT_EQ(link->geometry().top(), design.top());
    EXPECT_EQ(link->geometry().height(), design.height());
    EXPECT_GE(link->width(), link->fontMetrics().horizontalAdvance(longHost));
    EXPECT_LT(link->geometry().right(), child<QWidget>("Button2")->geometry().left());
}

TEST_F(DesignTest, XEndsAtOnceLeavingTheThumbnailButClosingDeletesIt)
{
    makeWindow();
    ASSERT_TRUE(writeFile(thumbPath(), thumbnailJpeg())) << thumbPath().toStdString();

    press("Button2");
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_TRUE(QFileInfo::exists(thumbPath()));

    window->close();
    EXPECT_EQ(endProgramCalls, 2);
    EXPECT_FALSE(QFileInfo::exists(thumbPath()));
}

TEST_F(DesignTest, AboutLinkOpensTheMakersAddress)
{
    makeWindow();
    auto *link = child<platform::Label>("Label11");
    QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://") + kMakerHost});
}

TEST_F(DesignTest, FolderDialogHandsTheOpenFolderToTheSaveBox)
{
    makeWindow();
    press("Button3");
    main_window::Form2 *dialog = window->folderDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save ..."));
    // Opens at the process's current folder, not at the save folder.
    EXPECT_EQ(dialog->dirList()->Path(), QDir::cleanPath(QDir::currentPath()));

    // A highlighted folder is not taken; the open one is.
    QDir(m_temp.path()).mkpath(QStringLiteral("chosen/inner"));
    dialog->dirList()->setPath(m_temp.path() + QStringLiteral("/chosen"));
    dialog->dirList()->setCurrentRow(dialog->dirList()->count() - 1); // "inner", highlighted only
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton, Qt::NoModifier, dialog->okButton()->rect().center());
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), QDir::cleanPath(m_temp.path() + QStringLiteral("/chosen")));
    EXPECT_FALSE(dialog->isVisible());

    // The same dialog comes back with the same folder open.
    press("Button3");
    EXPECT_EQ(window->folderDialog(), dialog);
    EXPECT_EQ(dialog->dirList()->Path(), QDir::cleanPath(m_temp.path() + QStringLiteral("/chosen")));

    // The close box leaves the save box alone and drops the dialog.
    child<QLineEdit>("Text1")->setText(saveFolder());
    dialog->close();
    EXPECT_TRUE(waitUntil([this] { return window->folderDialog() == nullptr; }));
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), saveFolder());
}

TEST_F(DesignTest, FolderDialogShowsNoIconNotEvenTheProgramsOwn)
{
    // The program gives its windows its icon; the dialog has none.
    const QIcon programIcon = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(main_window::makeWindowIcon()));
    makeWindow();
    press("Button3");
    main_window::Form2 *dialog = window->folderDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->windowHandle(), nullptr);
    // What the window system is handed for the dialog: a blank icon.
    for (const QIcon &icon : {dialog->windowIcon(), dialog->windowHandle()->icon()}) {
        ASSERT_FALSE(icon.availableSizes().isEmpty());
        for (const QSize &size : icon.availableSizes()) {
            const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y << " of " << size.width();
        }
    }
    EXPECT_GT(window->windowIcon().pixmap(32).toImage().pixelColor(16, 16).alpha(), 0); // the main window keeps the program's
    QApplication::setWindowIcon(programIcon);
}

// A press, then a one-pixel move and more moves: the window follows from the
// first move on, so the rest of the way moves it by as much. A spot covered by a
// label, the thumbnail or another control keeps its moves, and moves nothing.
struct DragCase {
    const char *name;
    const char *control; // where the press lands; nullptr: a free spot of the window
    QPoint at;           // in the control, or in the window
    Qt::MouseButton button;
    bool moves;
};

void PrintTo(const DragCase &c, std::ostream *os)
{
    *os << c.name;
}

const DragCase kDragCases[] = {
    {"AddedAtLabel", "Label3", {5, 5}, Qt::LeftButton, false},
    {"SavePathLabel", "Label6", {5, 5}, Qt::LeftButton, false},
    {"DateLabel", "lblDate", {5, 5}, Qt::LeftButton, false},
    {"StatusLine", "SB1", {20, 8}, Qt::LeftButton, false},
    {"MakersAddress", "Label11", {10, 8}, Qt::LeftButton, false},
    {"Thumbnail", "Image1", {100, 80}, Qt::LeftButton, false},
    {"SaveFolderBox", "Text1", {20, 8}, Qt::LeftButton, false},
    {"DownloadList", "lstDownload", {200, 50}, Qt::LeftButton, false},
    {"FreeSpotRightButton", nullptr, {300, 20}, Qt::RightButton, false},
    {"FreeSpotLeftButton", nullptr, {300, 20}, Qt::LeftButton, true},
};

class DragTest : public WindowTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(DragTest, OnlyTheLeftButtonOnAFreeSpotDragsTheWindow)
{
    const DragCase c = GetParam();
    makeWindow();
    QWidget *control = c.control ? child<QWidget>(c.control) : window.get();
    ASSERT_NE(control, nullptr);
    const QPoint start = window->pos();
    const QPoint grip = control->mapToGlobal(c.at);
    // The events go where the pointer is: the deepest widget there.
    QWidget *under = window->childAt(window->mapFromGlobal(grip));
    if (c.control)
        ASSERT_TRUE(under == control || control->isAncestorOf(under)) << "the spot is covered by something else";
    else
        ASSERT_EQ(under, nullptr) << "the spot is not free";
    QWidget *target = under ? under : window.get();

    // The pointer keeps to the screen while the window moves under it.
    const auto at = [&](QPoint offset) { return target->mapFromGlobal(grip + offset); };
    QTest::mousePress(target, c.button, Qt::NoModifier, target->mapFromGlobal(grip));
    QTest::mouseMove(target, at({1, 0}));
    QTest::mouseMove(target, at({31, 25}));
    QTest::mouseMove(target, at({61, 50}));
    QTest::mouseRelease(target, c.button, Qt::NoModifier, at({61, 50}));
    const QPoint after = c.moves ? start + QPoint(60, 50) : start;
    EXPECT_EQ(window->pos(), after);

    // Once released, the pointer moves on alone.
    QTest::mouseMove(target, at({120, 90}));
    QTest::mouseMove(target, at({150, 110}));
    EXPECT_EQ(window->pos(), after);
}

INSTANTIATE_TEST_SUITE_P(Spots, DragTest, ::testing::ValuesIn(kDragCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace vidmora::test

namespace vidmora::test {
namespace {

TEST_F(WindowTest, SkinShowsItsStripsPanelsAndLines)
{
    ASSERT_TRUE(runStandardPageRoad());
    const QImage shot = window->grab().toImage();
    // Kept beside the test programs for a look by eye.
    shot.save(QStringLiteral(VIDMORA_TEST_BIN_DIR "/main_window.png"));
    ASSERT_EQ(shot.size(), QSize(690, 489));
    auto dark = [](QColor c) { return c.lightness() < 40; };
    EXPECT_EQ(shot.pixelColor(345, 0), QColor(Qt::white));      // Line3 along the top
    EXPECT_TRUE(dark(shot.pixelColor(300, 20)));                  // title strip
    EXPECT_TRUE(dark(shot.pixelColor(600, 475)));                 // bottom strip
    EXPECT_EQ(shot.pixelColor(345, 488), QColor(128, 128, 128));  // Line4
    const QColor body = shot.pixelColor(200, 300);
    EXPECT_GT(body.blue(), body.red() + 30);                      // dark blue body
    EXPECT_GT(shot.pixelColor(400, 110).lightness(), 180);        // pale panel behind the title
    EXPECT_EQ(shot.pixelColor(100, 176), QColor(Qt::white));      // Line2
    EXPECT_EQ(shot.pixelColor(100, 248), QColor(Qt::white));      // Line1
    const QColor list = shot.pixelColor(36, 414);
    EXPECT_TRUE(list.red() == list.green() && list.green() == list.blue() && list.red() > 120); // grey list panel
}

} // namespace
} // namespace vidmora::test
