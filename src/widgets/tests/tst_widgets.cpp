// SPDX-License-Identifier: MIT
#include "widgets/ClickableImage.h"
#include "widgets/FirstPaint.h"
#include "widgets/PaintedIcon.h"
#include "widgets/StandardIcons.h"
#include "widgets/TypedCharacters.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool digit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Writes the files of a made-up icon tree below root: each entry is a path
// relative to root, "path=text" for a file with that text (an index.theme),
// else an empty file. Returns false when one could not be written.
bool writeIconTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const qsizetype equals = entry.indexOf(u'=');
        const QString path = root + u'/' + (equals < 0 ? entry : entry.left(equals));
        if (!QDir().mkpath(QFileInfo(path).path()))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (equals >= 0) {
            QByteArray text = entry.mid(equals + 1).toUtf8();
            text.replace("\\n", "\n");
            file.write(text);
        }
    }
    return true;
}

// A picture Qt can read, for the made-up themes' icons.
QByteArray pngOfColour(QColor colour)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keysThatType_data();
    void keysThatType();
    void digitFieldEditing_data();
    void digitFieldEditing();
    void clickableByKeyboard_data();
    void clickableByKeyboard();
    void paintedIconAtEveryDensity_data();
    void paintedIconAtEveryDensity();
    void standardIconOnDemand_data();
    void standardIconOnDemand();
    void onDemandIconStyleDrawsAsItsBase();
    void iconThemeLookupNames_data();
    void iconThemeLookupNames();
    void iconFilesInThemes_data();
    void iconFilesInThemes();
    void iconFilesInThemesEndsOnALinkLoop();
    void onDemandIconsFollowTheTheme_data();
    void onDemandIconsFollowTheTheme();
    void afterFirstPaintRunsOnceAfterTheFirstFrame();
};

void TestWidgets::keysThatType_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("types");
    QTest::newRow("digit") << int(Qt::NoModifier) << "5" << true;
    QTest::newRow("letter") << int(Qt::NoModifier) << "x" << true;
    QTest::newRow("shifted sign") << int(Qt::ShiftModifier) << "%" << true;
    QTest::newRow("keypad digit") << int(Qt::KeypadModifier) << "7" << true;
    QTest::newRow("Delete") << int(Qt::NoModifier) << "\x7f" << false;
    QTest::newRow("Backspace") << int(Qt::NoModifier) << "\b" << false;
    QTest::newRow("arrow") << int(Qt::NoModifier) << "" << false;
    QTest::newRow("Ctrl+A as X11 sends it") << int(Qt::ControlModifier) << "\x01" << false;
    QTest::newRow("Ctrl+A with its letter") << int(Qt::ControlModifier) << "a" << false;
    QTest::newRow("Ctrl+V") << int(Qt::ControlModifier) << "v" << false;
    QTest::newRow("Meta+digit") << int(Qt::MetaModifier) << "1" << false;
}

void TestWidgets::keysThatType()
{
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, types);
    QCOMPARE(keyTypesText(Qt::KeyboardModifiers(modifiers), text), types);
}

void TestWidgets::digitFieldEditing_data()
{
    // Each step: "type:TEXT", "key:NAME" (Delete, Backspace, Home, End,
    // SelectAll, Paste) or "clip:TEXT" (puts text on the clipboard).
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("result");
    QTest::newRow("typed letters are dropped") << "" << QStringList { "type:3x-4" } << "34";
    QTest::newRow("Delete removes after the cursor")
        << "250" << QStringList { "key:Home", "key:Delete" } << "50";
    QTest::newRow("Backspace removes before the cursor")
        << "250" << QStringList { "key:End", "key:Backspace" } << "25";
    QTest::newRow("Ctrl+A then a digit replaces all")
        << "250" << QStringList { "key:SelectAll", "type:7" } << "7";
    QTest::newRow("Ctrl+A then Delete empties")
        << "250" << QStringList { "key:SelectAll", "key:Delete" } << "";
    QTest::newRow("paste of digits")
        << "1" << QStringList { "clip:500", "key:End", "key:Paste" } << "1500";
    QTest::newRow("paste keeps only the digits")
        << "1" << QStringList { "clip:2a,5 0", "key:Home", "key:Paste" } << "2501";
    QTest::newRow("paste without digits changes nothing")
        << "12" << QStringList { "clip:abc", "key:End", "key:Paste" } << "12";
}

