// SPDX-License-Identifier: MIT
#include "models/common/lcd/LcdPanel.h"

#include "models/common/lcd/LcdGlyphs.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <stdexcept>

LcdPanel::LcdPanel(const LcdPanelLook &look, const LcdDisplayState &state, QWidget *parent)
    : QWidget(parent)
    , m_look(look)
    , m_state(state)
{
    if (!lcdLooksMatch(look.elements, state.count(), int(look.groups.size())))
        throw std::invalid_argument("LCD look does not match the display state's elements");
    setObjectName(QString::fromLatin1(look.name));
    setGeometry(look.geometry);
    setFixedSize(look.geometry.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_visible.resize(size_t(state.count()));
    m_text.resize(size_t(state.count()));
    for (int i = 0; i < state.count(); ++i) {
        m_visible[size_t(i)] = state.isVisible(i) ? 1 : 0;
        m_text[size_t(i)] = state.text(i);
    }
}

const LcdDisplayState &LcdPanel::requireElements(
    const LcdDisplayState &state, std::span<const LcdElementInfo> elements, const char *refusal)
{
    if (state.count() != int(elements.size())
        || (!elements.empty() && &state.info(0) != elements.data()))
        throw std::invalid_argument(refusal);
    return state;
}

void LcdPanel::refresh()
{
    QRegion dirty;
    for (int i = 0; i < m_state.count(); ++i) {
        const auto k = size_t(i);
        const bool visible = m_state.isVisible(i);
        const QString &text = m_state.text(i);
        const bool wasVisible = m_visible[k] != 0;
        if (visible != wasVisible || (visible && text != m_text[k]))
            dirty += paintBoundsOf(i);
        m_visible[k] = visible ? 1 : 0;
        if (text != m_text[k])
            m_text[k] = text;
    }
    if (!dirty.isEmpty())
        update(dirty);
}

QRect LcdPanel::boxOf(int index) const
{
    const LcdElementLook &look = m_look.elements[size_t(index)];
    if (look.group < 0)
        return look.rect;
    return look.rect.translated(m_look.groups[size_t(look.group)].rect.topLeft());
}

QRect LcdPanel::clipOf(int index) const
{
    const LcdElementLook &look = m_look.elements[size_t(index)];
    if (look.group < 0)
        return rect();
    return m_look.groups[size_t(look.group)].rect;
}

QRect LcdPanel::elementRect(int index) const
{
    return boxOf(index) & clipOf(index);
}

QRectF LcdPanel::glyphRect(int index) const
{
    const LcdElementLook &look = m_look.elements[size_t(index)];
    if (look.font != LcdFont::Digit)
        return QRectF(boxOf(index));
    return LcdGlyphs::digitCell(QRectF(boxOf(index)), look.size);
}

// Words may run a little past their box when a frame gives them a longer text
// than the design-time caption; allow for one more character and for
// antialiased edges.
QRect LcdPanel::paintBoundsOf(int index) const
{
    const QRect box = boxOf(index);
    return box.adjusted(-2, -2, 2 + box.height(), 2) & clipOf(index);
}

void LcdPanel::paintFrame(QPainter &painter) const
{
    const QRect outer = rect();
    const QRect bevel
        = outer.adjusted(m_look.border, m_look.border, -m_look.border, -m_look.border);
    const QColor shadow(0x80, 0x80, 0x80);
    const QColor light(0xFF, 0xFF, 0xFF);
    for (int i = 0; i < m_look.bevel; ++i) {
        const QRect r = bevel.adjusted(i, i, -i, -i);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), shadow);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), shadow);
        painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), light);
        painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 1), light);
    }
}

void LcdPanel::paintElement(QPainter &painter, int index, const QRect &dirty) const
{
    const auto k = size_t(index);
    if (!m_visible[k] || !paintBoundsOf(index).intersects(dirty))
        return;
    const LcdElementLook &look = m_look.elements[k];
    const QRectF box(boxOf(index));
    if (look.flags & LcdFlag::OwnBackground)
        painter.fillRect(box, QColor::fromRgb(m_look.background));
    if (look.font == LcdFont::Picture)
        LcdGlyphs::drawPicture(painter, look.picture, box);
    else
        LcdGlyphs::drawText(painter, look, box, m_text[k]);
}

void LcdPanel::paintEvent(QPaintEvent *event)
{
    const QRect dirty = event->rect();
    const QColor background = QColor::fromRgb(m_look.background);
    QPainter painter(this);
    painter.fillRect(dirty, background);
    paintFrame(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The panel's own elements first, then each group over them: a group is an
    // opaque sub-panel that hides whatever of the panel's elements lies under it.
    const int count = m_state.count();
    for (int i = 0; i < count; ++i) {
        if (m_look.elements[size_t(i)].group < 0)
            paintElement(painter, i, dirty);
    }
    for (int g = 0; g < int(m_look.groups.size()); ++g) {
        const QRect groupRect = m_look.groups[size_t(g)].rect;
        if (!groupRect.intersects(dirty))
            continue;
        painter.save();
        painter.setClipRect(groupRect & dirty);
        painter.fillRect(groupRect, background);
        for (int i = 0; i < count; ++i) {
            if (m_look.elements[size_t(i)].group == g)
                paintElement(painter, i, dirty);
        }
        painter.restore();
    }
}
