#include "rental/ContractSession.h"
#include "rental/WorkCalendar.h"

#include "customers/CustomerService.h"
#include "db/SchemaRegistry.h"
#include "db/SqlText.h"
#include "db/TxScope.h"
#include "rental/Schedule.h"
#include "shell/Dm.h"
#include "shell/Queries.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDateTime>
#include <QThread>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;

ContractMode ContractModeFromText(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("insert")) return ContractMode::Insert;
    if (t == QLatin1String("modify")) return ContractMode::Modify;
    return ContractMode::View;
}

QString ContractModeText(ContractMode mode) {
    switch (mode) {
    case ContractMode::Insert: return QStringLiteral("insert");
    case ContractMode::Modify: return QStringLiteral("modify");
    case ContractMode::View: break;
    }
    return QStringLiteral("view");
}

namespace {

// A dictionary row found by KOD, or else by NEV.
RowSet findCode(Transaction& tx, const QString& table, const QString& value) {
    const QString v = value.trimmed();
    if (v.isEmpty()) return RowSet();
    for (const char* col : {"KOD", "NEV"}) {
        RowSet rs = tx.query(QStringLiteral("SELECT * FROM %1 WHERE %2 = CAST(:v AS VARCHAR(250))").arg(table, QString::fromLatin1(col)),
                             {{QStringLiteral("v"), v}});
        if (rs.next()) return rs;
    }
    return RowSet();
}

// The visits a week of a line's or an item's row (pattern and day prices) as
// its panel shows them: a zero as a blank.
void readVisitDays(const RowSet& rs, std::array<QString, 7>& counts, std::array<QString, 7>& prices) {
    const std::array<int, 7> pattern = PatternCounts(rs.text(QStringLiteral("HKSZCSPSZV")));
    for (int d = 0; d < 7; ++d) {
        counts[size_t(d)] = vl::util::IntOrBlank(pattern[size_t(d)]);
        prices[size_t(d)] = vl::util::IntOrBlank(rs.integer(QStringLiteral("KARBAR%1").arg(d + 1)));
    }
}

} // namespace

QStringList ContractSession::CustomerErrors(Transaction& tx, const HeaderFields& h, const QString& loadedCustomer) {
    QStringList m;
    const QString k = h.ugyfelkod.trimmed(), c = h.ugyfelcim.trimmed();
    if (k.isEmpty()) return m;
    // Keys are at most 20 characters: a longer text names no row.
    auto shown = [](const QString& key) { return key.size() > 40 ? key.left(40) + QStringLiteral("…") : key; };
    if (k.size() > 20) {
        m << QStringLiteral("Nincs ilyen ügyfél: %1").arg(shown(k));
        return m;
    }
    RowSet cust = tx.query(QStringLiteral("SELECT KOD, AKTIV FROM UGYFEL WHERE KOD = CAST(:k AS VARCHAR(250))"),
                           {{QStringLiteral("k"), k}});
    if (!cust.next()) {
        m << QStringLiteral("Nincs ilyen ügyfél: %1").arg(k);
        return m;
    }
    // A contract kept on a customer marked inactive since stays changeable;
    // a new contract, or another customer chosen, needs an active one.
    if (vl::customers::CustomerService::isInactive(cust.text(QStringLiteral("AKTIV"))) && k != loadedCustomer.trimmed())
        m << QStringLiteral("Az ügyfél nem aktív: %1").arg(k);
    if (c.isEmpty()) {
        m << QStringLiteral("Nincs szállítási cím megadva");
        return m;
    }
    if (c.size() > 20) {
        m << QStringLiteral("Nincs ilyen szállítási cím: %1").arg(shown(c));
        return m;
    }
    RowSet site = tx.query(QStringLiteral("SELECT UGYFELKOD FROM UGYFELCIM WHERE KOD = CAST(:c AS VARCHAR(250))"),
                           {{QStringLiteral("c"), c}});
    if (!site.next()) {
        // A customer deleted with its sites while this check ran is named as
        // the customer missing, whichever of the two reads saw the delete.
        RowSet again = tx.query(QStringLiteral("SELECT KOD FROM UGYFEL WHERE KOD = CAST(:k AS VARCHAR(250))"),
                                {{QStringLiteral("k"), k}});
        if (!again.next()) {
            m.clear();
            m << QStringLiteral("Nincs ilyen ügyfél: %1").arg(k);
        } else {
            m << QStringLiteral("Nincs ilyen szállítási cím: %1").arg(c);
        }
    } else if (site.text(QStringLiteral("UGYFELKOD")).trimmed() != k)
        m << QStringLiteral("A(z) %1 szállítási cím nem a(z) %2 ügyfélé").arg(c, k);
    return m;
}

// ---------------------------------------------------------------- life

ContractSession::ContractSession(vl::db::Connection& conn, const vl::shell::Session& who) : conn_(conn), who_(who) {}

ContractSession::~ContractSession() {
    try {
        discard();
    } catch (...) {
    }
}

