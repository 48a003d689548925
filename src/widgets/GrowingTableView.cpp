// SPDX-License-Identifier: MIT
#include "widgets/GrowingTableView.h"

#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <limits>

// RowRoomModel

int RowRoomModel::roomFor(int rows)
{
    if (rows <= 0)
        return 0;
    constexpr int leastStep = 1024;
    const qint64 room = qint64(rows) + std::max(leastStep, rows / 8);
    return int(std::min<qint64>(room, std::numeric_limits<int>::max()));
}

void RowRoomModel::setSourceModel(QAbstractItemModel *source)
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        const auto top = [](const QModelIndex &parent) { return !parent.isValid(); };
        m_connections
            << connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                   [this, top](const QModelIndex &parent, int first, int last) {
                       if (top(parent))
                           rowsComing(last - first + 1);
                   })
            << connect(source, &QAbstractItemModel::rowsInserted, this,
                   [this, top](const QModelIndex &parent, int first, int last) {
                       if (top(parent))
                           rowsCame(first, last);
                   })
            << connect(source, &QAbstractItemModel::rowsRemoved, this,
                   [this, top](const QModelIndex &parent) {
                       if (top(parent))
                           resetToSource();
                   })
            << connect(source, &QAbstractItemModel::rowsMoved, this, &RowRoomModel::resetToSource)
            << connect(
                   source, &QAbstractItemModel::columnsInserted, this, &RowRoomModel::resetToSource)
            << connect(
                   source, &QAbstractItemModel::columnsRemoved, this, &RowRoomModel::resetToSource)
            << connect(source, &QAbstractItemModel::modelReset, this, &RowRoomModel::resetToSource)
            << connect(
                   source, &QAbstractItemModel::layoutChanged, this, &RowRoomModel::resetToSource)
            << connect(source, &QAbstractItemModel::headerDataChanged, this,
                   [this](Qt::Orientation orientation, int first, int last) {
                       if (orientation == Qt::Vertical && first < m_room)
                           Q_EMIT headerDataChanged(orientation, first, std::min(last, m_room - 1));
                   })
            << connect(source, &QObject::destroyed, this, [this] { setSourceModel(nullptr); });
    }
    resetToSource();
}

void RowRoomModel::resetToSource()
{
    beginResetModel();
    m_rows = m_source ? m_source->rowCount() : 0;
    m_columns = m_source ? m_source->columnCount() : 0;
    m_room = roomFor(m_rows);
    endResetModel();
}

void RowRoomModel::rowsComing(int count)
{
    // Grown before the rows exist, so that no view ever asks the header for a
    // row it does not hold yet.
    const qint64 needed = qint64(m_rows) + count;
    if (needed <= m_room)
        return;
    const int room = roomFor(int(std::min<qint64>(needed, std::numeric_limits<int>::max())));
    beginInsertRows(QModelIndex(), m_room, room - 1);
    m_room = room;
    endInsertRows();
}

void RowRoomModel::rowsCame(int first, int last)
{
    m_rows = m_source ? m_source->rowCount() : 0;
    if (m_rows > m_room) { // told of the rows only now: hold them all
        beginInsertRows(QModelIndex(), m_room, roomFor(m_rows) - 1);
        m_room = roomFor(m_rows);
        endInsertRows();
    }
    // The header measures and draws the new rows' sections.
    Q_EMIT headerDataChanged(Qt::Vertical, first, std::min(last, m_room - 1));
}

int RowRoomModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_room;
}

int RowRoomModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant RowRoomModel::data(const QModelIndex &, int) const
{
    return {};
}

QVariant RowRoomModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_source || section < 0 || m_rows <= 0)
        return {};
    if (orientation == Qt::Horizontal)
        return m_source->headerData(section, orientation, role);
    // The room beyond the rows is never drawn; it answers as the last row, so
    // that the header's width follows the rows it shows.
    return m_source->headerData(std::min(section, m_rows - 1), orientation, role);
}

// RowRoomHeader

RowRoomHeader::RowRoomHeader(QWidget *parent)
    : QHeaderView(Qt::Vertical, parent)
{
    // As QTableView sets up its own vertical header.
    setSectionsClickable(true);
    setHighlightSections(true);
    connect(&m_rooms, &QAbstractItemModel::modelReset, this, &RowRoomHeader::followViewSelection);
}

void RowRoomHeader::setModel(QAbstractItemModel *model)
{
    if (model == &m_rooms) {
        QHeaderView::setModel(model);
        return;
    }
    m_rooms.setSourceModel(model);
    QHeaderView::setModel(model ? &m_rooms : nullptr);
}

void RowRoomHeader::setSelectionModel(QItemSelectionModel *selectionModel)
{
    if (!selectionModel || selectionModel->model() == &m_rooms || !m_rooms.sourceModel()
        || selectionModel->model() != m_rooms.sourceModel()) {
        QHeaderView::setSelectionModel(selectionModel);
        return;
    }
    // The view's selection is over the view's model; the header keeps its own
    // over the rows it holds and follows the view's.
    for (const QMetaObject::Connection &c : std::as_const(m_selectionConnections))
        disconnect(c);
    m_viewSelection = selectionModel;
    m_selectionConnections << connect(selectionModel, &QItemSelectionModel::selectionChanged, this,
        &RowRoomHeader::followViewSelection)
                           << connect(selectionModel, &QItemSelectionModel::currentChanged, this,
                                  &RowRoomHeader::followViewSelection);
    followViewSelection();
}

