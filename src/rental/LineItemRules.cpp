#include "rental/LineItemRules.h"
#include "rental/WorkCalendar.h"

#include "rental/Numbering.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "rental/TakeBack.h"
#include "shell/Ini.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

// ---------------------------------------------------------------- outcome

QString NormalizeTypedDate(const QString& text) {
    const QString n = vl::util::NormalizeDateText(text.trimmed());
    return n.isEmpty() ? text.trimmed() : n;
}

namespace {

const QString kIngyen = QStringLiteral("Biztos, hogy ingyen kapja?");
const QString kNincsKarb = QStringLiteral("Biztos, hogy egyik nap sincs karbantartás?");
const QString kVanElvegzett = QStringLiteral("Nem törölhető, mert van elvégzett tevékenysége");

QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }

// A driver code as written: NULL for none.
QVariant driverValue(const QString& code) {
    const QString c = code.trimmed();
    return c.isEmpty() ? nullText() : QVariant(c);
}

// A typed whole number: blanks inside are grouping; "" is 0; anything else
// that is no whole number of 32 bits is -1.
int intOf(const QString& text) {
    QString t = text;
    t.remove(QLatin1Char(' '));
    t.remove(QChar(0x00A0));
    return vl::util::StrToIntFlag(t);
}

// A whole number as Hungarians write it: a space between thousands.
QString grouped(qint64 v) {
    QString d = QString::number(v < 0 ? -v : v);
    for (qsizetype i = d.size() - 3; i > 0; i -= 3) d.insert(i, QLatin1Char(' '));
    return v < 0 ? QLatin1Char('-') + d : d;
}

QString dateOf(const QString& text) { return vl::util::NormalizeDateText(text.trimmed()); }

QString withHeading(const QString& heading, const QStringList& messages) {
    QString s = heading + QLatin1Char('\r');
    for (const QString& m : messages) s += m + QLatin1Char('\r');
    return s;
}

Outcome refused(const QString& text) {
    Outcome o;
    o.messages << text;
    return o;
}

const char* const kKarbar[] = {"KARBAR1", "KARBAR2", "KARBAR3", "KARBAR4", "KARBAR5", "KARBAR6", "KARBAR7"};

// A code of a dictionary found by KOD, or else by NEV.
struct Found {
    bool ok = false;
    QString kod, nev;
    RowSet row;
};

Found lookup(Transaction& tx, const QString& table, const QString& value, const QString& extra = QString()) {
    Found f;
    const QString v = value.trimmed();
    if (v.isEmpty()) return f;
    for (const char* col : {"KOD", "NEV"}) {
        RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE %2 = CAST(:v AS VARCHAR(250))%3").arg(table, QString::fromLatin1(col), extra),
                             {{QStringLiteral("v"), v}});
        if (rs.next()) {
            f.ok = true;
            f.kod = rs.text(QStringLiteral("KOD")).trimmed();
            f.nev = rs.text(QStringLiteral("NEV")).trimmed();
            f.row = rs;
            return f;
        }
    }
    return f;
}

Found activeDriver(Transaction& tx, const QString& value) {
    return lookup(tx, QStringLiteral("SZ_SOFOR"), value, QStringLiteral(" AND AKTIV = 'I'"));
}

Found rentalUnit(Transaction& tx, const QString& value) {
    return lookup(tx, QStringLiteral("SZ_MEGYSEG"), value, QStringLiteral(" AND TIPUS LIKE '%R%'"));
}

// The first code of a state class, the seeded code preferred.
QString codeOfClass(const GeneratorContext& ctx, QChar cls, const QString& preferred) {
    return ctx.codeOfClass(cls, preferred, QString());
}

bool sameDriver(const QString& a, const QString& b) { return a.trimmed() == b.trimmed(); }

// A remark longer than its column cannot be written.
void checkRemark(QStringList& m, const QString& komment) {
    if (komment.size() > 250) m << QStringLiteral("A megjegyzés túl hosszú (legfeljebb 250 karakter)");
}

} // namespace

// ---------------------------------------------------------------- construction

LineItemRules::LineItemRules(const GeneratorContext& ctx, const RentalTables& tables, const ContractTerms& terms,
                             const LineItemOptions& options)
    : ctx_(ctx), tables_(tables), terms_(terms), options_(options) {
    tables_.check();
}

QString LineItemRules::today() const { return options_.today.isEmpty() ? vl::util::TodayStr() : options_.today; }

// ---------------------------------------------------------------- checks

QString LineItemRules::PatternOf(const std::array<QString, 7>& counts) {
    QString p;
    for (const QString& c : counts) {
        const int n = intOf(c);
        p += (n >= 0 && n <= 9) ? QString::number(n) : QStringLiteral("0");
    }
    return p;
}

int LineItemRules::MaxCabinsPerLine() {
    const int n = vl::util::StrToIntFlag(vl::shell::IniValue(QStringLiteral("SORMAXKABIN")).trimmed());
    return n > 0 ? n : 500;
}

QStringList LineItemRules::CheckDayFields(const std::array<QString, 7>& counts, const std::array<QString, 7>& prices) {
    QStringList m;
    for (int d = 0; d < 7; ++d) {
        const int count = intOf(counts[size_t(d)]);
        const int price = intOf(prices[size_t(d)]);
        const QString day = vl::util::DayNamesMon1(d + 1);
        // A day holds one digit of the pattern: more than 9 visits cannot be written.
        if (count < 0 || count > 9) m << day + QStringLiteral(": a napi gyakoriság értelmetlen");
        if (price < 0) m << day + QStringLiteral(": a karbantartás ára értelmetlen");
        if (count == 0 && price > 0) m << day + QStringLiteral(": a gyakoriságot és az árat egyszerre kell kitölteni");
    }
    return m;
}

namespace {

// Asks a question once: true when answered "Nem" (the check fails); sets
// *question and returns std::nullopt while it is unanswered.
std::optional<bool> saidNo(const Answers& answers, const QString& q, QString* question) {
    auto it = answers.find(q);
    if (it == answers.end()) {
        if (question) *question = q;
        return std::nullopt;
    }
    return !it->second;
}

bool noCounts(const std::array<QString, 7>& counts) {
    for (const QString& c : counts)
        if (intOf(c) != 0) return false;
    return true;
}

// The visit checks that end the validation of a line and of an item: a term
// that is not fixed wants a visit on some day (asked once), then the day
// fields and the remark. Stops at the question while it is unanswered.
void checkVisits(QStringList& m, const ContractTerms& terms, const std::array<QString, 7>& counts,
                 const std::array<QString, 7>& prices, const QString& komment, const Answers& answers,
                 QString* question) {
    if (noCounts(counts) && !terms.fixedTerm) {
        const auto no = saidNo(answers, kNincsKarb, question);
        if (!no) return;
        if (*no)
            m << terms.bermodNev +
                     QStringLiteral(" bérlet módja esetén valamelyik napra ütemezni kell karbantartást gyakorisága");
    }
    m << LineItemRules::CheckDayFields(counts, prices);
    checkRemark(m, komment);
}

// Return-date checks shared by line and item: valid, not before the delivery.
void checkReturn(QStringList& m, const QString& kiszall, const QString& vszall) {
    if (vszall.trimmed().isEmpty()) return;
    const QString v = dateOf(vszall);
    if (v.isEmpty()) {
        m << QStringLiteral("Hibás dátum: visszavétel terv.dátuma");
        return;
    }
    const QString k = dateOf(kiszall);
    if (!k.isEmpty() && v < k) m << QStringLiteral("Hibás dátum intervallum");
}

} // namespace

