// A driver's day as the phone saw it, on a small day of two drivers: S1's
// three visits (one done from the phone, one not done with a reason, one
// open), a mark of S1 refused, a photo and a signature, a cash period S1
// collects; S2's visits, mark and photo, counted for S2 only; a mark about
// another day counted on that day. Closing the day, twice, and the refusals
// of a close.
#include "DaySheetFixture.h"

#include "operations/OperationsSchema.h"
#include "operations/PhoneDay.h"
#include "operations/PhoneMarks.h"
#include "rental/ActivityImages.h"
#include "util/Error.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

namespace {

vl::shell::Session serviceSession() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TELEFON");
    s.businessYear = 2026;
    return s;
}

const QString kEvening = QStringLiteral("2026.05.04 18:30:00");
const QString kNextMonday = QStringLiteral("2026.05.11");

QByteArray png() {
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::darkBlue);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

// "total done notDone open | received refused | photos signatures | cashOpen cashOpenGross | closedAt"
QString describe(const PhoneDaySummary& s) {
    return QStringLiteral("%1 %2 %3 %4 | %5 %6 | %7 %8 | %9 %10 | %11")
        .arg(s.total).arg(s.done).arg(s.notDone).arg(s.open).arg(s.received).arg(s.refused).arg(s.photos)
        .arg(s.signatures).arg(s.cashOpen).arg(s.cashOpenGross).arg(s.closedAt);
}

} // namespace

class TstPhoneDay : public QObject {
    Q_OBJECT
    std::unique_ptr<Company> co;
    qint64 mine = 0, other = 0, cash = 0;

    PhoneKey key(qint64 b, const QString& cabin, const QString& day = kDay) {
        auto rs = co->db.conn->query(QStringLiteral("SELECT TETELSOR, SORSZAM, TEVSORSZAM FROM FORGTEV WHERE BIZONYLAT = :b"
                                                    " AND ARUKOD = :a AND TEVKOD = 'KA' AND DATUM = :d"),
                                     {{"b", b}, {"a", cabin}, {"d", day}});
        PhoneKey k;
        if (!rs.next()) {
            qWarning("no visit of %s on %s", qPrintable(cabin), qPrintable(day));
            return k;
        }
        k.bizonylat = b;
        k.tetelsor = rs.integer("TETELSOR");
        k.sorszam = rs.integer("SORSZAM");
        k.datum = day;
        k.tevsorszam = rs.integer("TEVSORSZAM");
        return k;
    }

    PhoneMarkResult::Kind apply(const QString& id, const QString& driver, const PhoneKey& k, PhoneAction a,
                                const QString& seen, const QString& reason = QString()) {
        PhoneMark m;
        m.requestId = id;
        m.driverCode = driver;
        m.key = k;
        m.action = a;
        m.seenState = seen;
        m.reason = reason;
        PhoneMarkRules rules;
        rules.now = kEvening;
        return ApplyPhoneMark(*co->db.conn, serviceSession(), m, rules).kind;
    }

    void picture(const PhoneKey& k, const QString& driver, const QString& id, bool signature) {
        vl::rental::NewActivityImage n;
        n.key = {k.bizonylat, k.verzio, k.tetelsor, k.sorszam, k.datum, k.tevsorszam};
        n.kind = signature ? vl::rental::ActivityImageKind::Signature : vl::rental::ActivityImageKind::Photo;
        n.receiver = signature ? QStringLiteral("Kiss Anna") : QString();
        n.mime = QStringLiteral("image/png");
        n.bytes = png();
        n.driverCode = driver;
        n.requestId = id;
        n.width = n.height = 8;
        auto tx = co->db.conn->begin();
        const auto r = vl::rental::StoreActivityImage(*tx, serviceSession(), n, vl::rental::ActivityImageLimits{}, kEvening);
        QCOMPARE(int(r.kind), int(vl::rental::StoredActivityImage::Kind::Stored));
        tx->commit();
    }

