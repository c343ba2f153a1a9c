#pragma once
// Exit checks of the generated edits, by their VALID code, without widgets.
#include <QString>

namespace vl::framework {

struct FieldCheck {
    bool ok = true;          // false: show the message and keep the focus in the field
    QString message;         // the message of a failed check
    QString text;            // the field's text after the check (cased, capitalised)
};

// The checks that need only the field's own text: 1 required date, 2 required,
// 3 not zero, 4 optional date, 7/10 upper case, 11 lower case, 98 required
// name, 99 name, 101 tax number, 102 TAJ number, 103 birth date (its date
// part); 5 and 6 check that the text is a number. Any other code passes.
FieldCheck CheckFieldText(int code, const QString& text);

// The first six characters a tax number of someone born on this date has
// ("8" and the five digits of the days since 1867.01.01); "" for a bad date.
QString ExpectedTaxPrefix(const QString& birthDate);
// The birth date a tax number encodes, 'yyyy.mm.dd' ("" when it has no digits 2-6).
QString TaxIdBirthDate(const QString& taxId);
// Whether a valid birth date contradicts a non-empty tax number.
bool TaxAndBirthDateConflict(const QString& taxId, const QString& birthDate);
// The question shown on a contradiction; askTax: "Jó az adószám?", else "Jó a dátum?".
QString TaxBirthDateQuestion(const QString& taxId, const QString& birthDate, bool askTax);

// A number typed into a number field: digits, one leading sign ("+" or "-"),
// blanks grouping the digits, and at most one decimal separator, "," or ".",
// whatever the workstation's locale. Anything else is no number.
struct NumberEntry {
    bool ok = false;          // the text is a number
    bool fraction = false;    // it has a fraction that is not zero ("1,5"; "1,0" has none)
    bool overflow = false;    // its whole part does not fit 64 bits
    double value = 0;         // the value
    qint64 whole = 0;         // its whole part (truncated), when !overflow
};
NumberEntry ReadNumberEntry(const QString& text);

// Code 5: the gross amount of a net one (x 1.27), as general text; "" when not a number.
QString GrossAmountText(const QString& net);

} // namespace vl::framework