QStringList LineItemRules::ValidateLine(Transaction& tx, const LineInput& in, const Answers& answers,
                                        QString* question) const {
    if (question) question->clear();
    QStringList m;
    if (in.arucsoport.trimmed().isEmpty()) m << QStringLiteral("Nincs a termékcsoport megadva");
    else if (!lookup(tx, QStringLiteral("SZ_ARUCSOP"), in.arucsoport).ok) m << QStringLiteral("A termékcsoport nem létezik");
    if (dateOf(in.kiszall).isEmpty()) m << QStringLiteral("Hibás dátum: kiszállítás napja");
    checkReturn(m, in.kiszall, in.vszall);
    if (!in.soforkod.trimmed().isEmpty() && !activeDriver(tx, in.soforkod).ok)
        m << QStringLiteral("A sofőrkód nem létezik vagy nem aktív");
    if (in.bermegyseg.trimmed().isEmpty()) m << QStringLiteral("Nincs mennyiségi egység megadva");
    else if (!rentalUnit(tx, in.bermegyseg).ok) m << QStringLiteral("A mennyiségi egység nem létezik");
    if (intOf(in.mennyiseg) <= 0) m << QStringLiteral("A darabszám értelmetlen");
    else if (intOf(in.mennyiseg) > MaxCabinsPerLine())
        m << QStringLiteral("A darabszám legfeljebb %1 lehet").arg(grouped(MaxCabinsPerLine()));
    if (intOf(in.bermenny) <= 0) m << QStringLiteral("A mennyiség értelmetlen");
    const int ar = intOf(in.nettoar);
    if (ar < 0) m << QStringLiteral("A bérlet nettó ár értelmetlen");
    else if (ar == 0) {
        const auto no = saidNo(answers, kIngyen, question);
        if (!no) return m;
        if (*no) m << QStringLiteral("A bérlet nettó ár rossz");
    }
    if (intOf(in.minimalar) < 0) m << QStringLiteral("A minimális díj értelmetlen");
    if (intOf(in.karertek) < 0) m << QStringLiteral("A kárérték értelmetlen");
    const int per = intOf(in.periodus);
    if (per < 0) m << QStringLiteral("A karbantartás gyakorisága értelmetlen");
    else if (per == 0 && !terms_.fixedTerm)
        m << terms_.bermodNev + QStringLiteral(" bérlet módja esetén a karbantartás gyakorisága kitöltendő");
    checkVisits(m, terms_, in.counts, in.prices, in.komment, answers, question);
    if (question && !question->isEmpty()) return m;
    if (!in.naptarszabaly.trimmed().isEmpty() && !IsHolidayRuleCode(in.naptarszabaly))
        m << QStringLiteral("A tétel naptárszabálya M, E, K, X vagy üres (a cég szabálya) lehet");
    return m;
}

QStringList LineItemRules::ValidateItem(Transaction& tx, qint64 tetelsor, const ItemInput& in, bool productChanged,
                                        const Answers& answers, QString* question) const {
    if (question) question->clear();
    QStringList m;
    if (dateOf(in.kiszall).isEmpty()) m << QStringLiteral("Hibás dátum: kiszállítás napja");
    checkReturn(m, in.kiszall, in.vszallt);
    const QString code = in.arukod.trimmed();
    if (code.isEmpty()) m << QStringLiteral("Nincs a kabin száma megadva");
    if (m.isEmpty() && code != QLatin1String("*") && productChanged) {
        RowSet a = tx.query(QStringLiteral("SELECT A.*, SZ.NEV, SZ.KIADHATO, C.NEV CNEV FROM ARU A, SZ_STATUSK SZ,"
                                           " SZ_ARUCSOP C WHERE A.KOD = CAST(:kod AS VARCHAR(250)) AND SZ.KOD = A.ALLAPOT"
                                           " AND C.KOD = A.ARUCSOPORT"),
                            {{QStringLiteral("kod"), code}});
        if (!a.next()) {
            m << QStringLiteral("Nincs ilyen számú kabin");
        } else {
            if (a.text(QStringLiteral("KIADHATO")).trimmed() != QLatin1String("I"))
                m << a.text(QStringLiteral("NEV")).trimmed() + QStringLiteral(" állapotú kabin nem kiadható");
            RowSet g = tx.query(QStringLiteral("SELECT C.NEV FROM %1 S, SZ_ARUCSOP C WHERE S.BIZONYLAT = :b"
                                               " AND S.VERZIO = :v AND S.TETELSOR = :t AND C.KOD = S.ARUCSOPORT")
                                    .arg(tables_.sqlLines()),
                                {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                                 {QStringLiteral("t"), tetelsor}});
            const QString lineGroup = g.next() ? g.text(QStringLiteral("NEV")).trimmed() : QString();
            const QString its = a.text(QStringLiteral("CNEV")).trimmed();
            if (its != lineGroup) m << QStringLiteral("A kabin ") + its + QStringLiteral(" nem pedig ") + lineGroup;
            // Another item of this contract that is not back already holds it
            // (the register learns of it only when the contract is stored).
            RowSet other = tx.query(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v"
                                                   " AND ARUKOD = CAST(:kod AS VARCHAR(250)) AND (VSZALL IS NULL OR VSZALL = '')")
                                        .arg(tables_.sqlItems()),
                                    {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                                     {QStringLiteral("kod"), code}});
            if (other.rowCount() && other.at(0, 0).toLongLong() > 0)
                m << ProductRegister::AlreadyOnContractText(code);
        }
    }
    if (intOf(in.periodus) < 0) m << QStringLiteral("A karbantartás gyakorisága értelmetlen");
    checkVisits(m, terms_, in.counts, in.prices, in.komment, answers, question);
    return m;
}

QStringList LineItemRules::ValidateActivity(Transaction& tx, const ActivityInput& in) const {
    QStringList m;
    if (dateOf(in.datum).isEmpty()) m << QStringLiteral("Hibás dátum: tevékenység napja");
    if (intOf(in.nettoar) <= 0) m << QStringLiteral("A tevékenység ára értelmetlen");
    if (!in.soforkod.trimmed().isEmpty() && !activeDriver(tx, in.soforkod).ok)
        m << QStringLiteral("A sofőrkód nem létezik vagy nem aktív");
    if (in.tevkod.trimmed().isEmpty()) m << QStringLiteral("Nincs tevékenység megadva");
    else if (!lookup(tx, QStringLiteral("SZ_TEVEKENY"), in.tevkod).ok) m << QStringLiteral("A tevékenység nem létezik");
    checkRemark(m, in.komment);
    return m;
}

// ---------------------------------------------------------------- numbers

qint64 LineItemRules::NextLineNo(Transaction& tx) const {
    const Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio}};
    qint64 top = 0;
    for (const QString& t : {tables_.sqlLines(), tables_.sqlItems(), tables_.sqlActivities()}) {
        RowSet rs = tx.query(QStringLiteral("SELECT MAX(TETELSOR) FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v").arg(t), p);
        if (rs.rowCount()) top = std::max(top, rs.at(0, 0).toLongLong());
    }
    if (terms_.bizonylat > 0) top = std::max(top, Td::MaxLineNo(tx, terms_.bizonylat, terms_.verzio));
    return top + 1;
}

qint64 LineItemRules::NextItemNo(Transaction& tx, qint64 tetelsor) const {
    const Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                   {QStringLiteral("t"), tetelsor}};
    qint64 top = 0;
    for (const QString& t : {tables_.sqlItems(), tables_.sqlActivities()}) {
        RowSet rs = tx.query(
            QStringLiteral("SELECT MAX(SORSZAM) FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t").arg(t), p);
        if (rs.rowCount()) top = std::max(top, rs.at(0, 0).toLongLong());
    }
    return top + 1;
}

qint64 LineItemRules::NextActivityNo(Transaction& tx, qint64 tetelsor, qint64 sorszam, const QString& datum) const {
    return Td::NextActivitySeq(tx, terms_.bizonylat, terms_.verzio, tetelsor, datum, tables_.activities, sorszam);
}