void RowRoomHeader::followViewSelection()
{
    QItemSelectionModel *own = selectionModel();
    if (!own || own->model() != &m_rooms)
        return;
    if (!m_viewSelection) {
        own->clear();
        return;
    }
    QItemSelection mirrored;
    const int rows = m_rooms.rowCount();
    const int columns = m_rooms.columnCount();
    for (const QItemSelectionRange &range : m_viewSelection->selection()) {
        if (range.parent().isValid() || range.bottom() >= rows || range.right() >= columns)
            continue;
        mirrored.select(
            m_rooms.index(range.top(), range.left()), m_rooms.index(range.bottom(), range.right()));
    }
    own->select(mirrored, QItemSelectionModel::ClearAndSelect);
    const QModelIndex current = m_viewSelection->currentIndex();
    own->setCurrentIndex(current.isValid() && current.row() < rows && current.column() < columns
            ? m_rooms.index(current.row(), current.column())
            : QModelIndex(),
        QItemSelectionModel::NoUpdate);
}

void RowRoomHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (logicalIndex < m_rooms.sourceRows())
        QHeaderView::paintSection(painter, rect, logicalIndex);
}

// GrowingTableView

GrowingTableView::GrowingTableView(QWidget *parent)
    : QTableView(parent)
{
    m_rowHeader = new RowRoomHeader(this);
    setVerticalHeader(m_rowHeader);
}

void GrowingTableView::setModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &c : std::as_const(m_modelConnections))
        disconnect(c);
    m_modelConnections.clear();
    QTableView::setModel(model);
    if (!model)
        return;
    // The header learns of most new rows no more, so its usual "row count
    // changed" does not lay the view out again; the view does it itself.
    const auto layOut = [this] { scheduleDelayedItemsLayout(); };
    m_modelConnections << connect(model, &QAbstractItemModel::rowsInserted, this, layOut)
                       << connect(model, &QAbstractItemModel::rowsRemoved, this, layOut)
                       << connect(model, &QAbstractItemModel::modelReset, this, layOut);
}

int GrowingTableView::headerRows() const
{
    return verticalHeader()->count();
}

int GrowingTableView::modelRows() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

void GrowingTableView::paintEvent(QPaintEvent *event)
{
    // Only the model's rows are drawn: the room beyond them stays empty, as
    // below the last row of any table.
    const int rows = modelRows();
    if (rows <= 0)
        return;
    const int bottom = rowViewportPosition(rows - 1) + rowHeight(rows - 1);
    QRect rowsArea = event->region().boundingRect();
    rowsArea.setBottom(std::min(rowsArea.bottom(), bottom - 1));
    const QRegion region = event->region() & rowsArea;
    if (region == event->region()) {
        QTableView::paintEvent(event);
    } else if (!region.isEmpty()) {
        QPaintEvent rowsOnly(region);
        QTableView::paintEvent(&rowsOnly);
    }
}

void GrowingTableView::updateGeometries()
{
    QTableView::updateGeometries();
    // The vertical scroll bar reaches the last row, not the room beyond it,
    // computed as QTableView does for the header's sections.
    const QHeaderView *header = verticalHeader();
    const int rows = std::min(modelRows(), header->count());
    const int viewportHeight = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        int rowsInViewport = 0;
        for (int height = 0, visual = rows - 1; visual >= 0; --visual) {
            const int logical = header->logicalIndex(visual);
            if (header->isSectionHidden(logical))
                continue;
            height += header->sectionSize(logical);
            if (height > viewportHeight)
                break;
            ++rowsInViewport;
        }
        // Only rows are ever hidden, never the room beyond them.
        const int shown = rows - header->hiddenSectionCount();
        rowsInViewport = std::max(rowsInViewport, 1);
        bar->setRange(0, std::max(0, shown - rowsInViewport));
        bar->setPageStep(rowsInViewport);
        keepLastRowAtBottom();
    } else {
        const int length = rows > 0 ? header->sectionPosition(header->logicalIndex(rows - 1))
                + header->sectionSize(header->logicalIndex(rows - 1))
                                    : 0;
        bar->setPageStep(viewportHeight);
        bar->setRange(0, std::max(0, length - viewportHeight));
    }
}

void GrowingTableView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (dy)
        keepLastRowAtBottom();
}

void GrowingTableView::keepLastRowAtBottom()
{
    // Scrolled to the end, a header aligns its own last section with the
    // bottom of the view; here that is the room's, so the view aligns its
    // last row instead, as a plain table does.
    const QScrollBar *bar = verticalScrollBar();
    QHeaderView *header = verticalHeader();
    const int rows = std::min(modelRows(), header->count());
    if (verticalScrollMode() != ScrollPerItem || rows <= 0 || bar->maximum() <= 0
        || bar->value() != bar->maximum())
        return;
    const int last = header->logicalIndex(rows - 1);
    const int offset = header->sectionPosition(last) + header->sectionSize(last) - header->height();
    if (header->offset() != offset) {
        header->setOffset(offset);
        viewport()->update();
    }
}

QModelIndex GrowingTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    QModelIndex next = QTableView::moveCursor(cursorAction, modifiers);
    // A page down from near the end lands in the room beyond the rows, where
    // a plain table finds no row and takes its last one.
    const int rows = modelRows();
    if (cursorAction == MovePageDown && !next.isValid() && current.isValid() && rows > 0)
        next = model()->index(rows - 1, current.column(), rootIndex());
    return next;
}
