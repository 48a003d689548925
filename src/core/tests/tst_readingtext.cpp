// SPDX-License-Identifier: MIT
#include "core/ConversionError.h"
#include "core/ReadingText.h"

#include <QTest>

#include <cmath>
#include <cstdio>
#include <cstdlib>

class TestReadingText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseValue_data();
    void parseValue();
    void scaledInteger_data();
    void scaledInteger();
    void scaledIntegerRoundsLikePrintfOverEveryReading();
    void frameCharacters();
    void formatNumber_data();
    void formatNumber();
};

void TestReadingText::parseValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("plain digits") << "0000"
                                  << "." << true << 0.0;
    QTest::newRow("point after third") << "123.4"
                                       << "." << true << 123.4;
    QTest::newRow("negative power factor") << "-0.500"
                                           << "." << true << -0.5;
    QTest::newRow("comma locale") << "-0,856"
                                  << "," << true << -0.856;
    QTest::newRow("full stop under comma locale") << "0.856"
                                                  << "," << false << 0.0;
    QTest::newRow("multi-character separator") << "12<>5"
                                               << "<>" << true << 12.5;
    QTest::newRow("no separator configured") << "1234"
                                             << "" << true << 1234.0;
    QTest::newRow("overload mark") << "0@"
                                   << "." << false << 0.0;
    QTest::newRow("signed overload mark") << "-0@"
                                          << "." << false << 0.0;
    QTest::newRow("kept OL") << "OL"
                             << "." << false << 0.0;
    QTest::newRow("hex letter among digits") << "12A4"
                                             << "." << false << 0.0;
    QTest::newRow("exponent") << "1e3"
                              << "." << false << 0.0;
    QTest::newRow("two separators") << "1.2.3"
                                    << "." << false << 0.0;
    QTest::newRow("separator first") << ".5"
                                     << "." << false << 0.0;
    QTest::newRow("separator last") << "5."
                                    << "." << false << 0.0;
    QTest::newRow("lone minus") << "-"
                                << "." << false << 0.0;
    QTest::newRow("plus sign") << "+5"
                               << "." << false << 0.0;
    QTest::newRow("empty") << ""
                           << "." << false << 0.0;
    QTest::newRow("blank inside") << "12 3"
                                  << "." << false << 0.0;
}

void TestReadingText::parseValue()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(bool, valid);
    QFETCH(double, value);

    const auto parsed = ReadingText::parseValue(text, separator);
    QCOMPARE(parsed.has_value(), valid);
    if (valid) {
        QCOMPARE(*parsed, value);
        QCOMPARE(ReadingText::valueNumber(text, separator), value);
    } else {
        QVERIFY_THROWS_EXCEPTION(ConversionError, ReadingText::valueNumber(text, separator));
    }
}

void TestReadingText::scaledInteger_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("expected");

    // 0.856 * 1000 is 855.99999999999989 in binary; the 15-digit rounding gives 856.
    QTest::newRow("power factor rounds before truncating") << 0.856 << 1000.0 << 856;
    QTest::newRow("negative truncates toward zero") << -0.5 << 1000.0 << -500;
    QTest::newRow("temperature by 0.3") << 1300.0 << 0.3 << 390;
    QTest::newRow("negative temperature by 8") << -20.0 << 8.0 << -160;
    QTest::newRow("fraction by 8") << 0.5 << 8.0 << 4;
    QTest::newRow("fraction below one truncates") << 0.1 << 8.0 << 0;
    QTest::newRow("factor one") << 123.4 << 1.0 << 123;
    QTest::newRow("clamped high") << 1e12 << 1000.0 << 2147483647;
    QTest::newRow("clamped low") << -1e12 << 1000.0 << -2147483647 - 1;
    QTest::newRow("infinity clamped") << qInf() << 1000.0 << 2147483647;
    QTest::newRow("not a number is zero") << qQNaN() << 1000.0 << 0;
    QTest::newRow("tiny product") << 1e-300 << 8.0 << 0;
}

void TestReadingText::scaledInteger()
{
    QFETCH(double, value);
    QFETCH(double, factor);
    QFETCH(int, expected);
    QCOMPARE(ReadingText::scaledInteger(value, factor), expected);
}

// Every reading a meter shows (four digits, a point after any of them or none,
// either sign) scaled by the factors the decoders use gives what rounding by
// printf's "%.15g" and reading back gives.
void TestReadingText::scaledIntegerRoundsLikePrintfOverEveryReading()
{
    const auto byPrintf = [](double product) {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", product);
        const double v = std::trunc(std::strtod(text, nullptr));
        return v >= 2147483647.0 ? 2147483647 : v <= -2147483648.0 ? -2147483647 - 1 : int(v);
    };
    int mismatches = 0;
    for (const double factor : { 1000.0, 8.0, 0.3 }) {
        for (int digits = 0; digits <= 9999; ++digits) {
            for (const double scale : { 1.0, 10.0, 100.0, 1000.0 }) {
                for (const double sign : { 1.0, -1.0 }) {
                    const double value = sign * digits / scale;
                    if (ReadingText::scaledInteger(value, factor) != byPrintf(value * factor)
                        && ++mismatches < 5)
                        qWarning() << value << factor;
                }
            }
        }
    }
    QCOMPARE(mismatches, 0);
}

void TestReadingText::frameCharacters()
{
    QCOMPARE(ReadingText::decimalDigit(u'7'), 7);
    QVERIFY_THROWS_EXCEPTION(ConversionError, ReadingText::decimalDigit(u'A'));
    QCOMPARE(ReadingText::hexNibble(u'C'), 12);
    QCOMPARE(ReadingText::hexNibble(u'f'), 15);
    QVERIFY_THROWS_EXCEPTION(ConversionError, ReadingText::hexNibble(u'G'));
    QCOMPARE(ReadingText::twoDigitDecimal(u'9', u'9'), 99);
    QVERIFY_THROWS_EXCEPTION(ConversionError, ReadingText::twoDigitDecimal(u'0', u'B'));
    QCOMPARE(ReadingText::integerPart(-0.5), 0);
    QCOMPARE(ReadingText::integerPart(-20.9), -20);
    QCOMPARE(ReadingText::integerPart(999.9), 999);
}

void TestReadingText::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 1000.0 << "1000";
    QTest::newRow("negative fraction") << -0.5 << "-0.5";
    QTest::newRow("power factor") << 0.856 << "0.856";
    QTest::newRow("reading") << 123.4 << "123.4";
    QTest::newRow("negative zero") << -0.0 << "0";
}

void TestReadingText::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(ReadingText::formatNumber(value), text);
}

QTEST_GUILESS_MAIN(TestReadingText)
#include "tst_readingtext.moc"