qint64 LineItemRules::DoneActivities(Transaction& tx, qint64 tetelsor, qint64 sorszam) const {
    Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
             {QStringLiteral("t"), tetelsor}};
    QString f;
    if (sorszam > 0) {
        f = QStringLiteral(" AND T.SORSZAM = :s");
        p.push_back({QStringLiteral("s"), sorszam});
    }
    RowSet rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM %1 T, SZ_STATUST ST WHERE T.BIZONYLAT = :b"
                                        " AND T.VERZIO = :v AND T.TETELSOR = :t%2 AND ST.KOD = T.TEVALLAPOT"
                                        " AND ST.MODOSITHATO = 'N'")
                             .arg(tables_.sqlActivities(), f),
                         p);
    return rs.rowCount() ? rs.at(0, 0).toLongLong() : 0;
}

// ---------------------------------------------------------------- rows

void LineItemRules::WriteLine(Transaction& tx, qint64 tetelsor, const LineInput& in, qint64 mennyiseg,
                              qint64 vmennyiseg) {
    const Found group = lookup(tx, QStringLiteral("SZ_ARUCSOP"), in.arucsoport);
    const Found unit = rentalUnit(tx, in.bermegyseg);
    const Found driver = activeDriver(tx, in.soforkod);
    const QString pattern = PatternOf(in.counts);
    Params p{{QStringLiteral("bizonylat"), terms_.bizonylat},
             {QStringLiteral("verzio"), terms_.verzio},
             {QStringLiteral("tetelsor"), tetelsor},
             {QStringLiteral("arucsoport"), group.ok ? group.kod : in.arucsoport.trimmed()},
             {QStringLiteral("mennyiseg"), mennyiseg},
             {QStringLiteral("vmennyiseg"), vmennyiseg},
             {QStringLiteral("m_egyseg"), group.ok ? group.row.text(QStringLiteral("M_EGYSEG")).trimmed() : QString()},
             {QStringLiteral("bermenny"), qint64(intOf(in.bermenny))},
             {QStringLiteral("bermegyseg"), unit.ok ? unit.kod : in.bermegyseg.trimmed()},
             {QStringLiteral("nettoar"), qint64(intOf(in.nettoar))},
             {QStringLiteral("minimalar"), qint64(std::max(0, intOf(in.minimalar)))},
             {QStringLiteral("karertek"), qint64(std::max(0, intOf(in.karertek)))},
             {QStringLiteral("kiszall"), dateOf(in.kiszall)},
             {QStringLiteral("vszall"), dateOf(in.vszall)},
             {QStringLiteral("hkszcspszv"), pattern},
             {QStringLiteral("periodus"), qint64(std::max(0, intOf(in.periodus)))},
             {QStringLiteral("soforkod"), driver.ok ? QVariant(driver.kod) : nullText()},
             {QStringLiteral("komment"), in.komment},
             {QStringLiteral("naptarszabaly"), in.naptarszabaly.trimmed().isEmpty()
                                                   ? nullText()
                                                   : QVariant(in.naptarszabaly.trimmed().toUpper())},
             {QStringLiteral("juzer"), ctx_.userCode},
             {QStringLiteral("mikor"), vl::util::NowStamp()}};
    for (int d = 0; d < 7; ++d)
        p.push_back({QStringLiteral("karbar%1").arg(d + 1), qint64(std::max(0, intOf(in.prices[size_t(d)])))});
    tx.exec(QStringLiteral("UPDATE OR INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG,"
                           " M_EGYSEG, BERMENNY, BERMEGYSEG, NETTOAR, MINIMALAR, KARERTEK, KISZALL, VSZALL, HKSZCSPSZV,"
                           " KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, SOFORKOD, KOMMENT,"
                           " JUZER, MIKOR, NAPTARSZABALY) VALUES (:bizonylat, :verzio, :tetelsor, :arucsoport, :mennyiseg,"
                           " :vmennyiseg, :m_egyseg, :bermenny, :bermegyseg, :nettoar, :minimalar, :karertek, :kiszall,"
                           " :vszall, :hkszcspszv, :karbar1, :karbar2, :karbar3, :karbar4, :karbar5, :karbar6, :karbar7,"
                           " :periodus, :soforkod, :komment, :juzer, :mikor, :naptarszabaly)"
                           " MATCHING (BIZONYLAT, VERZIO, TETELSOR)")
                .arg(tables_.sqlLines()),
            p);
    RegisterPattern(tx, pattern);
}

void LineItemRules::WriteItem(Transaction& tx, const ItemRow& it) {
    Params p{{QStringLiteral("bizonylat"), terms_.bizonylat},
             {QStringLiteral("verzio"), terms_.verzio},
             {QStringLiteral("tetelsor"), it.tetelsor},
             {QStringLiteral("sorszam"), it.sorszam},
             {QStringLiteral("arukod"), it.arukod.trimmed().isEmpty() ? QStringLiteral("*") : it.arukod.trimmed()},
             {QStringLiteral("kiszall"), it.kiszall},
             {QStringLiteral("vszallt"), it.vszallt},
             {QStringLiteral("hkszcspszv"), it.pattern},
             {QStringLiteral("periodus"), it.periodus},
             {QStringLiteral("egyedi"), it.egyedi},
             {QStringLiteral("soforkod"), driverValue(it.soforkod)},
             {QStringLiteral("komment"), it.komment},
             {QStringLiteral("juzer"), ctx_.userCode},
             {QStringLiteral("mikor"), vl::util::NowStamp()}};
    for (int d = 0; d < 7; ++d) p.push_back({QStringLiteral("karbar%1").arg(d + 1), it.karbar[size_t(d)]});
    tx.exec(QStringLiteral("UPDATE OR INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALLT,"
                           " HKSZCSPSZV, KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, EGYEDI,"
                           " SOFORKOD, KOMMENT, JUZER, MIKOR) VALUES (:bizonylat, :verzio, :tetelsor, :sorszam, :arukod,"
                           " :kiszall, :vszallt, :hkszcspszv, :karbar1, :karbar2, :karbar3, :karbar4, :karbar5, :karbar6,"
                           " :karbar7, :periodus, :egyedi, :soforkod, :komment, :juzer, :mikor)"
                           " MATCHING (BIZONYLAT, VERZIO, TETELSOR, SORSZAM)")
                .arg(tables_.sqlItems()),
            p);
    RegisterPattern(tx, it.pattern);
}

namespace {

LineItemRules::ItemRow itemFrom(const RowSet& rs) {
    LineItemRules::ItemRow r;
    r.tetelsor = rs.integer(QStringLiteral("TETELSOR"));
    r.sorszam = rs.integer(QStringLiteral("SORSZAM"));
    r.arukod = rs.text(QStringLiteral("ARUKOD")).trimmed();
    r.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    r.vszallt = rs.text(QStringLiteral("VSZALLT")).trimmed();
    r.vszall = rs.text(QStringLiteral("VSZALL")).trimmed();
    r.pattern = rs.text(QStringLiteral("HKSZCSPSZV")).trimmed();
    for (int d = 0; d < 7; ++d) r.karbar[size_t(d)] = rs.integer(QString::fromLatin1(kKarbar[d]));
    r.periodus = rs.integer(QStringLiteral("PERIODUS"));
    r.egyedi = rs.text(QStringLiteral("EGYEDI")).trimmed();
    r.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    r.komment = rs.text(QStringLiteral("KOMMENT"));
    return r;
}

// The values of a line row the item rules need.
struct LineRow {
    bool found = false;
    QString arucsoport, kiszall, vszall, pattern, soforkod;
    std::array<qint64, 7> karbar{};
    qint64 periodus = 0, mennyiseg = 0;
};

LineRow readLine(Transaction& tx, const RentalTables& tables, const ContractTerms& terms, qint64 tetelsor) {
    LineRow l;
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t")
                             .arg(tables.sqlLines()),
                         {{QStringLiteral("b"), terms.bizonylat}, {QStringLiteral("v"), terms.verzio},
                          {QStringLiteral("t"), tetelsor}});
    if (!rs.next()) return l;
    l.found = true;
    l.arucsoport = rs.text(QStringLiteral("ARUCSOPORT")).trimmed();
    l.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    l.vszall = rs.text(QStringLiteral("VSZALL")).trimmed();
    l.pattern = rs.text(QStringLiteral("HKSZCSPSZV")).trimmed();
    l.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    for (int d = 0; d < 7; ++d) l.karbar[size_t(d)] = rs.integer(QString::fromLatin1(kKarbar[d]));
    l.periodus = rs.integer(QStringLiteral("PERIODUS"));
    l.mennyiseg = rs.integer(QStringLiteral("MENNYISEG"));
    return l;
}

} // namespace

