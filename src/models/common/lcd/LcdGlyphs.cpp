// SPDX-License-Identifier: MIT
#include "models/common/lcd/LcdGlyphs.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>

namespace LcdGlyphs {

namespace {

// Segment bits.
constexpr int A = 1 << 0;
constexpr int B = 1 << 1;
constexpr int C = 1 << 2;
constexpr int D = 1 << 3;
constexpr int E = 1 << 4;
constexpr int F = 1 << 5;
constexpr int G = 1 << 6;

constexpr std::array<int, 16> hexMasks {
    A | B | C | D | E | F, // 0
    B | C, // 1
    A | B | D | E | G, // 2
    A | B | C | D | G, // 3
    B | C | F | G, // 4
    A | C | D | F | G, // 5
    A | C | D | E | F | G, // 6
    A | B | C, // 7
    A | B | C | D | E | F | G, // 8
    A | B | C | D | F | G, // 9
    A | B | C | E | F | G, // A
    C | D | E | F | G, // b
    A | D | E | F, // C
    B | C | D | E | G, // d
    A | D | E | F | G, // E
    A | E | F | G, // F
};

// Horizontal shift of the top of a segment glyph, as a share of its height.
constexpr qreal slant = 0.06;

const QColor inkColour { QColor::fromRgba(ink) };

void fillPath(QPainter &painter, const QPainterPath &path)
{
    painter.fillPath(path, inkColour);
}

// A square point sitting on the baseline.
QRectF dotRect(qreal left, qreal baseline, qreal size)
{
    return QRectF(left, baseline - size, size, size);
}

void drawDot(QPainter &painter, const QRectF &dot)
{
    QPainterPath path;
    const qreal r = dot.width() * 0.2;
    path.addRoundedRect(dot, r, r);
    fillPath(painter, path);
}

// HOLD mark: a filled rounded plate with an "H" cut out of it.
void drawHoldMark(QPainter &painter, const QRectF &cell)
{
    QPainterPath plate;
    const qreal r = cell.width() * 0.18;
    plate.addRoundedRect(cell, r, r);
    const qreal w = cell.width();
    const qreal h = cell.height();
    const qreal bar = std::max(1.5, w * 0.15);
    QPainterPath letter;
    letter.setFillRule(Qt::WindingFill);
    const qreal top = cell.top() + h * 0.18;
    const qreal height = h * 0.64;
    letter.addRect(QRectF(cell.left() + w * 0.24, top, bar, height));
    letter.addRect(QRectF(cell.right() - w * 0.24 - bar, top, bar, height));
    letter.addRect(QRectF(cell.left() + w * 0.24, cell.center().y() - bar / 2, w * 0.52, bar));
    fillPath(painter, plate.subtracted(letter));
}

void drawRing(QPainter &painter, const QRectF &ring, qreal stroke)
{
    QPainterPath path;
    path.addEllipse(ring);
    QPainterPath inner;
    inner.addEllipse(ring.adjusted(stroke, stroke, -stroke, -stroke));
    fillPath(painter, path.subtracted(inner));
}

// Degree sign at the top of a digit cell.
void drawDegree(QPainter &painter, const QRectF &cell)
{
    const qreal d = std::min(cell.width() * 0.8, cell.height() * 0.42);
    const QRectF ring(cell.center().x() - d / 2, cell.top(), d, d);
    drawRing(painter, ring, std::max(1.2, d * 0.24));
}

// Temperature unit: a small degree ring followed by a bold capital, as the
// meter prints its °C and °F legends.
void drawTemperatureMark(QPainter &painter, const QRectF &cell, QChar letter)
{
    const qreal d = std::max(3.0, cell.width() * 0.34);
    drawRing(painter, QRectF(cell.left(), cell.top(), d, d), std::max(1.0, d * 0.25));
    QFont font = wordFont(std::max(1, int(cell.height() / 0.72 + 0.5)), true);
    const QFontMetricsF fm(font);
    const QString text(letter);
    const QRectF room(
        cell.left() + d * 1.1, cell.top(), cell.right() - cell.left() - d * 1.1, cell.height());
    const qreal width = fm.horizontalAdvance(text);
    painter.save();
    painter.translate(room.left(), room.bottom());
    if (width > room.width())
        painter.scale(room.width() / width, 1);
    painter.setFont(font);
    painter.setPen(inkColour);
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}

// Numbered-mark pointer: a right-pointing triangle.
void drawPointer(QPainter &painter, const QRectF &cell)
{
    QPainterPath path;
    path.addPolygon(QPolygonF { { cell.left(), cell.top() + cell.height() * 0.08 },
        { cell.right(), cell.center().y() },
        { cell.left(), cell.bottom() - cell.height() * 0.08 } });
    path.closeSubpath();
    fillPath(painter, path);
}

// Sum sign ∑ drawn as strokes, kept inside its cell.
void drawSigma(QPainter &painter, const QRectF &cell)
{
    const qreal w = cell.width();
    const qreal sw = std::max(1.5, cell.height() * 0.15);
    const qreal left = cell.left() + sw * 0.6;
    const qreal top = cell.top() + sw / 2;
    const qreal bottom = cell.bottom() - sw / 2;
    QPainterPath path;
    path.moveTo(cell.right(), top);
    path.lineTo(left, top);
    path.lineTo(cell.left() + w * 0.55, cell.center().y());
    path.lineTo(left, bottom);
    path.lineTo(cell.right(), bottom);
    painter.strokePath(path, QPen(inkColour, sw, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
}

// Width of a character drawn as a picture in the symbol font; 0 for characters
// drawn as text.
qreal symbolWidth(QChar c, int size)
{
    switch (c.unicode()) {
    case u' ':
        return size * 0.14;
    case u'}':
        return size * 0.5;
    case u'%':
    case u'\u2211':
        return size * 0.62;
    case u'.':
    case u':':
        return size * 0.32;
    default:
        return 0;
    }
}

// Draws one character that has a picture of its own in a cell from the cap
// line to the baseline; false when the character is ordinary text.
bool drawSpecial(QPainter &painter, QChar c, const QRectF &cell, qreal dotSize)
{
    switch (c.unicode()) {
    case u' ':
        return true;
    case u'"':
        drawHoldMark(painter, cell);
        return true;
    case u'#':
        drawTemperatureMark(painter, cell, u'C');
        return true;
    case u'?':
        drawTemperatureMark(painter, cell, u'F');
        return true;
    case u'\u00B0':
        drawDegree(painter, cell);
        return true;
    case u'}':
        drawPointer(painter, cell);
        return true;
    case u'%':
    case u'\u2211':
        drawSigma(painter, cell);
        return true;
    case u'.':
        drawDot(painter, dotRect(cell.center().x() - dotSize / 2, cell.bottom(), dotSize));
        return true;
    case u':':
        drawDot(painter, dotRect(cell.center().x() - dotSize / 2, cell.bottom(), dotSize));
        drawDot(painter,
            dotRect(
                cell.center().x() - dotSize / 2, cell.bottom() - cell.height() * 0.55, dotSize));
        return true;
    default:
        return false;
    }
}

void drawFallback(QPainter &painter, QChar c, const QRectF &cell, int size)
{
    painter.setFont(wordFont(size, true));
    painter.setPen(inkColour);
    const QFontMetricsF fm(painter.font());
    const QString s(c);
    painter.drawText(QPointF(cell.center().x() - fm.horizontalAdvance(s) / 2, cell.bottom()), s);
}

// Digit font: every character has a cell of its own; a lone point or colon sits
// in the middle of its box, or at its right edge for right-aligned elements.
void drawDigitText(
    QPainter &painter, const LcdElementLook &look, const QRectF &box, const QString &text)
{
    const QRectF cell = digitCell(box, look.size);
    const qreal dot = std::max(2.0, look.size * 0.12);
    if (text.size() == 1 && (text[0] == u'.' || text[0] == u':')) {
        QRectF column = box;
        column.setTop(cell.top());
        column.setBottom(cell.bottom());
        if (look.flags & LcdFlag::RightAligned)
            column.setLeft(box.right() - dot - dot / 2);
        drawSpecial(painter, text[0], column, dot);
        return;
    }
    if (text.size() == 1 && text[0] == u'-') {
        // A sign of its own: a bar across the whole cell, as thick as the
        // segments of the digits it stands before.
        const qreal t = std::min(cell.height() * 0.11, cell.width() * 0.4);
        const qreal y = cell.center().y();
        const qreal s = t / 2;
        QPainterPath bar;
        bar.addPolygon(QPolygonF { { cell.left(), y }, { cell.left() + s, y - s },
            { cell.right() - s, y - s }, { cell.right(), y }, { cell.right() - s, y + s },
            { cell.left() + s, y + s }, { cell.left(), y } });
        fillPath(painter, bar);
        return;
    }
    const qreal step = cell.width() / text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QRectF sub(cell.left() + step * qreal(i), cell.top(), step, cell.height());
        const int mask = segmentMask(text[i]);
        if (mask >= 0)
            drawSegments(painter, sub, mask);
        else if (!drawSpecial(painter, text[i], sub, dot))
            drawFallback(painter, text[i], sub, look.size);
    }
}

// Symbol font: letters and digits in bold Arial, the marks as pictures of cap
// height, all on one baseline and squeezed to the box width if need be.
void drawSymbolText(
    QPainter &painter, const LcdElementLook &look, const QRectF &box, const QString &text)
{
    const QFont font = wordFont(look.size, !(look.flags & LcdFlag::Regular));
    const QFontMetricsF fm(font);
    qreal total = 0;
    for (QChar c : text) {
        const qreal w = symbolWidth(c, look.size);
        total += w > 0 ? w : fm.horizontalAdvance(c);
    }
    const qreal squeeze = total > box.width() && total > 0 ? box.width() / total : 1.0;
    const qreal baseline = box.top() + fm.ascent();
    const qreal capHeight = fm.capHeight();
    painter.save();
    painter.translate(box.left(), 0);
    painter.scale(squeeze, 1);
    painter.setFont(font);
    painter.setPen(inkColour);
    qreal x = 0;
    for (QChar c : text) {
        const qreal w = symbolWidth(c, look.size);
        if (w > 0) {
            const QRectF cell(x, baseline - capHeight, w * 0.85, capHeight);
            drawSpecial(painter, c, cell, std::max(2.0, look.size * 0.12));
            x += w;
        } else {
            painter.drawText(QPointF(x, baseline), QString(c));
            x += fm.horizontalAdvance(c);
        }
    }
    painter.restore();
}

void drawWordText(
    QPainter &painter, const LcdElementLook &look, const QRectF &box, const QString &text)
{
    painter.setFont(wordFont(look.size, !(look.flags & LcdFlag::Regular)));
    painter.setPen(inkColour);
    const QFontMetricsF fm(painter.font());
    painter.drawText(QPointF(box.left(), box.top() + fm.ascent()), text);
}

QPointF at(const QRectF &box, qreal x, qreal y)
{
    return { box.left() + box.width() * x, box.top() + box.height() * y };
}

void drawLightning(QPainter &painter, const QRectF &box)
{
    // A zigzag bolt whose lower stroke ends in an arrow head, tip at the bottom left.
    static constexpr std::array<std::pair<qreal, qreal>, 11> outline { { { 0.45, 0.00 },
        { 0.92, 0.00 }, { 0.60, 0.40 }, { 0.86, 0.40 }, { 0.42, 0.78 }, { 0.58, 0.84 },
        { 0.06, 1.00 }, { 0.16, 0.60 }, { 0.30, 0.70 }, { 0.52, 0.52 }, { 0.18, 0.52 } } };
    QPolygonF bolt;
    for (const auto &[x, y] : outline)
        bolt << at(box, x, y);
    QPainterPath path;
    path.addPolygon(bolt);
    path.closeSubpath();
    fillPath(painter, path);
}

void drawBattery(QPainter &painter, const QRectF &box)
{
    const qreal stroke = std::max(1.5, box.height() * 0.07);
    const QRectF body(at(box, 0.06, 0.22), at(box, 0.86, 0.78));
    QPainterPath outer;
    outer.addRect(body);
    QPainterPath inner;
    inner.addRect(body.adjusted(stroke, stroke, -stroke, -stroke));
    fillPath(painter, outer.subtracted(inner));
    painter.fillRect(QRectF(at(box, 0.86, 0.38), at(box, 0.95, 0.62)), inkColour);
    // One bar left: the battery is low.
    const QRectF well = body.adjusted(stroke * 2, stroke * 2, -stroke * 2, -stroke * 2);
    painter.fillRect(
        QRectF(well.left(), well.top(), well.width() * 0.25, well.height()), inkColour);
}

void drawAcWave(QPainter &painter, const QRectF &box)
{
    const qreal stroke = std::max(1.5, box.height() * 0.12);
    const qreal left = box.left() + box.width() * 0.16;
    const qreal right = box.right() - box.width() * 0.16;
    const qreal mid = box.center().y();
    const qreal amp = box.height() * 0.18;
    const qreal half = (right - left) / 2;
    QPainterPath path;
    path.moveTo(left, mid);
    path.cubicTo(left + half * 0.35, mid - amp * 1.35, left + half * 0.65, mid - amp * 1.35,
        left + half, mid);
    path.cubicTo(
        left + half * 1.35, mid + amp * 1.35, left + half * 1.65, mid + amp * 1.35, right, mid);
    painter.strokePath(path, QPen(inkColour, stroke, Qt::SolidLine, Qt::RoundCap));
}

void drawArrowHead(QPainter &painter, QPointF tip, QPointF direction, qreal size)
{
    const qreal len = std::hypot(direction.x(), direction.y());
    if (len <= 0)
        return;
    const QPointF u = direction / len;
    const QPointF n(-u.y(), u.x());
    QPainterPath head;
    head.addPolygon(
        QPolygonF { tip, tip - u * size + n * size * 0.6, tip - u * size - n * size * 0.6 });
    head.closeSubpath();
    fillPath(painter, head);
}

void drawReset(QPainter &painter, const QRectF &box)
{
    const QFont font = wordFont(std::max(6, int(box.height() * 0.34)), true);
    painter.setFont(font);
    painter.setPen(inkColour);
    painter.drawText(QRectF(box.left(), box.top(), box.width(), box.height() * 0.42),
        Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("RST"));
    // A smile-shaped arc under the word, with an arrow head at either end.
    const qreal stroke = std::max(1.3, box.height() * 0.08);
    const QRectF arc(at(box, 0.12, 0.06), at(box, 0.88, 0.92));
    constexpr qreal from = 205;
    constexpr qreal span = 130;
    QPainterPath path;
    path.arcMoveTo(arc, from + 8);
    path.arcTo(arc, from + 8, span - 16);
    painter.strokePath(path, QPen(inkColour, stroke, Qt::SolidLine, Qt::FlatCap));
    const qreal head = box.height() * 0.22;
    QPainterPath probe;
    probe.arcMoveTo(arc, from);
    const QPointF start = probe.currentPosition();
    probe.arcMoveTo(arc, from + 14);
    drawArrowHead(painter, start, start - probe.currentPosition(), head);
    probe.arcMoveTo(arc, from + span);
    const QPointF end = probe.currentPosition();
    probe.arcMoveTo(arc, from + span - 14);
    drawArrowHead(painter, end, end - probe.currentPosition(), head);
}

void drawPhi(QPainter &painter, const QRectF &box)
{
    const qreal stroke = std::max(1.3, box.width() * 0.11);
    QPainterPath ring;
    ring.addEllipse(QRectF(at(box, 0.12, 0.24), at(box, 0.88, 0.76)));
    painter.strokePath(ring, QPen(inkColour, stroke));
    QPainterPath stem;
    stem.moveTo(at(box, 0.5, 0.04));
    stem.lineTo(at(box, 0.5, 0.96));
    painter.strokePath(stem, QPen(inkColour, stroke, Qt::SolidLine, Qt::FlatCap));
}

} // namespace

int segmentMask(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return hexMasks[u - u'0'];
    if (u >= u'A' && u <= u'F')
        return hexMasks[10 + (u - u'A')];
    if (u >= u'a' && u <= u'f')
        return hexMasks[10 + (u - u'a')];
    if (u == u'@')
        return D | E | F;
    if (u == u'-')
        return G;
    return -1;
}

QRectF digitCell(const QRectF &box, int size)
{
    const qreal baseline = box.top() + size * 0.9;
    const qreal height = size * 0.7;
    return QRectF(box.left() + box.width() * 0.06, baseline - height, box.width() * 0.88, height);
}

void drawSegments(QPainter &painter, const QRectF &cell, int mask)
{
    if (mask <= 0)
        return;
    const qreal h = cell.height();
    const qreal shift = slant * h;
    const qreal w = cell.width() - shift;
    const qreal t = std::min(h * 0.115, w * 0.26);
    const qreal gap = std::max(0.4, t * 0.12);
    const auto pt = [&](qreal x, qreal y) {
        return QPointF(cell.left() + x + shift * (h - y) / h, cell.top() + y);
    };
    const qreal l = t / 2;
    const qreal r = w - t / 2;
    const qreal top = t / 2;
    const qreal mid = h / 2;
    const qreal bottom = h - t / 2;
    const qreal s = t / 2;

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const auto horizontal = [&](qreal y) {
        path.addPolygon(QPolygonF { pt(l + gap, y), pt(l + gap + s, y - s), pt(r - gap - s, y - s),
            pt(r - gap, y), pt(r - gap - s, y + s), pt(l + gap + s, y + s), pt(l + gap, y) });
    };
    const auto vertical = [&](qreal x, qreal y1, qreal y2) {
        path.addPolygon(QPolygonF { pt(x, y1 + gap), pt(x + s, y1 + gap + s),
            pt(x + s, y2 - gap - s), pt(x, y2 - gap), pt(x - s, y2 - gap - s),
            pt(x - s, y1 + gap + s), pt(x, y1 + gap) });
    };
    if (mask & A)
        horizontal(top);
    if (mask & B)
        vertical(r, top, mid);
    if (mask & C)
        vertical(r, mid, bottom);
    if (mask & D)
        horizontal(bottom);
    if (mask & E)
        vertical(l, mid, bottom);
    if (mask & F)
        vertical(l, top, mid);
    if (mask & G)
        horizontal(mid);
    fillPath(painter, path);
}

void drawText(QPainter &painter, const LcdElementLook &look, const QRectF &box, const QString &text)
{
    if (text.isEmpty())
        return;
    const bool lonePoint = text.size() == 1 && (text[0] == u'.' || text[0] == u':');
    switch (look.font) {
    case LcdFont::Digit:
        drawDigitText(painter, look, box, text);
        break;
    case LcdFont::Symbol:
        // A point or colon of the symbol font stands on the digits' baseline.
        if (lonePoint)
            drawDigitText(painter, look, box, text);
        else
            drawSymbolText(painter, look, box, text);
        break;
    case LcdFont::Word:
        drawWordText(painter, look, box, text);
        break;
    case LcdFont::Picture:
        break;
    }
}

void drawPicture(QPainter &painter, LcdPicture picture, const QRectF &box)
{
    switch (picture) {
    case LcdPicture::None:
        break;
    case LcdPicture::Lightning:
        drawLightning(painter, box);
        break;
    case LcdPicture::Battery:
        drawBattery(painter, box);
        break;
    case LcdPicture::AcWave:
        drawAcWave(painter, box);
        break;
    case LcdPicture::Reset:
        drawReset(painter, box);
        break;
    case LcdPicture::Phi:
        drawPhi(painter, box);
        break;
    }
}

QStringList arialFamilies()
{
    static const QStringList families = [] {
        const QStringList installed = QFontDatabase::families();
        if (!installed.contains(QStringLiteral("Arial"), Qt::CaseInsensitive)
            && installed.contains(QStringLiteral("Liberation Sans"), Qt::CaseInsensitive))
            return QStringList { QStringLiteral("Liberation Sans") };
        return QStringList { QStringLiteral("Arial"), QStringLiteral("Liberation Sans") };
    }();
    return families;
}

QFont wordFont(int size, bool bold)
{
    QFont font;
    font.setFamilies(arialFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, size));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace LcdGlyphs
