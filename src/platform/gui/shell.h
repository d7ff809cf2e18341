#pragma once

#include <QString>

namespace vidmora::platform {

// The desktop shell: what the windows hand over to other programs. Nothing
// here goes through a shell command line, so no name is ever interpreted.
class Shell {
public:
    virtual ~Shell() = default;
    // "open": a web address (with its scheme) or a local file, with the desktop's handler.
    // Returns whether the request was handed over (a missing file is not); callers may ignore it.
    virtual bool open(const QString &fileOrAddress) = 0;
    // Starts `program` detached, without arguments; false when it could not start.
    virtual bool startDetached(const QString &program) = 0;
};

// The real shell: QDesktopServices for "open", QProcess for programs.
class QtShell final : public Shell {
public:
    bool open(const QString &fileOrAddress) override;
    bool startDetached(const QString &program) override;
};

} // namespace vidmora::platform