void TestWidgets::digitFieldEditing()
{
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    QFETCH(QString, result);
    QLineEdit field;
    takeOnlyCharacters(&field, digit);
    field.setText(start);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    for (const QString &step : steps) {
        const QString what = step.section(u':', 1);
        if (step.startsWith(u"type:")) {
            QTest::keyClicks(&field, what);
        } else if (step.startsWith(u"clip:")) {
            QApplication::clipboard()->setText(what);
        } else if (what == u"Delete") {
            QTest::keyClick(&field, Qt::Key_Delete);
        } else if (what == u"Backspace") {
            QTest::keyClick(&field, Qt::Key_Backspace);
        } else if (what == u"Home") {
            QTest::keyClick(&field, Qt::Key_Home);
        } else if (what == u"End") {
            QTest::keyClick(&field, Qt::Key_End);
        } else if (what == u"SelectAll") {
            QTest::keySequence(&field, QKeySequence::SelectAll);
        } else if (what == u"Paste") {
            QTest::keySequence(&field, QKeySequence::Paste);
        } else {
            QFAIL(qPrintable(step));
        }
    }
    QCOMPARE(field.text(), result);
}

void TestWidgets::clickableByKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Space") << int(Qt::Key_Space) << 1;
    QTest::newRow("Return") << int(Qt::Key_Return) << 1;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << 1;
    QTest::newRow("a letter") << int(Qt::Key_X) << 0;
}

void TestWidgets::clickableByKeyboard()
{
    QFETCH(int, key);
    QFETCH(int, clicks);
    QWidget window;
    auto *before = new QLineEdit(&window);
    auto *panel = new ClickableImage(QStringLiteral("EXIT"), &window);
    panel->setGeometry(0, 30, 81, 29);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab); // Tab reaches the panel
    QCOMPARE(QApplication::focusWidget(), panel);
    QSignalSpy clicked(panel, &ClickableImage::clicked);
    QTest::keyClick(panel, Qt::Key(key));
    QCOMPARE(clicked.size(), clicks);
    QTest::mouseClick(panel, Qt::LeftButton);
    QCOMPARE(clicked.size(), clicks + 1);
}

void TestWidgets::paintedIconAtEveryDensity_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1") << 1.0;
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("2") << 2.0;
}

void TestWidgets::paintedIconAtEveryDensity()
{
    QFETCH(qreal, ratio);
    // A one-pixel-wide bar down the middle of a 16 × 16 icon: drawn at the
    // density it stays one device pixel wide instead of growing with it.
    const QIcon icon = paintedIcon([](QPainter &p, const QRectF &box) {
        const double unit = box.width() / 16;
        p.fillRect(QRectF(box.left() + 8 * unit, box.top(), 1, box.height()), Qt::black);
    });
    const QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio);
    QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(16, 16));
    QCOMPARE(pixmap.size(), QSize(qRound(16 * ratio), qRound(16 * ratio)));
    const QImage image = pixmap.toImage();
    int dark = 0;
    for (int x = 0; x < image.width(); ++x)
        dark += qAlpha(image.pixel(x, image.height() / 2)) > 128 ? 1 : 0;
    QCOMPARE(dark, 1);
}

void TestWidgets::standardIconOnDemand_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("rightToLeft");
    QTest::newRow("save") << int(QStyle::SP_DialogSaveButton) << false;
    QTest::newRow("trash") << int(QStyle::SP_TrashIcon) << false;
    QTest::newRow("open") << int(QStyle::SP_DialogOpenButton) << false;
    QTest::newRow("detailed view") << int(QStyle::SP_FileDialogDetailedView) << false;
    QTest::newRow("bar overflow") << int(QStyle::SP_ToolBarHorizontalExtensionButton) << false;
    QTest::newRow("bar overflow, right to left")
        << int(QStyle::SP_ToolBarHorizontalExtensionButton) << true;
    QTest::newRow("vertical bar overflow")
        << int(QStyle::SP_ToolBarVerticalExtensionButton) << false;
}

