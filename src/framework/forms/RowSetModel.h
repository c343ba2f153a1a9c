#pragma once
// A read-only item model over a fetched row set: the grid of the generic editor.
#include "db/Database.h"
#include <QAbstractTableModel>
#include <QStringList>
#include <functional>

namespace vl::framework {

class RowSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowSetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    struct GridColumn {
        QString field;   // column of the row set
        QString title;   // header text
        bool rightAligned = false;
    };
    // Replaces the rows and the columns shown. display gives the text of a value.
    void reset(const vl::db::RowSet* rows, const QList<GridColumn>& cols,
               std::function<QString(const QString& field, const QVariant& v)> display);
    const QList<GridColumn>& gridColumns() const { return cols_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    const vl::db::RowSet* rows_ = nullptr;
    QList<GridColumn> cols_;
    QList<int> colIndex_;
    std::function<QString(const QString&, const QVariant&)> display_;
};

} // namespace vl::framework
