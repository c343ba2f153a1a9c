#include "db/Database.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace vl::db {

RowSet::RowSet(QList<Column> cols, std::vector<QVariantList> rows)
    : cols_(std::move(cols)), rows_(std::move(rows))
{
}

int RowSet::indexOf(const QString& name) const
{
    for (int i = 0; i < cols_.size(); ++i)
        if (cols_.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool RowSet::next()
{
    if (pos_ < int(rows_.size()))
        ++pos_;
    return pos_ < int(rows_.size());
}

QVariant RowSet::value(int col) const
{
    if (eof())
        throw DbError(QStringLiteral("Nincs aktuális sor a lekérdezés eredményében."));
    if (col < 0 || col >= cols_.size())
        throw DbError(QStringLiteral("Nincs %1. oszlop a lekérdezés eredményében.").arg(col + 1));
    return rows_[size_t(pos_)].at(col);
}

QVariant RowSet::value(const QString& name) const
{
    const int col = indexOf(name);
    if (col < 0)
        throw DbError(QStringLiteral("Nincs %1 nevű oszlop a lekérdezés eredményében.").arg(name));
    return value(col);
}

QString RowSet::text(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy.MM.dd"));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

qint64 RowSet::integer(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return qRound64(v.toDouble());
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 r = v.toString().trimmed().toLongLong(&ok);
        return ok ? r : 0;
    }
    return v.toLongLong();
}

double RowSet::number(const QString& name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double r = v.toString().trimmed().toDouble(&ok);
        return ok ? r : 0.0;
    }
    return v.toDouble();
}

} // namespace vl::db
