// SPDX-License-Identifier: MIT
#include "widgets/ClickableImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

void PictureLabel::setIcon(const QIcon &icon)
{
    m_icon = icon;
    update();
}

void PictureLabel::paintEvent(QPaintEvent *event)
{
    if (m_icon.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    m_icon.paint(&painter, contentsRect());
}

ClickableImage::ClickableImage(const QString &text, QWidget *parent)
    : PictureLabel(text, parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void ClickableImage::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    if (m_pressed)
        setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

void ClickableImage::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool press = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (press && !event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    PictureLabel::keyPressEvent(event);
}

void ClickableImage::paintEvent(QPaintEvent *event)
{
    PictureLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect().adjusted(2, 2, -2, -2);
    if (option.rect.width() < 6 || option.rect.height() < 6)
        option.rect = rect();
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}
