#pragma once

#include <QWidget>

#include <functional>

#include "main_window/window_button.h"

namespace vidmora::platform {
class DirListBox;
}

namespace vidmora::main_window {

// The folder-choice dialog: a folder list and "Ok", which hands the open
// folder to the main window and hides the dialog. Closing it by its close box
// destroys it; the main window then makes a new one on the next request.
class Form2 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)
public:
    // `takeFolder` receives the open folder when "Ok" is pressed.
    explicit Form2(std::function<void(const QString &)> takeFolder);

    platform::DirListBox *dirList() const { return Dir1; }
    WindowButton *okButton() const { return Command1; }

private:
    void Command1_Click();

    platform::DirListBox *Dir1 = nullptr; // the folder list, filling the dialog: the folder being chosen
    WindowButton *Command1 = nullptr;     // "Ok", under the list: the open folder into the save-folder box
    std::function<void(const QString &)> m_takeFolder;
};

} // namespace vidmora::main_window
