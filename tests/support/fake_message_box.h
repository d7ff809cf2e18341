#pragma once

#include <QList>
#include <QString>

#include "platform/message_box.h"

namespace vidmora::test {

// Records every box it is asked to show and answers OK at once.
class FakeMessageBox final : public platform::MessageBox {
public:
    struct Shown {
        QString text;
        Icon icon;
        QString title;
    };

    Result show(const QString &text, Icon icon, const QString &title) override
    {
        shown.append(Shown{text, icon, title});
        return Result::Ok;
    }

    QList<Shown> shown;
};

} // namespace vidmora::test
