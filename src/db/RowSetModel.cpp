#include "db/RowSetModel.h"

#include "db/DisplayText.h"

namespace vl::db {

RowSetModel::RowSetModel(QObject* parent) : QAbstractTableModel(parent) {}

RowSetModel::RowSetModel(RowSet rows, QObject* parent) : QAbstractTableModel(parent)
{
    rows_ = std::move(rows);
    rows_.first();
    mapColumns();
}

void RowSetModel::mapColumns()
{
    source_.clear();
    if (chosen_.isEmpty()) {
        for (int c = 0; c < rows_.columnCount(); ++c)
            source_.append(c);
    } else {
        for (const GridColumn& g : chosen_)
            source_.append(rows_.indexOf(g.field));
    }
}

void RowSetModel::setRowSet(RowSet rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    rows_.first();
    mapColumns();
    endResetModel();
    emit currentRowChanged(currentRow());
}

void RowSetModel::setRowSet(RowSet rows, const QList<GridColumn>& columns)
{
    chosen_ = columns;
    setRowSet(std::move(rows));
}

void RowSetModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    chosen_ = columns;
    mapColumns();
    endResetModel();
}

QList<RowSetModel::GridColumn> RowSetModel::gridColumns() const
{
    if (!chosen_.isEmpty())
        return chosen_;
    QList<GridColumn> all;
    for (const Column& c : rows_.columns())
        all.append(GridColumn{c.name, captions_.value(c.name.toUpper(), c.name), QString()});
    return all;
}

void RowSetModel::setCaption(const QString& column, const QString& caption)
{
    captions_.insert(column.toUpper(), caption);
    const int col = chosen_.isEmpty() ? rows_.indexOf(column) : -1;
    if (col >= 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
}

int RowSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.rowCount();
}

int RowSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(source_.size());
}

QString RowSetModel::displayText(const QVariant& v)
{
    return vl::db::displayText(v);
}

QVariant RowSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.rowCount() || index.column() >= source_.size())
        return QVariant();
    const int src = source_.at(index.column());
    if (src < 0)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    const Column& col = rows_.columns().at(src);
    switch (role) {
    case Qt::DisplayRole: {
        const QString mask = chosen_.isEmpty() ? QString() : chosen_.at(index.column()).mask;
        return vl::db::displayText(rows_.at(index.row(), src), DisplayFormat::of(col, mask));
    }
    case Qt::EditRole:
        return rows_.at(index.row(), src);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(isNumericType(col.type) ? Qt::AlignRight | Qt::AlignVCenter
                                                                         : Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return QVariant();
    }
}

QVariant RowSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= source_.size())
        return QVariant();
    if (!chosen_.isEmpty())
        return chosen_.at(section).title;
    const QString name = rows_.columns().at(source_.at(section)).name;
    return captions_.value(name.toUpper(), name);
}

void RowSetModel::setCurrentRow(int row)
{
    if (rows_.isEmpty())
        row = -1;
    else
        row = qBound(0, row, rows_.rowCount() - 1);
    if (row == currentRow())
        return;
    rows_.setPosition(row);
    emit currentRowChanged(row);
}

QVariant RowSetModel::currentValue(const QString& column) const
{
    const int col = rows_.indexOf(column);
    if (col < 0 || currentRow() < 0)
        return QVariant();
    return rows_.at(currentRow(), col);
}

} // namespace vl::db