void TestWidgets::standardIconOnDemand()
{
    QFETCH(int, which);
    QFETCH(bool, rightToLeft);
    const auto sp = QStyle::StandardPixmap(which);
    QGuiApplication::setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    const auto restoreDirection
        = qScopeGuard([] { QGuiApplication::setLayoutDirection(Qt::LeftToRight); });
    const std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Windows")));
    QVERIFY(style);
    OnDemandIconStyle proxy(QStyleFactory::create(QStringLiteral("Windows")));
    // The icons must really be the on-demand ones here, or the comparisons
    // below would compare the style's icon with itself.
    QVERIFY(standardIconLoadsOnDemand(sp, style.get()));
    QVERIFY(standardIconLoadsOnDemand(sp, &proxy));
    const QIcon expected = style->standardIcon(sp);
    const QList<QIcon> icons = { ::standardIconOnDemand(sp, style.get()), proxy.standardIcon(sp) };
    for (const QIcon &icon : icons) {
        QCOMPARE(icon.isNull(), false);
        QCOMPARE(icon.availableSizes(), expected.availableSizes());
        QCOMPARE(icon.availableSizes(QIcon::Disabled), expected.availableSizes(QIcon::Disabled));
        // Every size around and between the pictures' own, at the usual
        // densities, in every mode and state: the same pixels as the style's.
        const QIcon::Mode modes[]
            = { QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected };
        for (int edge : { 4, 8, 10, 15, 16, 17, 20, 24, 31, 32, 33, 48, 64, 100, 128, 129, 256 }) {
            for (const QSize size : { QSize(edge, edge), QSize(edge, edge * 5 / 8 + 1) }) {
                QCOMPARE(icon.actualSize(size), expected.actualSize(size));
                for (qreal ratio : { 1.0, 1.25, 1.5, 2.0 }) {
                    for (QIcon::Mode mode : modes) {
                        for (QIcon::State state : { QIcon::Off, QIcon::On }) {
                            const QPixmap got = icon.pixmap(size, ratio, mode, state);
                            const QPixmap want = expected.pixmap(size, ratio, mode, state);
                            const QByteArray where = QByteArray::number(size.width()) + "x"
                                + QByteArray::number(size.height()) + " at "
                                + QByteArray::number(ratio) + ", mode " + QByteArray::number(mode)
                                + ", state " + QByteArray::number(state);
                            QVERIFY2(got.devicePixelRatio() == want.devicePixelRatio(), where);
                            QVERIFY2(got.toImage() == want.toImage(), where);
                        }
                    }
                }
            }
        }
        // Drawn by a painter into a scaled surface, as a button draws it.
        for (qreal ratio : { 1.0, 2.0 }) {
            QImage got(QSize(40, 40) * ratio, QImage::Format_ARGB32_Premultiplied);
            got.setDevicePixelRatio(ratio);
            got.fill(Qt::transparent);
            QImage want = got;
            {
                QPainter p(&got);
                icon.paint(&p, QRect(2, 3, 32, 32));
            }
            {
                QPainter p(&want);
                expected.paint(&p, QRect(2, 3, 32, 32));
            }
            QVERIFY(got == want);
        }
    }
}

void TestWidgets::onDemandIconStyleDrawsAsItsBase()
{
    // Icons not known here and everything else come from the base style.
    const std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Windows")));
    OnDemandIconStyle proxy(QStyleFactory::create(QStringLiteral("Windows")));
    QVERIFY(!standardIconLoadsOnDemand(QStyle::SP_MessageBoxWarning, &proxy));
    QCOMPARE(proxy.standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32).toImage(),
        style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32).toImage());
    QCOMPARE(
        proxy.pixelMetric(QStyle::PM_SmallIconSize), style->pixelMetric(QStyle::PM_SmallIconSize));
    // Another base style keeps its own icons.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QVERIFY(!standardIconLoadsOnDemand(QStyle::SP_DialogSaveButton, fusion.get()));
}

void TestWidgets::iconThemeLookupNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("three parts") << QStringLiteral("view-list-details")
                                 << QStringList { QStringLiteral("view-list-details"),
                                        QStringLiteral("view-list"), QStringLiteral("view") };
    QTest::newRow("one part") << QStringLiteral("folder")
                              << QStringList { QStringLiteral("folder") };
    QTest::newRow("empty") << QString() << QStringList();
}

void TestWidgets::iconThemeLookupNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, names);
    QCOMPARE(::iconThemeLookupNames(name), names);
}

