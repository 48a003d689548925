// SPDX-License-Identifier: MIT
#include "models/common/lcd/LcdGlyphs.h"
#include "models/common/lcd/tests/LcdInk.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QTest>

// The characters and pictures of the LCDs, read back from rendered pixels.
class TestLcdGlyphs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void segmentCharacters_data();
    void segmentCharacters();
    void marksStayInTheirBox_data();
    void marksStayInTheirBox();
    void designTimeSumMarkIsTheSumSign();
    void pointsSitOnTheBaseline_data();
    void pointsSitOnTheBaseline();
    void wordsFitTheMeterLayoutBoxes_data();
    void wordsFitTheMeterLayoutBoxes();
    void picturesStayInTheirBox_data();
    void picturesStayInTheirBox();
    void arialFamiliesGiveTheSameFont();
};

namespace {

constexpr QRgb white = 0xFFFFFFFF;
// Room around the drawn box, so that ink outside it can be seen.
constexpr int margin = 12;

struct Canvas
{
    QImage image;
    QRect box;
};

// Draws one element look with a text (or its picture) on white, at a device
// pixel ratio; the box is returned in image pixels.
Canvas draw(const LcdElementLook &look, const QString &text, qreal dpr = 1.0)
{
    const QSize logical = look.rect.size() + QSize(2 * margin, 2 * margin);
    QImage image((QSizeF(logical) * dpr).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(margin, margin, look.rect.width(), look.rect.height());
    if (look.font == LcdFont::Picture)
        LcdGlyphs::drawPicture(painter, look.picture, box);
    else
        LcdGlyphs::drawText(painter, look, box, text);
    painter.end();
    const QRect pixelBox = QRectF(box.topLeft() * dpr, box.size() * dpr).toAlignedRect();
    return { image, pixelBox };
}

QRectF scaled(const QRectF &r, qreal dpr)
{
    return QRectF(r.topLeft() * dpr, r.size() * dpr);
}

// Element boxes of the meters' layouts: main digit, secondary digit, memory digit.
const LcdElementLook mainDigit = lcdText(0, -1, QRect(0, -24, 48, 142), LcdFont::Digit, 127);
const LcdElementLook rowDigit = lcdText(0, -1, QRect(0, 0, 21, 63), LcdFont::Digit, 56);
const LcdElementLook memoryDigit = lcdText(0, -1, QRect(0, -8, 18, 53), LcdFont::Digit, 48);

} // namespace

void TestLcdGlyphs::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
}

void TestLcdGlyphs::segmentCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("segments");

    const auto row = [](const char *name, const QString &text) {
        QTest::newRow(name) << text << LcdInk::segmentsOf(text.isEmpty() ? QChar() : text[0]);
    };
    for (const char *digit : { "0", "1", "2", "3", "4", "5", "6", "7", "8", "9" })
        row(digit, QString::fromLatin1(digit));
    for (const char *letter : { "A", "B", "C", "D", "E", "F" })
        row(letter, QString::fromLatin1(letter));
    row("lower-case hex", QStringLiteral("e"));
    row("@ is the L of OL", QStringLiteral("@"));
    row("minus", QStringLiteral("-"));
    row("empty digit", QString());
}

void TestLcdGlyphs::segmentCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, segments);
    // Every digit size of both meters, and a doubled device pixel ratio.
    for (const LcdElementLook &look : { mainDigit, rowDigit, memoryDigit }) {
        for (qreal dpr : { 1.0, 2.0 }) {
            const Canvas c = draw(look, text, dpr);
            const QRectF cell = LcdGlyphs::digitCell(
                QRectF(margin, margin, look.rect.width(), look.rect.height()), look.size);
            QVERIFY2(LcdInk::litSegments(c.image, scaled(cell, dpr)) == segments,
                qPrintable(QStringLiteral("size %1, ratio %2: lit %3")
                               .arg(look.size)
                               .arg(dpr)
                               .arg(LcdInk::litSegments(c.image, scaled(cell, dpr)))));
        }
    }
}

void TestLcdGlyphs::marksStayInTheirBox_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");

    const int digit = int(LcdFont::Digit);
    const int symbol = int(LcdFont::Symbol);
    QTest::newRow("hold mark") << digit << QRect(0, -3, 19, 39) << 35 << "\"";
    QTest::newRow("degrees Celsius mark") << digit << QRect(0, 0, 19, 27) << 24 << "#";
    QTest::newRow("degrees Fahrenheit mark") << digit << QRect(0, 0, 16, 23) << 21 << "?";
    QTest::newRow("degree sign") << digit << QRect(0, 0, 14, 36) << 32 << "\u00B0";
    QTest::newRow("main minus") << digit << QRect(0, -4, 28, 107) << 96 << "-";
    QTest::newRow("numbered mark 1") << symbol << QRect(0, 0, 30, 22) << 20 << "}  1";
    QTest::newRow("numbered mark 2") << symbol << QRect(0, 0, 37, 22) << 20 << "}   2";
    QTest::newRow("numbered mark 3") << symbol << QRect(0, 0, 32, 21) << 19 << "}   3";
    QTest::newRow("sum power mark") << symbol << QRect(0, 0, 35, 22) << 20 << "\u2211W";
    QTest::newRow("AUTO") << symbol << QRect(0, 0, 58, 21) << 19 << "AUTO";
    QTest::newRow("colon") << symbol << QRect(0, 24, 13, 53) << 48 << ":";
}