void ContractSession::open(ContractMode mode, qint64 bizonylat, int verzio, const QString& customerKey,
                           const QString& siteKey) {
    discard();
    mode_ = mode;
    bizonylat_ = mode == ContractMode::Insert ? -1 : bizonylat;
    verzio_ = mode == ContractMode::Insert ? 0 : (verzio > 0 ? verzio : 1);
    header_ = HeaderFields();
    loadedCustomer_.clear();
    loadedSite_.clear();
    notModifiable_.clear();
    takeBacks_.clear();
    recordVersion_ = 0;
    broughtIn_ = false;
    kepzett_ = QStringLiteral("K");
    {
        auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
        ctx_ = GeneratorContext::load(*tx, who_.writer());
        tx->commit();
    }
    if (mode_ == ContractMode::Insert) {
        header_.ugyfelkod = customerKey.trimmed();
        header_.ugyfelcim = siteKey.trimmed();
    } else {
        loadHeader();
    }
    if (mode_ == ContractMode::View) tables_ = RentalTables::stored();
    else makeCopies();
    open_ = true;
}

void ContractSession::openNext() {
    if (!open_ || mode_ != ContractMode::Insert || copies_.size() != 4) {
        open(ContractMode::Insert);
        return;
    }
    header_ = HeaderFields();
    takeBacks_.clear();
    broughtIn_ = false;
    kepzett_ = QStringLiteral("K");
    vl::db::TxScope tx(conn_, nullptr);
    ctx_ = GeneratorContext::load(*tx, who_.writer());
    // The names are this session's checked work-table names.
    for (const QString& t : {tables_.sqlLines(), tables_.sqlItems(), tables_.sqlActivities(), tables_.sqlPayments()})
        tx->exec(QStringLiteral("DELETE FROM %1").arg(t));
    tx.commit();
}

void ContractSession::setBroughtIn(const QString& paidUpTo) {
    if (mode_ != ContractMode::Insert) return;
    broughtIn_ = true;
    header_.lastprint = vl::util::NormalizeDateText(paidUpTo.trimmed());
}

void ContractSession::loadHeader() {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet rs = tx->query(QStringLiteral("SELECT F.*, F.RDB$RECORD_VERSION RV FROM FORGFEJ F WHERE F.BIZONYLAT = :b"
                                         " AND F.VERZIO = :v"),
                          {{QStringLiteral("b"), bizonylat_}, {QStringLiteral("v"), verzio_}});
    if (!rs.next())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(bizonylat_),
                              QStringLiteral("ContractSession::open"));
    header_.ugyfelkod = rs.text(QStringLiteral("UGYFELKOD")).trimmed();
    header_.ugyfelcim = rs.text(QStringLiteral("UGYFELCIM")).trimmed();
    header_.fizmod = rs.text(QStringLiteral("FIZMOD")).trimmed();
    header_.bermod = rs.text(QStringLiteral("BERMOD")).trimmed();
    header_.berkezd = rs.text(QStringLiteral("BERKEZD")).trimmed();
    header_.berveg = rs.text(QStringLiteral("BERVEG")).trimmed();
    header_.szerzodes = rs.text(QStringLiteral("SZERZODES"));
    header_.komment = rs.text(QStringLiteral("KOMMENT"));
    header_.vegkomment = rs.text(QStringLiteral("VEGKOMMENT"));
    header_.status = rs.text(QStringLiteral("STATUS")).trimmed();
    loadedCustomer_ = header_.ugyfelkod;
    loadedSite_ = header_.ugyfelcim;
    header_.lastprint = rs.text(QStringLiteral("LASTPRINT")).trimmed();
    recordVersion_ = rs.integer(QStringLiteral("RV"));
    RowSet st = tx->query(QStringLiteral("SELECT NEV, MODOSITHATO FROM SZ_STATUSR WHERE KOD = :k"),
                          {{QStringLiteral("k"), header_.status}});
    if (st.next() && st.text(QStringLiteral("MODOSITHATO")).trimmed() == QLatin1String("N")) {
        QString name = st.text(QStringLiteral("NEV")).trimmed();
        if (name.isEmpty()) name = header_.status;
        notModifiable_ = name + QStringLiteral(" szerződés nem módosítható.");
    }
    tx->commit();
}

