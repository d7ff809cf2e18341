#pragma once

#include <QStringList>

#include "platform/gui/shell.h"

namespace vidmora::test {

// Records what the windows ask the shell to do; nothing is opened or started.
class FakeShell final : public platform::Shell {
public:
    bool open(const QString &fileOrAddress) override
    {
        opened.append(fileOrAddress);
        return true;
    }
    bool startDetached(const QString &program) override
    {
        started.append(program);
        return startResult;
    }

    QStringList opened;
    QStringList started;
    bool startResult = false;
};

} // namespace vidmora::test
