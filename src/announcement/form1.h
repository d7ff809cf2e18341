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

    // The window's design.
    ImageControl *Image3 = nullptr;  // title strip, dragged by the user
    ImageControl *Image2 = nullptr;  // background picture
    QWebEngineView *WebBrowser2 = nullptr; // "sistem=3"
    QWebEngineView *WebBrowser1 = nullptr; // "sistem=1"
    QPushButton *Command1 = nullptr; // "X"
    QFrame *Shape1 = nullptr;        // the window's outline; nothing refers to it
    platform::Timer *Timer1 = nullptr;

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