std::optional<LineItemRules::ItemRow> LineItemRules::ReadItem(Transaction& tx, qint64 tetelsor, qint64 sorszam) const {
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                        " AND SORSZAM = :s")
                             .arg(tables_.sqlItems()),
                         {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                          {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
    if (!rs.next()) return std::nullopt;
    return itemFrom(rs);
}

std::vector<LineItemRules::ItemRow> LineItemRules::ReadItems(Transaction& tx, qint64 tetelsor) const {
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                        " ORDER BY SORSZAM")
                             .arg(tables_.sqlItems()),
                         {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                          {QStringLiteral("t"), tetelsor}});
    std::vector<ItemRow> out;
    while (rs.next()) out.push_back(itemFrom(rs));
    return out;
}

// ---------------------------------------------------------------- activities

namespace {

// Kinds of a generation class ("UJTCS", "HISZ").
QStringList kindsOfClass(Transaction& tx, const QString& cls) {
    QStringList k;
    RowSet rs = tx.query(QStringLiteral("SELECT KOD FROM SZ_TEVEKENY WHERE KEPEZVE = :k"), {{QStringLiteral("k"), cls}});
    while (rs.next()) k << rs.text(QStringLiteral("KOD")).trimmed();
    return k;
}

} // namespace

int LineItemRules::AddEventActivities(Transaction& tx, const QString& generationClass, const ItemRow& item,
                                      const QString& date) {
    const QString day = dateOf(date);
    if (day.isEmpty()) return 0;
    const LineRow line = readLine(tx, tables_, terms_, item.tetelsor);
    EventItem e;
    e.bizonylat = terms_.bizonylat;
    e.verzio = terms_.verzio;
    e.tetelsor = item.tetelsor;
    e.sorszam = item.sorszam;
    e.arukod = item.arukod;
    e.soforkod = item.soforkod.trimmed().isEmpty() ? line.soforkod : item.soforkod;
    e.arucsoport = line.arucsoport;
    GeneratorContext c = ctx_;
    c.stamp = vl::util::NowStamp();
    const int n = GenerateEventActivities(tx, c, generationClass, tables_.activities, day, e);
    if (n > 0) {
        // The generator writes an empty driver as ''; a missing driver is NULL.
        tx.exec(QStringLiteral("UPDATE %1 SET SOFORKOD = NULL WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                               " AND SORSZAM = :s AND DATUM = :d AND TRIM(SOFORKOD) = ''")
                    .arg(tables_.sqlActivities()),
                {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                 {QStringLiteral("t"), item.tetelsor}, {QStringLiteral("s"), item.sorszam},
                 {QStringLiteral("d"), day}});
    }
    if (options_.kepzett != QLatin1String("K") && n > 0) {
        // Rows of a user's action carry the form's origin.
        tx.exec(QStringLiteral("UPDATE %1 SET KEPZETT = :kepzett WHERE BIZONYLAT = :b AND VERZIO = :v"
                               " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND MIKOR = :mikor AND KEPZETT = 'K'")
                    .arg(tables_.sqlActivities()),
                {{QStringLiteral("kepzett"), options_.kepzett}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), item.tetelsor},
                 {QStringLiteral("s"), item.sorszam}, {QStringLiteral("d"), day}, {QStringLiteral("mikor"), c.stamp}});
    }
    return n;
}

namespace {

// Removes planned activity rows by key: deleted, or cancelled on the rental tables.
struct Remover {
    Transaction& tx;
    const GeneratorContext& ctx;
    const RentalTables& tables;
    const ContractTerms& terms;
    bool cancel;
    QString userCode;

    int removeWhere(const QString& where, Params p) {
        p.push_back({QStringLiteral("b"), terms.bizonylat});
        p.push_back({QStringLiteral("v"), terms.verzio});
        const QString planned = QStringLiteral(" AND TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))");
        if (cancel) {
            p.push_back({QStringLiteral("x"), codeOfClass(ctx, u'X', QStringLiteral("X"))});
            p.push_back({QStringLiteral("juzer"), userCode});
            p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
            return int(tx.exec(QStringLiteral("UPDATE %1 SET TEVALLAPOT = :x, JUZER = :juzer, MIKOR = :mikor"
                                              " WHERE BIZONYLAT = :b AND VERZIO = :v AND %2%3")
                                   .arg(tables.sqlActivities(), where, planned),
                               p));
        }
        return int(tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND %2%3")
                               .arg(tables.sqlActivities(), where, planned),
                           p));
    }
};

} // namespace

void LineItemRules::SyncDeliveryReturn(Transaction& tx, const ItemRow& item, const QString& oldKiszallIn,
                                       const QString& oldVszallIn) {
    if (!item.vszall.isEmpty()) return;   // an item that is back keeps its dates
    const QString oldK = dateOf(oldKiszallIn), newK = dateOf(item.kiszall);
    const QString oldV = dateOf(oldVszallIn), newV = dateOf(item.vszallt);
    const Params itemP{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                       {QStringLiteral("t"), item.tetelsor}, {QStringLiteral("s"), item.sorszam}};
    Remover rm{tx, ctx_, tables_, terms_, options_.cancelRemoved, ctx_.userCode};

    // Moves the rows of the kinds named from one day to another, each with the
    // next free number of the item on the new day.
    auto move = [&](const QStringList& kinds, const QString& from, const QString& to, bool plannedOnly) {
        if (kinds.isEmpty()) return;
        Params p = itemP;
        p.push_back({QStringLiteral("d"), from});
        QStringList names;
        for (int i = 0; i < kinds.size(); ++i) {
            names << QStringLiteral(":k%1").arg(i);
            p.push_back({QStringLiteral("k%1").arg(i), kinds.at(i)});
        }
        RowSet rs = tx.query(QStringLiteral("SELECT T.TEVSORSZAM, T.TEVALLAPOT FROM %1 T WHERE T.BIZONYLAT = :b"
                                            " AND T.VERZIO = :v AND T.TETELSOR = :t AND T.SORSZAM = :s AND T.DATUM = :d"
                                            " AND T.TEVKOD IN (%2) ORDER BY T.TEVSORSZAM")
                                 .arg(tables_.sqlActivities(), names.join(QStringLiteral(", "))),
                             p);
        while (rs.next()) {
            if (plannedOnly && !ctx_.isPlanned(rs.text(QStringLiteral("TEVALLAPOT")))) continue;
            const qint64 no = NextActivityNo(tx, item.tetelsor, item.sorszam, to);
            Params u = itemP;
            u.push_back({QStringLiteral("d"), from});
            u.push_back({QStringLiteral("n"), rs.integer(QStringLiteral("TEVSORSZAM"))});
            u.push_back({QStringLiteral("uj"), to});
            u.push_back({QStringLiteral("ujn"), no});
            u.push_back({QStringLiteral("juzer"), ctx_.userCode});
            u.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
            tx.exec(QStringLiteral("UPDATE %1 SET DATUM = :uj, TEVSORSZAM = :ujn, JUZER = :juzer, MIKOR = :mikor"
                                   " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"
                                   " AND DATUM = :d AND TEVSORSZAM = :n")
                        .arg(tables_.sqlActivities()),
                    u);
        }
    };

    if (!newK.isEmpty() && !oldK.isEmpty() && newK != oldK) {
        QStringList kinds{QStringLiteral("KIH"), QStringLiteral("EKI")};
        for (const QString& k : kindsOfClass(tx, QStringLiteral("UJTCS")))
            if (!kinds.contains(k)) kinds << k;
        move(kinds, oldK, newK, false);
        // A later delivery: nothing planned stays before the new day.
        if (newK > oldK) {
            Params p = itemP;
            p.push_back({QStringLiteral("d"), newK});
            rm.removeWhere(QStringLiteral("TETELSOR = :t AND SORSZAM = :s AND DATUM < :d"), p);
        }
    }
    if (newV != oldV) {
        QStringList kinds{QStringLiteral("VSZ")};
        for (const QString& k : kindsOfClass(tx, QStringLiteral("HISZ")))
            if (!kinds.contains(k)) kinds << k;
        if (!oldV.isEmpty() && !newV.isEmpty()) {
            move(kinds, oldV, newV, true);
        } else if (!oldV.isEmpty()) {
            // Cleared: its planned take-back activities go, nothing else.
            Params p = itemP;
            p.push_back({QStringLiteral("d"), oldV});
            QStringList names;
            for (int i = 0; i < kinds.size(); ++i) {
                names << QStringLiteral(":k%1").arg(i);
                p.push_back({QStringLiteral("k%1").arg(i), kinds.at(i)});
            }
            rm.removeWhere(QStringLiteral("TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVKOD IN (%1)")
                               .arg(names.join(QStringLiteral(", "))),
                           p);
        }
        if (!newV.isEmpty()) AddEventActivities(tx, QStringLiteral("HISZ"), item, newV);
    }
}

