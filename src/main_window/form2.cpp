#include "main_window/form2.h"

#include <QIcon>
#include <QPixmap>

#include "main_window/button_design.h"
#include "main_window/window_fonts.h"
#include "platform/gui/dir_list_box.h"

namespace vidmora::main_window {

Form2::Form2(std::function<void(const QString &)> takeFolder)
    : QWidget(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_takeFolder(std::move(takeFolder))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Save ..."));
    // The dialog has no icon. A window without one of its own would show the
    // program's, so it gets a blank (fully transparent) one.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setAttribute(Qt::WA_DeleteOnClose, true);
    setFont(designFont(FontRole::Tahoma));
    resize(312, 206); // 4680 x 3090 twips; resizable, the controls keep their places

    Dir1 = new platform::DirListBox(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(8, 8, 297, 156);

    Command1 = makeWindowButton(storedButtonBag(QStringLiteral("Ok"), ButtonLook::System), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(8, 176, 297, 20);
    connect(Command1, &WindowButton::Click, this, &Form2::Command1_Click);

    setTabOrder(Dir1, Command1);
}

void Form2::Command1_Click()
{
    if (m_takeFolder)
        m_takeFolder(Dir1->Path());
    hide();
}

} // namespace vidmora::main_window
