// SPDX-License-Identifier: MIT
#include "widgets/PaintedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace {

class PaintedIconEngine : public QIconEngine
{
public:
    explicit PaintedIconEngine(IconPainter draw)
        : m_draw(std::move(draw))
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        m_draw(*painter, QRectF(rect));
        painter->restore();
    }

    // Called with the size in device pixels; the caller sets the density.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new PaintedIconEngine(m_draw); }

private:
    IconPainter m_draw;
};

} // namespace

QIcon paintedIcon(IconPainter draw)
{
    return QIcon(new PaintedIconEngine(std::move(draw)));
}