ScheduleResult LineItemRules::RegenerateMaintenance(Transaction& tx, qint64 tetelsor, qint64 sorszam) {
    ScheduleResult total;
    std::vector<MaintenanceItem> items =
        LoadMaintenanceItems(tx, tables_, terms_.bizonylat, terms_.verzio, tetelsor, sorszam);
    GeneratorContext c = ctx_;
    c.stamp = vl::util::NowStamp();
    for (const MaintenanceItem& it : items) {
        if (!it.vszall.isEmpty()) continue;   // an item that is back is left alone
        const QDate delivery = gen::toDate(it.kiszall);
        if (!delivery.isValid()) continue;
        // From the delivery day itself: a planned visit left on it (a delivery
        // moved later onto a visit day) goes; the generator writes none on it.
        QString first = gen::toText(delivery);
        if (options_.storedContract && today() > first) first = today();
        ScheduleOptions o;
        o.firstDay = first;
        total += GenerateMaintenanceSchedule(tx, c, tables_.activities, {it}, o);
    }
    if (total.written > 0) {
        Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                 {QStringLiteral("mikor"), c.stamp}};
        QString f;
        if (tetelsor > 0) {
            f = QStringLiteral(" AND TETELSOR = :t");
            p.push_back({QStringLiteral("t"), tetelsor});
        }
        tx.exec(QStringLiteral("UPDATE %1 SET SOFORKOD = NULL WHERE BIZONYLAT = :b AND VERZIO = :v%2"
                               " AND MIKOR = :mikor AND TRIM(SOFORKOD) = ''")
                    .arg(tables_.sqlActivities(), f),
                p);
    }
    return total;
}

bool LineItemRules::RemoveItem(Transaction& tx, qint64 tetelsor, qint64 sorszam, bool doneChecked) {
    if (!doneChecked && DoneActivities(tx, tetelsor, sorszam) > 0) return false;
    const auto item = ReadItem(tx, tetelsor, sorszam);
    Remover rm{tx, ctx_, tables_, terms_, options_.cancelRemoved, ctx_.userCode};
    rm.removeWhere(QStringLiteral("TETELSOR = :t AND SORSZAM = :s"),
                   {{QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
    const Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                   {QStringLiteral("t"), tetelsor}};
    Params ps = p;
    ps.push_back({QStringLiteral("s"), sorszam});
    tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s")
                .arg(tables_.sqlItems()),
            ps);
    RowSet left = tx.query(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t")
                               .arg(tables_.sqlItems()),
                           p);
    const qint64 count = left.rowCount() ? left.at(0, 0).toLongLong() : 0;
    if (count == 0) {
        rm.removeWhere(QStringLiteral("TETELSOR = :t"), {{QStringLiteral("t"), tetelsor}});
        tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t").arg(tables_.sqlLines()),
                p);
    } else {
        tx.exec(QStringLiteral("UPDATE %1 SET MENNYISEG = :n WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t")
                    .arg(tables_.sqlLines()),
                {{QStringLiteral("n"), count}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}});
    }
    if (tables_.isStored() && item) ProductStore::UpdateProductStatus(tx, item->arukod);
    return true;
}

std::pair<qint64, qint64> LineItemRules::SplitItemToGroup(Transaction& tx, qint64 tetelsor, qint64 sorszam,
                                                          const QString& newGroup, const QString& newProduct,
                                                          const QString& fromDay) {
    const LineRow line = readLine(tx, tables_, terms_, tetelsor);
    const auto item = ReadItem(tx, tetelsor, sorszam);
    if (!line.found || !item) return {tetelsor, sorszam};
    const std::vector<ItemRow> items = ReadItems(tx, tetelsor);
    const Params lp{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                    {QStringLiteral("t"), tetelsor}};
    if (items.size() <= 1) {
        tx.exec(QStringLiteral("UPDATE %1 SET ARUCSOPORT = :g, MENNYISEG = 1 WHERE BIZONYLAT = :b AND VERZIO = :v"
                               " AND TETELSOR = :t").arg(tables_.sqlLines()),
                {{QStringLiteral("g"), newGroup}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}});
        ItemRow r = *item;
        r.arukod = newProduct;
        WriteItem(tx, r);
        tx.exec(QStringLiteral("UPDATE %1 SET ARUKOD = :a WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                               " AND SORSZAM = :s AND DATUM >= :d AND TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST"
                               " WHERE MODOSITHATO IN ('I', 'i'))").arg(tables_.sqlActivities()),
                {{QStringLiteral("a"), newProduct}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor},
                 {QStringLiteral("s"), sorszam}, {QStringLiteral("d"), fromDay}});
        return {tetelsor, sorszam};
    }
    const qint64 n = NextLineNo(tx);
    // The new line: a copy of the old one with one item and the new group.
    tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, M_EGYSEG,"
                           " BERMENNY, BERMEGYSEG, NETTOAR, MINIMALAR, KARERTEK, KISZALL, VSZALL, VSZALLKELTE, HKSZCSPSZV,"
                           " KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, SOFORKOD, KOMMENT,"
                           " JUZER, MIKOR) SELECT BIZONYLAT, VERZIO, :n, :g, 1, 0, M_EGYSEG, BERMENNY, BERMEGYSEG,"
                           " NETTOAR, MINIMALAR, KARERTEK, KISZALL, VSZALL, VSZALLKELTE, HKSZCSPSZV, KARBAR1, KARBAR2,"
                           " KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, SOFORKOD, KOMMENT, :juzer, :mikor"
                           " FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t").arg(tables_.sqlLines()),
            {{QStringLiteral("n"), n}, {QStringLiteral("g"), newGroup}, {QStringLiteral("juzer"), ctx_.userCode},
             {QStringLiteral("mikor"), vl::util::NowStamp()}, {QStringLiteral("b"), terms_.bizonylat},
             {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}});
    ItemRow r = *item;
    r.tetelsor = n;
    r.sorszam = 1;
    r.arukod = newProduct;
    WriteItem(tx, r);
    // Its planned activities from the exchange on go along; its history stays.
    tx.exec(QStringLiteral("UPDATE %1 SET TETELSOR = :n, SORSZAM = 1, ARUKOD = :a WHERE BIZONYLAT = :b AND VERZIO = :v"
                           " AND TETELSOR = :t AND SORSZAM = :s AND DATUM >= :d AND TEVALLAPOT IN (SELECT KOD FROM"
                           " SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))").arg(tables_.sqlActivities()),
            {{QStringLiteral("n"), n}, {QStringLiteral("a"), newProduct}, {QStringLiteral("b"), terms_.bizonylat},
             {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam},
             {QStringLiteral("d"), fromDay}});
    tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s")
                .arg(tables_.sqlItems()),
            {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
             {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
    tx.exec(QStringLiteral("UPDATE %1 SET MENNYISEG = :m WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t")
                .arg(tables_.sqlLines()),
            {{QStringLiteral("m"), qint64(items.size() - 1)}, {QStringLiteral("b"), terms_.bizonylat},
             {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}});
    return {n, 1};
}

// ---------------------------------------------------------------- actions

void LineItemRules::stampIfStored(Transaction& tx) {
    if (!tables_.isStored() || terms_.bizonylat <= 0) return;
    // Every write to a stored contract's rows stamps its header in the same transaction.
    tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
            {{QStringLiteral("juzer"), ctx_.userCode}, {QStringLiteral("mikor"), vl::util::NowStamp()},
             {QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio}});
}

