// SPDX-License-Identifier: MIT
// The windows on a screen scaled by 2 (QT_SCALE_FACTOR=2, set before the
// application starts): every drawn surface is painted at the device pixel
// ratio, not enlarged from one pixel per logical pixel.
#include "app/GaugeWidget.h"
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "chart/ChartPanel.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "models/common/lcd/LcdPanel.h"

#include <QApplication>
#include <QProgressBar>
#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

namespace {

// The share of the aligned 2 x 2 blocks of device pixels that are not one
// colour. A picture enlarged from one pixel per logical pixel has none.
double finerThanLogicalPixels(const QImage &image)
{
    int blocks = 0;
    int mixed = 0;
    for (int y = 0; y + 1 < image.height(); y += 2) {
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb p = image.pixel(x, y);
            ++blocks;
            if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p
                || image.pixel(x + 1, y + 1) != p)
                ++mixed;
        }
    }
    return blocks ? double(mixed) / blocks : 0;
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        KmApplication::useProgramStyle();
        QVERIFY(qApp->devicePixelRatio() == 2);
    }
    void surfacesPaintedAtTheRatio_data();
    void surfacesPaintedAtTheRatio();
    void needleMovesWithoutRedrawingTheDial();
};

void TestHiDpi::surfacesPaintedAtTheRatio_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestHiDpi::surfacesPaintedAtTheRatio()
{
    QFETCH(MeterModel, model);
    auto backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    TFrmTest w(model, backend, backend->createNotifier(), dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.gauge().dialImage().devicePixelRatio(), 2.0);
    QCOMPARE(w.gauge().dialImage().size(), (w.gauge().size() - QSize(4, 4)) * 2);
    const struct
    {
        const char *name;
        QWidget *widget;
    } surfaces[] = {
        { "gauge", &w.gauge() },
        { "LCD", w.lcdPanel() },
        { "indicator light", w.findChild<QWidget *>(QStringLiteral("CONokN")) },
        { "chart clear glyph", w.chartPanel().findChild<QWidget *>(QStringLiteral("BtNew")) },
        { "chart paging glyph", w.chartPanel().findChild<QWidget *>(QStringLiteral("BtFirst")) },
        { "chart enlarge image", w.chartPanel().findChild<QWidget *>(QStringLiteral("TbFd")) },
    };
    for (const auto &s : surfaces) {
        QVERIFY2(s.widget, s.name);
        const QPixmap grabbed = s.widget->grab();
        QCOMPARE(grabbed.devicePixelRatio(), 2.0);
        QCOMPARE(grabbed.size(), s.widget->size() * 2);
        const double finer = finerThanLogicalPixels(grabbed.toImage());
        QVERIFY2(finer > 0.01, qPrintable(QStringLiteral("%1: %2").arg(s.name).arg(finer)));
    }
    // The level bar is drawn by the style at the ratio too (its flat fills
    // have no finer detail to show).
    QCOMPARE(w.PBar2().grab().size(), w.PBar2().size() * 2);
}

void TestHiDpi::needleMovesWithoutRedrawingTheDial()
{
    auto backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    TFrmTest w(MeterModel::Km90, backend, backend->createNotifier(), dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    GaugeWidget &gauge = w.gauge();
    const qint64 dial = gauge.dialImage().cacheKey();
    const QImage before = gauge.grab().toImage();
    gauge.KDrun(300);
    const QImage after = gauge.grab().toImage();
    QCOMPARE(gauge.dialImage().cacheKey(), dial);
    QVERIFY(before != after);
    // The needle is drawn at the ratio too: its edges are finer than the
    // logical pixels.
    QVERIFY(finerThanLogicalPixels(gauge.picture()) > 0.01);
    QCOMPARE(gauge.picture().devicePixelRatio(), 2.0);
    // At 300 of 1200 the needle runs through the lower left quarter of the
    // dial: dark there now, white before.
    const GaugeDial::Needle n = gauge.needle();
    const QPointF onNeedle = QPointF(n.tip) + (QPointF(n.base) - QPointF(n.tip)) * 0.1;
    const QPoint device = ((onNeedle + QPointF(2, 2)) * 2).toPoint();
    QVERIFY(qGray(after.pixel(device)) < 100);
    QVERIFY(qGray(before.pixel(device)) > 200);
}

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
