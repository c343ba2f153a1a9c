#include "RowSetModel.h"

namespace vl::framework {

void RowSetModel::reset(const vl::db::RowSet* rows, const QList<GridColumn>& cols,
                        std::function<QString(const QString&, const QVariant&)> display) {
    beginResetModel();
    rows_ = rows;
    cols_ = cols;
    display_ = std::move(display);
    colIndex_.clear();
    for (const auto& c : cols_) colIndex_ << (rows_ ? rows_->indexOf(c.field) : -1);
    endResetModel();
}

int RowSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : rows_->rowCount();
}

int RowSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(cols_.size()); }

QVariant RowSetModel::data(const QModelIndex& index, int role) const {
    if (!rows_ || !index.isValid() || index.row() >= rows_->rowCount() || index.column() >= cols_.size()) return {};
    const int c = colIndex_.at(index.column());
    if (role == Qt::DisplayRole) {
        if (c < 0) return {};
        const QVariant v = rows_->at(index.row(), c);
        return display_ ? display_(cols_.at(index.column()).field, v) : v.toString();
    }
    if (role == Qt::TextAlignmentRole && cols_.at(index.column()).rightAligned)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant RowSetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal) return section < cols_.size() ? cols_.at(section).title : QVariant();
    return section + 1;
}

} // namespace vl::framework