namespace {

LineItemRules::ItemRow itemFromLine(qint64 tetelsor, qint64 sorszam, const LineInput& in, const QString& driver) {
    LineItemRules::ItemRow r;
    r.tetelsor = tetelsor;
    r.sorszam = sorszam;
    r.arukod = QStringLiteral("*");
    r.kiszall = dateOf(in.kiszall);
    r.vszallt = dateOf(in.vszall);
    r.pattern = LineItemRules::PatternOf(in.counts);
    for (int d = 0; d < 7; ++d) r.karbar[size_t(d)] = std::max(0, intOf(in.prices[size_t(d)]));
    r.periodus = std::max(0, intOf(in.periodus));
    r.egyedi = QStringLiteral("N");
    r.soforkod = driver;
    return r;
}

Outcome validationOutcome(const QString& heading, const QStringList& messages) {
    Outcome o;
    o.messages << withHeading(heading, messages);
    return o;
}

} // namespace

Outcome LineItemRules::AddLine(Transaction& tx, const LineInput& in, const Answers& answers) {
    QString q;
    const QStringList m = ValidateLine(tx, in, answers, &q);
    if (!q.isEmpty()) {
        Outcome o;
        o.question = q;
        return o;   // the caller adds the continuation
    }
    if (!m.isEmpty()) return validationOutcome(QStringLiteral("A termékcsoport adatokban az alábbi hibák vannak:"), m);

    const qint64 t = NextLineNo(tx);
    const qint64 count = intOf(in.mennyiseg);
    WriteLine(tx, t, in, count, 0);
    const Found driver = activeDriver(tx, in.soforkod);
    qint64 first = 0;
    for (qint64 k = 0; k < count; ++k) {
        const qint64 s = NextItemNo(tx, t);
        if (!first) first = s;
        const ItemRow r = itemFromLine(t, s, in, driver.ok ? driver.kod : QString());
        WriteItem(tx, r);
        AddEventActivities(tx, QStringLiteral("UJTCS"), r, r.kiszall);
        if (!r.vszallt.isEmpty()) AddEventActivities(tx, QStringLiteral("HISZ"), r, r.vszallt);
    }
    RegenerateMaintenance(tx, t);
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedLines | ChangedItems | ChangedActivities;
    o.line = t;
    o.item = first;
    return o;
}

Outcome LineItemRules::ChangeLine(Transaction& tx, qint64 tetelsor, const LineInput& in, const Answers& answers) {
    QString q;
    const QStringList m = ValidateLine(tx, in, answers, &q);
    if (!q.isEmpty()) {
        Outcome o;
        o.question = q;
        return o;
    }
    if (!m.isEmpty()) return validationOutcome(QStringLiteral("A termékcsoport adatokban az alábbi hibák vannak:"), m);
    const LineRow old = readLine(tx, tables_, terms_, tetelsor);
    if (!old.found) return refused(QStringLiteral("A termékcsoport nem található: %1").arg(tetelsor));
    const std::vector<ItemRow> items = ReadItems(tx, tetelsor);
    const qint64 count = intOf(in.mennyiseg);
    if (count < qint64(items.size()))
        return refused(QStringLiteral("A mennyiség itt nem csökkenthető. Törölje a terméket a \"Termékek\" fülön!"));

    qint64 back = 0;
    for (const ItemRow& it : items)
        if (!it.vszall.isEmpty()) ++back;
    WriteLine(tx, tetelsor, in, count, back);
    const LineRow now = readLine(tx, tables_, terms_, tetelsor);
    const bool patternChanged = now.pattern != old.pattern || now.periodus != old.periodus || now.karbar != old.karbar;
    const bool driverChanged = !sameDriver(now.soforkod, old.soforkod);

    for (const ItemRow& it : items) {
        if (!it.vszall.isEmpty()) continue;   // back: its dates and schedule stay
        ItemRow r = it;
        r.kiszall = now.kiszall;
        r.vszallt = now.vszall;
        const bool individual = it.egyedi == QLatin1String("E");
        if (!individual) {
            r.pattern = now.pattern;
            r.periodus = now.periodus;
            r.karbar = now.karbar;
        }
        r.egyedi = (r.pattern != now.pattern || r.periodus != now.periodus) ? QStringLiteral("E") : QStringLiteral("N");
        // An item that had the line's driver follows the line; its own stays.
        if (driverChanged && sameDriver(it.soforkod, old.soforkod)) r.soforkod = now.soforkod;
        WriteItem(tx, r);
        SyncDeliveryReturn(tx, r, it.kiszall, it.vszallt);
        const bool datesChanged = r.kiszall != it.kiszall || r.vszallt != it.vszallt;
        const bool ownChanged = r.pattern != it.pattern || r.periodus != it.periodus || r.karbar != it.karbar;
        if (datesChanged || ownChanged || (!individual && patternChanged)) RegenerateMaintenance(tx, tetelsor, it.sorszam);
    }
    if (driverChanged) {
        // The line's planned activities that went with its old driver take the new one.
        Params p{{QStringLiteral("uj"), driverValue(now.soforkod)}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor},
                 {QStringLiteral("regi"), old.soforkod.trimmed()}};
        tx.exec(QStringLiteral("UPDATE %1 SET SOFORKOD = :uj WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                               " AND COALESCE(TRIM(SOFORKOD), '') = :regi AND TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST"
                               " WHERE MODOSITHATO IN ('I', 'i'))").arg(tables_.sqlActivities()),
                p);
    }
    qint64 first = 0;
    for (qint64 k = qint64(items.size()); k < count; ++k) {
        const qint64 s = NextItemNo(tx, tetelsor);
        if (!first) first = s;
        const ItemRow r = itemFromLine(tetelsor, s, in, now.soforkod);
        WriteItem(tx, r);
        AddEventActivities(tx, QStringLiteral("UJTCS"), r, r.kiszall);
        if (!r.vszallt.isEmpty()) AddEventActivities(tx, QStringLiteral("HISZ"), r, r.vszallt);
        RegenerateMaintenance(tx, tetelsor, s);
    }
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedLines | ChangedItems | ChangedActivities;
    o.line = tetelsor;
    if (first) o.item = first;
    return o;
}

