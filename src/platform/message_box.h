#pragma once

#include <QString>

namespace vidmora::platform {

// The host's modal message box. Components that must tell the user something
// directly (the download manager's warnings, the window's error boxes) take
// this interface, so that core libraries need no widgets and tests can record
// what would have been shown.
class MessageBox {
public:
    enum class Icon { None, Critical, Question, Exclamation, Information };
    enum class Result { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

    virtual ~MessageBox() = default;
    // Shows `text` with `icon` and `title` and an OK button; returns when the user has answered.
    virtual Result show(const QString &text, Icon icon, const QString &title) = 0;
};

} // namespace vidmora::platform
