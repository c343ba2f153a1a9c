#include "rental/LineItemRules.h"

#include "util/Dates.h"

namespace vl::rental {

Outcome Outcome::answerAll(bool yes) const {
    Outcome o = *this;
    while (o.asks() && o.proceed) o = o.proceed(yes);
    return o;
}

Outcome Outcome::answer(const QList<bool>& answers) const {
    Outcome o = *this;
    int i = 0;
    while (o.asks() && o.proceed) o = o.proceed(i < answers.size() ? answers.at(i++) : false);
    return o;
}

QString NormalizeTypedDate(const QString& text) {
    const QString n = vl::util::NormalizeDateText(text.trimmed());
    return n.isEmpty() ? text.trimmed() : n;
}

LineItemRules::LineItemRules(const GeneratorContext& ctx, const RentalTables& tables, const ContractTerms& terms,
                             const LineItemOptions& options)
    : ctx_(ctx), tables_(tables), terms_(terms), options_(options) {}

QString LineItemRules::today() const { return options_.today.isEmpty() ? vl::util::TodayStr() : options_.today; }
}