    QHash<QString, PhoneDaySummary> summaries(const QString& day = kDay) {
        auto tx = co->db.conn->begin(vl::db::TxMode::ReadOnly);
        const auto s = ReadPhoneDaySummaries(*tx, day, 1.27);
        tx->commit();
        return s;
    }

private slots:
    void init() {
        co = std::make_unique<Company>();
        vl::operations::joinProgramSchema();
        co->db.create();
        {
            auto tx = co->db.conn->begin();
            tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Béla', 'I')"));
            tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Péter', 'I')"));
            mine = co->contract(*tx, co->addSite(*tx, QStringLiteral("Alfa Kft."), "1111", "Budapest", "Egy utca 1.", ""),
                                {Company::line("ALAP", {"31", "32", "33"}, "S1")});
            other = co->contract(*tx, co->addSite(*tx, QStringLiteral("Béta Kft."), "1112", "Budapest", "Kettő utca 2.", ""),
                                 {Company::line("ALAP", {"41"}, "S2")});
            cash = co->contract(*tx, co->addSite(*tx, QStringLiteral("Céh Bt."), "1113", "Budapest", "Három utca 3.", ""),
                                {Company::line("ALAP", {"11"}, "S2")}, "KP");
            // The period covering the day is S1's to collect.
            tx->exec(QStringLiteral("UPDATE FORGFIZ SET NETTO = 10000, BRUTTO = 12700, SOFORKOD = 'S1' WHERE BIZONYLAT = :b"
                                    " AND DATUM <= :d AND DATUM2 >= :d AND TEVALLAPOT = 'T'"),
                     {{"b", cash}, {"d", kDay}});
            tx->commit();
        }
        QCOMPARE(apply("kesz-31", "S1", key(mine, "31"), PhoneAction::Done, "T"), PhoneMarkResult::Kind::Ok);
        QCOMPARE(apply("elmaradt-32", "S1", key(mine, "32"), PhoneAction::NotDone, "T", "ZART"),
                 PhoneMarkResult::Kind::Ok);
        // S2's visit marked by S1: refused; sent again, the first answer, no second line.
        QCOMPARE(apply("idegen-41", "S1", key(other, "41"), PhoneAction::Done, "T"), PhoneMarkResult::Kind::Refused);
        QCOMPARE(apply("idegen-41", "S1", key(other, "41"), PhoneAction::Done, "T"), PhoneMarkResult::Kind::Repeated);
        QCOMPARE(apply("kesz-41", "S2", key(other, "41"), PhoneAction::Done, "T"), PhoneMarkResult::Kind::Ok);
        // A mark of S1 about next Monday's visit, refused (the state it saw is not the row's).
        QCOMPARE(apply("jovo-31", "S1", key(mine, "31", kNextMonday), PhoneAction::Done, "E"),
                 PhoneMarkResult::Kind::Refused);
        picture(key(mine, "31"), "S1", "kep-31", false);
        picture(key(mine, "33"), "S1", "alairas-33", true);
        picture(key(other, "41"), "S2", "kep-41", false);
        picture(key(mine, "31", kNextMonday), "S1", "kep-jovo", false);
    }
    void cleanup() { co.reset(); }