void ContractSession::makeCopies() {
    static const char* const sources[] = {"FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"};
    static const char* const stems[] = {"CSOP", "KAB", "TEV", "FIZ"};
    QStringList names;
    try {
        for (int i = 0; i < 4; ++i) {
            QString name;
            for (int attempt = 0; attempt < 50; ++attempt) {
                name = vl::util::StampedName(QString::fromLatin1(stems[i]) + who_.userCode, QStringLiteral("TMP_"));
                if (!vl::db::SchemaRegistry::tableExists(*conn_.begin(vl::db::TxMode::ReadOnly), name) &&
                    !names.contains(name))
                    break;
                QThread::msleep(2);
            }
            vl::shell::CopyTableDef(conn_, nullptr, who_, QString::fromLatin1(sources[i]), name, true, true);
            names << name;
        }
        copies_ = names;
        tables_ = RentalTables::workCopies(names.at(0), names.at(1), names.at(2), names.at(3));
        if (mode_ == ContractMode::Modify) {
            vl::db::TxScope tx(conn_, nullptr);
            const Params p{{QStringLiteral("b"), bizonylat_}, {QStringLiteral("v"), verzio_}};
            tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = :v")
                         .arg(tables_.sqlLines()), p);
            tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v")
                         .arg(tables_.sqlItems()), p);
            tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v")
                         .arg(tables_.sqlActivities()), p);
            tx->exec(QStringLiteral("INSERT INTO %1 SELECT * FROM FORGFIZ WHERE BIZONYLAT = :b AND VERZIO = :v")
                         .arg(tables_.sqlPayments()), p);
            tx.commit();
        }
    } catch (...) {
        copies_ = names;
        discard();
        throw;
    }
}

void ContractSession::discard() {
    const QStringList names = copies_;
    copies_.clear();
    open_ = false;
    tables_ = RentalTables::stored();
    if (names.isEmpty()) return;
    bool record = false;
    try {
        auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
        record = vl::db::SchemaRegistry::tableExists(*tx, QStringLiteral("MUNKATABLAK"));
        tx->commit();
    } catch (const vl::Error&) {
    }
    auto& list = vl::shell::dm().WorkTableList;
    for (const QString& name : names) {
        if (!vl::shell::IsValidWorkTableName(name)) continue;
        bool dropped = false;
        try {
            conn_.exec(QStringLiteral("DROP TABLE ") + vl::db::sqltext::quoteIdent(name));
            dropped = true;
        } catch (const vl::Error&) {
            // still in use: the run's clean-up drops it
        }
        if (!dropped) continue;
        list.removeAll(name);
        if (record) {
            try {
                conn_.exec(QStringLiteral("DELETE FROM MUNKATABLAK WHERE TABLANEV = :t"), {{QStringLiteral("t"), name}});
            } catch (const vl::Error&) {
            }
        }
    }
}

QStringList ContractSession::workCopyNames() const { return copies_; }

qint64 ContractSession::rowContract() const { return bizonylat_ > 0 ? bizonylat_ : 0; }
qint64 ContractSession::rowVersion() const { return verzio_ > 0 ? verzio_ : 1; }

QString ContractSession::caption() const {
    const QString head = QStringLiteral("Bérletbe kiadás - ");
    switch (mode_) {
    case ContractMode::Insert: return head + QStringLiteral("új szerződés felvitele");
    case ContractMode::Modify: return head + QString::number(bizonylat_) + QStringLiteral(". sz. szerződés módosítása");
    case ContractMode::View: break;
    }
    return head + QString::number(bizonylat_) + QStringLiteral(". sz. szerződés megtekintése");
}

bool ContractSession::linesEditable() const { return mode_ != ContractMode::View && notModifiable_.isEmpty(); }

void ContractSession::setToday(const QString& today) { today_ = vl::util::NormalizeDateText(today); }
QString ContractSession::today() const { return today_.isEmpty() ? vl::util::TodayStr() : today_; }

// ---------------------------------------------------------------- header

void ContractSession::setHeader(const HeaderFields& h) {
    const QString status = header_.status, lastprint = header_.lastprint;
    header_ = h;
    header_.status = status;
    header_.lastprint = lastprint;
}

