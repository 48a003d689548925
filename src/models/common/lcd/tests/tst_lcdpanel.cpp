// SPDX-License-Identifier: MIT
#include "models/common/lcd/LcdGlyphs.h"
#include "models/common/lcd/LcdPanel.h"
#include "models/common/lcd/tests/LcdInk.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPixmap>
#include <QTest>

#include <array>
#include <stdexcept>

// The panel widget: what it paints, where, and when.
class TestLcdPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rejectsALookForOtherElements();
    void paintsOnlyVisibleElements();
    void paintsTheLastRefreshNotTheLiveState();
    void groupsCutOffAndCoverElements();
    void ownBackgroundHidesWhatLiesBeneath();
    void frameIsALoweredBevelInsideABorder();
    void oneRepaintPerRefreshAndOnlyForChanges();
    void sharpAtDoubleDevicePixelRatio();
};

namespace {

constexpr QRgb grey = 0xFFE8E8E8;

enum Element { Digit, Hidden, Word, Bolt, Cut, Under, Beneath, Cover, ElementCount };

constexpr std::array<LcdElementInfo, ElementCount> infos { {
    { "Digit", true, u"8", true },
    { "Hidden", true, u"8", false },
    { "Word", true, u"USB", true },
    { "Bolt", false, nullptr, true },
    { "Cut", true, u"8", true },
    { "Under", true, u"MEM", true },
    { "Beneath", true, u"8", true },
    { "Cover", true, u"%W", true },
} };

constexpr std::array<LcdGroup, 1> groups { { { "Group", QRect(100, 60, 80, 50) } } };

constexpr std::array<LcdElementLook, ElementCount> looks { {
    lcdText(Digit, -1, QRect(10, 10, 21, 63), LcdFont::Digit, 56),
    lcdText(Hidden, -1, QRect(40, 10, 21, 63), LcdFont::Digit, 56),
    lcdText(Word, -1, QRect(10, 90, 40, 22), LcdFont::Word, 19),
    lcdPicture(Bolt, -1, QRect(60, 90, 21, 29), LcdPicture::Lightning),
    // Starts 30 pixels above its group: its top is cut off.
    lcdText(Cut, 0, QRect(4, -30, 21, 63), LcdFont::Digit, 56),
    // Its lower part lies under the group.
    lcdText(Under, -1, QRect(150, 50, 35, 16), LcdFont::Word, 14),
    // In the group, its upper part under the covering mark.
    lcdText(Beneath, 0, QRect(44, 0, 21, 63), LcdFont::Digit, 56),
    lcdText(Cover, 0, QRect(40, 4, 35, 22), LcdFont::Symbol, 20, LcdFlag::OwnBackground),
} };
static_assert(lcdLooksMatch(looks, ElementCount, int(groups.size())));

constexpr LcdPanelLook testLook { "TestPanel", QRect(4, 32, 200, 130), grey, 2, 2, groups, looks };

QImage shot(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class PaintCounter : public QObject
{
public:
    int paints = 0;
    QRegion region;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent *>(e)->region();
        }
        return false;
    }
};

} // namespace

void TestLcdPanel::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
}

void TestLcdPanel::rejectsALookForOtherElements()
{
    const std::array<LcdElementInfo, 2> fewer { { infos[0], infos[1] } };
    const LcdDisplayState other(fewer);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, LcdPanel(testLook, other));
}

void TestLcdPanel::paintsOnlyVisibleElements()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    QCOMPARE(panel.objectName(), QStringLiteral("TestPanel"));
    QCOMPARE(panel.geometry(), testLook.geometry);
    const QImage before = shot(panel);
    QCOMPARE(LcdInk::litSegments(before, panel.glyphRect(Digit)), QStringLiteral("abcdefg"));
    QCOMPARE(LcdInk::inkIn(before, panel.elementRect(Hidden), grey), 0);
    QVERIFY(LcdInk::inkIn(before, panel.elementRect(Word), grey) > 20);
    QVERIFY(LcdInk::inkIn(before, panel.elementRect(Bolt), grey) > 20);

    state.setVisible(Hidden, true);
    state.setText(Hidden, QStringLiteral("@"));
    state.setVisible(Word, false);
    state.setVisible(Bolt, false);
    state.setText(Digit, QStringLiteral("7"));
    panel.refresh();
    const QImage after = shot(panel);
    QCOMPARE(LcdInk::litSegments(after, panel.glyphRect(Hidden)), QStringLiteral("def"));
    QCOMPARE(LcdInk::litSegments(after, panel.glyphRect(Digit)), QStringLiteral("abc"));
    QCOMPARE(LcdInk::inkIn(after, panel.elementRect(Word), grey), 0);
    QCOMPARE(LcdInk::inkIn(after, panel.elementRect(Bolt), grey), 0);
}

void TestLcdPanel::paintsTheLastRefreshNotTheLiveState()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    const QImage startLook = shot(panel);
    state.setText(Digit, QStringLiteral("1"));
    state.setVisible(Word, false);
    QCOMPARE(shot(panel), startLook);
    panel.refresh();
    QCOMPARE(LcdInk::litSegments(shot(panel), panel.glyphRect(Digit)), QStringLiteral("bc"));
}