void TestWidgets::iconFilesInThemes_data()
{
    // Two search paths "a" and "b"; the theme is "mine", the fallback theme
    // "spare"; "pixmaps" is the flat fallback folder. The names asked for are
    // document-save and user-trash.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("found");
    const QString index = QStringLiteral("a/mine/index.theme=[Icon Theme]\\nName=mine\\n"
                                         "Directories=16x16/actions\\n");
    QTest::newRow("theme without them")
        << QStringList { index, QStringLiteral("a/mine/16x16/actions/edit-copy.png") }
        << QStringList();
    QTest::newRow("in a folder of the theme")
        << QStringList { index, QStringLiteral("a/mine/16x16/actions/document-save.png") }
        << QStringList { QStringLiteral("document-save") };
    QTest::newRow("in a folder its index does not list")
        << QStringList { index, QStringLiteral("a/mine/extra/deep/user-trash.svg") }
        << QStringList { QStringLiteral("user-trash") };
    QTest::newRow("in the second search path")
        << QStringList { index, QStringLiteral("b/mine/16x16/user-trash.xpm") }
        << QStringList { QStringLiteral("user-trash") };
    QTest::newRow("a shorter name the rules fall back on")
        << QStringList { index, QStringLiteral("a/mine/16x16/actions/document.png") }
        << QStringList { QStringLiteral("document") };
    QTest::newRow("a longer name is another icon")
        << QStringList { index, QStringLiteral("a/mine/16x16/actions/document-save-as.png") }
        << QStringList();
    QTest::newRow("in an inherited theme, found through the other search path")
        << QStringList { QStringLiteral("a/mine/index.theme=[Icon Theme]\\nInherits = parent, "
                                        "other\\n[16x16]\\nInherits=nothing\\n"),
               QStringLiteral("b/other/16x16/document-save.png"),
               QStringLiteral("a/nothing/16x16/user-trash.png") }
        << QStringList { QStringLiteral("document-save") };
    QTest::newRow("inheritance three deep, with a cycle")
        << QStringList { QStringLiteral("a/mine/index.theme=[Icon Theme]\\nInherits=one\\n"),
               QStringLiteral("a/one/index.theme=[Icon Theme]\\nInherits=two\\n"),
               QStringLiteral("a/two/index.theme=[Icon Theme]\\nInherits=mine\\n"),
               QStringLiteral("a/two/16/user-trash.png") }
        << QStringList { QStringLiteral("user-trash") };
    QTest::newRow("in the fallback theme")
        << QStringList { index, QStringLiteral("a/spare/16/user-trash.png") }
        << QStringList { QStringLiteral("user-trash") };
    QTest::newRow("in hicolor") << QStringList { index,
        QStringLiteral("b/hicolor/16/document-save.png") }
                                << QStringList { QStringLiteral("document-save") };
    QTest::newRow("in the flat fallback folder")
        << QStringList { index, QStringLiteral("pixmaps/user-trash.png") }
        << QStringList { QStringLiteral("user-trash") };
    QTest::newRow("another theme is not looked at")
        << QStringList { index, QStringLiteral("a/stranger/16/document-save.png") }
        << QStringList();
}

void TestWidgets::iconFilesInThemes()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, found);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeIconTree(dir.path(), files));
    const QSet<QString> got
        = ::iconFilesInThemes({ QStringLiteral("document-save"), QStringLiteral("user-trash") },
            QStringLiteral("mine"), QStringLiteral("spare"),
            { dir.filePath(QStringLiteral("a")), dir.filePath(QStringLiteral("b")) },
            { dir.filePath(QStringLiteral("pixmaps")) });
    QCOMPARE(got, QSet<QString>(found.cbegin(), found.cend()));
}

void TestWidgets::iconFilesInThemesEndsOnALinkLoop()
{
    // A theme folder linked into itself: the scan ends, and with every name
    // counted as found once it gives up.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeIconTree(dir.path(), { QStringLiteral("a/mine/16/edit-copy.png") }));
    QVERIFY(QFile::link(
        dir.filePath(QStringLiteral("a/mine")), dir.filePath(QStringLiteral("a/mine/16/loop"))));
    const QSet<QString> got = ::iconFilesInThemes({ QStringLiteral("user-trash") },
        QStringLiteral("mine"), QString(), { dir.filePath(QStringLiteral("a")) }, {});
    QVERIFY(got.isEmpty() || got.contains(QStringLiteral("user-trash")));
}

