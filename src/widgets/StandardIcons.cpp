// SPDX-License-Identifier: MIT
#include "widgets/StandardIcons.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <array>
#include <memory>

namespace {

// The edge lengths of the built-in pictures, smallest first.
constexpr std::array<int, 3> pictureEdges { 16, 32, 128 };

// Where Qt keeps the built-in pictures of the standard icons used here.
QString pictureBase(QStyle::StandardPixmap which)
{
    switch (which) {
    case QStyle::SP_DialogSaveButton:
        return QStringLiteral("standardbutton-save");
    case QStyle::SP_DialogOpenButton:
        return QStringLiteral("standardbutton-open");
    case QStyle::SP_TrashIcon:
        return QStringLiteral("trash");
    case QStyle::SP_FileDialogDetailedView:
        return QStringLiteral("viewdetailed");
    default:
        return {};
    }
}

QString pictureFile(const QString &base, int edge)
{
    return QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
        .arg(base)
        .arg(edge);
}

// Holds the files of one icon, one per size, and makes a one-picture icon of a
// file when a drawing first needs that size. A pixmap icon picks, for a
// requested size, the smallest picture at least as large, else the largest,
// and scales and tints (disabled, selected) only the picture it picked, so the
// one-picture icon of the same file gives the same pixels.
class OnDemandIconEngine : public QIconEngine
{
public:
    explicit OnDemandIconEngine(QString base)
        : m_base(std::move(base))
    { }

    QIconEngine *clone() const override
    {
        auto *copy = new OnDemandIconEngine(m_base);
        copy->m_icons = m_icons;
        return copy;
    }

    QString key() const override { return QStringLiteral("OnDemandIconEngine"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int edge = pictureEdges[picked(size)];
        QSize actual(edge, edge);
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        // At a density of 1 the icon hands its engine's pixmap on unchanged.
        return icon(picked(size)).pixmap(size, 1.0, mode, state);
    }

    QPixmap scaledPixmap(
        const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        Q_UNUSED(scale);
        return pixmap(size, mode, state);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device()->devicePixelRatio();
        const QPixmap px = pixmap(rect.size() * dpr, mode, state);
        painter->drawPixmap(rect, px);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        // The pictures are all of the normal mode and the off state.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        QList<QSize> sizes;
        for (int edge : pictureEdges)
            sizes.append(QSize(edge, edge));
        return sizes;
    }

    bool isNull() override { return false; }

private:
    static qsizetype picked(const QSize &size)
    {
        const qint64 wanted = qint64(size.width()) * size.height();
        for (qsizetype i = 0; i < qsizetype(pictureEdges.size()); ++i) {
            if (qint64(pictureEdges[size_t(i)]) * pictureEdges[size_t(i)] >= wanted)
                return i;
        }
        return qsizetype(pictureEdges.size()) - 1;
    }

    const QIcon &icon(qsizetype index)
    {
        QIcon &icon = m_icons[size_t(index)];
        if (icon.isNull()) {
            const int edge = pictureEdges[size_t(index)];
            icon.addFile(pictureFile(m_base, edge), QSize(edge, edge));
        }
        return icon;
    }

    QString m_base;
    std::array<QIcon, pictureEdges.size()> m_icons;
};

} // namespace

bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    // The built-in pictures are what the Windows style draws when no icon
    // theme is set; a theme's icons load on demand already.
    const QString base = pictureBase(which);
    if (base.isEmpty() || !style || !QIcon::themeName().isEmpty()
        || style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0)
        return false;
    for (int edge : pictureEdges) {
        if (!QFile::exists(pictureFile(base, edge)))
            return false;
    }
    return true;
}

QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    if (standardIconLoadsOnDemand(which, style))
        return QIcon(new OnDemandIconEngine(pictureBase(which)));
    return style->standardIcon(which);
}
