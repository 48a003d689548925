// SPDX-License-Identifier: MIT
#pragma once

// Checks of a rendered meter panel, shared by the panels' tests: whether an
// element shows, and whether it shows a given text, read from the pixels; and
// the checks both meters' panel tests run on their own panel.

#include "models/common/lcd/LcdGlyphs.h"
#include "models/common/lcd/LcdPanel.h"
#include "models/common/lcd/tests/LcdInk.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <QStringList>

namespace LcdPanelChecks {

inline QImage shot(LcdPanel &panel)
{
    return panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The element's rectangle in panel coordinates before its group cuts it off.
inline QRect boxOf(const LcdPanel &panel, int index)
{
    const LcdElementLook &look = panel.look().elements[size_t(index)];
    return look.group < 0
        ? look.rect
        : look.rect.translated(panel.look().groups[size_t(look.group)].rect.topLeft());
}

// Where other elements (shown in the state, or all of them) may put ink near
// this one: their rectangles with a little room for antialiased edges and for
// words a few pixels wider than their boxes.
inline QRegion othersArea(const LcdPanel &panel, int index, bool onlyVisible = true)
{
    QRegion area;
    for (int i = 0; i < panel.state().count(); ++i) {
        if (i != index && (!onlyVisible || panel.state().isVisible(i)))
            area += panel.elementRect(i).adjusted(-2, -2, 4, 2);
    }
    return area;
}

// The part of an element's rectangle that no other shown element paints on,
// inside the panel's border and bevel.
inline QRegion ownArea(const LcdPanel &panel, int index)
{
    const int frame = panel.look().border + panel.look().bevel;
    const QRect inside = panel.rect().adjusted(frame, frame, -frame, -frame);
    return QRegion(panel.elementRect(index) & inside) - othersArea(panel, index);
}

inline int inkIn(const QImage &image, const QRegion &region, QRgb background)
{
    int ink = 0;
    for (const QRect &r : region)
        ink += LcdInk::inkIn(image, r, background);
    return ink;
}

inline int ownInk(const LcdPanel &panel, const QImage &image, int index)
{
    return inkIn(image, ownArea(panel, index), panel.look().background);
}

// Whether an element adds anything to the panel's picture: the picture differs
// from the same panel with only that element hidden. Unlike ink counts, this
// holds for elements that overlap others.
inline bool contributes(const LcdPanel &panel, const QImage &image, int index)
{
    LcdDisplayState without = panel.state();
    without.setVisible(index, false);
    LcdPanel other(panel.look(), without);
    return shot(other) != image;
}

// Empty when the element shows text; otherwise what it shows instead. Segment
// characters are read segment by segment across their cell (so no other shown
// element may lie in it); other texts are compared pixel for pixel, on the
// element's own area, with the text drawn there alone.
inline QString textMismatch(
    const LcdPanel &panel, const QImage &image, int index, const QString &text)
{
    const LcdElementLook &look = panel.look().elements[size_t(index)];
    if (look.font == LcdFont::Digit
        && (text.isEmpty() || (text.size() == 1 && LcdGlyphs::segmentMask(text[0]) >= 0))) {
        const QString expected = LcdInk::segmentsOf(text.isEmpty() ? QChar() : text[0]);
        const QString lit = LcdInk::litSegments(image, panel.glyphRect(index));
        return lit == expected ? QString() : QStringLiteral("segments \"%1\"").arg(lit);
    }
    QImage reference(image.size(), QImage::Format_RGB32);
    reference.fill(panel.look().background);
    QPainter painter(&reference);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(panel.elementRect(index));
    if (look.flags & LcdFlag::OwnBackground)
        painter.fillRect(boxOf(panel, index), QColor::fromRgb(panel.look().background));
    LcdGlyphs::drawText(painter, look, QRectF(boxOf(panel, index)), text);
    painter.end();
    int differences = 0;
    for (const QRect &r : ownArea(panel, index))
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                differences += image.pixel(x, y) != reference.pixel(x, y) ? 1 : 0;
    return differences == 0 ? QString() : QStringLiteral("%1 pixels differ").arg(differences);
}

// The bounding box of the pixels in which two pictures of the same panel differ.
inline QRect changedBounds(const QImage &image, const QImage &blank)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != blank.pixel(x, y))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Shows each element of a Panel over a Display alone: empty when each one draws
// something and only at its own place (its rectangle with a little room for
// antialiased edges), else what the first one that does not does.
template<typename Panel, typename Display>
QString elementOutOfPlace()
{
    Display display;
    for (int i = 0; i < display.count(); ++i)
        display.setVisible(i, false);
    Panel panel(display);
    const QImage blank = shot(panel);
    for (int i = 0; i < display.count(); ++i) {
        display.setVisible(i, true);
        panel.refresh();
        const QRect changed = changedBounds(shot(panel), blank);
        const QRect allowed = panel.elementRect(i).adjusted(-2, -2, 4, 2);
        if (changed.isEmpty())
            return display.name(i) + QStringLiteral(" draws nothing");
        if (!allowed.contains(changed)) {
            return QStringLiteral("%1 draws at %2,%3 %4x%5")
                .arg(display.name(i))
                .arg(changed.x())
                .arg(changed.y())
                .arg(changed.width())
                .arg(changed.height());
        }
        display.setVisible(i, false);
    }
    return QString();
}

// Feeds frames to a decoder whose display state the panel renders, refreshing
// the panel after each one as the window does; "DispInit" blanks the display
// without a frame.
template<typename Decoder>
void play(Decoder &decoder, LcdPanel &panel, const QStringList &frames)
{
    for (const QString &frame : frames) {
        if (frame == u"DispInit")
            decoder.display().DispInit(0);
        else
            decoder.ShowData50(frame);
        panel.refresh();
    }
}

// Empty when exactly the elements named in shown can be seen on the panel and
// every "element=text" of texts shows its text; else the first that does not.
// An element that is on with an empty text (the blanks around an overload
// mark, a cleared caption) shows nothing.
inline QString lookMismatch(LcdPanel &panel, const QStringList &shown, const QStringList &texts)
{
    const QImage image = shot(panel);
    const LcdDisplayState &state = panel.state();
    for (int i = 0; i < state.count(); ++i) {
        const QString name = state.name(i);
        const bool expected = shown.contains(name);
        const bool emptyText = state.info(i).hasText && state.text(i).isEmpty();
        if (expected && !emptyText && !contributes(panel, image, i))
            return name + QStringLiteral(" does not show");
        if ((!expected || emptyText) && ownInk(panel, image, i) != 0)
            return name + QStringLiteral(" shows");
    }
    for (const QString &entry : texts) {
        const qsizetype eq = entry.indexOf(u'=');
        const QString name = entry.left(eq);
        const int index = state.indexOf(name);
        if (index < 0)
            return QStringLiteral("no element ") + name;
        const QString mismatch = textMismatch(panel, image, index, entry.mid(eq + 1));
        if (!mismatch.isEmpty())
            return name + QStringLiteral(": ") + mismatch;
    }
    return QString();
}

} // namespace LcdPanelChecks
