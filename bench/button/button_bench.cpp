// Full repaints of the Button per style at the sizes the windows use (73 x 20,
// "Download"; 345 x 31, "Play"), the hover poll's pointer test, and the
// pixel-by-pixel picture copy of a 32 x 32 bitmap. The hover poll runs every
// 3 ms while the pointer is over a button, so its tick must stay far below that.
#include "button/button.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>

using namespace vidmora;

namespace {

struct Shown {
    Shown(int w, int h, int style)
    {
        window = std::make_unique<QWidget>();
        window->resize(w + 20, h + 20);
        button = new Button(window.get());
        button->setButtonType(style);
        button->setCaption(QStringLiteral("&Download"));
        button->setGeometry(10, 10, w, h);
        window->show();
    }
    std::unique_ptr<QWidget> window;
    Button *button;
};

void BM_Repaint(benchmark::State &state)
{
    Shown s(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.button->DrawButton(0, true);
    state.SetLabel("style " + std::to_string(state.range(0)));
}
BENCHMARK(BM_Repaint)
    ->ArgsProduct({{1, 2, 3, 4, 5, 9, 13, 14}, {73}, {20}})
    ->Args({3, 345, 31})
    ->Unit(benchmark::kMicrosecond);

void BM_HoverPollTick(benchmark::State &state)
{
    Shown s(73, 20, btGradient);
    for (auto _ : state)
        s.button->OverTimer_Timer(); // pointer elsewhere: ends the hover and repaints the up look
    state.SetLabel("hover-ending poll tick, one repaint (interval 3 ms)");
}
BENCHMARK(BM_HoverPollTick)->Unit(benchmark::kMicrosecond);

void BM_BlitPicture(benchmark::State &state)
{
    Shown s(73, 40, btStandard);
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(qRgb(0, 128, 255));
    s.button->setPictureNormal(platform::makePicture(img));
    for (auto _ : state)
        s.button->DrawButton(0, true);
    state.SetLabel("repaint with a 32x32 picture");
}
BENCHMARK(BM_BlitPicture)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // the offscreen platform, chosen by argument: no display needed
    std::vector<char *> args(argv, argv + argc);
    char platformOpt[] = "-platform";
    char offscreen[] = "offscreen";
    args.push_back(platformOpt);
    args.push_back(offscreen);
    int qtArgc = static_cast<int>(args.size());
    QApplication app(qtArgc, args.data());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
