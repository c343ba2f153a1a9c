#include "db/RowSetModel.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

namespace vl::db {

RowSetModel::RowSetModel(QObject* parent) : QAbstractTableModel(parent) {}

RowSetModel::RowSetModel(RowSet rows, QObject* parent) : QAbstractTableModel(parent)
{
    rows_ = std::move(rows);
    rows_.first();
}

void RowSetModel::setRowSet(RowSet rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    rows_.first();
    endResetModel();
    emit currentRowChanged(currentRow());
}

void RowSetModel::setCaption(const QString& column, const QString& caption)
{
    captions_.insert(column.toUpper(), caption);
    const int col = rows_.indexOf(column);
    if (col >= 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
}

int RowSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.rowCount();
}

int RowSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.columnCount();
}

QString RowSetModel::displayText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy.MM.dd"));
    case QMetaType::QTime: return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("Igen") : QStringLiteral("Nem");
    case QMetaType::QByteArray: return QStringLiteral("(bináris)");
    default: return v.toString();
    }
}

QVariant RowSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.rowCount() || index.column() >= rows_.columnCount())
        return QVariant();
    const QVariant v = rows_.at(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(v);
    case Qt::EditRole:
        return v;
    case Qt::TextAlignmentRole: {
        const ColType t = rows_.columns().at(index.column()).type;
        const bool numeric = t == ColType::Int16 || t == ColType::Int32 || t == ColType::Int64 || t == ColType::Float;
        return QVariant::fromValue(Qt::Alignment(numeric ? Qt::AlignRight | Qt::AlignVCenter
                                                         : Qt::AlignLeft | Qt::AlignVCenter));
    }
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
    if (section < 0 || section >= rows_.columnCount())
        return QVariant();
    const QString name = rows_.columns().at(section).name;
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
