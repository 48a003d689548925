// SPDX-License-Identifier: MIT
#include "gauge/GaugeScale.h"
#include "models/ModelDescription.h"

#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

class TestGaugeScale : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startUpValues();
    void select_data();
    void select();
    void outOfRangeIndexChangesNothing();
    void zeroSitsInTheMiddleOfEverySpan();
};

void TestGaugeScale::startUpValues()
{
    const GaugeScale s;
    QCOMPARE(s.DialKey, QStringLiteral("6"));
    QCOMPARE(s.FullScale, 600);
    QCOMPARE(s.ZeroOffset, 600);
    QCOMPARE(s.BarMax, 60); // not 600: the level bar's start-up maximum
    QCOMPARE(s.Step, 120);
}

void TestGaugeScale::select_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("dialKey");
    QTest::addColumn<int>("fullScale");
    QTest::addColumn<int>("barMax");
    QTest::addColumn<int>("step");

    QTest::newRow("km90 0 power") << MeterModel::Km90 << 0 << "6" << 600 << 600 << 120;
    QTest::newRow("km90 1 phase") << MeterModel::Km90 << 1 << "10" << 360 << 360 << 72;
    QTest::newRow("km90 2") << MeterModel::Km90 << 2 << "4" << 400 << 400 << 80;
    QTest::newRow("km90 3 pf") << MeterModel::Km90 << 3 << "7" << 1000 << 1000 << 200;
    QTest::newRow("km50 0") << MeterModel::Km50_60 << 0 << "6" << 600 << 600 << 120;
    QTest::newRow("km50 1 current") << MeterModel::Km50_60 << 1 << "10" << 1000 << 1000 << 200;
    QTest::newRow("km50 2 temperature") << MeterModel::Km50_60 << 2 << "4" << 400 << 400 << 80;
    QTest::newRow("km50 3 pf") << MeterModel::Km50_60 << 3 << "7" << 1000 << 1000 << 200;
}

void TestGaugeScale::select()
{
    QFETCH(MeterModel, model);
    QFETCH(int, index);
    QFETCH(QString, dialKey);
    QFETCH(int, fullScale);
    QFETCH(int, barMax);
    QFETCH(int, step);

    GaugeScale s;
    SelectGaugeScale(s, *modelDescription(model).gaugeScales, index);
    QCOMPARE(s.DialKey, dialKey);
    QCOMPARE(s.FullScale, fullScale);
    QCOMPARE(s.ZeroOffset, fullScale);
    QCOMPARE(s.BarMax, barMax);
    QCOMPARE(s.Step, step);
}

void TestGaugeScale::outOfRangeIndexChangesNothing()
{
    for (int index : { 5, -1, 4 }) {
        GaugeScale s;
        SelectGaugeScale(s, *modelDescription(MeterModel::Km90).gaugeScales, 1);
        const GaugeScale before = s;
        SelectGaugeScale(s, *modelDescription(MeterModel::Km90).gaugeScales, index);
        QCOMPARE(s, before);
    }
}

void TestGaugeScale::zeroSitsInTheMiddleOfEverySpan()
{
    for (MeterModel model : { MeterModel::Km90, MeterModel::Km50_60 }) {
        for (const GaugeScaleRow &row : *modelDescription(model).gaugeScales) {
            QCOMPARE(row.zeroOffset, row.fullScale);
            QCOMPARE(10 * row.step, 2 * row.zeroOffset);
        }
    }
}

QTEST_GUILESS_MAIN(TestGaugeScale)
#include "tst_gaugescale.moc"