void TestLcdGlyphs::marksStayInTheirBox()
{
    QFETCH(int, font);
    QFETCH(QRect, rect);
    QFETCH(int, size);
    QFETCH(QString, text);
    const LcdElementLook look = lcdText(0, -1, rect, LcdFont(font), size);
    const Canvas c = draw(look, text);
    QVERIFY(LcdInk::inkIn(c.image, c.box, white) > 10);
    // A pixel of antialiased edge may touch the box's border, no more.
    const QRect bounds = LcdInk::inkBounds(c.image, c.image.rect(), white);
    QVERIFY2(c.box.adjusted(-1, -1, 1, 1).contains(bounds),
        qPrintable(QStringLiteral("ink %1,%2 %3x%4")
                       .arg(bounds.x() - margin)
                       .arg(bounds.y() - margin)
                       .arg(bounds.width())
                       .arg(bounds.height())));
}

// The design-time caption of the sum mark is "%W" in the symbol font, whose "%"
// is the sum sign: it must look exactly like the "∑W" that frames set.
void TestLcdGlyphs::designTimeSumMarkIsTheSumSign()
{
    const LcdElementLook wsg = lcdText(0, -1, QRect(0, 0, 35, 22), LcdFont::Symbol, 20);
    QCOMPARE(draw(wsg, QStringLiteral("%W")).image, draw(wsg, QStringLiteral("\u2211W")).image);
    QVERIFY(
        draw(wsg, QStringLiteral("\u2211")).image != draw(wsg, QStringLiteral("\u2211W")).image);
}

void TestLcdGlyphs::pointsSitOnTheBaseline_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("rightAligned");

    QTest::newRow("main point") << int(LcdFont::Digit) << QRect(0, 28, 12, 72) << 64 << false;
    QTest::newRow("row point, right-aligned")
        << int(LcdFont::Digit) << QRect(0, 8, 9, 53) << 48 << true;
    QTest::newRow("symbol-font point")
        << int(LcdFont::Symbol) << QRect(0, 28, 12, 72) << 64 << false;
    QTest::newRow("wide right-aligned point")
        << int(LcdFont::Symbol) << QRect(0, 18, 13, 55) << 48 << true;
}

void TestLcdGlyphs::pointsSitOnTheBaseline()
{
    QFETCH(int, font);
    QFETCH(QRect, rect);
    QFETCH(int, size);
    QFETCH(bool, rightAligned);
    const LcdElementLook look = lcdText(
        0, -1, rect, LcdFont(font), size, rightAligned ? LcdFlag::RightAligned : std::uint8_t(0));
    const Canvas c = draw(look, QStringLiteral("."));
    const QRect dot = LcdInk::inkBounds(c.image, c.image.rect(), white);
    QVERIFY(!dot.isEmpty());
    QVERIFY(c.box.contains(dot));
    // The point's foot is where the digits of its row stand.
    const qreal baseline = LcdGlyphs::digitCell(QRectF(c.box), size).bottom();
    QVERIFY2(qAbs(dot.bottom() + 1 - baseline) <= 1.5,
        qPrintable(QString::number(dot.bottom() + 1 - baseline)));
    if (rightAligned)
        QVERIFY(c.box.right() - dot.right() <= dot.width());
    else
        QVERIFY(qAbs(dot.center().x() - c.box.center().x()) <= 1);
    QVERIFY(dot.width() >= 4 && dot.height() >= 4 && qAbs(dot.width() - dot.height()) <= 1);
}

// Word captions are drawn at the meter's character heights; each must fit the
// box the meter's layout gives it, which was sized for bold Arial.
void TestLcdGlyphs::wordsFitTheMeterLayoutBoxes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("box");

    QTest::newRow("USB 19") << "USB" << 19 << QSize(40, 22);
    QTest::newRow("KWh 19") << "KWh" << 19 << QSize(43, 22);
    QTest::newRow("KVAr with a leading blank 19") << " KVAr" << 19 << QSize(52, 22);
    QTest::newRow("KVAr 16") << "KVAr" << 16 << QSize(39, 19);
    QTest::newRow("PEAK 19") << "PEAK" << 19 << QSize(53, 22);
    QTest::newRow("TEMP 20") << "TEMP" << 20 << QSize(56, 24);
    QTest::newRow("MAX 20") << "MAX" << 20 << QSize(43, 24);
    QTest::newRow("MEM 14") << "MEM" << 14 << QSize(35, 16);
    QTest::newRow("PEAK1 12") << "PEAK1" << 12 << QSize(38, 15);
    QTest::newRow("%THD 12") << "%THD" << 12 << QSize(32, 15);
    QTest::newRow("Time mm:ss 16") << "Time   mm:ss" << 16 << QSize(101, 19);
    QTest::newRow("Time h:mm:s 19") << "Time h:mm:s" << 19 << QSize(122, 22);
}

