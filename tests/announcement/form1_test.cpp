#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "announcement/form1.h"
#include "announcement/image_control.h"
#include "event_wait.h"
#include "loopback_peer.h"
#include "http_fixture_server.h"

using vidmora::announcement::Form1;
using vidmora::test::HttpFixtureServer;
using vidmora::test::waitUntil;

// Texts in failure messages as text (found by the test framework beside QString).
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Bounds, not timings: a loaded CI machine starts the web engine slowly.
constexpr int kLoadBoundMs = 60000;
constexpr int kTimerBoundMs = 30000;

void sendMove(QWidget *target, QPoint globalPos, Qt::MouseButtons buttons)
{
    const QPointF local = target->mapFromGlobal(QPointF(globalPos));
    QMouseEvent move(QEvent::MouseMove, local, QPointF(globalPos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

void sendRelease(QWidget *target, QPoint globalPos, Qt::MouseButton button)
{
    const QPointF local = target->mapFromGlobal(QPointF(globalPos));
    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(globalPos), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// The maker's pages: a small HTML page whose title is "page " + the query,
// and no icon.
HttpFixtureServer::Response makersPage(const HttpFixtureServer::Request &request)
{
    if (request.target.startsWith("/favicon"))
        return HttpFixtureServer::status(404);
    const QByteArray query = QUrl(QString::fromLatin1(request.target)).query().toHtmlEscaped().toUtf8();
    return HttpFixtureServer::ok("<!DOCTYPE html><html><head><title>page " + query + "</title></head>"
                                 "<body style=\"background:#203040;color:#f0f0f0\"><h1>Announcement " + query
                                     + "</h1></body></html>",
                                 "text/html; charset=utf-8");
}

class Form1Test : public ::testing::Test {
protected:
    Form1Test() { server.setHandler(&makersPage); }

    // "127.0.0.1:<port>", the form the window takes for the maker's host.
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }
    QStringList targets() const
    {
        QStringList seen;
        for (const HttpFixtureServer::Request &r : server.requests())
            seen << QString::fromLatin1(r.target);
        return seen;
    }

    HttpFixtureServer server;
    int ends = 0;
    std::function<void()> countEnds() { return [this] { ++ends; }; }
};

TEST_F(Form1Test, DesignMatchesTheWindowLayout)
{
    Form1 form(host(), countEnds());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelto"));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(905, 514));
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(form.autoFillBackground());

    EXPECT_EQ(form.Image3->geometry(), QRect(0, 0, 917, 29));
    EXPECT_EQ(form.Image2->geometry(), QRect(0, 24, 892, 302));
    EXPECT_EQ(form.WebBrowser2->geometry(), QRect(320, 43, 569, 265));
    EXPECT_EQ(form.WebBrowser1->geometry(), QRect(16, 320, 873, 185));
    EXPECT_EQ(form.Command1->geometry(), QRect(864, 8, 17, 17));
    EXPECT_EQ(form.Command1->text(), QStringLiteral("X"));
    EXPECT_EQ(form.Timer1->Interval(), 3000);
    EXPECT_TRUE(form.Timer1->Enabled());
    // The pages leave nothing on disk.
    EXPECT_TRUE(form.WebBrowser1->page()->profile()->isOffTheRecord());
    EXPECT_TRUE(form.WebBrowser2->page()->profile()->isOffTheRecord());

    // The title strip lies over the background's top rows, the pages and the
    // button over both pictures.
    const QObjectList order = form.children();
    const auto at = [&](QObject *o) { return order.indexOf(o); };
    EXPECT_LT(at(form.Image2), at(form.Image3));
    EXPECT_LT(at(form.Image3), at(form.WebBrowser2));
    EXPECT_LT(at(form.Image3), at(form.WebBrowser1));
    EXPECT_LT(at(form.Image3), at(form.Command1));
    EXPECT_EQ(form.childAt(10, 26), form.Image3);
    EXPECT_EQ(form.childAt(0, 0), form.Image3) << "the outline takes no pointer input";

    // Centred on the screen.
    const QRect screen = form.screen()->geometry();
    EXPECT_EQ(form.pos(), QPoint(screen.x() + (screen.width() - 905) / 2, screen.y() + (screen.height() - 514) / 2));
}

TEST_F(Form1Test, PicturesShipAsGifAndTwentyFourBitBitmap)
{
    QImageReader title(QStringLiteral(":/zelto/title.gif"));
    EXPECT_EQ(title.format(), QByteArray("gif"));
    const QImage titleImage = title.read();
    ASSERT_FALSE(titleImage.isNull()) << title.errorString().toStdString();
    EXPECT_EQ(titleImage.size(), QSize(917, 29));

    QFile bitmap(QStringLiteral(":/zelto/background.bmp"));
    ASSERT_TRUE(bitmap.open(QIODevice::ReadOnly));
    const QByteArray bytes = bitmap.readAll();
    ASSERT_GT(bytes.size(), 30);
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(quint8(bytes.at(28)) | quint8(bytes.at(29)) << 8, 24) << "bits per pixel";
    QImage background;
    ASSERT_TRUE(background.loadFromData(bytes, "BMP"));
    EXPECT_EQ(background.size(), QSize(892, 302));

    Form1 form(host(), countEnds());
    EXPECT_EQ(form.Image3->Picture().size(), QSize(917, 29));
    EXPECT_EQ(form.Image2->Picture().size(), QSize(892, 302));
}

TEST_F(Form1Test, BothViewsLoadTheMakersPages)
{
    ASSERT_TRUE(server.isListening());
    Form1 form(host(), countEnds());
    QSignalSpy done1(form.WebBrowser1, &QWebEngineView::loadFinished);
    QSignalSpy done2(form.WebBrowser2, &QWebEngineView::loadFinished);
    ASSERT_TRUE(waitUntil([&] { return done1.count() > 0 && done2.count() > 0; }, kLoadBoundMs));
    EXPECT_TRUE(done1.first().first().toBool());
    EXPECT_TRUE(done2.first().first().toBool());
    EXPECT_EQ(form.WebBrowser1->url().toString(), QStringLiteral("http://%1/Plimo/Zelto.php?sistem=1").arg(host()));
    EXPECT_EQ(form.WebBrowser2->url().toString(), QStringLiteral("http://%1/Plimo/Zelto.php?sistem=3").arg(host()));
    EXPECT_EQ(form.WebBrowser1->title(), QStringLiteral("page sistem=1"));
    EXPECT_EQ(form.WebBrowser2->title(), QStringLiteral("page sistem=3"));
    EXPECT_TRUE(targets().contains(QStringLiteral("/Plimo/Zelto.php?sistem=1"))) << targets().join(' ').toStdString();
    EXPECT_TRUE(targets().contains(QStringLiteral("/Plimo/Zelto.php?sistem=3"))) << targets().join(' ').toStdString();
    EXPECT_EQ(ends, 0);
}

TEST_F(Form1Test, PagesThatCannotLoadLeaveTheWindowRunning)
{
    // Held for the whole test, so no parallel test can start listening there.
    const vidmora::test::ClosedLoopbackPort refused;
    const QString nowhere = QStringLiteral("127.0.0.1:%1").arg(refused.port());
    Form1 form(nowhere, countEnds());
    QSignalSpy done1(form.WebBrowser1, &QWebEngineView::loadFinished);
    QSignalSpy done2(form.WebBrowser2, &QWebEngineView::loadFinished);
    ASSERT_TRUE(waitUntil([&] { return done1.count() > 0 && done2.count() > 0; }, kLoadBoundMs));
    EXPECT_FALSE(done1.first().first().toBool());
    EXPECT_FALSE(done2.first().first().toBool());
    EXPECT_EQ(ends, 0);

    // The window still comes up on its timer and answers its "X".
    ASSERT_TRUE(waitUntil([&] { return form.isVisible(); }, kTimerBoundMs));
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_EQ(ends, 1);
}

TEST_F(Form1Test, HidesOnActivationUntilTheTimerShowsItOnce)
{
    Form1 form(host(), countEnds());
    QSignalSpy ticks(form.Timer1, &vidmora::platform::Timer::tick);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return !form.isVisible(); })) << "activation hides the window";
    EXPECT_EQ(ticks.count(), 0);

    ASSERT_TRUE(waitUntil([&] { return form.isVisible(); }, kTimerBoundMs)) << "the timer shows it";
    EXPECT_EQ(ticks.count(), 1);
    EXPECT_FALSE(form.Timer1->Enabled()) << "so no second tick comes";

    // Shown by the timer, it stays (the platform's activations on showing are
    // covered with a delivered activation in the next test).
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ends, 0);
}