void TestWidgets::onDemandIconsFollowTheTheme_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("file"); // of the theme; empty: the theme has no icon
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<bool>("onDemand");
    const QString none;
    const QString plain;
    QTest::newRow("save, theme has none")
        << int(QStyle::SP_DialogSaveButton) << none << plain << true;
    QTest::newRow("save, theme has it")
        << int(QStyle::SP_DialogSaveButton) << QStringLiteral("16x16/actions/document-save.png")
        << plain << false;
    QTest::newRow("open, theme has it")
        << int(QStyle::SP_DialogOpenButton) << QStringLiteral("16x16/places/folder-open.png")
        << plain << false;
    QTest::newRow("open, theme has only folder")
        << int(QStyle::SP_DialogOpenButton) << QStringLiteral("16x16/places/folder.png") << plain
        << false;
    QTest::newRow("trash, theme has it")
        << int(QStyle::SP_TrashIcon) << QStringLiteral("16x16/places/user-trash.png") << plain
        << false;
    QTest::newRow("trash, theme has none") << int(QStyle::SP_TrashIcon) << none << plain << true;
    QTest::newRow("details, theme has it")
        << int(QStyle::SP_FileDialogDetailedView)
        << QStringLiteral("16x16/actions/view-list-details.png") << plain << false;
    QTest::newRow("details, theme has none")
        << int(QStyle::SP_FileDialogDetailedView) << none << plain << true;
    QTest::newRow("bar overflow, theme set")
        << int(QStyle::SP_ToolBarHorizontalExtensionButton)
        << QStringLiteral("16x16/actions/document-save.png") << plain << true;
    QTest::newRow("a desktop with its own icon loader")
        << int(QStyle::SP_DialogSaveButton) << none << QStringLiteral("KDE") << false;
}

void TestWidgets::onDemandIconsFollowTheTheme()
{
    QFETCH(int, which);
    QFETCH(QString, file);
    QFETCH(QString, desktop);
    QFETCH(bool, onDemand);
    const auto sp = QStyle::StandardPixmap(which);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList files = { QStringLiteral("made-up/index.theme=[Icon Theme]\\nName=made-up\\n"
                                         "Directories=16x16/actions,16x16/places\\n"
                                         "[16x16/actions]\\nSize=16\\nType=Fixed\\n"
                                         "[16x16/places]\\nSize=16\\nType=Fixed\\n") };
    QVERIFY(writeIconTree(dir.path(), files));
    if (!file.isEmpty()) {
        QFile icon(dir.filePath(QStringLiteral("made-up/") + file));
        QVERIFY(QDir().mkpath(QFileInfo(icon).path()));
        QVERIFY(icon.open(QIODevice::WriteOnly));
        icon.write(pngOfColour(Qt::magenta));
    }
    const QStringList oldPaths = QIcon::themeSearchPaths();
    const QByteArray oldDesktop = qgetenv("XDG_CURRENT_DESKTOP");
    const QByteArray oldPlatformTheme = qgetenv("QT_QPA_PLATFORMTHEME");
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeName(QString());
        QIcon::setThemeSearchPaths(oldPaths);
        qputenv("XDG_CURRENT_DESKTOP", oldDesktop);
        qputenv("QT_QPA_PLATFORMTHEME", oldPlatformTheme);
    });
    qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QIcon::setThemeSearchPaths({ dir.path() });
    QIcon::setThemeName(QStringLiteral("made-up"));

    const std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Windows")));
    OnDemandIconStyle proxy(QStyleFactory::create(QStringLiteral("Windows")));
    QCOMPARE(standardIconLoadsOnDemand(sp, &proxy), onDemand);
    // Whichever way: the icon the style itself gives, the theme's (by its
    // name) or the built-in pictures.
    const QIcon expected = style->standardIcon(sp);
    for (const QIcon &icon : { ::standardIconOnDemand(sp, style.get()), proxy.standardIcon(sp) }) {
        QCOMPARE(icon.name(), expected.name());
        QCOMPARE(icon.isNull(), expected.isNull());
        for (int edge : { 16, 32 })
            QCOMPARE(icon.pixmap(edge).toImage(), expected.pixmap(edge).toImage());
    }
    if (!file.isEmpty() && !onDemand)
        QVERIFY(!expected.name().isEmpty()); // the theme's icon really was in play
}

void TestWidgets::afterFirstPaintRunsOnceAfterTheFirstFrame()
{
    struct Window : QWidget
    {
        int paints = 0;
        void paintEvent(QPaintEvent *) override { ++paints; }
    };
    Window window;
    window.resize(120, 80);
    QList<int> paintsSeen; // the paints done each time the work ran
    afterFirstPaint(window, [&] { paintsSeen.append(window.paints); });
    // Not before the window is painted, however long it waits to be shown.
    QCoreApplication::processEvents();
    QVERIFY(paintsSeen.isEmpty());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(paintsSeen.size(), 1);
    QVERIFY(paintsSeen.first() >= 1);
    window.repaint();
    window.update();
    QCoreApplication::processEvents();
    QCOMPARE(paintsSeen.size(), 1);

    // A window that goes before its first paint runs nothing.
    bool ran = false;
    {
        QWidget gone;
        afterFirstPaint(gone, [&] { ran = true; });
    }
    QCoreApplication::processEvents();
    QVERIFY(!ran);
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