void TestLcdGlyphs::wordsFitTheMeterLayoutBoxes()
{
    QFETCH(QString, text);
    QFETCH(int, size);
    QFETCH(QSize, box);
    const LcdElementLook look = lcdText(0, -1, QRect(QPoint(0, 0), box), LcdFont::Word, size);
    const Canvas c = draw(look, text);
    const QRect bounds = LcdInk::inkBounds(c.image, c.image.rect(), white);
    // The meter's smallest captions came out a few pixels narrower than
    // unhinted Arial; the height has to match, the width nearly.
    QVERIFY2(c.box.adjusted(-1, -1, 4, 1).contains(bounds),
        qPrintable(QStringLiteral("ink %1x%2").arg(bounds.width()).arg(bounds.height())));
    // Capitals fill most of the box height, so the size really is the meter's.
    QVERIFY2(bounds.height() >= box.height() * 0.55,
        qPrintable(QStringLiteral("ink height %1").arg(bounds.height())));
}

void TestLcdGlyphs::picturesStayInTheirBox_data()
{
    QTest::addColumn<int>("picture");
    QTest::addColumn<QSize>("box");

    QTest::newRow("lightning") << int(LcdPicture::Lightning) << QSize(21, 29);
    QTest::newRow("small lightning") << int(LcdPicture::Lightning) << QSize(13, 21);
    QTest::newRow("battery") << int(LcdPicture::Battery) << QSize(32, 29);
    QTest::newRow("AC") << int(LcdPicture::AcWave) << QSize(33, 25);
    QTest::newRow("RST") << int(LcdPicture::Reset) << QSize(32, 32);
    QTest::newRow("phi") << int(LcdPicture::Phi) << QSize(17, 20);
}

void TestLcdGlyphs::picturesStayInTheirBox()
{
    QFETCH(int, picture);
    QFETCH(QSize, box);
    const LcdElementLook look = lcdPicture(0, -1, QRect(QPoint(0, 0), box), LcdPicture(picture));
    for (qreal dpr : { 1.0, 2.0 }) {
        const Canvas c = draw(look, QString(), dpr);
        const QRect bounds = LcdInk::inkBounds(c.image, c.image.rect(), white);
        QVERIFY(c.box.adjusted(-1, -1, 1, 1).contains(bounds));
        // A symbol, not a speck: it spans most of its box one way or the other.
        QVERIFY(bounds.width() >= c.box.width() * 0.6 || bounds.height() >= c.box.height() * 0.6);
        QVERIFY(LcdInk::inkIn(c.image, c.box, white) >= c.box.width() * c.box.height() / 12);
    }
}

void TestLcdGlyphs::arialFamiliesGiveTheSameFont()
{
    // Whatever this machine has installed: the short list resolves to the
    // font the full one does, in both weights and at several sizes.
    const QStringList full = { QStringLiteral("Arial"), QStringLiteral("Liberation Sans") };
    const QStringList families = LcdGlyphs::arialFamilies();
    QVERIFY(!families.isEmpty());
    if (families != full) {
        QCOMPARE(families, QStringList { QStringLiteral("Liberation Sans") });
        QVERIFY(!QFontDatabase::families().contains(QStringLiteral("Arial"), Qt::CaseInsensitive));
    }
    for (bool bold : { false, true }) {
        for (int pixels : { 11, 19, 32 }) {
            QFont a;
            a.setFamilies(full);
            QFont b;
            b.setFamilies(families);
            for (QFont *f : { &a, &b }) {
                f->setPixelSize(pixels);
                f->setBold(bold);
            }
            const QFontInfo ia(a);
            const QFontInfo ib(b);
            QCOMPARE(ib.family(), ia.family());
            QCOMPARE(ib.styleName(), ia.styleName());
            QCOMPARE(ib.pixelSize(), ia.pixelSize());
            QCOMPARE(QFontMetricsF(b).horizontalAdvance(QStringLiteral("8.8 kWh")),
                QFontMetricsF(a).horizontalAdvance(QStringLiteral("8.8 kWh")));
        }
    }
}

QTEST_MAIN(TestLcdGlyphs)
#include "tst_lcdglyphs.moc"