Outcome LineItemRules::DeleteLine(Transaction& tx, qint64 tetelsor, const Answers& answers) {
    if (DoneActivities(tx, tetelsor) > 0) return refused(kVanElvegzett);
    const QString q = QStringLiteral("Biztosan törli az aktuális termékcsoportot?");
    auto a = answers.find(q);
    if (a == answers.end()) {
        Outcome o;
        o.question = q;
        o.questionDefaultNo = true;
        return o;
    }
    if (!a->second) return Outcome{};
    const std::vector<ItemRow> items = ReadItems(tx, tetelsor);
    Remover rm{tx, ctx_, tables_, terms_, options_.cancelRemoved, ctx_.userCode};
    rm.removeWhere(QStringLiteral("TETELSOR = :t"), {{QStringLiteral("t"), tetelsor}});
    const Params p{{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                   {QStringLiteral("t"), tetelsor}};
    tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t").arg(tables_.sqlItems()), p);
    tx.exec(QStringLiteral("DELETE FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t").arg(tables_.sqlLines()), p);
    if (tables_.isStored())
        for (const ItemRow& it : items) ProductStore::UpdateProductStatus(tx, it.arukod);
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedLines | ChangedItems | ChangedActivities;
    return o;
}

Outcome LineItemRules::StoreItem(Transaction& tx, qint64 tetelsor, qint64 sorszam, const ItemInput& in,
                                 const Answers& answers) {
    const auto old = ReadItem(tx, tetelsor, sorszam);
    if (!old) return refused(QStringLiteral("A termék nem található: %1/%2").arg(tetelsor).arg(sorszam));
    const bool productChanged = in.arukod.trimmed() != old->arukod;
    QString q;
    const QStringList m = ValidateItem(tx, tetelsor, in, productChanged, answers, &q);
    if (!q.isEmpty()) {
        Outcome o;
        o.question = q;
        return o;
    }
    if (!m.isEmpty()) return validationOutcome(QStringLiteral("A termék adataiban az alábbi hibák vannak:"), m);
    const LineRow line = readLine(tx, tables_, terms_, tetelsor);

    ItemRow r = *old;
    r.arukod = in.arukod.trimmed();
    if (old->vszall.isEmpty()) {   // an item that is back keeps its dates
        r.kiszall = dateOf(in.kiszall);
        r.vszallt = dateOf(in.vszallt);
    }
    r.pattern = PatternOf(in.counts);
    for (int d = 0; d < 7; ++d) r.karbar[size_t(d)] = std::max(0, intOf(in.prices[size_t(d)]));
    r.periodus = std::max(0, intOf(in.periodus));
    r.egyedi = (r.pattern != line.pattern || r.periodus != line.periodus) ? QStringLiteral("E") : QStringLiteral("N");
    r.komment = in.komment;
    WriteItem(tx, r);
    if (productChanged) {
        // Planned activities follow the new product; history keeps the old one.
        tx.exec(QStringLiteral("UPDATE %1 SET ARUKOD = :a, JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b"
                               " AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s AND TEVALLAPOT IN (SELECT KOD FROM"
                               " SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))").arg(tables_.sqlActivities()),
                {{QStringLiteral("a"), r.arukod}, {QStringLiteral("juzer"), ctx_.userCode},
                 {QStringLiteral("mikor"), vl::util::NowStamp()}, {QStringLiteral("b"), terms_.bizonylat},
                 {QStringLiteral("v"), terms_.verzio}, {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
    }
    SyncDeliveryReturn(tx, r, old->kiszall, old->vszallt);
    const bool scheduleChanged = r.pattern != old->pattern || r.periodus != old->periodus ||
                                 r.karbar != old->karbar || r.kiszall != old->kiszall || r.vszallt != old->vszallt;
    if (scheduleChanged) RegenerateMaintenance(tx, tetelsor, sorszam);
    if (tables_.isStored() && productChanged) {
        ProductStore::UpdateProductStatus(tx, old->arukod);
        ProductStore::UpdateProductStatus(tx, r.arukod);
    }
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedItems | ChangedActivities;
    o.line = tetelsor;
    o.item = sorszam;
    return o;
}

Outcome LineItemRules::DeleteItem(Transaction& tx, qint64 tetelsor, qint64 sorszam, const Answers& answers) {
    if (DoneActivities(tx, tetelsor, sorszam) > 0) return refused(kVanElvegzett);
    const std::vector<ItemRow> items = ReadItems(tx, tetelsor);
    QString q = QStringLiteral("Biztosan törli az aktuális terméket?");
    if (items.size() <= 1) q += QLatin1Char('\r') + QStringLiteral("Ezzel törli a termékcsoportot is!");
    auto a = answers.find(q);
    if (a == answers.end()) {
        Outcome o;
        o.question = q;
        o.questionDefaultNo = true;
        return o;
    }
    if (!a->second) return Outcome{};
    RemoveItem(tx, tetelsor, sorszam);
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedLines | ChangedItems | ChangedActivities;
    o.line = tetelsor;
    return o;
}

namespace {

struct ActivityRow {
    bool found = false;
    QString tevkod, tevallapot, arukod, soforkod, komment;
    qint64 nettoar = 0, mennyiseg = 1;
};

ActivityRow readActivity(Transaction& tx, const RentalTables& tables, const ContractTerms& terms, const ActivityKey& k) {
    ActivityRow r;
    RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                        " AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n").arg(tables.sqlActivities()),
                         {{QStringLiteral("b"), terms.bizonylat}, {QStringLiteral("v"), terms.verzio},
                          {QStringLiteral("t"), k.tetelsor}, {QStringLiteral("s"), k.sorszam},
                          {QStringLiteral("d"), k.datum}, {QStringLiteral("n"), k.tevsorszam}});
    if (!rs.next()) return r;
    r.found = true;
    r.tevkod = rs.text(QStringLiteral("TEVKOD")).trimmed();
    r.tevallapot = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
    r.arukod = rs.text(QStringLiteral("ARUKOD")).trimmed();
    r.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    r.komment = rs.text(QStringLiteral("KOMMENT"));
    r.nettoar = rs.integer(QStringLiteral("NETTOAR"));
    r.mennyiseg = rs.isNull(QStringLiteral("MENNYISEG")) ? 1 : rs.integer(QStringLiteral("MENNYISEG"));
    return r;
}

Params keyParams(const ContractTerms& terms, const ActivityKey& k) {
    return {{QStringLiteral("b"), terms.bizonylat}, {QStringLiteral("v"), terms.verzio},
            {QStringLiteral("t"), k.tetelsor}, {QStringLiteral("s"), k.sorszam},
            {QStringLiteral("d"), k.datum}, {QStringLiteral("n"), k.tevsorszam}};
}

const char* const kKeyWhere =
    " WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n";

} // namespace

Outcome LineItemRules::AddActivity(Transaction& tx, qint64 tetelsor, qint64 sorszam, const ActivityInput& in) {
    const QStringList m = ValidateActivity(tx, in);
    if (!m.isEmpty()) return validationOutcome(QStringLiteral("A tevékenység adataiban az alábbi hibák vannak:"), m);
    const Found kind = lookup(tx, QStringLiteral("SZ_TEVEKENY"), in.tevkod);
    const Found driver = activeDriver(tx, in.soforkod);
    const QString day = dateOf(in.datum);

    std::vector<std::pair<qint64, qint64>> targets;
    const int many = intOf(in.mennyiseg);
    if (many > 1) {
        RowSet rs = tx.query(QStringLiteral("SELECT TETELSOR, SORSZAM FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v"
                                            " ORDER BY TETELSOR, SORSZAM").arg(tables_.sqlItems()),
                             {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio}});
        while (rs.next() && int(targets.size()) < many)
            targets.push_back({rs.integer(QStringLiteral("TETELSOR")), rs.integer(QStringLiteral("SORSZAM"))});
    } else {
        targets.push_back({tetelsor, sorszam});
    }
    ActivityKey last;
    for (const auto& [t, s] : targets) {
        const auto item = ReadItem(tx, t, s);
        if (!item) continue;
        const qint64 no = NextActivityNo(tx, t, s, day);
        tx.exec(QStringLiteral("INSERT INTO %1 (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                               " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT, DATUM2, JUZER, MIKOR)"
                               " VALUES (:b, :v, :t, :s, :d, :n, :kod, :aru, :st, :sofor, :ar, 1, :komment, :kepzett, '',"
                               " :juzer, :mikor)").arg(tables_.sqlActivities()),
                {{QStringLiteral("b"), terms_.bizonylat}, {QStringLiteral("v"), terms_.verzio},
                 {QStringLiteral("t"), t}, {QStringLiteral("s"), s}, {QStringLiteral("d"), day},
                 {QStringLiteral("n"), no}, {QStringLiteral("kod"), kind.kod}, {QStringLiteral("aru"), item->arukod},
                 {QStringLiteral("st"), ctx_.statusPlanned},
                 {QStringLiteral("sofor"), driver.ok ? QVariant(driver.kod) : nullText()},
                 {QStringLiteral("ar"), qint64(intOf(in.nettoar))}, {QStringLiteral("komment"), in.komment},
                 {QStringLiteral("kepzett"), options_.kepzett}, {QStringLiteral("juzer"), ctx_.userCode},
                 {QStringLiteral("mikor"), vl::util::NowStamp()}});
        if (t == tetelsor && s == sorszam) last = ActivityKey{t, s, day, no};
        else if (last.isNull()) last = ActivityKey{t, s, day, no};
    }
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedActivities;
    o.activity = last;
    return o;
}

