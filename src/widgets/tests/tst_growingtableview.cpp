// SPDX-License-Identifier: MIT
// GrowingTableView against a plain QTableView over the same model: the same
// pixels, scroll bar, keyboard moves and clicks, while appended rows reach its
// vertical header only once per growth step.
#include "widgets/GrowingTableView.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// Rows appended one at a time, as a recording grows; cleared by a reset.
class AppendModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        return QStringLiteral("r%1c%2").arg(index.row()).arg(index.column());
    }
    void append(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            beginInsertRows(QModelIndex(), m_rows, m_rows);
            ++m_rows;
            endInsertRows();
        }
    }
    void appendBlock(int count)
    {
        beginInsertRows(QModelIndex(), m_rows, m_rows + count - 1);
        m_rows += count;
        endInsertRows();
    }
    void clear()
    {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    }

private:
    int m_rows = 0;
};

// The grid's set-up in the programs, on either view.
void setUp(QTableView &view, QAbstractItemModel &model, bool rowIndicator)
{
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(18);
    view.verticalHeader()->setVisible(rowIndicator);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.resize(260, 200);
}

void followNewest(QTableView &view)
{
    const int last = view.model()->rowCount() - 1;
    if (last < 0)
        return;
    view.setCurrentIndex(view.model()->index(last, 0));
    view.scrollToBottom();
}

struct Pair
{
    explicit Pair(bool rowIndicator)
    {
        setUp(plain, model, rowIndicator);
        setUp(growing, model, rowIndicator);
        plain.show();
        growing.show();
    }
    void settle()
    {
        QApplication::processEvents();
        QApplication::processEvents();
    }
    AppendModel model;
    QTableView plain;
    GrowingTableView growing;
};

} // namespace

class TestGrowingTableView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void drawsAndScrollsAsAPlainTable_data();
    void drawsAndScrollsAsAPlainTable();
    void keysAndClicksAsAPlainTable_data();
    void keysAndClicksAsAPlainTable();
    void appendedRowsReachTheHeaderInSteps();
};

void TestGrowingTableView::drawsAndScrollsAsAPlainTable_data()
{
    // Each step: "append N" (one row at a time, the newest row followed),
    // "block N" (N rows in one insert), "clear", "select R", "top".
    QTest::addColumn<bool>("rowIndicator");
    QTest::addColumn<QStringList>("steps");
    for (const bool indicator : { false, true }) {
        const char *name = indicator ? "with row indicator" : "without row indicator";
        QTest::addRow("empty, %s", name) << indicator << QStringList {};
        QTest::addRow("three rows, %s", name) << indicator << QStringList { "append 3" };
        QTest::addRow("more rows than fit, %s", name) << indicator << QStringList { "append 40" };
        QTest::addRow("past a growth step, %s", name) << indicator << QStringList { "append 1100" };
        QTest::addRow("a block, then one, %s", name)
            << indicator << QStringList { "block 5000", "append 1" };
        QTest::addRow("cleared and filled again, %s", name)
            << indicator << QStringList { "append 1100", "clear", "append 4" };
        QTest::addRow("an older row selected, at the top, %s", name)
            << indicator << QStringList { "append 30", "select 2", "top" };
        QTest::addRow("rows selected, then cleared, %s", name)
            << indicator << QStringList { "append 30", "clear" };
    }
}