TEST_F(Form1Test, EveryActivationBeforeTheTimerHidesNoneAfter)
{
    Form1 form(host(), countEnds());
    form.setAttribute(Qt::WA_ShowWithoutActivating);
    form.show();
    ASSERT_TRUE(form.isVisible());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_FALSE(form.isVisible());
    form.show();
    ASSERT_TRUE(form.isVisible());
    QApplication::sendEvent(&form, &activate);
    EXPECT_FALSE(form.isVisible()) << "a second activation hides it again";

    form.Timer1_Timer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Timer1->Enabled());
    QApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(form.isVisible());
}

struct DragCase {
    const char *name;
    Qt::MouseButtons buttons;
    bool follows;
};

void PrintTo(const DragCase &c, std::ostream *os)
{
    *os << c.name;
}

class Form1DragTest : public Form1Test, public ::testing::WithParamInterface<DragCase> {};

TEST_P(Form1DragTest, TitleStripDragsOnlyWithTheLeftButtonAlone)
{
    const DragCase c = GetParam();
    Form1 form(host(), countEnds());
    form.Timer1_Timer(); // shown for good
    form.move(200, 150);
    ASSERT_TRUE(waitUntil([&] { return form.pos() == QPoint(200, 150); }));

    const QPoint grip(210, 160); // on the title strip
    sendMove(form.Image3, grip, c.buttons);
    sendMove(form.Image3, grip + QPoint(40, 25), c.buttons);
    const QPoint expected = c.follows ? QPoint(240, 175) : QPoint(200, 150);
    waitUntil([&] { return form.pos() == expected; }, 2000);
    EXPECT_EQ(form.pos(), expected);

    // Releasing the button ends the move; later movement leaves the window be.
    sendRelease(form.Image3, grip + QPoint(40, 25), Qt::LeftButton);
    sendMove(form.Image3, grip + QPoint(90, 70), Qt::NoButton);
    sendMove(form.Image3, grip + QPoint(95, 75), Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.pos(), expected);
}

