#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

#include "platform/timer.h"

class QFrame;
class QPushButton;
class QWebEngineView;

namespace vidmora::announcement {

class ImageControl;

// The announcement window: a borderless black window with a title strip, a
// background picture and two web views showing the maker's pages. It hides
// itself when it is activated, a one-shot timer shows it 3 seconds after it
// was created, it is dragged by the title strip, and "X" ends the program.
class Form1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)
public:
    static constexpr int kWidth = 905;
    static constexpr int kHeight = 514;
    static constexpr int kShowDelayMs = 3000;

    // `makerHost` is the maker's web host (with ":port" when not 80); the
    // program passes the deployment's value. `endProgram` ends the program at
    // once; by default it leaves the application's event loop.
    explicit Form1(const QString &makerHost, std::function<void()> endProgram = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // "http://" + host + "/Plimo/Zelto.php?sistem=" + `sistem`.
    static QUrl pageAddress(const QString &makerHost, int sistem);

    // The window's design; what each is on screen.
    ImageControl *Image3 = nullptr;        // the title strip along the top: the window is dragged by it
    ImageControl *Image2 = nullptr;        // the background picture under the two pages
    QWebEngineView *WebBrowser2 = nullptr; // the upper right page view, the maker's "sistem=3" page
    QWebEngineView *WebBrowser1 = nullptr; // the wide page view along the bottom, the "sistem=1" page
    QPushButton *Command1 = nullptr;       // "X", the small button at the top right: ends the program
    QFrame *Shape1 = nullptr;              // the window's one-pixel outline; nothing refers to it
    platform::Timer *Timer1 = nullptr;     // not shown: shows the window 3 seconds after the start

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void Timer1_Timer();
    void Image3_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, QPoint pos, QPoint globalPos);
    void Command1_Click();

protected:
    bool event(QEvent *event) override;

private:
    QString m_makerHost;
    std::function<void()> m_endProgram;
    bool m_shownByTimer = false;
};

} // namespace vidmora::announcement
