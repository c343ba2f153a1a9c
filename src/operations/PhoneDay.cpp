#include "operations/PhoneDay.h"

#include "operations/DaySheet.h"
#include "operations/OperationsSchema.h"
#include "operations/PhoneMarks.h"
#include "db/TxScope.h"
#include "util/Dates.h"
#include "util/Error.h"

#include <QDate>
#include <QDateTime>
#include <QSet>

namespace vl::operations {

using vl::db::RowSet;
using vl::db::Transaction;

namespace {

const QString kRule = QStringLiteral("PhoneDay");

// The day as 'yyyy.MM.dd', or a refusal.
QString checkedDay(const QString& typed) {
    const QString day = vl::util::NormalizeDateText(typed);
    const QDate d = QDate::fromString(day, QStringLiteral("yyyy.MM.dd"));
    if (!d.isValid() || d.toString(QStringLiteral("yyyy.MM.dd")) != day)
        throw vl::RuleRefusal(QStringLiteral("Hibás dátum: ") + typed.trimmed(), kRule);
    return day;
}


QString keyText(const SourceRow& s) {
    PhoneKey k;
    k.payment = s.payment;
    k.bizonylat = s.bizonylat;
    k.verzio = s.verzio;
    k.tetelsor = s.tetelsor;
    k.sorszam = s.sorszam;
    k.datum = s.datum;
    k.tevsorszam = s.tevsorszam;
    return k.text();
}

// The marks' log of the day: per driver the applied and refused marks, and
// the keys whose last applied mark was "notdone".
struct DayMarks {
    QHash<QString, int> received, refused;
    QSet<QString> notDone;
};

DayMarks readMarks(Transaction& tx, const QString& day) {
    DayMarks out;
    const RowSet rs = tx.query(QStringLiteral("SELECT SOFORKOD, KULCS, MUVELET, EREDMENY, MIKOR FROM TELEFONJEL WHERE ") +
                                   PhoneMarkDayExpression() + QStringLiteral(" = :nap"),
                               {{QStringLiteral("nap"), day}});
    QHash<QString, QPair<QString, QString>> last;   // key -> (MIKOR, MUVELET) of its last applied mark
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QString driver = rs.at(r, 0).toString().trimmed();
        const QString key = rs.at(r, 1).toString().trimmed();
        bool valid = false;
        if (PhoneKey::parse(key, &valid).datum != day || !valid) continue;
        if (rs.at(r, 3).toString().trimmed() != QLatin1String("ok")) {
            ++out.refused[driver];
            continue;
        }
        ++out.received[driver];
        const QString when = rs.at(r, 4).toString(), action = rs.at(r, 2).toString().trimmed();
        auto it = last.find(key);
        if (it == last.end() || it->first <= when) last.insert(key, {when, action});
    }
    for (auto it = last.cbegin(); it != last.cend(); ++it)
        if (it->second == PhoneActionName(PhoneAction::NotDone)) out.notDone.insert(it.key());
    return out;
}

} // namespace

QHash<QString, PhoneDaySummary> ReadPhoneDaySummaries(Transaction& tx, const QString& typedDay, double vatFactor) {
    const QString day = checkedDay(typedDay);
    return ReadPhoneDaySummaries(tx, day, FoldDaySheet(DaySheetSourceRows(tx, day), vatFactor));
}

