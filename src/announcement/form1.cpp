#include "announcement/form1.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QWebEngineView>

#include "announcement/image_control.h"
#include "platform/gui/window_drag.h"

namespace vidmora::announcement {
namespace {

// Places and sizes in pixels of the client area.
constexpr QRect kImage3Rect(0, 0, 917, 29);
constexpr QRect kImage2Rect(0, 24, 892, 302);
constexpr QRect kWebBrowser2Rect(320, 43, 569, 265);
constexpr QRect kWebBrowser1Rect(16, 320, 873, 185);
constexpr QRect kCommand1Rect(864, 8, 17, 17);

QPixmap asset(const char *path)
{
    QPixmap picture;
    picture.load(QString::fromLatin1(path));
    return picture;
}

} // namespace

Form1::Form1(const QString &makerHost, std::function<void()> endProgram, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_makerHost(makerHost)
    , m_endProgram(std::move(endProgram))
{
    if (!m_endProgram)
        m_endProgram = [] { QCoreApplication::exit(0); };

    setWindowTitle(QStringLiteral("Zelto"));
    setFixedSize(kWidth, kHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    // Back to front: the background, the title strip over its top rows, the
    // outline, then the pages and the button.
    Image2 = new ImageControl(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(kImage2Rect);
    Image2->setPicture(asset(":/zelto/background.bmp"));

    Image3 = new ImageControl(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(kImage3Rect);
    Image3->setPicture(asset(":/zelto/title.gif"));
    connect(Image3, &ImageControl::mouseMoved, this, &Form1::Image3_MouseMove);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(rect());
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setLineWidth(1);
    QPalette outline = Shape1->palette();
    outline.setColor(QPalette::WindowText, QColor(0x3a, 0x46, 0x5e));
    Shape1->setPalette(outline);
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);

    WebBrowser2 = new QWebEngineView(this);
    WebBrowser2->setObjectName(QStringLiteral("WebBrowser2"));
    WebBrowser2->setGeometry(kWebBrowser2Rect);

    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(kWebBrowser1Rect);

    Command1 = new QPushButton(QStringLiteral("X"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(kCommand1Rect);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    Timer1 = new platform::Timer(this);
    Timer1->setInterval(kShowDelayMs);
    connect(Timer1, &platform::Timer::tick, this, &Form1::Timer1_Timer);
    Timer1->setEnabled(true);

    // Centre of the screen, for the first showing.
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
    }

    Form_Load();
}

Form1::~Form1() = default;

QUrl Form1::pageAddress(const QString &makerHost, int sistem)
{
    return QUrl(QStringLiteral("http://") + makerHost + QStringLiteral("/Plimo/Zelto.php?sistem=")
                + QString::number(sistem));
}

void Form1::Form_Load()
{
    // Both pages load in the background; nothing waits for them, and a page
    // that fails shows whatever the view shows for a failed load.
    WebBrowser1->load(pageAddress(m_makerHost, 1));
    WebBrowser2->load(pageAddress(m_makerHost, 3));
}

void Form1::Form_Activate()
{
    // Once the timer has shown the window it stays: the showing itself
    // activates the window, and hiding again would leave "X" out of reach.
    if (!m_shownByTimer)
        hide();
}

void Form1::Timer1_Timer()
{
    Timer1->setEnabled(false);
    m_shownByTimer = true;
    show();
}

void Form1::Image3_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers, QPoint, QPoint globalPos)
{
    if (button != Qt::LeftButton)
        return;
    platform::beginCaptionDrag(this, globalPos);
}

void Form1::Command1_Click()
{
    m_endProgram();
}

bool Form1::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

} // namespace vidmora::announcement