Outcome ContractSession::validateHeader() {
    QStringList m;
    QString focus;
    auto fail = [&](const QString& text, const char* control) {
        m << text;
        if (focus.isEmpty()) focus = QString::fromLatin1(control);
    };
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    if (header_.ugyfelkod.trimmed().isEmpty()) fail(QStringLiteral("Nincs ügyfél kiválasztva"), "b_ugyfel");
    else for (const QString& e : CustomerErrors(*tx, header_, loadedCustomer_)) fail(e, "b_ugyfel");
    if (header_.fizmod.trimmed().isEmpty()) fail(QStringLiteral("Nincs fizetési mód megadva"), "cb_fizmod");
    else if (findCode(*tx, QStringLiteral("SZ_FIZMOD"), header_.fizmod).eof())
        fail(QStringLiteral("A fizetés módja rossz"), "cb_fizmod");
    const QString kezd = vl::util::NormalizeDateText(header_.berkezd.trimmed());
    const QString veg = vl::util::NormalizeDateText(header_.berveg.trimmed());
    if (header_.berkezd.trimmed().isEmpty()) fail(QStringLiteral("Nincs a bérlet kezdete megadva"), "e_berkezd");
    else if (kezd.isEmpty()) fail(QStringLiteral("Hibás dátum: bérlet kezdete"), "e_berkezd");
    const bool vegGiven = !header_.berveg.trimmed().isEmpty();
    if (vegGiven && veg.isEmpty()) fail(QStringLiteral("Hibás dátum: bérlet vége"), "e_berveg");
    if (!kezd.isEmpty() && !veg.isEmpty() && veg < kezd) fail(QStringLiteral("Hibás bérleti idő intervallum"), "e_berveg");
    if (header_.bermod.trimmed().isEmpty()) {
        fail(QStringLiteral("Nincs a bérlet módja megadva"), "cb_bermod");
    } else {
        RowSet bm = findCode(*tx, QStringLiteral("SZ_BERMOD"), header_.bermod);
        if (bm.eof()) {
            fail(QStringLiteral("A bérlet módja rossz"), "cb_bermod");
        } else {
            const QString nev = bm.text(QStringLiteral("NEV")).trimmed();
            const QString kotnap = bm.text(QStringLiteral("KOTNAP")).trimmed();
            if (kotnap == QLatin1String("I") && !vegGiven)
                fail(nev + QStringLiteral(" bérlet módja esetén a bérlet vége kitöltendő"), "e_berveg");
            if (kotnap == QLatin1String("N") && vegGiven)
                fail(nev + QStringLiteral(" bérlet módja esetén a bérlet vége nem tölthető ki"), "e_berveg");
        }
    }
    if (header_.szerzodes.size() > 50) fail(QStringLiteral("Az iktatószám túl hosszú (legfeljebb 50 karakter)"), "e_szerzodes");
    if (header_.komment.size() > 250) fail(QStringLiteral("A megjegyzés túl hosszú (legfeljebb 250 karakter)"), "e_komment");
    tx->commit();
    Outcome o;
    if (!m.isEmpty()) {
        QString text = QStringLiteral("A fej adatokban az alábbi hibák vannak:\r");
        for (const QString& s : m) text += s + QLatin1Char('\r');
        o.messages << text;
        o.focus = focus;
        return o;
    }
    header_.berkezd = kezd;
    header_.berveg = veg;
    o.ok = true;
    return o;
}

Outcome ContractSession::chooseCustomer(const QString& customerKey, const QString& siteKey) {
    Outcome o;
    if (mode_ == ContractMode::View) return o;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet c = tx->query(QStringLiteral("SELECT KOD, FIZMOD, KOMMENTSPEC FROM UGYFEL WHERE KOD = :k"),
                         {{QStringLiteral("k"), customerKey.trimmed()}});
    RowSet sites = tx->query(QStringLiteral("SELECT KOD, KOMMENT FROM UGYFELCIM WHERE UGYFELKOD = :k ORDER BY KOD"),
                             {{QStringLiteral("k"), customerKey.trimmed()}});
    tx->commit();
    if (!c.next() || sites.isEmpty()) {
        o.messages << QStringLiteral("Az ügyfélhez nincs szállítási cím rendelve!");
        return o;
    }
    int row = 0;
    for (int r = 0; r < sites.rowCount(); ++r)
        if (sites.at(r, 0).toString().trimmed() == siteKey.trimmed()) row = r;
    sites.setPosition(row);
    header_.ugyfelkod = c.text(QStringLiteral("KOD")).trimmed();
    header_.ugyfelcim = sites.text(QStringLiteral("KOD")).trimmed();
    header_.fizmod = c.text(QStringLiteral("FIZMOD")).trimmed();
    header_.komment = sites.text(QStringLiteral("KOMMENT"));
    header_.vegkomment = c.text(QStringLiteral("KOMMENTSPEC"));
    o.ok = true;
    o.changed = ChangedHeader;
    return o;
}

CustomerLabels ContractSession::customerLabels() const {
    CustomerLabels l;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet c = tx->query(QStringLiteral("SELECT NEV, KOMMENTSPEC FROM UGYFEL WHERE KOD = :k"),
                         {{QStringLiteral("k"), header_.ugyfelkod}});
    if (c.next()) {
        l.ugyfelnev = QStringLiteral("Ügyfél neve: ") + c.text(QStringLiteral("NEV"));
        l.kommentspec = c.text(QStringLiteral("KOMMENTSPEC"));
    }
    RowSet s = tx->query(QStringLiteral("SELECT NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON FROM UGYFELCIM WHERE KOD = :k"),
                         {{QStringLiteral("k"), header_.ugyfelcim}});
    if (s.next()) {
        l.ugyfelcim = QStringLiteral("Szállítási cím: ") + s.text(QStringLiteral("NEV")) + QLatin1Char(' ') +
                      s.text(QStringLiteral("IRSZAM")) + QLatin1Char(' ') + s.text(QStringLiteral("VAROS")) +
                      QStringLiteral(", ") + s.text(QStringLiteral("UTCA"));
        l.cimadat = s.text(QStringLiteral("SZEMELY")) + QLatin1Char(' ') + s.text(QStringLiteral("TELEFON"));
    }
    tx->commit();
    return l;
}

