#pragma once
// What every export writer is given: the columns, the rows one at a time, and a
// way to report progress and to be stopped. A writer writes the file it is
// given (the caller's temporary name) and throws vl::Error with a Hungarian
// text when it cannot; the caller renames the file only when it is complete.
#include "db/Database.h"
#include "util/Error.h"

#include <QList>
#include <QVariantList>
#include <functional>

namespace vl::exchange {

class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const QList<vl::db::Column>& columns() const = 0;
    // The next row into `row` (one value per column); false at the end.
    virtual bool next(QVariantList& row) = 0;
    // How many rows there are when known ahead, else -1.
    virtual qint64 sizeHint() const { return -1; }
};

// The rows of a fetched row set, from the first.
class RowSetSource : public RowSource {
public:
    explicit RowSetSource(const vl::db::RowSet& rows) : rows_(rows) {}
    const QList<vl::db::Column>& columns() const override { return rows_.columns(); }
    bool next(QVariantList& row) override;
    qint64 sizeHint() const override { return rows_.rowCount(); }

private:
    const vl::db::RowSet& rows_;
    int pos_ = 0;
};

// Called now and then with the rows written so far and the total (-1 when not
// known); answers false to stop the export.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// The user stopped the export; nothing is left behind.
class ExportCancelled : public vl::Error {
public:
    ExportCancelled()
        : vl::Error(QStringLiteral("A mentés megszakítva."), QStringLiteral("export"), vl::Error::Kind::Other) {}
};

// Reports progress when a callback is given; throws ExportCancelled when it
// answers to stop.
inline void reportProgress(const Progress& progress, qint64 done, qint64 total) {
    if (progress && !progress(done, total)) throw ExportCancelled();
}

// What a writer had to change on the way, for the user to be told.
struct WriteNotes {
    qint64 rows = 0;              // data rows written
    int replacedCharacters = 0;   // characters the file's code page cannot hold, written as '?'
    int cutTexts = 0;             // texts longer than a cell holds, cut to its limit
};

} // namespace vl::exchange
