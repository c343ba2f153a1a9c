#pragma once
// The line's rule for visits on a day off ("Ünnepnapon"), as contract entry
// and the orders workspace show it: the company's rule, or one of its own.
#include "rental/WorkCalendar.h"

#include <QComboBox>

namespace vl::rental {

inline QComboBox* HolidayRuleCombo(const QString& name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItem(QStringLiteral("A cég szabálya"), QString());
    for (HolidayRule r : {HolidayRule::Stay, HolidayRule::Previous, HolidayRule::Next, HolidayRule::Skip})
        c->addItem(HolidayRuleName(r), HolidayRuleCode(r));
    c->setToolTip(QStringLiteral("A munkaszüneti napra eső karbantartás ennél a tételnél"));
    return c;
}

inline void ShowHolidayRule(QComboBox* c, const QString& code) {
    const int i = c->findData(code.trimmed().toUpper());
    c->setCurrentIndex(i < 0 ? 0 : i);
}

inline QString HolidayRuleOf(const QComboBox* c) { return c->currentData().toString(); }

} // namespace vl::rental
