// SPDX-License-Identifier: MIT
#include "core/CurrentReading.h"
#include "models/ModelDescription.h"
#include "models/common/FrameDecoder.h"
#include "models/common/RecordingOutputs.h"

#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

// The facts of each model must agree with each other: a description whose
// parts disagree would, for example, print a report with a column the table
// does not have, or name a dial legend for a scale the gauge never selects.
class TestModelDescription : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lookUpByModelAndName();
    void partsAgree_data();
    void partsAgree();
};

void TestModelDescription::lookUpByModelAndName()
{
    QCOMPARE(meterModels().size(), 2);
    for (const ModelDescription *m : meterModels()) {
        QCOMPARE(&modelDescription(m->model), m);
        QCOMPARE(findMeterModel(m->name), m);
    }
    QCOMPARE(findMeterModel(u"km90")->programName, QStringLiteral("KM90"));
    QCOMPARE(findMeterModel(u"km50_60")->programName, QStringLiteral("KM50_60"));
    for (const char16_t *name : { u"", u"KM90", u"km50", u"km90 " })
        QVERIFY2(!findMeterModel(name), qPrintable(QString::fromUtf16(name)));
}

void TestModelDescription::partsAgree_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestModelDescription::partsAgree()
{
    QFETCH(MeterModel, model);
    const ModelDescription &m = modelDescription(model);
    QCOMPARE(m.model, model);
    QCOMPARE(m.report.model, model);

    // The decoder it makes is of this model and takes frames of its length.
    RecordingOutputs outputs;
    CurrentReading reading;
    const auto decoder = m.makeDecoder(outputs, reading, QStringLiteral("."));
    QCOMPARE(decoder->model(), model);
    QString frame(m.frameLength - 2, u'0');
    frame += QStringLiteral("DA");
    decoder->ShowData50(frame); // a frame of the wrong length would throw

    // Every dial legend belongs to a scale of the table and spans the whole
    // dial: its last text sits on the scale's last step.
    QVERIFY(m.gaugeScales);
    for (const DialLegend &legend : m.dialLegends) {
        const auto row = std::find_if(m.gaugeScales->begin(), m.gaugeScales->end(),
            [&](const GaugeScaleRow &r) { return legend.dialKey == QStringView(r.dialKey); });
        QVERIFY2(row != m.gaugeScales->end(), qPrintable(legend.dialKey));
        if (!legend.entries.isEmpty())
            QCOMPARE(legend.entries.last().step, row->step);
    }

    // The report prints one field per table column, in table order.
    QCOMPARE(m.report.detail.elements.size(), m.columns.size());
    for (int c = 0; c < m.columns.size(); ++c)
        QCOMPARE(m.report.detail.elements.at(c).column, c);
    QCOMPARE(m.window.gridColumnWidths.size(), m.columns.size());
    QCOMPARE(m.window.gridWidestValues.size(), m.columns.size());
    QCOMPARE(m.columns.first(), QStringLiteral("No"));

    // The chart fits its place in the window, and the demo tour has frames
    // of the model's length.
    QCOMPARE(m.chart.chartSize, m.window.chart.size());
    QVERIFY(m.demoScenario);
    const QList<DemoStep> tour = m.demoScenario();
    QVERIFY(!tour.isEmpty());
    for (const DemoStep &step : tour) {
        if (!step.frame.isEmpty())
            QCOMPARE(step.frame.size(), m.frameLength); // its last two bytes are CR LF
    }
}

QTEST_GUILESS_MAIN(TestModelDescription)
#include "tst_modeldescription.moc"
