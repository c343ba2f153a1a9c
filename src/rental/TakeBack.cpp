#include "rental/TakeBack.h"

namespace vl::rental {

QString TakeBackMarkText(const QString& datum, qint64 tevsorszam, const QString& state) {
    return datum + QLatin1Char('#') + QString::number(tevsorszam) + QLatin1Char('/') + state.trimmed();
}

TakeBackResult TakeBackOnTables(vl::db::Transaction&, const GeneratorContext&, const RentalTables&,
                                const TakeBackItem&, bool) {
    return {};
}

TakeBackResult TakeBackOnContract(vl::db::Transaction&, const GeneratorContext&, qint64, qint64, const QString&,
                                  const QString&, bool) {
    return {};
}

} // namespace vl::rental
