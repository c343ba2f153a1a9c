#include "util/CabinScan.h"

namespace vl::util {

QString CabinLabelText(const QString& number) { return QStringLiteral("VL:") + number.trimmed(); }

QString CabinScanRefusal(const QString& typed) {
    return QStringLiteral("A beolvasott kód nem kabinszám: ") + typed.trimmed() +
           QStringLiteral("\rA kabin címkéjén \"VL:\" és a kabin száma áll (például VL:123).");
}

CabinScan ReadCabinScan(const QString& typed) {
    CabinScan s;
    const QString t = typed.trimmed();
    if (t.size() < 2 || t.left(2).compare(QLatin1String("VL"), Qt::CaseInsensitive) != 0) return s;
    s.scanned = true;
    // ":" as typed, or as a US-layout scanner types it on the Hungarian layout.
    const QChar sep = t.size() > 2 ? t.at(2) : QChar();
    const bool sepOk = sep == QLatin1Char(':') || sep == QChar(0x00C9) || sep == QChar(0x00E9);
    QString digits;
    bool digitsOk = sepOk && t.size() > 3 && t.size() - 3 <= CabinScanMaxDigits;
    for (int i = 3; digitsOk && i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
        else if (c == QChar(0x00F6) || c == QChar(0x00D6)) digits += QLatin1Char('0');   // ö, Ö
        else digitsOk = false;
    }
    if (digitsOk) s.number = digits;
    else s.refusal = CabinScanRefusal(t);
    return s;
}

} // namespace vl::util