void TestGrowingTableView::drawsAndScrollsAsAPlainTable()
{
    QFETCH(bool, rowIndicator);
    QFETCH(QStringList, steps);
    Pair views(rowIndicator);
    for (const QString &step : std::as_const(steps)) {
        const QString verb = step.section(u' ', 0, 0);
        const int n = step.section(u' ', 1, 1).toInt();
        if (verb == u"append") {
            for (int i = 0; i < n; ++i) {
                views.model.append();
                followNewest(views.plain);
                followNewest(views.growing);
            }
        } else if (verb == u"block") {
            views.model.appendBlock(n);
        } else if (verb == u"clear") {
            views.model.clear();
        } else if (verb == u"select") {
            for (QTableView *view : { static_cast<QTableView *>(&views.plain),
                     static_cast<QTableView *>(&views.growing) })
                view->setCurrentIndex(views.model.index(n, 0));
        } else if (verb == u"top") {
            views.plain.scrollToTop();
            views.growing.scrollToTop();
        }
        views.settle();
    }
    views.settle();
    const QScrollBar *plainBar = views.plain.verticalScrollBar();
    const QScrollBar *growingBar = views.growing.verticalScrollBar();
    QCOMPARE(growingBar->maximum(), plainBar->maximum());
    QCOMPARE(growingBar->value(), plainBar->value());
    QCOMPARE(growingBar->pageStep(), plainBar->pageStep());
    QCOMPARE(views.growing.verticalHeader()->width(), views.plain.verticalHeader()->width());
    QCOMPARE(views.growing.currentIndex(), views.plain.currentIndex());
    const QImage expected = views.plain.grab().toImage();
    const QImage shown = views.growing.grab().toImage();
    if (shown != expected) {
        expected.save(QDir::temp().filePath(QStringLiteral("growing-expected.png")));
        shown.save(QDir::temp().filePath(QStringLiteral("growing-shown.png")));
        QFAIL("the growing table draws differently from a plain one (pictures in the temp folder)");
    }
}

void TestGrowingTableView::keysAndClicksAsAPlainTable_data()
{
    // Keys pressed in turn from the newest row of a table of `rows` rows, or a
    // click at a height of the viewport.
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("clickY"); // -1: no click
    QTest::newRow("page down at the end") << 1500 << QList<int> { Qt::Key_PageDown } << -1;
    QTest::newRow("page up, page down, page down")
        << 1500 << QList<int> { Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageDown }
        << -1;
    QTest::newRow("home, end, down")
        << 1500 << QList<int> { Qt::Key_Home, Qt::Key_End, Qt::Key_Down } << -1;
    QTest::newRow("page down in a short table")
        << 3 << QList<int> { Qt::Key_Home, Qt::Key_PageDown } << -1;
    QTest::newRow("click below the last row") << 3 << QList<int> {} << 150;
    QTest::newRow("click on the second row") << 3 << QList<int> {} << 18 + 9;
}

void TestGrowingTableView::keysAndClicksAsAPlainTable()
{
    QFETCH(int, rows);
    QFETCH(QList<int>, keys);
    QFETCH(int, clickY);
    Pair views(false);
    views.model.append(rows);
    for (QTableView *view :
        { static_cast<QTableView *>(&views.plain), static_cast<QTableView *>(&views.growing) }) {
        followNewest(*view);
        for (const int key : std::as_const(keys))
            QTest::keyClick(view, Qt::Key(key));
        if (clickY >= 0)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, clickY));
    }
    views.settle();
    QVERIFY(views.plain.currentIndex().isValid());
    QCOMPARE(views.growing.currentIndex(), views.plain.currentIndex());
    QCOMPARE(views.growing.selectionModel()->selectedRows(),
        views.plain.selectionModel()->selectedRows());
    QCOMPARE(views.growing.verticalScrollBar()->value(), views.plain.verticalScrollBar()->value());
}

void TestGrowingTableView::appendedRowsReachTheHeaderInSteps()
{
    AppendModel model;
    GrowingTableView view;
    setUp(view, model, false);
    view.show();
    QSignalSpy headerChanges(view.verticalHeader(), &QHeaderView::sectionCountChanged);
    constexpr int rows = 20'000;
    for (int i = 0; i < rows; ++i) {
        model.append();
        QVERIFY(view.headerRows() >= model.rowCount());
    }
    // A plain table's header changes with every row; this one once per step
    // of an eighth of the rows (at least 1024).
    QVERIFY2(headerChanges.size() <= 20, qPrintable(QString::number(headerChanges.size())));
    QVERIFY(view.headerRows() <= RowRoomModel::roomFor(rows));
    // The newest row is reached and drawn at the bottom of the viewport.
    followNewest(view);
    QApplication::processEvents();
    const QRect last = view.visualRect(model.index(rows - 1, 0));
    QVERIFY(view.viewport()->rect().contains(last));
    QCOMPARE(view.indexAt(last.center()), model.index(rows - 1, 0));
    QVERIFY(!view.indexAt(QPoint(last.center().x(), last.bottom() + 2)).isValid());
    // A clear gives the room back.
    model.clear();
    QCOMPARE(view.headerRows(), 0);
}

QTEST_MAIN(TestGrowingTableView)
#include "tst_growingtableview.moc"