QString ContractSession::paymentModeCode() {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet r = findCode(*tx, QStringLiteral("SZ_FIZMOD"), header_.fizmod);
    tx->commit();
    return r.eof() ? QString() : r.text(QStringLiteral("KOD")).trimmed();
}

QString ContractSession::rentalModeCode() {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet r = findCode(*tx, QStringLiteral("SZ_BERMOD"), header_.bermod);
    tx->commit();
    return r.eof() ? QString() : r.text(QStringLiteral("KOD")).trimmed();
}

// ---------------------------------------------------------------- lists

namespace {

RowSet read(vl::db::Connection& conn, const QString& sql, const Params& p) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    RowSet rs = tx->query(sql, p);
    tx->commit();
    return rs;
}

} // namespace

RowSet ContractSession::lines() {
    return read(conn_,
                QStringLiteral("SELECT TMPSOR.*, SZ.NEV CSOPNEV, SZS.NEV SOFORNEV FROM %1 TMPSOR LEFT OUTER JOIN SZ_SOFOR SZS"
                               " ON SZS.KOD = TMPSOR.SOFORKOD LEFT OUTER JOIN SZ_ARUCSOP SZ ON SZ.KOD = TMPSOR.ARUCSOPORT"
                               " WHERE TMPSOR.BIZONYLAT = :b AND TMPSOR.VERZIO = :v ORDER BY TMPSOR.TETELSOR")
                    .arg(tables_.sqlLines()),
                {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()}});
}

RowSet ContractSession::items() {
    // Items whose pattern is not registered are listed too (the pattern's day list empty).
    return read(conn_,
                QStringLiteral("SELECT K.*, SZ.NEV, H.MEGNEVEZES FROM %1 K JOIN %2 S ON S.BIZONYLAT = K.BIZONYLAT"
                               " AND S.VERZIO = K.VERZIO AND S.TETELSOR = K.TETELSOR LEFT OUTER JOIN SZ_ARUCSOP SZ"
                               " ON SZ.KOD = S.ARUCSOPORT LEFT OUTER JOIN HKSZCSPSZV H ON H.KOD = K.HKSZCSPSZV"
                               " WHERE K.BIZONYLAT = :b AND K.VERZIO = :v ORDER BY K.TETELSOR, K.SORSZAM")
                    .arg(tables_.sqlItems(), tables_.sqlLines()),
                {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()}});
}

QStringList ContractSession::productsTaken(qint64 tetelsor, qint64 sorszam) {
    QStringList out;
    RowSet rs = items();
    while (rs.next()) {
        if (rs.integer(QStringLiteral("TETELSOR")) == tetelsor && rs.integer(QStringLiteral("SORSZAM")) == sorszam) continue;
        const QString code = rs.text(QStringLiteral("ARUKOD")).trimmed();
        if (code.isEmpty() || code == QLatin1String("*") || !rs.text(QStringLiteral("VSZALL")).trimmed().isEmpty()) continue;
        if (!out.contains(code)) out << code;
    }
    return out;
}

