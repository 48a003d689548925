// SPDX-License-Identifier: MIT
#include "widgets/StandardIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

#include <memory>

namespace {

struct Picture
{
    QString file;
    QSize size;
};

const QString imageFolder = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");

QList<Picture> squarePictures(const QString &base)
{
    QList<Picture> pictures;
    for (int edge : { 16, 32, 128 })
        pictures.append(
            { QStringLiteral("%1%2-%3.png").arg(imageFolder, base).arg(edge), QSize(edge, edge) });
    return pictures;
}

// Where Qt keeps the built-in pictures of the standard icons known here, the
// smallest first; none for the others.
QList<Picture> builtInPictures(QStyle::StandardPixmap which)
{
    switch (which) {
    case QStyle::SP_DialogSaveButton:
        return squarePictures(QStringLiteral("standardbutton-save"));
    case QStyle::SP_DialogOpenButton:
        return squarePictures(QStringLiteral("standardbutton-open"));
    case QStyle::SP_TrashIcon:
        return squarePictures(QStringLiteral("trash"));
    case QStyle::SP_FileDialogDetailedView:
        return squarePictures(QStringLiteral("viewdetailed"));
    case QStyle::SP_ToolBarHorizontalExtensionButton: {
        // The menu bar's and tool bars' overflow button, made with every bar.
        const QString base = QGuiApplication::isRightToLeft() ? QStringLiteral("toolbar-ext-h-rtl")
                                                              : QStringLiteral("toolbar-ext-h");
        QList<Picture> pictures;
        for (int width : { 8, 16, 32 })
            pictures.append({ QStringLiteral("%1%2-%3.png").arg(imageFolder, base).arg(width),
                QSize(width, width * 5 / 8) });
        return pictures;
    }
    case QStyle::SP_ToolBarVerticalExtensionButton: {
        QList<Picture> pictures;
        for (int width : { 5, 10, 20 })
            pictures.append({ QStringLiteral("%1toolbar-ext-v-%2.png").arg(imageFolder).arg(width),
                QSize(width, width * 8 / 5) });
        return pictures;
    }
    default:
        return {};
    }
}

qint64 area(const QSize &size)
{
    return qint64(size.width()) * size.height();
}

// Reads a built-in PNG picture with the PNG reader alone: the usual reader
// first asks every image format plug-in, loading them all.
QPixmap readPng(const QString &file)
{
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// Holds the pictures of one icon and makes a one-picture icon of a picture
// when a drawing first needs it. A pixmap icon picks, for a requested size,
// the smallest picture at least as large (by area), else the largest, and
// scales and tints (disabled, selected) only the picture it picked, so the
// one-picture icon of the same picture gives the same pixels.
class OnDemandIconEngine : public QIconEngine
{
public:
    explicit OnDemandIconEngine(QList<Picture> pictures)
        : m_pictures(std::move(pictures))
        , m_icons(m_pictures.size())
    { }

    QIconEngine *clone() const override
    {
        auto *copy = new OnDemandIconEngine(m_pictures);
        copy->m_icons = m_icons;
        return copy;
    }

    QString key() const override { return QStringLiteral("OnDemandIconEngine"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        QSize actual = m_pictures.at(picked(size)).size;
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
        painter->drawPixmap(rect, pixmap(rect.size() * dpr, mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        // The pictures are all of the normal mode and the off state.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        QList<QSize> sizes;
        for (const Picture &picture : std::as_const(m_pictures))
            sizes.append(picture.size);
        return sizes;
    }

    bool isNull() override { return false; }

private:
    qsizetype picked(const QSize &size) const
    {
        const qint64 wanted = area(size);
        for (qsizetype i = 0; i < m_pictures.size(); ++i) {
            if (area(m_pictures.at(i).size) >= wanted)
                return i;
        }
        return m_pictures.size() - 1;
    }

    const QIcon &icon(qsizetype index)
    {
        QIcon &icon = m_icons[index];
        if (icon.isNull())
            icon.addPixmap(readPng(m_pictures.at(index).file));
        return icon;
    }

    QList<Picture> m_pictures;
    QList<QIcon> m_icons;
};

} // namespace

bool standardIconLoadsOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    // The built-in pictures are what the Windows style draws when no icon
    // theme is set; a theme's icons load on demand already.
    if (!style || !QIcon::themeName().isEmpty())
        return false;
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle();
    if (style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0)
        return false;
    const QList<Picture> pictures = builtInPictures(which);
    if (pictures.isEmpty())
        return false;
    for (const Picture &picture : pictures) {
        if (!QFile::exists(picture.file))
            return false;
    }
    return true;
}

QIcon standardIconOnDemand(QStyle::StandardPixmap which, const QStyle *style)
{
    if (standardIconLoadsOnDemand(which, style))
        return QIcon(new OnDemandIconEngine(builtInPictures(which)));
    return style->standardIcon(which);
}

OnDemandIconStyle::OnDemandIconStyle(QStyle *base)
    : QProxyStyle(base)
{ }

QIcon OnDemandIconStyle::standardIcon(
    StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    if (!option && standardIconLoadsOnDemand(which, baseStyle()))
        return QIcon(new OnDemandIconEngine(builtInPictures(which)));
    return QProxyStyle::standardIcon(which, option, widget);
}