Outcome LineItemRules::ChangeActivity(Transaction& tx, const ActivityKey& key, const ActivityInput& in) {
    const QStringList m = ValidateActivity(tx, in);
    if (!m.isEmpty()) return validationOutcome(QStringLiteral("A tevékenység adataiban az alábbi hibák vannak:"), m);
    const ActivityRow row = readActivity(tx, tables_, terms_, key);
    if (!row.found) return refused(QStringLiteral("A tevékenység nem található."));
    const Found kind = lookup(tx, QStringLiteral("SZ_TEVEKENY"), in.tevkod);
    const Found driver = activeDriver(tx, in.soforkod);
    const QString day = dateOf(in.datum);
    ActivityKey now = key;
    Params p = keyParams(terms_, key);
    p.push_back({QStringLiteral("kod"), kind.kod});
    p.push_back({QStringLiteral("sofor"), driver.ok ? QVariant(driver.kod) : nullText()});
    p.push_back({QStringLiteral("ar"), qint64(intOf(in.nettoar))});
    p.push_back({QStringLiteral("komment"), in.komment});
    p.push_back({QStringLiteral("juzer"), ctx_.userCode});
    p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
    if (day != key.datum) {
        // Moved: the row keeps its state and takes the next free number of the new day.
        now.datum = day;
        now.tevsorszam = NextActivityNo(tx, key.tetelsor, key.sorszam, day);
        p.push_back({QStringLiteral("uj"), day});
        p.push_back({QStringLiteral("ujn"), now.tevsorszam});
        tx.exec(QStringLiteral("UPDATE %1 SET DATUM = :uj, TEVSORSZAM = :ujn, TEVKOD = :kod, SOFORKOD = :sofor,"
                               " NETTOAR = :ar, KOMMENT = :komment, JUZER = :juzer, MIKOR = :mikor")
                        .arg(tables_.sqlActivities()) + QString::fromLatin1(kKeyWhere),
                p);
    } else {
        tx.exec(QStringLiteral("UPDATE %1 SET TEVKOD = :kod, SOFORKOD = :sofor, NETTOAR = :ar, KOMMENT = :komment,"
                               " JUZER = :juzer, MIKOR = :mikor").arg(tables_.sqlActivities()) + QString::fromLatin1(kKeyWhere),
                p);
    }
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedActivities;
    o.activity = now;
    return o;
}

Outcome LineItemRules::DeleteActivity(Transaction& tx, const ActivityKey& key, const Answers& answers) {
    const ActivityRow row = readActivity(tx, tables_, terms_, key);
    if (!row.found) return refused(QStringLiteral("A tevékenység nem található."));
    if (!ctx_.isPlanned(row.tevallapot)) return refused(QStringLiteral("Csak tervezett tevékenységet lehet törölni"));
    const QString q = QStringLiteral("Biztosan törli az aktuális tevékenységet?");
    auto a = answers.find(q);
    if (a == answers.end()) {
        Outcome o;
        o.question = q;
        o.questionDefaultNo = true;
        return o;
    }
    if (!a->second) return Outcome{};
    tx.exec(QStringLiteral("DELETE FROM %1").arg(tables_.sqlActivities()) + QString::fromLatin1(kKeyWhere),
            keyParams(terms_, key));
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedActivities;
    return o;
}

Outcome LineItemRules::ToggleDone(Transaction& tx, const ActivityKey& key, const Answers& answers,
                                  std::optional<TakeBackMark>* takeBack) {
    const ActivityRow row = readActivity(tx, tables_, terms_, key);
    if (!row.found) return refused(QStringLiteral("A tevékenység nem található."));
    const QChar cls = ctx_.classOf(row.tevallapot);
    if (cls == u'X') return refused(QStringLiteral("Törölt státusú tevékenységet nem lehet módosítani"));
    if (cls == u'n') return refused(QStringLiteral("Másik napra áthelyezett tevékenységet nem lehet módosítani"));
    const bool planned = ctx_.isPlanned(row.tevallapot);
    if (planned && key.datum > today()) {
        const QString q = QStringLiteral("Jövőbeni eseményt akar elvégzettre állítani. Biztosan ezt akarja?");
        auto a = answers.find(q);
        if (a == answers.end()) {
            Outcome o;
            o.question = q;
            return o;
        }
        if (!a->second) return Outcome{};
    }
    const QString q = QStringLiteral("Biztosan megváltoztatja a tevékenység állapotát?");
    auto a = answers.find(q);
    if (a == answers.end()) {
        Outcome o;
        o.question = q;
        return o;
    }
    if (!a->second) return Outcome{};
    const QString done = codeOfClass(ctx_, u'N', QStringLiteral("E"));
    const QString state = planned ? done : ctx_.statusPlanned;
    Params p = keyParams(terms_, key);
    p.push_back({QStringLiteral("st"), state});
    p.push_back({QStringLiteral("juzer"), ctx_.userCode});
    p.push_back({QStringLiteral("mikor"), vl::util::NowStamp()});
    tx.exec(QStringLiteral("UPDATE %1 SET TEVALLAPOT = :st, JUZER = :juzer, MIKOR = :mikor").arg(tables_.sqlActivities()) +
                QString::fromLatin1(kKeyWhere),
            p);
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedActivities;
    o.activity = key;
    if (row.tevkod == QLatin1String("VSZ")) {
        TakeBackItem tb{terms_.bizonylat, terms_.verzio, key.tetelsor, key.sorszam, key.datum, key.tevsorszam};
        const TakeBackResult r = TakeBackOnTables(tx, ctx_, tables_, tb, planned);
        if (tables_.isStored()) TakeBackOnContract(tx, ctx_, terms_.bizonylat, terms_.verzio, r.arukod, key.datum, planned);
        else if (takeBack) *takeBack = TakeBackMark{key.tetelsor, key.sorszam, r.arukod, key.datum, planned};
        o.changed |= ChangedLines | ChangedItems;
    }
    return o;
}

Outcome LineItemRules::GenerateMaintenance(Transaction& tx, qint64 tetelsor, qint64 sorszam) {
    RegenerateMaintenance(tx, tetelsor, sorszam);
    stampIfStored(tx);
    Outcome o;
    o.ok = true;
    o.changed = ChangedActivities;
    o.line = tetelsor;
    o.item = sorszam;
    return o;
}

} // namespace vl::rental