RowSet ContractSession::activities(qint64 tetelsor, qint64 sorszam) {
    return read(conn_,
                QStringLiteral("SELECT TMPTEV.*, SZ.NEV, A.NEV ALLAPOT, SZS.NEV SOFORNEV FROM %1 TMPTEV"
                               " LEFT OUTER JOIN SZ_SOFOR SZS ON SZS.KOD = TMPTEV.SOFORKOD"
                               " LEFT OUTER JOIN SZ_TEVEKENY SZ ON SZ.KOD = TMPTEV.TEVKOD"
                               " LEFT OUTER JOIN SZ_STATUST A ON A.KOD = TMPTEV.TEVALLAPOT"
                               " WHERE TMPTEV.BIZONYLAT = :b AND TMPTEV.VERZIO = :v AND TMPTEV.TETELSOR = :t"
                               " AND TMPTEV.SORSZAM = :s ORDER BY TMPTEV.DATUM, TMPTEV.TEVSORSZAM")
                    .arg(tables_.sqlActivities()),
                {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                 {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
}

RowSet ContractSession::payments() {
    return read(conn_,
                QStringLiteral("SELECT T.*, S.NEV ALLAPOT FROM %1 T LEFT OUTER JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
                               " WHERE T.BIZONYLAT = :b AND T.VERZIO = :v ORDER BY T.DATUM, T.TEVSORSZAM")
                    .arg(tables_.sqlPayments()),
                {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()}});
}

RowSet ContractSession::dictionary(Dictionary which) { return ReadDictionary(conn_, which); }

bool ContractSession::hasLines() { return !lines().isEmpty(); }

// ---------------------------------------------------------------- panels

LineInput ContractSession::lineFields(qint64 tetelsor) {
    LineInput in;
    RowSet rs = read(conn_, QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t")
                                .arg(tables_.sqlLines()),
                     {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                      {QStringLiteral("t"), tetelsor}});
    if (!rs.next()) return in;
    in.arucsoport = rs.text(QStringLiteral("ARUCSOPORT")).trimmed();
    in.mennyiseg = QString::number(rs.integer(QStringLiteral("MENNYISEG")));
    in.bermenny = QString::number(rs.integer(QStringLiteral("BERMENNY")));
    in.bermegyseg = rs.text(QStringLiteral("BERMEGYSEG")).trimmed();
    in.minimalar = QString::number(rs.integer(QStringLiteral("MINIMALAR")));
    in.nettoar = QString::number(rs.integer(QStringLiteral("NETTOAR")));
    in.karertek = QString::number(rs.integer(QStringLiteral("KARERTEK")));
    in.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    in.vszall = rs.text(QStringLiteral("VSZALL")).trimmed();
    readVisitDays(rs, in.counts, in.prices);
    in.periodus = vl::util::IntOrBlank(rs.integer(QStringLiteral("PERIODUS")));
    in.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    if (rs.hasColumn(QStringLiteral("NAPTARSZABALY"))) in.naptarszabaly = rs.text(QStringLiteral("NAPTARSZABALY")).trimmed();
    in.komment = rs.text(QStringLiteral("KOMMENT"));
    return in;
}

ItemInput ContractSession::itemFields(qint64 tetelsor, qint64 sorszam) {
    ItemInput in;
    RowSet rs = read(conn_, QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                           " AND SORSZAM = :s").arg(tables_.sqlItems()),
                     {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                      {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}});
    if (!rs.next()) return in;
    in.arukod = rs.text(QStringLiteral("ARUKOD")).trimmed();
    in.kiszall = rs.text(QStringLiteral("KISZALL")).trimmed();
    in.vszallt = rs.text(QStringLiteral("VSZALLT")).trimmed();
    readVisitDays(rs, in.counts, in.prices);
    in.periodus = vl::util::IntOrBlank(rs.integer(QStringLiteral("PERIODUS")));
    in.komment = rs.text(QStringLiteral("KOMMENT"));
    return in;
}

ActivityInput ContractSession::activityFields(const ActivityKey& key) {
    ActivityInput in;
    RowSet rs = read(conn_, QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"
                                           " AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n")
                                .arg(tables_.sqlActivities()),
                     {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                      {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam},
                      {QStringLiteral("d"), key.datum}, {QStringLiteral("n"), key.tevsorszam}});
    if (!rs.next()) return in;
    in.datum = rs.text(QStringLiteral("DATUM")).trimmed();
    in.tevkod = rs.text(QStringLiteral("TEVKOD")).trimmed();
    in.soforkod = rs.text(QStringLiteral("SOFORKOD")).trimmed();
    in.nettoar = QString::number(rs.integer(QStringLiteral("NETTOAR")));
    in.komment = rs.text(QStringLiteral("KOMMENT"));
    in.mennyiseg = QString::number(rs.isNull(QStringLiteral("MENNYISEG")) ? 1 : rs.integer(QStringLiteral("MENNYISEG")));
    const QString k = rs.text(QStringLiteral("KEPZETT")).trimmed();
    if (!k.isEmpty() && mode_ != ContractMode::Insert) kepzett_ = k;
    return in;
}

LineInput ContractSession::newLineDefaults() const {
    LineInput in;
    in.periodus = QStringLiteral("1");
    in.kiszall = NormalizeTypedDate(header_.berkezd);
    in.vszall = NormalizeTypedDate(header_.berveg);
    return in;
}

ContractSession::GroupInfo ContractSession::groupInfo(const QString& group) {
    GroupInfo g;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet rs = findCode(*tx, QStringLiteral("SZ_ARUCSOP"), group);
    if (!rs.eof()) {
        g.found = true;
        g.karar = rs.integer(QStringLiteral("KARAR"));
        g.unitCode = rs.text(QStringLiteral("M_EGYSEG")).trimmed();
        RowSet u = tx->query(QStringLiteral("SELECT NEV FROM SZ_MEGYSEG WHERE KOD = :k"), {{QStringLiteral("k"), g.unitCode}});
        g.unitName = u.next() ? u.text(QStringLiteral("NEV")) : QStringLiteral("Hova lett ez az m.egység? ") + g.unitCode;
    }
    tx->commit();
    return g;
}

qint64 ContractSession::activityPrice(const QString& kind, const QString& group, int weekday) {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet g = findCode(*tx, QStringLiteral("SZ_ARUCSOP"), group);
    const QString code = g.eof() ? group.trimmed() : g.text(QStringLiteral("KOD")).trimmed();
    const qint64 p = ActivityPrice(*tx, kind.trimmed(), code, weekday);
    tx->commit();
    return p;
}

QString ContractSession::itemLabel(qint64 tetelsor, qint64 sorszam, const QString& arukod) {
    return QString::number(tetelsor) + QLatin1Char('/') + QString::number(sorszam) + QStringLiteral(" (") + arukod +
           QStringLiteral(" )");
}

