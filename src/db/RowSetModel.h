#pragma once
// A table model over a fetched row set, for the data grids. Qt Core only.
//
// Display texts follow the program's conventions: dates as 'yyyy.mm.dd',
// numbers without trailing zeros, booleans as "Igen"/"Nem", NULL as empty.
// The edit role gives the value itself. The model also keeps the current row
// of its row set, so a grid and the data-bound fields around it follow one row.
#include "db/Database.h"

#include <QAbstractTableModel>
#include <QHash>

namespace vl::db {

class RowSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowSetModel(QObject* parent = nullptr);
    explicit RowSetModel(RowSet rows, QObject* parent = nullptr);

    // Replaces the rows (a model reset); the current row becomes the first, if any.
    void setRowSet(RowSet rows);
    const RowSet& rowSet() const { return rows_; }

    // Column captions shown instead of the column names (by column name, case-insensitive).
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

    // The display text of a value, as the grid shows it.
    static QString displayText(const QVariant& value);

signals:
    void currentRowChanged(int row);

private:
    RowSet rows_;
    QHash<QString, QString> captions_; // upper-cased column name -> caption
};

} // namespace vl::db
