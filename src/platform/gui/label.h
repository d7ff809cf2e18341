#pragma once

#include <QLabel>

namespace vidmora::platform {

// The form runtime's label: a caption in which "&" marks the access key
// (underlined) and "&&" stands for one ampersand, drawn on its container's
// background, wrapping at blanks within its width. It takes mouse input
// itself, so presses and pointer movement on it never reach the window beneath
// (a drag begun on it moves no window), and raises Click when the left button
// is released over it. A caption far longer than the label can show is laid
// out only as far as it could be seen, so that any length is set and drawn in
// bounded time.
class Label final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Label)
public:
    explicit Label(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // How a caption is shown: the access-key mark taken out, the key underlined.
    static QString displayHtml(const QString &caption);
    // The same for the caption's first `maxChars` characters.
    static QString displayHtml(const QString &caption, qsizetype maxChars);

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // How many characters of a caption the label can show at its size at most.
    qsizetype shownCharsBound() const;
    void showCaption();
    void showMoreIfRoom();

    QString m_caption;
    qsizetype m_shownBound = 0;
};

// The form runtime's image control with stretching on: shows a picture scaled
// to its size; takes mouse input like the label.
class ImageBox final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageBox)
public:
    explicit ImageBox(QWidget *parent = nullptr);
    void setPicture(const QPixmap &picture); // a null pixmap clears it
    bool hasPicture() const { return m_hasPicture; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_hasPicture = false;
};

// The form runtime's rectangle shape: a one-pixel frame with a clear inside,
// which lets the mouse through to what lies beneath.
class RectangleShape final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RectangleShape)
public:
    explicit RectangleShape(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vidmora::platform
