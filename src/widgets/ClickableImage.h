// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QLabel>

// A label that shows a picture drawn at the screen's pixel density: with an
// icon set it paints the icon over its whole rectangle, so a scaled screen
// gets the picture drawn at its own resolution instead of an enlarged bitmap.
// Without an icon it is a plain label (text or pixmap).
class PictureLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    void setIcon(const QIcon &icon);
    const QIcon &icon() const { return m_icon; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QIcon m_icon;
};

// A picture or a captioned panel that acts as a button: a left click, or Space,
// Enter or Return while it has the keyboard focus, emits clicked(). It takes
// the focus from Tab and from a click and shows it with the style's focus frame.
class ClickableImage : public PictureLabel
{
    Q_OBJECT
public:
    explicit ClickableImage(const QString &text = QString(), QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
};