    // Every driver of the day, each with only his own rows.
    void summaryOfTheDay() {
        const auto all = summaries();
        QCOMPARE(QStringList(all.keyBegin(), all.keyEnd()).size(), 2);
        QCOMPARE(all.value("S1").driverCode, QStringLiteral("S1"));
        QCOMPARE(describe(all.value("S1")), QStringLiteral("3 1 1 1 | 2 1 | 1 1 | 1 12700 | "));
        // S2 collects the cash contract's two earlier periods still unpaid (gross 34 290 and 24 130).
        QCOMPARE(describe(all.value("S2")), QStringLiteral("2 1 0 1 | 1 0 | 1 0 | 2 58420 | "));
        // One driver's read is his row of the day; a driver with nothing that day gets zeros.
        auto tx = co->db.conn->begin(vl::db::TxMode::ReadOnly);
        QCOMPARE(describe(ReadPhoneDaySummary(*tx, " S1 ", "20260504", 1.27)), describe(all.value("S1")));
        const PhoneDaySummary none = ReadPhoneDaySummary(*tx, "S9", kDay, 1.27);
        QCOMPARE(none.driverCode, QStringLiteral("S9"));
        QCOMPARE(describe(none), QStringLiteral("0 0 0 0 | 0 0 | 0 0 | 0 0 | "));
        QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, ReadPhoneDaySummaries(*tx, "2026.02.30", 1.27));
        tx->commit();
        // Next Monday: S1's refused mark and photo of that day, the visits still planned, the period still to collect.
        const auto next = summaries(kNextMonday);
        QCOMPARE(describe(next.value("S1")), QStringLiteral("3 0 0 3 | 0 1 | 1 0 | 1 12700 | "));
    }

    // A visit not done, then done from the desk, then planned again: no longer
    // "not done"; marked not done again from the phone, it is.
    void notDoneFollowsTheLastMark() {
        const PhoneKey k = key(mine, "32");
        QCOMPARE(apply("kesz-32", "S1", k, PhoneAction::Done, "T"), PhoneMarkResult::Kind::Ok);
        QCOMPARE(describe(summaries().value("S1")).left(7), QStringLiteral("3 2 0 1"));
        QCOMPARE(apply("vissza-32", "S1", k, PhoneAction::Undone, "E"), PhoneMarkResult::Kind::Ok);
        QCOMPARE(describe(summaries().value("S1")).left(11), QStringLiteral("3 1 0 2 | 4"));
    }

    // The close: one row per driver and day, the later time kept; a second
    // driver's close is his own; bad input refused, nothing written.
    void closeTheDay() {
        ClosePhoneDay(*co->db.conn, serviceSession(), "S1", kDay, "2026.05.04 17:05:12");
        ClosePhoneDay(*co->db.conn, serviceSession(), "S1", kDay, "2026.05.04 18:40:00");
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM SOFORNAPZAR"), 1);
        auto rs = co->db.conn->query("SELECT SOFORKOD, DATUM, MIKOR, JUZER FROM SOFORNAPZAR");
        QVERIFY(rs.next());
        QCOMPARE(QStringList({rs.text("SOFORKOD"), rs.text("DATUM"), rs.text("MIKOR"), rs.text("JUZER")}),
                 QStringList({"S1", "2026.05.04", "2026.05.04 18:40:00", "TELEFON"}));
        auto all = summaries();
        QCOMPARE(all.value("S1").closedAt, QStringLiteral("2026.05.04 18:40"));
        QCOMPARE(all.value("S2").closedAt, QString());
        QCOMPARE(summaries(kNextMonday).value("S1").closedAt, QString());

        // A driver with nothing else that day is listed by his close.
        {
            auto tx = co->db.conn->begin();
            tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S3', 'Tóth Ödön', 'I')"));
            tx->commit();
        }
        ClosePhoneDay(*co->db.conn, serviceSession(), "S3", kDay, "2026.05.04 16:00:00");
        all = summaries();
        QCOMPARE(all.size(), 3);
        QCOMPARE(describe(all.value("S3")), QStringLiteral("0 0 0 0 | 0 0 | 0 0 | 0 0 | 2026.05.04 16:00"));

        for (const auto& [driver, day, now] : {std::tuple<QString, QString, QString>{"S9", kDay, "2026.05.04 18:00:00"},
                                               {"", kDay, "2026.05.04 18:00:00"},
                                               {"S2", "2026.13.01", "2026.05.04 18:00:00"},
                                               {"S2", kDay, "2026.05.04 25:00:00"},
                                               {"S2", kDay, "2026.05.04"}}) {
            QVERIFY_THROWS_EXCEPTION(vl::RuleRefusal, ClosePhoneDay(*co->db.conn, serviceSession(), driver, day, now));
        }
        QCOMPARE(co->db.count("SELECT COUNT(*) FROM SOFORNAPZAR"), 2);
    }
};

QTEST_MAIN(TstPhoneDay)
#include "tst_operations_phoneday.moc"