// ---------------------------------------------------------------- actions

ContractTerms ContractSession::terms(Transaction& tx) {
    ContractTerms t;
    t.bizonylat = rowContract();
    t.verzio = rowVersion();
    RowSet bm = findCode(tx, QStringLiteral("SZ_BERMOD"), header_.bermod);
    if (!bm.eof()) {
        t.bermod = bm.text(QStringLiteral("KOD")).trimmed();
        t.bermodNev = bm.text(QStringLiteral("NEV")).trimmed();
        t.fixedTerm = bm.text(QStringLiteral("KOTNAP")).trimmed() == QLatin1String("I");
    }
    return t;
}

LineItemRules ContractSession::rules() {
    LineItemOptions o;
    o.storedContract = mode_ == ContractMode::Modify || broughtIn_;
    o.cancelRemoved = false;
    o.today = today();
    o.kepzett = mode_ == ContractMode::Insert ? QStringLiteral("K") : kepzett_;
    return LineItemRules(ctx_, tables_, ContractTerms(), o);
}

Outcome ContractSession::run(const std::function<Outcome(Transaction&, LineItemRules&)>& action, bool linesAction) {
    if (!open_ || mode_ == ContractMode::View) return Outcome{};
    if (linesAction && !notModifiable_.isEmpty()) {
        Outcome o;
        o.messages << notModifiable_;
        return o;
    }
    ctx_.stamp = vl::util::NowStamp();
    LineItemRules r = rules();
    vl::db::TxScope tx(conn_, nullptr);
    r.setTerms(terms(*tx));
    Outcome o = action(*tx, r);
    if (o.asks()) return o;   // nothing written: the scope rolls back
    tx.commit();
    return o;
}

namespace {

// Chains a question of the rules to the next run of the same action with the answer added.
Outcome withAnswers(Answers answers, const std::function<Outcome(const Answers&)>& step) {
    Outcome o = step(answers);
    if (o.asks()) {
        const QString q = o.question;
        o.proceed = [answers, q, step](bool yes) mutable {
            answers[q] = yes;
            return withAnswers(answers, step);
        };
    }
    return o;
}

} // namespace

Outcome ContractSession::askDayOff(const Answers& answers,
                                   const std::vector<std::pair<QString, QString>>& days) {
    vl::rental::WorkCalendar cal;
    {
        auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
        cal = WorkCalendar::load(*tx);
        tx->commit();
    }
    if (!askDayOff_) {
        for (const auto& d : days)
            if (const QString n = cal.dayOffNotice(d.first); !n.isEmpty() && !dayOffNotices_.contains(n))
                dayOffNotices_ << n;
        return Outcome::done();
    }
    for (const auto& [day, control] : days) {
        const QString q = cal.dayOffQuestion(day);
        if (q.isEmpty()) continue;
        const auto a = answers.find(q);
        if (a == answers.end()) {
            Outcome o;
            o.question = q;
            return o;   // withAnswers adds the continuation
        }
        if (!a->second) return Outcome::refusal(QStringList(), control);
    }
    return Outcome::done();
}

Outcome ContractSession::addLine(const LineInput& in) {
    if (!notModifiable_.isEmpty() || mode_ == ContractMode::View) return run({}, true);
    Outcome h = validateHeader();
    if (!h.ok) return h;
    return withAnswers({}, [this, in](const Answers& a) {
        if (Outcome d = askDayOff(a, {{in.kiszall, QStringLiteral("e_kiszall")}, {in.vszall, QStringLiteral("e_vszall")}});
            !d.ok)
            return d;
        return run([&](Transaction& tx, LineItemRules& r) { return r.AddLine(tx, in, a); }, true);
    });
}

Outcome ContractSession::changeLine(qint64 tetelsor, const LineInput& in) {
    return withAnswers({}, [this, tetelsor, in](const Answers& a) {
        if (Outcome d = askDayOff(a, {{in.kiszall, QStringLiteral("e_kiszall")}, {in.vszall, QStringLiteral("e_vszall")}});
            !d.ok)
            return d;
        return run([&](Transaction& tx, LineItemRules& r) { return r.ChangeLine(tx, tetelsor, in, a); }, true);
    });
}

Outcome ContractSession::deleteLine(qint64 tetelsor) {
    return withAnswers({}, [this, tetelsor](const Answers& a) {
        return run([&](Transaction& tx, LineItemRules& r) { return r.DeleteLine(tx, tetelsor, a); }, true);
    });
}

Outcome ContractSession::storeItem(qint64 tetelsor, qint64 sorszam, const ItemInput& in) {
    return withAnswers({}, [this, tetelsor, sorszam, in](const Answers& a) {
        if (Outcome d = askDayOff(a, {{in.kiszall, QStringLiteral("e_kiszallkab")},
                                      {in.vszallt, QStringLiteral("e_vszallkab")}});
            !d.ok)
            return d;
        return run([&](Transaction& tx, LineItemRules& r) { return r.StoreItem(tx, tetelsor, sorszam, in, a); }, true);
    });
}

