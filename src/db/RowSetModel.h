#pragma once
// The table model of every data grid: a fetched row set shown read-only.
// Qt Core only.
//
// Each cell's text comes from displayText() (db/DisplayText.h) with the
// column's type and scale and the grid column's mask: dates 'yyyy.mm.dd',
// integers as digits, scaled numerics with their decimals, floats by their
// mask or in general form with the workstation's decimal separator, booleans
// "Igen"/"Nem", NULL empty. The edit role gives the value itself; numbers are
// right-aligned. The model shows what it is given: password columns are left
// out before a row set reaches it (reporting's withoutPasswordColumns, the
// editor's browse statement).
//
// By default every column of the row set shows under its name (or a caption
// set for it); a grid that chooses its columns, their order, titles and masks
// (the generic editor) gives them with setColumns(). The model also keeps the
// current row of its row set, so a grid and the data-bound fields around it
// follow one row.
#include "db/Database.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

namespace vl::db {

class RowSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A column the grid shows: a column of the row set by name, its header
    // text and the display mask of a float ('#,##0.00'; "" for the general form).
    struct GridColumn {
        QString field;
        QString title;
        QString mask;
    };

    explicit RowSetModel(QObject* parent = nullptr);
    explicit RowSetModel(RowSet rows, QObject* parent = nullptr);

    // Replaces the rows (a model reset); the current row becomes the first, if any.
    void setRowSet(RowSet rows);
    // Replaces the rows and the columns shown at once (one model reset).
    void setRowSet(RowSet rows, const QList<GridColumn>& columns);
    const RowSet& rowSet() const { return rows_; }

    // The columns shown, in order; an empty list shows every column of the row set.
    void setColumns(const QList<GridColumn>& columns);
    // The columns shown now (every column of the row set when none were chosen).
    QList<GridColumn> gridColumns() const;

    // Column captions shown instead of the column names (by column name,
    // case-insensitive), where the grid did not choose its columns.
    void setCaption(const QString& column, const QString& caption);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The current row (-1 when there are no rows).
    int currentRow() const { return rows_.eof() ? -1 : rows_.position(); }
    void setCurrentRow(int row);
    // A value of the current row by column name (null when there is no current row).
    QVariant currentValue(const QString& column) const;

    // The display text of a value without a column: displayText() by the value's own type.
    static QString displayText(const QVariant& value);

signals:
    void currentRowChanged(int row);

private:
    void mapColumns();

    RowSet rows_;
    QList<GridColumn> chosen_;           // as setColumns() gave them; empty: every column
    QList<int> source_;                  // the row-set column of each shown column (-1: absent)
    QHash<QString, QString> captions_;   // upper-cased column name -> caption
};

} // namespace vl::db
