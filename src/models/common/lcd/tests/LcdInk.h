// SPDX-License-Identifier: MIT
#pragma once

// Pixel helpers for the LCD tests: where ink is, and which segments of a
// seven-segment cell are lit, read back from a rendered image.

#include <QImage>
#include <QLineF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <vector>

namespace LcdInk {

// Ink is anything clearly darker than the panel background.
inline bool isInk(QRgb pixel, QRgb background)
{
    return qGray(pixel) < qGray(background) - 60;
}

inline int inkIn(const QImage &image, const QRect &rect, QRgb background)
{
    int count = 0;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += isInk(image.pixel(x, y), background) ? 1 : 0;
    return count;
}

// Bounding box of the ink inside rect (empty when there is none).
inline QRect inkBounds(const QImage &image, const QRect &rect, QRgb background)
{
    QRect bounds;
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (isInk(image.pixel(x, y), background))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Centres (as positions along the line, 0..1) of the dark runs met walking from
// a to b one pixel at a time; dark means black-ish, past antialiased edges.
inline std::vector<qreal> darkRuns(const QImage &image, QPointF a, QPointF b)
{
    std::vector<qreal> centres;
    const int steps = qMax(1, int(QLineF(a, b).length()));
    int runStart = -1;
    for (int i = 0; i <= steps + 1; ++i) {
        bool dark = false;
        if (i <= steps) {
            const QPointF p = a + (b - a) * (qreal(i) / steps);
            const QPoint px(int(p.x()), int(p.y()));
            dark = image.rect().contains(px) && qGray(image.pixel(px)) < 110;
        }
        if (dark && runStart < 0)
            runStart = i;
        if (!dark && runStart >= 0) {
            centres.push_back((runStart + i - 1) / 2.0 / steps);
            runStart = -1;
        }
    }
    return centres;
}

// The lit segments of a seven-segment cell (image pixels, not logical ones), as
// letters in the order "abcdefg": a top, b top right, c bottom right, d bottom,
// e bottom left, f top left, g middle. Read with one walk down the middle and
// two across, at a quarter and three quarters of the height.
inline QString litSegments(const QImage &image, const QRectF &cell)
{
    bool lit[7] = {};
    const qreal cx = cell.center().x();
    for (qreal at : darkRuns(image, QPointF(cx, cell.top() - 2), QPointF(cx, cell.bottom() + 2))) {
        if (at < 1.0 / 3)
            lit[0] = true;
        else if (at > 2.0 / 3)
            lit[3] = true;
        else
            lit[6] = true;
    }
    const auto across = [&](qreal share, int left, int right) {
        const qreal y = cell.top() + cell.height() * share;
        for (qreal at : darkRuns(image, QPointF(cell.left() - 2, y), QPointF(cell.right() + 2, y)))
            lit[at < 0.5 ? left : right] = true;
    };
    across(0.25, 5, 1);
    across(0.75, 4, 2);
    QString letters;
    for (int i = 0; i < 7; ++i)
        if (lit[i])
            letters += QChar(u'a' + i);
    return letters;
}

// The segments a meter character lights, as litSegments reads them: "0"-"9"
// and "A"-"F" as seven-segment characters ("B" and "D" in lower case, b and d),
// "@" as L, "-" as the middle bar, nothing for an empty digit.
inline QString segmentsOf(QChar c)
{
    switch (c.toUpper().unicode()) {
    case u'0':
        return QStringLiteral("abcdef");
    case u'1':
        return QStringLiteral("bc");
    case u'2':
        return QStringLiteral("abdeg");
    case u'3':
        return QStringLiteral("abcdg");
    case u'4':
        return QStringLiteral("bcfg");
    case u'5':
        return QStringLiteral("acdfg");
    case u'6':
        return QStringLiteral("acdefg");
    case u'7':
        return QStringLiteral("abc");
    case u'8':
        return QStringLiteral("abcdefg");
    case u'9':
        return QStringLiteral("abcdfg");
    case u'A':
        return QStringLiteral("abcefg");
    case u'B':
        return QStringLiteral("cdefg");
    case u'C':
        return QStringLiteral("adef");
    case u'D':
        return QStringLiteral("bcdeg");
    case u'E':
        return QStringLiteral("adefg");
    case u'F':
        return QStringLiteral("aefg");
    case u'@':
        return QStringLiteral("def");
    case u'-':
        return QStringLiteral("g");
    default:
        return QString();
    }
}

} // namespace LcdInk