Outcome ContractSession::deleteItem(qint64 tetelsor, qint64 sorszam) {
    return withAnswers({}, [this, tetelsor, sorszam](const Answers& a) {
        return run([&](Transaction& tx, LineItemRules& r) { return r.DeleteItem(tx, tetelsor, sorszam, a); }, true);
    });
}

Outcome ContractSession::addActivity(qint64 tetelsor, qint64 sorszam, const ActivityInput& in) {
    return run([&](Transaction& tx, LineItemRules& r) { return r.AddActivity(tx, tetelsor, sorszam, in); }, true);
}

Outcome ContractSession::changeActivity(const ActivityKey& key, const ActivityInput& in) {
    return run([&](Transaction& tx, LineItemRules& r) { return r.ChangeActivity(tx, key, in); }, true);
}

Outcome ContractSession::deleteActivity(const ActivityKey& key) {
    return withAnswers({}, [this, key](const Answers& a) {
        return run([&](Transaction& tx, LineItemRules& r) { return r.DeleteActivity(tx, key, a); }, true);
    });
}

Outcome ContractSession::toggleDone(const ActivityKey& key) {
    // A take-back's done mark stays open on a contract that may not be changed.
    bool takeBack = false;
    if (open_ && mode_ != ContractMode::View) {
        RowSet rs = read(conn_, QStringLiteral("SELECT TEVKOD FROM %1 WHERE BIZONYLAT = :b AND VERZIO = :v"
                                               " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n")
                                    .arg(tables_.sqlActivities()),
                         {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                          {QStringLiteral("t"), key.tetelsor}, {QStringLiteral("s"), key.sorszam},
                          {QStringLiteral("d"), key.datum}, {QStringLiteral("n"), key.tevsorszam}});
        takeBack = rs.next() && rs.text(QStringLiteral("TEVKOD")).trimmed() == QLatin1String("VSZ");
    }
    return withAnswers({}, [this, key, takeBack](const Answers& a) {
        std::optional<TakeBackMark> mark;
        Outcome o = run([&](Transaction& tx, LineItemRules& r) { return r.ToggleDone(tx, key, a, &mark); }, !takeBack);
        if (o.ok && mark) takeBacks_.push_back(*mark);
        return o;
    });
}

Outcome ContractSession::generateMaintenance(qint64 tetelsor, qint64 sorszam) {
    return run([&](Transaction& tx, LineItemRules& r) { return r.GenerateMaintenance(tx, tetelsor, sorszam); }, true);
}

Outcome ContractSession::markPastDeliveriesDone() {
    const QString day = today();
    return run([&](Transaction& tx, LineItemRules& r) {
        RowSet rs = tx.query(QStringLiteral("SELECT T.TETELSOR, T.SORSZAM, T.DATUM, T.TEVSORSZAM FROM %1 T"
                                            " JOIN SZ_TEVEKENY K ON K.KOD = T.TEVKOD WHERE T.BIZONYLAT = :b"
                                            " AND T.VERZIO = :v AND K.KEPEZVE = 'UJTCS' AND T.DATUM < :ma"
                                            " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))"
                                            " ORDER BY T.TETELSOR, T.SORSZAM, T.DATUM, T.TEVSORSZAM")
                                 .arg(tables_.sqlActivities()),
                             {{QStringLiteral("b"), rowContract()}, {QStringLiteral("v"), rowVersion()},
                              {QStringLiteral("ma"), day}});
        Outcome done;
        done.ok = true;
        done.changed = ChangedActivities;
        while (rs.next()) {
            const ActivityKey key{rs.integer(QStringLiteral("TETELSOR")), rs.integer(QStringLiteral("SORSZAM")),
                                  rs.text(QStringLiteral("DATUM")).trimmed(), rs.integer(QStringLiteral("TEVSORSZAM"))};
            // The mark's own questions, each answered "Igen" (a past day asks only the second).
            Answers yes;
            Outcome o = r.ToggleDone(tx, key, yes);
            while (o.asks() && !yes.count(o.question)) {
                yes[o.question] = true;
                o = r.ToggleDone(tx, key, yes);
            }
            if (!o.ok) return o.asks() ? Outcome{} : o;
        }
        return done;
    }, true);
}

// ---------------------------------------------------------------- leaving

QString ContractSession::leaveQuestion() {
    if (!open_ || mode_ == ContractMode::View || !hasLines()) return QString();
    QString what;
    switch (mode_) {
    case ContractMode::Insert: what = QStringLiteral(" felvitt adatok"); break;
    case ContractMode::Modify: what = QStringLiteral(" módosítások"); break;
    case ContractMode::View: what = QStringLiteral("z adatok"); break;
    }
    return QStringLiteral("Biztosan kilép tárolás nélkül? A") + what + QStringLiteral(" elvesznek!");
}

} // namespace vl::rental