INSTANTIATE_TEST_SUITE_P(Buttons, Form1DragTest,
                         ::testing::Values(DragCase{"None", Qt::NoButton, false},
                                           DragCase{"Left", Qt::LeftButton, true},
                                           DragCase{"Right", Qt::RightButton, false},
                                           DragCase{"Middle", Qt::MiddleButton, false},
                                           DragCase{"LeftAndRight", Qt::LeftButton | Qt::RightButton, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Form1Test, LeftDragElsewhereOnTheWindowDoesNotMoveIt)
{
    Form1 form(host(), countEnds());
    form.Timer1_Timer();
    form.move(200, 150);
    ASSERT_TRUE(waitUntil([&] { return form.pos() == QPoint(200, 150); }));
    sendMove(form.Image2, QPoint(250, 250), Qt::LeftButton);
    sendMove(form.Image2, QPoint(300, 280), Qt::LeftButton);
    sendMove(&form, QPoint(1000, 600), Qt::LeftButton);
    sendMove(&form, QPoint(1040, 620), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.pos(), QPoint(200, 150));
}

TEST_F(Form1Test, XEndsTheProgramAtOnce)
{
    Form1 form(host(), countEnds());
    form.Timer1_Timer();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_EQ(ends, 1);
}

TEST(Form1Address, PageAddressesUseTheMakersHost)
{
    EXPECT_EQ(Form1::pageAddress(QStringLiteral("www.zevrak.example"), 1).toString(),
              QStringLiteral("http://www.zevrak.example/Plimo/Zelto.php?sistem=1"));
    EXPECT_EQ(Form1::pageAddress(QStringLiteral("127.0.0.1:8080"), 3).toString(),
              QStringLiteral("http://127.0.0.1:8080/Plimo/Zelto.php?sistem=3"));
}

} // namespace
