// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>

// The rows a GrowingTableView's vertical header holds: the rows of the view's
// model and room for more, grown in steps of an eighth of the rows (at least
// 1024), so that rows appended one at a time reach the header only once per
// step. Its header data are the model's, the last row's for the room beyond.
class RowRoomModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setSourceModel(QAbstractItemModel *source);
    QAbstractItemModel *sourceModel() const { return m_source; }
    int sourceRows() const { return m_rows; }

    // The rows held for a model of `rows` rows: none for an empty model.
    static int roomFor(int rows);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void rowsComing(int count);
    void rowsCame(int first, int last);
    void rowsGone();
    void resetToSource();

    QPointer<QAbstractItemModel> m_source;
    QList<QMetaObject::Connection> m_connections;
    int m_rows = 0; // the source's rows as last told
    int m_room = 0;
    int m_columns = 0;
};

// The vertical header of a GrowingTableView: it counts the rows of a
// RowRoomModel over the view's model, draws only the model's rows and shows
// the view's selection.
class RowRoomHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit RowRoomHeader(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void setSelectionModel(QItemSelectionModel *selectionModel) override;
    const RowRoomModel &rooms() const { return m_rooms; }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    void followViewSelection();

    RowRoomModel m_rooms;
    QPointer<QItemSelectionModel> m_viewSelection;
    QList<QMetaObject::Connection> m_selectionConnections;
};

// A QTableView for a table that grows by appending rows (a recording): an
// appended row costs the same at ten million rows as at a hundred.
//
// A QHeaderView works out every row's position again after each inserted
// row, the first time a position is asked for, which every repaint and
// scroll does. This view's vertical header holds room for more rows than the
// model has (RowRoomModel), so an appended row reaches it only once per
// growth step; the view shows, scrolls and selects exactly the model's rows,
// and draws nothing for the room beyond them. Rows are meant to have one
// fixed height, as in a recording's grid.
class GrowingTableView : public QTableView
{
    Q_OBJECT
public:
    explicit GrowingTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // Rows the vertical header holds (the model's rows and the room beyond).
    int headerRows() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int modelRows() const;
    void keepLastRowAtBottom();

    RowRoomHeader *m_rowHeader = nullptr;
    QList<QMetaObject::Connection> m_modelConnections;
};
