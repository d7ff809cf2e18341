#pragma once

#include <QListWidget>

namespace vidmora::platform {

// The form runtime's directory list box: the open folder's ancestors from the
// root down, the open folder itself, then its subfolders. A double-click (or
// Enter) opens a folder; a single click only highlights it. `Path()` is the
// open folder.
class DirListBox final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DirListBox)
public:
    explicit DirListBox(QWidget *parent = nullptr); // opens at the process's current folder

    QString Path() const { return m_path; }
    void setPath(const QString &folder);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refill();

    QString m_path;
};

} // namespace vidmora::platform