QHash<QString, PhoneDaySummary> ReadPhoneDaySummaries(Transaction& tx, const QString& typedDay,
                                                      const QList<DaySheetLine>& dayLines) {
    const QString day = checkedDay(typedDay);
    QHash<QString, PhoneDaySummary> out;
    auto of = [&out](const QString& driver) -> PhoneDaySummary& {
        PhoneDaySummary& s = out[driver];
        s.driverCode = driver;
        return s;
    };
    const DayMarks marks = readMarks(tx, day);

    // The day sheet's rows as it folds them; the activities' drivers by key for the pictures.
    QHash<QString, QString> activityDriver;
    for (const DaySheetLine& l : dayLines) {
        for (const SourceRow& s : l.sources) {
            const QString driver = s.soforkod.isEmpty() ? l.soforkod : s.soforkod;
            if (!s.payment && !driver.isEmpty()) activityDriver.insert(keyText(s), driver);
        }
        if (l.soforkod.isEmpty() || !CountsAsDayWork(l.modosithato)) continue;
        PhoneDaySummary& d = of(l.soforkod);
        if (l.tevkod == QLatin1String("FIZ")) {
            if (IsPlannedClass(l.modosithato)) {
                d.cashOpen += int(l.sources.size());
                d.cashOpenGross += l.bruttofiz;
            }
            continue;
        }
        const int n = int(l.sources.size());
        d.total += n;
        if (!IsPlannedClass(l.modosithato)) {
            d.done += n;
            continue;
        }
        for (const SourceRow& s : l.sources) ++(marks.notDone.contains(keyText(s)) ? d.notDone : d.open);
    }

    for (auto it = marks.received.cbegin(); it != marks.received.cend(); ++it) of(it.key()).received = it.value();
    for (auto it = marks.refused.cbegin(); it != marks.refused.cend(); ++it) of(it.key()).refused = it.value();

    // The pictures of the day's activities, by the day's index.
    const RowSet images = tx.query(QStringLiteral("SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, FAJTA"
                                                  " FROM FORGKEP WHERE DATUM = :d"),
                                   {{QStringLiteral("d"), day}});
    const QString signature = vl::rental::ActivityImageKindCode(vl::rental::ActivityImageKind::Signature);
    for (int r = 0; r < images.rowCount(); ++r) {
        PhoneKey k;
        k.bizonylat = images.at(r, 0).toLongLong();
        k.verzio = images.at(r, 1).toLongLong();
        k.tetelsor = images.at(r, 2).toLongLong();
        k.sorszam = images.at(r, 3).toLongLong();
        k.datum = images.at(r, 4).toString().trimmed();
        k.tevsorszam = images.at(r, 5).toLongLong();
        const auto driver = activityDriver.constFind(k.text());
        if (driver == activityDriver.constEnd()) continue;
        PhoneDaySummary& d = of(driver.value());
        ++(images.at(r, 6).toString().trimmed() == signature ? d.signatures : d.photos);
    }

    // The closes of the day, by the key's day.
    const RowSet closes = tx.query(QStringLiteral("SELECT SOFORKOD, MIKOR FROM SOFORNAPZAR WHERE DATUM = :d"),
                                   {{QStringLiteral("d"), day}});
    for (int r = 0; r < closes.rowCount(); ++r)
        of(closes.at(r, 0).toString().trimmed()).closedAt = closes.at(r, 1).toString().trimmed().left(16);
    return out;
}

PhoneDaySummary ReadPhoneDaySummary(Transaction& tx, const QString& driverCode, const QString& day, double vatFactor) {
    const QString code = driverCode.trimmed();
    PhoneDaySummary s = ReadPhoneDaySummaries(tx, day, vatFactor).value(code);
    s.driverCode = code;
    return s;
}

void ClosePhoneDay(vl::db::Connection& conn, const vl::shell::Session& service, const QString& driverCode,
                   const QString& typedDay, const QString& now) {
    const QString day = checkedDay(typedDay);
    const QString code = driverCode.trimmed();
    const QDateTime when = QDateTime::fromString(now, QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    if (!when.isValid() || when.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")) != now)
        throw vl::RuleRefusal(QStringLiteral("Hibás időpont: ") + now.trimmed(), kRule);
    if (code.isEmpty()) throw vl::RuleRefusal(QStringLiteral("Nincs megadva a gépkocsivezető."), kRule);
    vl::db::TxScope tx(conn, nullptr);
    if (tx->query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE KOD = :k"), {{QStringLiteral("k"), code}}).isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen gépkocsivezető: ") + code, kRule);
    tx->exec(QStringLiteral("UPDATE OR INSERT INTO SOFORNAPZAR (DATUM, SOFORKOD, MIKOR, JUZER)"
                            " VALUES (:d, :s, :m, :j) MATCHING (DATUM, SOFORKOD)"),
             {{QStringLiteral("d"), day}, {QStringLiteral("s"), code}, {QStringLiteral("m"), now},
              {QStringLiteral("j"), service.writer()}});
    tx.commit();
}

} // namespace vl::operations
