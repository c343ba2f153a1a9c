#include "framework/Validation.h"

#include "util/ConversionError.h"
#include "util/Dates.h"
#include "util/IdNumbers.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDate>

namespace vl::framework {

using namespace vl::util;

namespace {
const QDate kTaxEpoch(1867, 1, 1);

QString requiredText() { return QStringLiteral("Kötelező kitölteni."); }
QString badNumber() { return QStringLiteral("Nem jó szám."); }

bool dateCheck(const QString& text, QString* message) {
    // DateValid shows its own message; here it is only collected.
    if (DateValid(text, false)) return true;
    *message = QStringLiteral("Hibás dátum.\n") + TrimText(text);
    return false;
}
} // namespace

FieldCheck CheckFieldText(int code, const QString& text) {
    FieldCheck c;
    c.text = text;
    const QString t = TrimText(text);
    switch (code) {
    case 1:
        c.ok = dateCheck(text, &c.message);
        break;
    case 2:
        if (t.isEmpty()) { c.ok = false; c.message = requiredText(); }
        break;
    case 3:
        if (t.isEmpty() || t == QStringLiteral("0")) { c.ok = false; c.message = QStringLiteral("Nem lehet nulla."); }
        break;
    case 4:
        if (!t.isEmpty()) c.ok = dateCheck(text, &c.message);
        break;
    case 5:
    case 6:
        // What a number field stores passes its exit check too: either separator.
        if (!ReadNumberEntry(text).ok) { c.ok = false; c.message = badNumber(); }
        break;
    case 7:
    case 10:
        c.text = UpperHu(text);
        break;
    case 11:
        c.text = LowerHu(text);
        break;
    case 98:
        if (t.isEmpty()) { c.ok = false; c.message = requiredText(); }
        else c.text = CapitalizeWords(t, false);
        break;
    case 99:
        c.text = CapitalizeWords(t, false);
        break;
    case 101:
        if (!TaxIdValid(text)) { c.ok = false; c.message = QStringLiteral("Hibás adóazonosító."); }
        break;
    case 102:
        if (!t.isEmpty() && !TajValid(text)) { c.ok = false; c.message = QStringLiteral("Hibás TAJszám."); }
        break;
    case 103:
        c.ok = dateCheck(text, &c.message);
        break;
    default:
        break;
    }
    return c;
}

QString ExpectedTaxPrefix(const QString& birthDate) {
    const QString d = NormalizeDateText(birthDate);
    if (d.isEmpty()) return QString();
    QDate date;
    try {
        date = StrToDateYMD(d);
    } catch (const ConversionError&) {
        return QString();
    }
    const qint64 n = RoundHalfAway(double(kTaxEpoch.daysTo(date)) + 100000.0);
    return QStringLiteral("8") + QString::number(n).mid(1, 5);
}

QString TaxIdBirthDate(const QString& taxId) {
    const QString digits = TrimText(taxId).mid(1, 5);
    bool ok = false;
    const int days = digits.toInt(&ok);
    if (!ok) return QString();
    return DateToYMD(kTaxEpoch.addDays(days));
}

bool TaxAndBirthDateConflict(const QString& taxId, const QString& birthDate) {
    const QString tax = TrimText(taxId);
    if (tax.isEmpty() || !DateValid(birthDate, false)) return false;
    return ExpectedTaxPrefix(birthDate) != tax.left(6);
}

QString TaxBirthDateQuestion(const QString& taxId, const QString& birthDate, bool askTax) {
    const QString tax = TrimText(taxId);
    const QString birth = TrimText(birthDate);
    return QStringLiteral("FIGYELEM!!! Az adószám és a születési dátum egymásnak ellentmondó adatot tartalmaz! ")
           + (askTax ? QStringLiteral("Jó az adószám?") : QStringLiteral("Jó a dátum?")) + QLatin1Char('\n') + birth
           + QStringLiteral(" -> 8") + ExpectedTaxPrefix(birth).mid(1) + QStringLiteral("nnnn ") + tax + QLatin1Char('\n')
           + tax + QStringLiteral(" -> ") + TaxIdBirthDate(tax) + QLatin1Char(' ') + birth;
}

NumberEntry ReadNumberEntry(const QString& text) {
    NumberEntry n;
    QString intDigits, fracDigits;
    bool negative = false, signSeen = false, sepSeen = false;
    for (const QChar c : text) {
        if (c.isSpace()) continue; // blanks group the digits
        if ((c == u'-' || c == u'+') && !signSeen && !sepSeen && intDigits.isEmpty()) {
            signSeen = true;
            negative = c == u'-';
        } else if (c >= u'0' && c <= u'9') {
            (sepSeen ? fracDigits : intDigits) += c;
        } else if ((c == u',' || c == u'.') && !sepSeen) {
            sepSeen = true;
        } else {
            return n;
        }
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty()) return n;
    const QString plain = (negative ? QStringLiteral("-") : QString()) + (intDigits.isEmpty() ? QStringLiteral("0") : intDigits)
                          + (fracDigits.isEmpty() ? QString() : QStringLiteral(".") + fracDigits);
    bool ok = false;
    n.value = plain.toDouble(&ok); // the C form, whatever the locale
    if (!ok) return n;
    for (const QChar c : fracDigits)
        if (c != u'0') n.fraction = true;
    const qint64 w = (negative ? QStringLiteral("-") : QString())
                         .append(intDigits.isEmpty() ? QStringLiteral("0") : intDigits)
                         .toLongLong(&ok);
    n.overflow = !ok;
    n.whole = ok ? w : 0;
    n.ok = true;
    return n;
}

QString GrossAmountText(const QString& net) {
    const NumberEntry n = ReadNumberEntry(net);
    if (!n.ok) return QString();
    try {
        return FloatToText(double(RoundHalfAway(n.value * 1.27)));
    } catch (const ConversionError&) {
        return QString();
    }
}

} // namespace vl::framework