void TestLcdPanel::groupsCutOffAndCoverElements()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    const QRect group = groups[0].rect;
    QCOMPARE(panel.elementRect(Cut), QRect(104, 60, 21, 33));
    QCOMPARE(panel.elementRect(Under), QRect(150, 50, 35, 16));
    const QImage image = shot(panel);
    // The digit's cell reaches above the group; nothing shows above the group's edge.
    QVERIFY(panel.glyphRect(Cut).top() < group.top());
    QCOMPARE(LcdInk::inkIn(image, QRect(100, 40, 30, group.top() - 40), grey), 0);
    QVERIFY(LcdInk::inkIn(image, QRect(100, group.top(), 30, 20), grey) > 0);
    // "MEM" shows above the group; its foot, where the group lies, is covered.
    QVERIFY(LcdInk::inkIn(image, QRect(150, 50, 30, group.top() - 50), grey) > 0);
    QCOMPARE(LcdInk::inkIn(image, QRect(150, group.top(), group.right() + 1 - 150, 4), grey), 0);
}

void TestLcdPanel::ownBackgroundHidesWhatLiesBeneath()
{
    LcdDisplayState state(infos);
    state.setText(Cover, QString());
    state.setVisible(Cover, false);
    LcdPanel panel(testLook, state);
    const QRect coverBox(140, 64, 35, 22);
    QVERIFY(LcdInk::inkIn(shot(panel), coverBox, grey) > 20);
    // Shown with an empty text, the mark still paints its box in the panel colour.
    state.setVisible(Cover, true);
    panel.refresh();
    const QImage covered = shot(panel);
    QCOMPARE(LcdInk::inkIn(covered, coverBox, grey), 0);
    QVERIFY(LcdInk::inkIn(covered, QRect(140, 90, 35, 20), grey) > 20); // the digit's foot
}

void TestLcdPanel::frameIsALoweredBevelInsideABorder()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    const QImage image = shot(panel);
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    QCOMPARE(image.pixel(0, 0), grey);
    QCOMPARE(image.pixel(1, 60), grey);
    QVERIFY(qGray(image.pixel(2, 60)) < 160); // shadow on the top and left
    QVERIFY(qGray(image.pixel(60, 3)) < 160);
    QCOMPARE(image.pixel(right - 2, 60), 0xFFFFFFFF); // light on the bottom and right
    QCOMPARE(image.pixel(60, bottom - 3), 0xFFFFFFFF);
    QCOMPARE(image.pixel(right, bottom), grey);
}

void TestLcdPanel::oneRepaintPerRefreshAndOnlyForChanges()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    PaintCounter counter;
    panel.installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    counter.region = QRegion();

    // A frame that changes several elements: one repaint, covering only them.
    state.setText(Digit, QStringLiteral("3"));
    state.setVisible(Bolt, false);
    panel.refresh();
    QTRY_COMPARE(counter.paints, 1);
    QVERIFY(counter.region.contains(panel.elementRect(Digit)));
    QVERIFY(counter.region.contains(panel.elementRect(Bolt)));
    QVERIFY(!counter.region.intersects(panel.elementRect(Word)));

    // Three refreshes before the window gets to paint: still one repaint.
    counter.paints = 0;
    for (const char *t : { "4", "5", "6" }) {
        state.setText(Digit, QString::fromLatin1(t));
        panel.refresh();
    }
    QTRY_COMPARE(counter.paints, 1);

    // A frame that changes nothing on screen: a hidden element's text, or the
    // same texts again.
    counter.paints = 0;
    state.setText(Hidden, QStringLiteral("1"));
    state.setText(Digit, QStringLiteral("6"));
    panel.refresh();
    QTest::qWait(50);
    QCOMPARE(counter.paints, 0);
    // The hidden element's new text shows when it is shown.
    state.setVisible(Hidden, true);
    panel.refresh();
    QTRY_COMPARE(counter.paints, 1);
    QCOMPARE(LcdInk::litSegments(shot(panel), panel.glyphRect(Hidden)), QStringLiteral("bc"));
}

void TestLcdPanel::sharpAtDoubleDevicePixelRatio()
{
    LcdDisplayState state(infos);
    LcdPanel panel(testLook, state);
    QPixmap pixmap(panel.size() * 2);
    pixmap.setDevicePixelRatio(2);
    panel.render(&pixmap);
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), panel.size() * 2);
    const QRectF cell = panel.glyphRect(Digit);
    const QRectF doubled(cell.topLeft() * 2, cell.size() * 2);
    QCOMPARE(LcdInk::litSegments(image, doubled), QStringLiteral("abcdefg"));
    // Drawn at the finer resolution, not enlarged: across the left segment's
    // edge there is at most one pixel between ink and panel colour.
    const int y = int(doubled.top() + doubled.height() * 0.75);
    int blends = 0;
    for (int x = int(doubled.left()) - 2; x < int(doubled.center().x()); ++x) {
        const int g = qGray(image.pixel(x, y));
        blends += (g > 40 && g < qGray(grey) - 40) ? 1 : 0;
    }
    QVERIFY2(blends <= 2, qPrintable(QString::number(blends)));
}

QTEST_MAIN(TestLcdPanel)
#include "tst_lcdpanel.moc"
