#pragma once

#include "button/button.h"

#include <QApplication>
#include <QWidget>

#include <memory>

namespace vidmora::test {

using platform::gdi::COLORREF;
using platform::gdi::RGB;

// A button of a given size and style on its own container window, shown.
struct ShownButton {
    explicit ShownButton(int w = 75, int h = 23, std::int32_t style = btStandard, std::int32_t scheme = csSystem)
    {
        window = std::make_unique<QWidget>();
        window->resize(w + 20, h + 20);
        focusSink = new QWidget(window.get()); // first in the tab order: takes the focus on activation
        focusSink->setFocusPolicy(Qt::StrongFocus);
        focusSink->setGeometry(0, 0, 2, 2);
        button = new Button(window.get());
        button->DisableRefresh();
        button->setButtonType(style);
        button->setColorScheme(scheme);
        button->setCaption(QString());
        button->setGeometry(10, 10, w, h);
        button->setPointerProbe([this] { return pointerOver; });
        window->show();
        button->Refresh();
    }
    COLORREF px(int x, int y) const { return platform::gdi::fromQRgb(button->surface().pixel(x, y)); }
    std::unique_ptr<QWidget> window;
    Button *button = nullptr;
    QWidget *focusSink = nullptr;
    bool pointerOver = false;
};

} // namespace vidmora::test
