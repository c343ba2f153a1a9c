// Rules of the data-dictionary framework: rights, control-table seeds, default
// values, dictionary conditions, exit checks, and the editor's statements with
// their change log on a real database.
#include "FrameworkTestDb.h"

#include "framework/ControlTables.h"
#include "framework/EditorCore.h"
#include "framework/References.h"
#include "framework/Rights.h"
#include "framework/Validation.h"
#include "shell/Login.h"
#include "util/Dates.h"

using namespace vl::framework;
using vl::db::RowSet;

class TstRules : public QObject {
    Q_OBJECT
    fwtest::Db db;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> useSink;

    EditorCore open(const QString& table) {
        EditorCore c;
        c.open(fwtest::Db::conn(), table, table);
        c.activeOnly = false;
        return c;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        useSink = std::make_unique<vl::ScopedSink>(&sink);
        QVERIFY(db.create());
    }
    void init() {
        sink.clear();
        vl::shell::dm().CurrentUserRights = QStringLiteral("W");
    }

    // ---------------------------------------------------------------- rights
    void rightsAllow_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("empty text, empty user") << "" << "" << true;
        QTest::newRow("empty user passes any text") << "AB" << "" << true;
        QTest::newRow("empty text passes any user") << "" << "C" << true;
        QTest::newRow("X is nobody, even W") << "X" << "W" << false;
        QTest::newRow("x lower case is nobody") << "x" << "W" << false;
        QTest::newRow("padded X is nobody") << "  X " << "" << false;
        QTest::newRow("W passes everything else") << "AB" << "W" << true;
        QTest::newRow("lower-case w passes") << "AB" << " w " << true;
        QTest::newRow("shared letter") << "AB" << "BC" << true;
        QTest::newRow("no shared letter") << "AB" << "C" << false;
        QTest::newRow("case of letters ignored") << "ab" << "BC" << true;
        QTest::newRow("blanks and commas are padding") << "A, B" << " b  " << true;
        QTest::newRow("text W needs W") << "W" << "A" << false;
        QTest::newRow("letter X grants nothing") << "XA" << "X" << false;
        QTest::newRow("blank-only user has no letters") << "A" << "   " << true;
    }
    void rightsAllow() {
        QFETCH(QString, text);
        QFETCH(QString, user);
        QFETCH(bool, allowed);
        QCOMPARE(RightsAllowFor(text, user), allowed);
    }

    void tableRights() {
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG) VALUES ('SZ_SOFOR,SOFOR2', 'Sofőrök 2', 'A', 'B')"));
        QCOMPARE(TableRightsFor(c, QStringLiteral("SZ_SOFOR,SOFOR2"), QStringLiteral("B")), TableAccess::None);
        QCOMPARE(sink.last(), QStringLiteral("Önnek nincs joga az alábbi táblát megtekinteni:\nSofőrök 2"));
        QCOMPARE(TableRightsFor(c, QStringLiteral("sz_sofor,sofor2"), QStringLiteral("a")), TableAccess::View);
        QCOMPARE(TableRightsFor(c, QStringLiteral("SZ_SOFOR,SOFOR2"), QStringLiteral("AB")), TableAccess::Full);
        // The plain table name has its own (seeded) row without rights letters.
        QCOMPARE(TableRightsFor(c, QStringLiteral("SZ_SOFOR"), QStringLiteral("B")), TableAccess::Full);
        // The users' table is for "W" only; a table without a row is free.
        QCOMPARE(TableRightsFor(c, QStringLiteral("SZ_JUZER"), QStringLiteral("A")), TableAccess::None);
        QCOMPARE(TableRightsFor(c, QStringLiteral("TABLAK"), QStringLiteral("A")), TableAccess::View);
        QCOMPARE(TableRightsFor(c, QStringLiteral("HKSZCSPSZV"), QStringLiteral("A")), TableAccess::Full);
        c.exec(QStringLiteral("DELETE FROM TABLAK WHERE TABLANEV = 'SZ_SOFOR,SOFOR2'"));
    }

    // ---------------------------------------------------------------- seeds
    void seedsCoverEveryDictionaryForm() {
        auto& c = fwtest::Db::conn();
        const QStringList tables{"SZ_ARUCSOP", "SZ_SOFOR", "SZ_JUZER", "CEG", "SZ_BERMOD", "SZ_TEVEKENY", "SZ_FIZMOD",
                                 "SZ_IRSZAM", "SZ_MEGYSEG", "SZ_ADO", "SZ_STATUSR", "SZ_STATUSK", "SZ_STATUST",
                                 "TABLAK", "VEZERLO", "PVEZERLO", "DIFOLC"};
        for (const QString& t : tables) {
            QVERIFY2(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM TABLAK WHERE TABLANEV = :t"), {{"t", t}}) == 1, qPrintable(t));
            EditorCore core;
            QVERIFY2(core.open(c, t, t), qPrintable(t));
            QVERIFY2(!core.usesFallbackPanel(), qPrintable(t));
            // Every VEZERLO field names a real column, and the key is on the panel.
            for (const VezerloRow& r : core.panelRows().rows)
                if (!r.mezo.isEmpty()) QVERIFY2(core.field(r.mezo), qPrintable(t + "." + r.mezo));
            for (const QString& k : core.keyColumns()) {
                QVERIFY2(core.field(k)->onPanel, qPrintable(t + "." + k));
                QVERIFY2(core.field(k)->required, qPrintable(t + "." + k));
            }
            QVERIFY2(!core.sortFields().isEmpty(), qPrintable(t));
        }
        // Captions are Hungarian, the password is masked and off the grid.
        EditorCore users;
        QVERIFY(users.open(c, "SZ_JUZER", "SZ_JUZER"));
        QVERIFY(users.field("JELSZO")->password);
        QVERIFY(users.field("JELSZO")->gridTitle.isEmpty());
        QVERIFY(!users.selectList().contains("JELSZO"));
        QCOMPARE(users.field("NEV")->caption, QStringLiteral("Belépési név"));
    }

    void seedsAreAddedOnceAndKeepChanges() {
        auto& c = fwtest::Db::conn();
        c.exec(QStringLiteral("UPDATE TABLAK SET MEGNEVEZES = 'Sofőrjeink' WHERE TABLANEV = 'SZ_SOFOR'"));
        c.exec(QStringLiteral("DELETE FROM VEZERLO WHERE MODUL = 'SZ_SOFOR' AND MEZO = 'AKTIV'"));
        const qint64 before = fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM VEZERLO"));
        auto tx = c.begin();
        QCOMPARE(ControlSeeds::apply(*tx), 0);
        tx->commit();
        QCOMPARE(fwtest::Db::count(QStringLiteral("SELECT COUNT(*) FROM VEZERLO")), before);
        QCOMPARE(fwtest::Db::text(QStringLiteral("SELECT MEGNEVEZES FROM TABLAK WHERE TABLANEV = 'SZ_SOFOR'")),
                 QStringLiteral("Sofőrjeink"));
        // Put the seeded row back for the other tests.
        c.exec(QStringLiteral("UPDATE TABLAK SET MEGNEVEZES = 'Gépkocsivezetők' WHERE TABLANEV = 'SZ_SOFOR'"));
        c.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, MEGNEVEZES, BUTTON, FUNKCIO)"
                              " VALUES ('SZ_SOFOR', 30, 'AKTIV', 'Aktív', 'Aktív (I/N)', 'IN', 0)"));
    }

    // ---------------------------------------------------------------- defaults and conditions
    void evaluateDefault_data() {
        QTest::addColumn<QString>("ertek");
        QTest::addColumn<bool>("literal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("$text") << "$Budapest" << false << "Budapest";
        QTest::newRow("#field") << "#NEV" << false << "Kovács";
        QTest::newRow("#missing OR $text") << "#NINCS OR $alap" << false << "alap";
        QTest::newRow("#missing OR #field") << "#NINCS OR #NEV" << false << "Kovács";
        QTest::newRow("#missing alone") << "#NINCS" << false << "";
        QTest::newRow("@USER") << "@USER" << false << "TVN";
        QTest::newRow("@unknown") << "@VALAMI" << false << "";
        QTest::newRow("plain text from a panel") << "I" << false << "";
        QTest::newRow("plain text in the editor") << "I" << true << "I";
    }
    void evaluateDefault() {
        QFETCH(QString, ertek);
        QFETCH(bool, literal);
        QFETCH(QString, expected);
        const FieldTextFn ft = [](const QString& f) { return f == "NEV" ? QStringLiteral("Kovács") : QString(); };
        QCOMPARE(EvaluateDefault(fwtest::session(), ertek, ft, literal), expected);
        QCOMPARE(EvaluateDefault(fwtest::session(), "@FDATE", ft, false), vl::util::TodayStr());
    }

    void dictionaryConditionBindsTheFieldValue() {
        const FieldTextFn ft = [](const QString& f) { return f == "KOD" ? QStringLiteral("O'B") : QString(); };
        Condition c = DictionaryCondition(QStringLiteral("CSOPKOD=#KOD"), ft);
        QCOMPARE(c.text, QStringLiteral("CSOPKOD=:szotfield"));
        QCOMPARE(c.params.size(), size_t(1));
        QCOMPARE(c.params.at(0).second.toString(), QStringLiteral("O'B"));
        c = DictionaryCondition(QStringLiteral("CSOPKOD='#KOD'"), ft);
        QCOMPARE(c.text, QStringLiteral("CSOPKOD=:szotfield"));
        QVERIFY(DictionaryCondition(QStringLiteral("CSOPKOD=#NINCS"), ft).isEmpty());
        QCOMPARE(DictionaryCondition(QStringLiteral("$AKTIV='I'"), ft).text, QStringLiteral("AKTIV='I'"));
        // The bound value really selects: an apostrophe cannot break the statement.
        fwtest::Db::conn().exec("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('KA', 'O''B', 1)");
        EditorCore core = open("SZ_TEVAR");
        core.where = DictionaryCondition(QStringLiteral("CSOPKOD=#KOD"), ft);
        const RowSet rs = core.browse(fwtest::Db::conn());
        QCOMPARE(rs.rowCount(), 1);
        fwtest::Db::conn().exec("DELETE FROM SZ_TEVAR WHERE CSOPKOD = 'O''B'");
    }

    // ---------------------------------------------------------------- exit checks
    void checkFieldText_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("result");
        QTest::newRow("1 empty date") << 1 << "" << false << "Hibás dátum.\n" << "";
        QTest::newRow("1 good date") << 1 << "2026.02.28" << true << "" << "2026.02.28";
        QTest::newRow("4 empty passes") << 4 << "" << true << "" << "";
        QTest::newRow("4 bad date") << 4 << "2026.02.30" << false << "Hibás dátum.\n2026.02.30" << "2026.02.30";
        QTest::newRow("2 blank") << 2 << "  " << false << "Kötelező kitölteni." << "  ";
        QTest::newRow("3 zero") << 3 << " 0 " << false << "Nem lehet nulla." << " 0 ";
        QTest::newRow("3 zero comma zero") << 3 << "0,0" << true << "" << "0,0";
        QTest::newRow("7 upper") << 7 << "árvíz" << true << "" << "ÁRVÍZ";
        QTest::newRow("11 lower") << 11 << "ŐZ" << true << "" << "őz";
        QTest::newRow("98 empty name") << 98 << "" << false << "Kötelező kitölteni." << "";
        QTest::newRow("98 name") << 98 << " kovács ödön " << true << "" << "Kovács Ödön";
        QTest::newRow("101 bad tax") << 101 << "1234567890" << false << "Hibás adóazonosító." << "1234567890";
        QTest::newRow("102 bad TAJ") << 102 << "123456789" << false << "Hibás TAJszám." << "123456789";
        QTest::newRow("5 not a number") << 5 << "abc" << false << "Nem jó szám." << "abc";
    }
    void checkFieldText() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        QFETCH(QString, result);
        const FieldCheck c = CheckFieldText(code, text);
        QCOMPARE(c.ok, ok);
        QCOMPARE(c.message, message);
        QCOMPARE(c.text, result);
    }
    void taxNumberAndBirthDate() {
        QCOMPARE(ExpectedTaxPrefix("1990.03.17"), QStringLiteral("845000"));
        QCOMPARE(TaxIdBirthDate("8450001234"), QStringLiteral("1990.03.17"));
        QVERIFY(!TaxAndBirthDateConflict("8450001234", "1990.03.17"));
        QVERIFY(TaxAndBirthDateConflict("8450001234", "1990.03.18"));
        QVERIFY(!TaxAndBirthDateConflict("", "1990.03.18"));
        QCOMPARE(GrossAmountText("1000"), QStringLiteral("1270"));
        QCOMPARE(GrossAmountText("999"), QStringLiteral("1269"));
    }

    // ---------------------------------------------------------------- saving and the change log
    void insertUpdateDeleteWriteDoku() {
        auto& c = fwtest::Db::conn();
        EditorCore core = open("SZ_SOFOR");
        const qint64 doku0 = fwtest::Db::dokuCount();
        SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "ÁRV"}, {"NEV", "O'Brien Árvíztűrő"}, {"AKTIV", "I"}});
        QCOMPARE(r.status, SaveResult::Saved);
        QCOMPARE(r.key, QVariantList{QStringLiteral("ÁRV")});
        QCOMPARE(fwtest::Db::text("SELECT NEV FROM SZ_SOFOR WHERE KOD = 'ÁRV'"), QStringLiteral("O'Brien Árvíztűrő"));
        QCOMPARE(fwtest::Db::dokuCount(), doku0 + 3);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE TABLA = 'SZ_SOFOR' AND AKCIO = 'I' AND KULCSERTEK = 'ÁRV'"
                                   " AND JUZER = 'TVN' AND MEZO = 'NEV' AND MIRE = 'O''Brien Árvíztűrő'"), 1);

        RowSet rs = core.browse(c);
        int row = core.locate(rs, r.key);
        QVERIFY(row >= 0);
        QVERIFY(!core.isModified({{"KOD", "ÁRV"}, {"NEV", "O'Brien Árvíztűrő"}, {"AKTIV", "I"}}, rs, row));
        r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "ÁRV"}, {"NEV", "Tündérszép Ilona"}, {"AKTIV", "I"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Saved);
        QCOMPARE(fwtest::Db::dokuCount(), doku0 + 4);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'U' AND KULCSERTEK = 'ÁRV' AND MEZO = 'NEV'"
                                   " AND MIROL = 'O''Brien Árvíztűrő' AND MIRE = 'Tündérszép Ilona'"), 1);
        // Saving without a change writes no log row.
        rs = core.browse(c);
        row = core.locate(rs, r.key);
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "ÁRV"}, {"NEV", "Tündérszép Ilona"}, {"AKTIV", "I"}}, &rs, row).status,
                 SaveResult::Saved);
        QCOMPARE(fwtest::Db::dokuCount(), doku0 + 4);
        // A changed key is logged under the row's new key.
        r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "ÁRV2"}, {"NEV", "Tündérszép Ilona"}, {"AKTIV", "I"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Saved);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'U' AND KULCSERTEK = 'ÁRV2' AND MEZO = 'KOD'"
                                   " AND MIROL = 'ÁRV' AND MIRE = 'ÁRV2'"), 1);

        rs = core.browse(c);
        row = core.locate(rs, r.key);
        r = core.remove(c, nullptr, fwtest::session(), rs, row);
        QCOMPARE(r.status, SaveResult::Saved);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD STARTING WITH 'ÁRV'"), 0);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'D' AND KULCSERTEK = 'ÁRV2' AND MEZO IS NULL"), 1);
    }

    // The editor writes in the caller's transaction when given one: a save and
    // a delete land with the caller's commit, or not at all; the change log
    // names the session's user, not whoever the program's login holds.
    void saveJoinsCallersTransaction() {
        auto& c = fwtest::Db::conn();
        EditorCore core = open("SZ_SOFOR");
        vl::shell::Session clerk = fwtest::session();
        clerk.userCode = QStringLiteral("UGYINT");
        const qint64 doku0 = fwtest::Db::dokuCount();
        {
            auto tx = c.begin();
            QCOMPARE(core.save(c, tx.get(), clerk, EditMode::Insert, {{"KOD", "TXA"}, {"NEV", "Első"}, {"AKTIV", "I"}}).status,
                     SaveResult::Saved);
            QCOMPARE(core.save(c, tx.get(), clerk, EditMode::Insert, {{"KOD", "TXB"}, {"NEV", "Második"}, {"AKTIV", "I"}}).status,
                     SaveResult::Saved);
            tx->rollback();
        }
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD IN ('TXA', 'TXB')"), 0);
        QCOMPARE(fwtest::Db::dokuCount(), doku0);
        {
            auto tx = c.begin();
            QCOMPARE(core.save(c, tx.get(), clerk, EditMode::Insert, {{"KOD", "TXA"}, {"NEV", "Első"}, {"AKTIV", "I"}}).status,
                     SaveResult::Saved);
            QCOMPARE(core.save(c, tx.get(), clerk, EditMode::Insert, {{"KOD", "TXB"}, {"NEV", "Második"}, {"AKTIV", "I"}}).status,
                     SaveResult::Saved);
            // Not yet visible to another transaction.
            vl::db::ConnectParams p;
            p.database = db.path;
            auto other = vl::db::connect(p);
            QCOMPARE(other->query(QStringLiteral("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD IN ('TXA', 'TXB')")).at(0, 0).toLongLong(), 0);
            other->close();
            tx->commit();
        }
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD IN ('TXA', 'TXB')"), 2);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE TABLA = 'SZ_SOFOR' AND KULCSERTEK IN ('TXA', 'TXB')"
                                   " AND JUZER = 'UGYINT'"), 6);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE TABLA = 'SZ_SOFOR' AND KULCSERTEK IN ('TXA', 'TXB')"
                                   " AND JUZER <> 'UGYINT'"), 0);
        // A delete in a transaction the caller rolls back leaves the row and its log alone.
        const RowSet rs = core.browse(c);
        {
            auto tx = c.begin();
            QCOMPARE(core.remove(c, tx.get(), clerk, rs, core.locate(rs, {QStringLiteral("TXA")})).status, SaveResult::Saved);
            tx->rollback();
        }
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_SOFOR WHERE KOD = 'TXA'"), 1);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE AKCIO = 'D' AND KULCSERTEK = 'TXA'"), 0);
        c.exec(QStringLiteral("DELETE FROM SZ_SOFOR WHERE KOD IN ('TXA', 'TXB')"));
    }

    void badInputWritesNothing_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message");
        QTest::newRow("duplicate key") << "SZ_MEGYSEG" << QStringList{"KOD", "NEV"} << QStringList{"db", "darab"}
                                       << "A tétel nem tárolható:\nMár van ilyen kulcsú tétel: db";
        QTest::newRow("required empty") << "SZ_MEGYSEG" << QStringList{"KOD", "NEV"} << QStringList{"X1", " "}
                                        << "A tétel nem tárolható:\nKitöltendő mezőt üresen hagyott : Megnevezés";
        QTest::newRow("too long") << "SZ_MEGYSEG" << QStringList{"KOD", "NEV"} << QStringList{"X123456789A", "x"}
                                  << "A tétel nem tárolható:\nTúl hosszú érték: Kód (legfeljebb 10 karakter)";
        QTest::newRow("text in a number") << "SZ_MEGYSEG" << QStringList{"KOD", "NEV", "OSZTO"}
                                          << QStringList{"X2", "két hét", "tizennégy"}
                                          << "A tétel nem tárolható:\nNem jó szám: Egy egység napjai (osztó)";
        QTest::newRow("number too big") << "SZ_MEGYSEG" << QStringList{"KOD", "NEV", "OSZTO"}
                                        << QStringList{"X3", "sok", "99999999999"}
                                        << "A tétel nem tárolható:\nNem jó szám: Egy egység napjai (osztó)";
        QTest::newRow("two problems at once") << "SZ_ADO" << QStringList{"KOD", "NEV", "ERTEK"}
                                              << QStringList{"", "Ötös", "öt"}
                                              << "A tétel nem tárolható:\nKitöltendő mezőt üresen hagyott : Kód\nNem jó szám: Kulcs (pl. 0,27 = 27%)";
    }
    void badInputWritesNothing() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        EditorCore core = open(table);
        QHash<QString, QString> t;
        for (int i = 0; i < fields.size(); ++i) t.insert(fields.at(i), values.at(i));
        const qint64 rows = fwtest::Db::count("SELECT COUNT(*) FROM " + table);
        const qint64 doku = fwtest::Db::dokuCount();
        const SaveResult r = core.save(fwtest::Db::conn(), nullptr, fwtest::session(), EditMode::Insert, t);
        QCOMPARE(r.status, SaveResult::Invalid);
        QCOMPARE(r.message, message);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table), rows);
        QCOMPARE(fwtest::Db::dokuCount(), doku);
    }

    void floatsAcceptBothSeparators() {
        auto& c = fwtest::Db::conn();
        EditorCore core = open("SZ_ADO");
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "T1"}, {"NEV", "Teszt"}, {"ERTEK", "0,125"}}).status, SaveResult::Saved);
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "T2"}, {"NEV", "Teszt"}, {"ERTEK", "0.5"}}).status, SaveResult::Saved);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_ADO WHERE (KOD = 'T1' AND ERTEK = 0.125) OR (KOD = 'T2' AND ERTEK = 0.5)"), 2);
        // Shown with the mask of the field: two decimals, Hungarian separator.
        const RowSet rs = core.browse(c);
        QCOMPARE(core.rowTexts(rs, core.locate(rs, {QStringLiteral("T1")})).value("ERTEK"), QStringLiteral("0,13"));
        c.exec("DELETE FROM SZ_ADO WHERE KOD IN ('T1', 'T2')");
    }

    // A number typed into a number field reads the same whatever decimal separator
    // the workstation uses: ',' or '.', blanks grouping the digits, one sign. A
    // whole-number field takes no fraction; anything else is refused with the
    // field's caption and nothing is written.
    void numberFields_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("field"); // of SZ_ADO (ERTEK, a float) or SZ_MEGYSEG (OSZTO, an integer)
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // the stored value, or the refusal
        const QString floatBad = QStringLiteral("A tétel nem tárolható:\nNem jó szám: Kulcs (pl. 0,27 = 27%)");
        const QString intBad = QStringLiteral("A tétel nem tárolható:\nNem jó szám: Egy egység napjai (osztó)");
        const QString fraction = QStringLiteral("A tétel nem tárolható:\nEgész számot kell megadni: Egy egység napjai (osztó)");
        QTest::newRow("comma on C") << "c" << "ERTEK" << "0,125" << "0.125";
        QTest::newRow("point on C") << "c" << "ERTEK" << "0.5" << "0.5";
        QTest::newRow("comma on Hungarian") << "hu" << "ERTEK" << "0,125" << "0.125";
        QTest::newRow("point on Hungarian") << "hu" << "ERTEK" << "0.5" << "0.5";
        QTest::newRow("blanks group, comma on C") << "c" << "ERTEK" << "1 234,5" << "1234.5";
        QTest::newRow("signs") << "c" << "ERTEK" << " -2,5 " << "-2.5";
        QTest::newRow("plus sign") << "c" << "ERTEK" << "+3" << "3";
        QTest::newRow("leading separator") << "c" << "ERTEK" << ",5" << "0.5";
        QTest::newRow("two separators") << "c" << "ERTEK" << "1.234,5" << floatBad;
        QTest::newRow("two commas") << "hu" << "ERTEK" << "1,2,3" << floatBad;
        QTest::newRow("exponent") << "c" << "ERTEK" << "1e3" << floatBad;
        QTest::newRow("sign after digits") << "c" << "ERTEK" << "5-" << floatBad;
        QTest::newRow("lone sign") << "c" << "ERTEK" << "-" << floatBad;
        QTest::newRow("currency") << "hu" << "ERTEK" << "5 Ft" << floatBad;
        QTest::newRow("whole") << "c" << "OSZTO" << "1 000" << "1000";
        QTest::newRow("whole, zero fraction") << "c" << "OSZTO" << "30,0" << "30";
        QTest::newRow("fraction with comma on C") << "c" << "OSZTO" << "1,5" << fraction;
        QTest::newRow("fraction with point on Hungarian") << "hu" << "OSZTO" << "1.5" << fraction;
        QTest::newRow("whole, letters") << "c" << "OSZTO" << "12a" << intBad;
        QTest::newRow("whole, too big") << "c" << "OSZTO" << "3000000000" << intBad;
    }
    void numberFields() {
        QFETCH(QString, locale);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QLocale::setDefault(locale == QStringLiteral("c") ? QLocale::c() : QLocale(QLocale::Hungarian, QLocale::Hungary));
        auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); });
        auto& c = fwtest::Db::conn();
        const bool isFloat = field == QStringLiteral("ERTEK");
        const QString table = isFloat ? QStringLiteral("SZ_ADO") : QStringLiteral("SZ_MEGYSEG");
        EditorCore core = open(table);
        const qint64 doku = fwtest::Db::dokuCount();
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "NUM"}, {"NEV", "Szám"}, {field, text}});
        auto cleanup = qScopeGuard([&] { c.exec("DELETE FROM " + table + " WHERE KOD = 'NUM'"); });
        if (stored.startsWith(QStringLiteral("A tétel"))) {
            QCOMPARE(r.status, SaveResult::Invalid);
            QCOMPARE(r.message, stored);
            QCOMPARE(r.focusField, field);
            QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table + " WHERE KOD = 'NUM'"), 0);
            QCOMPARE(fwtest::Db::dokuCount(), doku);
            return;
        }
        QCOMPARE(r.status, SaveResult::Saved);
        const RowSet rs = c.query("SELECT " + field + " FROM " + table + " WHERE KOD = 'NUM'");
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, 0).toDouble(), stored.toDouble());
    }

    // What a masked float field shows reads back as the same number, whatever
    // the locale (no ',' grouping where '.' is the decimal separator).
    void maskedFloatReadsBack_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "c";
        QTest::newRow("Hungarian") << "hu";
    }
    void maskedFloatReadsBack() {
        QFETCH(QString, locale);
        QLocale::setDefault(locale == QStringLiteral("c") ? QLocale::c() : QLocale(QLocale::Hungarian, QLocale::Hungary));
        auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); });
        PanelField f;
        f.name = QStringLiteral("X");
        f.col.typeWord = QStringLiteral("FLOAT");
        f.editMask = QStringLiteral("#,##0.00");
        const QString shown = DisplayText(f, 1234567.5);
        QCOMPARE(shown.size(), 12); // "1 234 567,50"
        const ConvertResult back = ConvertText(f, shown);
        QCOMPARE(back.error, QString());
        QCOMPARE(back.value.toDouble(), 1234567.5);
        QCOMPARE(ConvertText(f, DisplayText(f, -1234.0)).value.toDouble(), -1234.0);
    }

    // A code must name a row of its field's dictionary when the row is saved,
    // however the field was left (the focus may never have run its lookup).
    void referenceFieldsAreCheckedAtSave_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message"); // "" : saved
        QTest::newRow("unit of a product group") << "SZ_ARUCSOP" << QStringList{"KOD", "NEV", "M_EGYSEG"}
                                                 << QStringList{"RX", "Próba", "xx"}
                                                 << "A tétel nem tárolható:\nA megadott kód nincs a szótárban: Mennyiségi egység (xx)";
        QTest::newRow("code in the other case") << "SZ_ARUCSOP" << QStringList{"KOD", "NEV", "M_EGYSEG"}
                                                << QStringList{"RX", "Próba", "DB"}
                                                << "A tétel nem tárolható:\nA megadott kód nincs a szótárban: Mennyiségi egység (DB)";
        QTest::newRow("known unit") << "SZ_ARUCSOP" << QStringList{"KOD", "NEV", "M_EGYSEG"}
                                    << QStringList{"RX", "Próba", "db"} << "";
        QTest::newRow("empty optional code") << "SZ_ARUCSOP" << QStringList{"KOD", "NEV", "M_EGYSEG"}
                                             << QStringList{"RX", "Próba", ""} << "";
        QTest::newRow("activity of a price row") << "SZ_TEVAR" << QStringList{"TEVKOD", "CSOPKOD", "AR"}
                                                 << QStringList{"ZZZ", "RXG", "100"}
                                                 << "A tétel nem tárolható:\nA megadott kód nincs a szótárban: Tevékenység (ZZZ)";
        QTest::newRow("both codes unknown") << "SZ_TEVAR" << QStringList{"TEVKOD", "CSOPKOD", "AR"}
                                            << QStringList{"ZZZ", "NINCS", "100"}
                                            << "A tétel nem tárolható:\nA megadott kód nincs a szótárban: Tevékenység (ZZZ)"
                                               "\nA megadott kód nincs a szótárban: Termékcsoport (NINCS)";
        QTest::newRow("known price row") << "SZ_TEVAR" << QStringList{"TEVKOD", "CSOPKOD", "AR"}
                                         << QStringList{"KIH", "RXG", "100"} << "";
    }
    void referenceFieldsAreCheckedAtSave() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO SZ_ARUCSOP (KOD, NEV, M_EGYSEG) VALUES ('RXG', 'Próbacsoport', 'db')");
        auto cleanup = qScopeGuard([&] {
            c.exec("DELETE FROM SZ_TEVAR WHERE CSOPKOD IN ('RXG', 'NINCS')");
            c.exec("DELETE FROM SZ_ARUCSOP WHERE KOD IN ('RX', 'RXG')");
        });
        QVERIFY(fwtest::Db::count("SELECT COUNT(*) FROM SZ_TEVEKENY WHERE KOD = 'KIH'") == 1);
        EditorCore core = open(table);
        QHash<QString, QString> t;
        for (int i = 0; i < fields.size(); ++i) t.insert(fields.at(i), values.at(i));
        const qint64 rows = fwtest::Db::count("SELECT COUNT(*) FROM " + table);
        const qint64 doku = fwtest::Db::dokuCount();
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, t);
        if (message.isEmpty()) {
            QCOMPARE(r.message, QString());
            QCOMPARE(r.status, SaveResult::Saved);
            QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table), rows + 1);
            return;
        }
        QCOMPARE(r.status, SaveResult::Invalid);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focusField, fields.at(2) == "M_EGYSEG" ? QStringLiteral("M_EGYSEG") : QStringLiteral("TEVKOD"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table), rows);
        QCOMPARE(fwtest::Db::dokuCount(), doku);
    }

    // Changing a row checks its codes too, and a comma list of codes (button
    // function 999) checks each of them.
    void referenceCheckOnUpdateAndCodeLists() {
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO SZ_ARUCSOP (KOD, NEV, M_EGYSEG) VALUES ('RU', 'Régi', 'db')");
        auto cleanup = qScopeGuard([&] {
            c.exec("DELETE FROM SZ_ARUCSOP WHERE KOD = 'RU'");
            c.exec("UPDATE VEZERLO SET FUNKCIO = 0 WHERE MODUL = 'SZ_ARUCSOP' AND MEZO = 'M_EGYSEG'");
        });
        EditorCore core = open("SZ_ARUCSOP");
        RowSet rs = core.browse(c);
        int row = core.locate(rs, {QStringLiteral("RU")});
        SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "RU"}, {"NEV", "Régi"}, {"M_EGYSEG", "xx"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Invalid);
        QCOMPARE(fwtest::Db::text("SELECT M_EGYSEG FROM SZ_ARUCSOP WHERE KOD = 'RU'"), QStringLiteral("db"));

        c.exec("UPDATE VEZERLO SET FUNKCIO = 999 WHERE MODUL = 'SZ_ARUCSOP' AND MEZO = 'M_EGYSEG'");
        core = open("SZ_ARUCSOP");
        rs = core.browse(c);
        row = core.locate(rs, {QStringLiteral("RU")});
        r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "RU"}, {"NEV", "Régi"}, {"M_EGYSEG", "db,yy,db"}}, &rs, row);
        QCOMPARE(r.message, QStringLiteral("A tétel nem tárolható:\nA megadott kód nincs a szótárban: Mennyiségi egység (yy)"));
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "RU"}, {"NEV", "Régi"}, {"M_EGYSEG", "db"}}, &rs, row).status,
                 SaveResult::Saved);
    }

    // A flag field takes only its allowed letters (the button that cycles them).
    void flagFieldsTakeOnlyTheirLetters_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // "!" + message : refused
        QTest::newRow("I") << "SZ_SOFOR" << "AKTIV" << "I" << "I";
        QTest::newRow("N") << "SZ_SOFOR" << "AKTIV" << "N" << "N";
        QTest::newRow("lower case is the listed letter") << "SZ_SOFOR" << "AKTIV" << "n" << "N";
        QTest::newRow("blanks around") << "SZ_SOFOR" << "AKTIV" << " I " << "I";
        QTest::newRow("other letter") << "SZ_SOFOR" << "AKTIV" << "Q"
                                      << "!A tétel nem tárolható:\nNem megengedett érték: Aktív (I/N) (megadható értékek: IN)";
        QTest::newRow("word") << "SZ_SOFOR" << "AKTIV" << "IN"
                              << "!A tétel nem tárolható:\nNem megengedett érték: Aktív (I/N) (megadható értékek: IN)";
        QTest::newRow("classes differ by case") << "SZ_STATUST" << "MODOSITHATO" << "i" << "i";
        QTest::newRow("class n") << "SZ_STATUST" << "MODOSITHATO" << "n" << "n";
        QTest::newRow("class of no kind") << "SZ_STATUST" << "MODOSITHATO" << "Z"
                                          << "!A tétel nem tárolható:\nNem megengedett érték: Osztály (I, N, X, i, n) (megadható értékek: INXin)";
        QTest::newRow("billing mark digit") << "SZ_MEGYSEG" << "BERSZAMJEL" << "7" << "7";
        QTest::newRow("billing mark other digit") << "SZ_MEGYSEG" << "BERSZAMJEL" << "8"
                                                  << "!A tétel nem tárolható:\nNem megengedett érték: Számlázás jele (H/7/N/A) (megadható értékek: H7NA)";
    }
    void flagFieldsTakeOnlyTheirLetters() {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        auto& c = fwtest::Db::conn();
        EditorCore core = open(table);
        auto cleanup = qScopeGuard([&] { c.exec("DELETE FROM " + table + " WHERE KOD = 'FLG'"); });
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "FLG"}, {"NEV", "Jelző"}, {field, text}});
        if (stored.startsWith(QLatin1Char('!'))) {
            QCOMPARE(r.status, SaveResult::Invalid);
            QCOMPARE(r.message, stored.mid(1));
            QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM " + table + " WHERE KOD = 'FLG'"), 0);
            return;
        }
        QCOMPARE(r.message, QString());
        QCOMPARE(fwtest::Db::text("SELECT " + field + " FROM " + table + " WHERE KOD = 'FLG'"), stored);
    }

    // The active-only list reads a flag column as letters, or as a BOOLEAN in a table that keeps it so.
    void activeOnlyWithABooleanFlag() {
        auto& c = fwtest::Db::conn();
        c.exec("CREATE TABLE VL_AKTIVB (KOD VARCHAR(10) NOT NULL PRIMARY KEY, AKTIV BOOLEAN)");
        c.exec("INSERT INTO VL_AKTIVB (KOD, AKTIV) VALUES ('A', TRUE)");
        c.exec("INSERT INTO VL_AKTIVB (KOD, AKTIV) VALUES ('B', FALSE)");
        c.exec("INSERT INTO VL_AKTIVB (KOD, AKTIV) VALUES ('C', NULL)");
        EditorCore core = open("VL_AKTIVB");
        core.activeOnly = true;
        const RowSet rs = core.browse(c);
        QCOMPARE(rs.rowCount(), 1);
        QCOMPARE(rs.at(0, rs.indexOf("KOD")).toString(), QStringLiteral("A"));
        core.activeOnly = false;
        QCOMPARE(core.browse(c).rowCount(), 3);
        c.exec("DROP TABLE VL_AKTIVB");
    }

    void deletingAReferencedRowIsRefused() {
        auto& c = fwtest::Db::conn();
        EditorCore core = open("SZ_MEGYSEG");
        RowSet rs = core.browse(c);
        const int row = core.locate(rs, {QStringLiteral("db")});
        QVERIFY(row >= 0);
        const qint64 doku = fwtest::Db::dokuCount();
        SaveResult r = core.remove(c, nullptr, fwtest::session(), rs, row);
        QCOMPARE(r.status, SaveResult::Invalid);
        // The naming rows are called by their table's caption, as in a sentence.
        QCOMPARE(r.message, QStringLiteral("A tétel nem törölhető, mert 5 termék csoport hivatkozik rá."));
        // Nor can the code be renamed under the rows that name it.
        r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "dbx"}, {"NEV", "darab"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Invalid);
        QCOMPARE(r.message, QStringLiteral("A tétel nem tárolható:\nA kulcs nem módosítható, mert 5 termék csoport hivatkozik rá."));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_MEGYSEG WHERE KOD = 'db'"), 1);
        QCOMPARE(fwtest::Db::dokuCount(), doku);
        // A driver named by a contract line is protected as well.
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S9', 'Sofőr Kilenc', 'I')");
        c.exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, SOFORKOD) VALUES (1, 1, 1, 'S9')");
        EditorCore drivers = open("SZ_SOFOR");
        rs = drivers.browse(c);
        // The contract lines carry the caption seeded for them, counted in the singular.
        QCOMPARE(drivers.remove(c, nullptr, fwtest::session(), rs, drivers.locate(rs, {QStringLiteral("S9")})).message,
                 QStringLiteral("A tétel nem törölhető, mert 1 bérleti tétel hivatkozik rá."));
        c.exec("DELETE FROM TABLAK WHERE TABLANEV = 'FORGSOR'");
        // Without a caption in TABLAK the table's name stands in.
        QCOMPARE(drivers.remove(c, nullptr, fwtest::session(), rs, drivers.locate(rs, {QStringLiteral("S9")})).message,
                 QStringLiteral("A tétel nem törölhető, mert a(z) FORGSOR tábla 1 sora hivatkozik rá."));
        c.exec("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES) VALUES ('FORGSOR', 'Bérleti tételek')");
        QCOMPARE(drivers.remove(c, nullptr, fwtest::session(), rs, drivers.locate(rs, {QStringLiteral("S9")})).message,
                 QStringLiteral("A tétel nem törölhető, mert 1 bérleti tétel hivatkozik rá."));
        QCOMPARE(drivers.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "S9X"}, {"NEV", "Sofőr Kilenc"}, {"AKTIV", "I"}}, &rs,
                              drivers.locate(rs, {QStringLiteral("S9")})).message,
                 QStringLiteral("A tétel nem tárolható:\nA kulcs nem módosítható, mert 1 bérleti tétel hivatkozik rá."));
        c.exec("DELETE FROM FORGSOR");
        c.exec("DELETE FROM TABLAK WHERE TABLANEV = 'FORGSOR'");
    }

    void captionInRunningText_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Termék csoportok" << "termék csoportok";
        QTest::newRow("accented capital") << "Ügyfelek címei" << "ügyfelek címei";
        QTest::newRow("abbreviation kept") << "ÁFA kulcsok" << "ÁFA kulcsok";
        QTest::newRow("blanks") << "  Bérleti   tétel " << "bérleti tétel";
        QTest::newRow("none") << "" << "";
    }
    void captionInRunningText() {
        QFETCH(QString, caption);
        QFETCH(QString, expected);
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES) VALUES ('T_CAPTION', :m)", {{"m", caption}});
        QCOMPARE(CaptionInText(c, "T_CAPTION"), expected);
        c.exec("DELETE FROM TABLAK WHERE TABLANEV = 'T_CAPTION'");
        QCOMPARE(CaptionInText(c, "T_CAPTION"), QString());
    }

    void keyConditionUsesIsNullForANullOldValue() {
        auto& c = fwtest::Db::conn();
        c.exec("CREATE TABLE T_NOPK (A VARCHAR(10), B VARCHAR(10), C VARCHAR(10))");
        c.exec("INSERT INTO T_NOPK (A, B, C) VALUES ('x', NULL, 'régi')");
        c.exec("INSERT INTO T_NOPK (A, B, C) VALUES ('x', 'y', 'régi')");
        EditorCore core = open("T_NOPK");
        QVERIFY(!core.hasPrimaryKey());
        QCOMPARE(core.keyColumns(), QStringList({"A", "B", "C"}));
        const QString sql = core.updateSql({"C"}, {false, true, false});
        QCOMPARE(sql, QStringLiteral("UPDATE T_NOPK SET C = :p0 WHERE A = :old_0 AND B IS NULL AND C = :old_2"));
        RowSet rs = core.browse(c);
        int row = -1;
        for (int r = 0; r < rs.rowCount(); ++r)
            if (rs.at(r, rs.indexOf("B")).isNull()) row = r;
        QVERIFY(row >= 0);
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"A", "x"}, {"B", ""}, {"C", "új"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Saved);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM T_NOPK WHERE C = 'új' AND B IS NULL"), 1);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM T_NOPK WHERE C = 'régi' AND B = 'y'"), 1);
        // Without a primary key nothing is deleted.
        rs = core.browse(c);
        QCOMPARE(core.remove(c, nullptr, fwtest::session(), rs, 0).message, QStringLiteral("Nem törölhet elsődleges kulcs nélküli táblából"));
    }

    void updateOfAVanishedRowIsAConflict() {
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO SZ_BERMOD (KOD, NEV, KOTNAP) VALUES ('EL', 'Eltűnő', 'N')");
        EditorCore core = open("SZ_BERMOD");
        RowSet rs = core.browse(c);
        const int row = core.locate(rs, {QStringLiteral("EL")});
        c.exec("DELETE FROM SZ_BERMOD WHERE KOD = 'EL'");
        const qint64 doku = fwtest::Db::dokuCount();
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "EL"}, {"NEV", "Más"}, {"KOTNAP", "N"}}, &rs, row);
        QCOMPARE(r.status, SaveResult::Conflict);
        QVERIFY(r.message.startsWith("Nem sikerült a módosítás.\nValaki törölte a tételt, vagy átírta a kulcsot."));
        QCOMPARE(fwtest::Db::dokuCount(), doku);
    }

    void changeLogSharesTheTransaction() {
        // A change log that cannot be written takes the change with it.
        auto& c = fwtest::Db::conn();
        c.exec("CREATE EXCEPTION E_NOLOG 'nincs napló'");
        c.exec("CREATE TRIGGER DOKU_TEST FOR DOKU ACTIVE BEFORE INSERT AS BEGIN "
               "IF (NEW.MEZO = 'KP' AND NEW.MIRE = 'E') THEN EXCEPTION E_NOLOG; END");
        EditorCore core = open("SZ_FIZMOD");
        const qint64 doku = fwtest::Db::dokuCount();
        const SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "CSE"}, {"NEV", "Csekk"}, {"KP", "E"}});
        QCOMPARE(r.status, SaveResult::Failed);
        QVERIFY2(r.message.startsWith("Hiba történt tárolás közben, az adatbázis nem változott:\n"), qPrintable(r.message));
        QVERIFY(r.message.contains("nincs napló"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM SZ_FIZMOD WHERE KOD = 'CSE'"), 0);
        QCOMPARE(fwtest::Db::dokuCount(), doku);
        c.exec("DROP TRIGGER DOKU_TEST");
    }

    void passwordsAreHashedAndNeverLogged() {
        auto& c = fwtest::Db::conn();
        EditorCore core = open("SZ_JUZER");
        SaveResult r = core.save(c, nullptr, fwtest::session(), EditMode::Insert, {{"KOD", "KV"}, {"NEV", "kovacs"}, {"JELSZO", "Titok'1"}, {"JOGOK", "AB"}, {"AKTIV", "I"}});
        QCOMPARE(r.status, SaveResult::Saved);
        const QString stored = fwtest::Db::text("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'KV'");
        QVERIFY(vl::shell::IsPasswordHash(stored));
        QVERIFY(vl::shell::PasswordMatches(stored, "titok'1"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE TABLA = 'SZ_JUZER' AND MEZO = 'JELSZO' AND MIROL IS NULL AND MIRE IS NULL"), 1);
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE MIRE CONTAINING 'Titok' OR MIRE CONTAINING '$argon'"), 0);
        RowSet rs = core.browse(c);
        QVERIFY(!rs.hasColumn("JELSZO"));
        const int row = core.locate(rs, {QStringLiteral("KV")});
        // An empty password keeps the stored one; a typed one replaces it.
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "KV"}, {"NEV", "kovacs2"}, {"JELSZO", ""}, {"JOGOK", "AB"}, {"AKTIV", "I"}}, &rs, row).status,
                 SaveResult::Saved);
        QCOMPARE(fwtest::Db::text("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'KV'"), stored);
        rs = core.browse(c);
        QCOMPARE(core.save(c, nullptr, fwtest::session(), EditMode::Update, {{"KOD", "KV"}, {"NEV", "kovacs2"}, {"JELSZO", "uj"}, {"JOGOK", "AB"}, {"AKTIV", "I"}}, &rs,
                           core.locate(rs, {QStringLiteral("KV")})).status,
                 SaveResult::Saved);
        QVERIFY(vl::shell::PasswordMatches(fwtest::Db::text("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'KV'"), "UJ"));
        QCOMPARE(fwtest::Db::count("SELECT COUNT(*) FROM DOKU WHERE MIRE CONTAINING '$argon' OR MIROL CONTAINING '$argon'"), 0);
    }

    // The row a choice hands on: read by its key (a null key part as IS NULL),
    // every column but the password ones, whichever way a column is one (the
    // users' password, the company's FTP password, a field the panel marks,
    // the panel named otherwise than its table).
    void chosenRecordReadsTheKeyRowWithoutPasswords_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QVariantList>("key");
        QTest::addColumn<QStringList>("expected"); // NAME=value per column
        QTest::newRow("user") << "SZ_JUZER" << "SZ_JUZER" << QVariantList{"CHK"}
                              << QStringList{"KOD=CHK", "NEV=Választó Vera", "JOGOK=AB", "AKTIV=I"};
        // The FTP passwords are no field of the company's panel: still never handed on.
        QTest::newRow("company") << "CEG" << "CEG" << QVariantList{"VL"} << QStringList{"KOD=VL", "NEV=Próba Kft."};
        QTest::newRow("panel's password field") << "T_VALASZT" << "P_VALASZT" << QVariantList{"K1", "x", "Első"}
                                                << QStringList{"KOD=K1", "AL=x", "NEV=Első"};
        QTest::newRow("null key part") << "T_VALASZT" << "P_VALASZT" << QVariantList{"K1", QVariant(), "Null al"}
                                       << QStringList{"KOD=K1", "AL=", "NEV=Null al"};
        QTest::newRow("row gone") << "T_VALASZT" << "P_VALASZT" << QVariantList{"NINCS", "x", "Első"} << QStringList{};
    }
    void chosenRecordReadsTheKeyRowWithoutPasswords() {
        QFETCH(QString, table);
        QFETCH(QString, panel);
        QFETCH(QVariantList, key);
        QFETCH(QStringList, expected);
        auto& c = fwtest::Db::conn();
        if (fwtest::Db::count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'T_VALASZT'") == 0) {
            // No primary key: every plain column but the password one identifies the row.
            c.exec("CREATE TABLE T_VALASZT (KOD VARCHAR(10), AL VARCHAR(10), TITOK VARCHAR(20), NEV VARCHAR(30))");
            c.exec("INSERT INTO T_VALASZT VALUES ('K1', 'x', 'titok-1', 'Első')");
            c.exec("INSERT INTO T_VALASZT VALUES ('K1', NULL, 'titok-2', 'Null al')");
            c.exec("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES) VALUES ('P_VALASZT', 1, 'KOD', 'Kód')");
            c.exec("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES) VALUES ('P_VALASZT', 2, 'AL', 'Al')");
            c.exec("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES, PWDCHAR) VALUES ('P_VALASZT', 3, 'TITOK', 'Titok', '*')");
            c.exec("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, MEGNEVEZES) VALUES ('P_VALASZT', 4, 'NEV', 'Név')");
            c.exec("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) VALUES ('CHK', 'Választó Vera', 'nem-olvasható', 'AB', 'I')");
            c.exec("UPDATE CEG SET FTPPWDID = 'ftp-titok', FTP_PASSWORD = 'ftp-titok2'");
        }
        EditorCore core;
        QVERIFY(core.open(c, table, panel));
        QStringList got;
        for (const auto& f : core.readChosenRecord(c, key)) {
            QVERIFY2(!core.isPassword(f.FieldName), qPrintable(f.FieldName));
            QVERIFY(!f.FieldType.isEmpty());
            // Of the shell's tables only the columns of the fixture are compared.
            if (table != "T_VALASZT" && !QStringList({"KOD", "NEV", "JOGOK", "AKTIV"}).contains(f.FieldName)) continue;
            got << f.FieldName + "=" + f.FieldValue.toString();
        }
        QCOMPARE(got, expected);
        // The same test decides for the editor's panel and browse.
        for (const PanelField& f : core.fields()) QCOMPARE(f.password, core.isPassword(f.name));
        for (const QString& col : core.selectList()) QVERIFY(!core.isPassword(col));
        if (table == "CEG") QVERIFY(core.isPassword("FTPPWDID") && core.isPassword("FTP_PASSWORD"));
        if (table == "SZ_JUZER") QVERIFY(core.isPassword("JELSZO"));
        if (table == "T_VALASZT") QVERIFY(core.isPassword("TITOK") && core.keyColumns() == QStringList({"KOD", "AL", "NEV"}));
    }

    void activeFilterKeepsTheCallersOrInParentheses() {
        auto& c = fwtest::Db::conn();
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('A1', 'Aktív Antal', 'I')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('B2', 'Passzív Béla', 'N')");
        c.exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('C3', 'Cecília', 'I')");
        EditorCore core = open("SZ_SOFOR");
        core.where = PlainCondition("WHERE KOD = 'A1' OR KOD = 'B2'");
        core.activeOnly = true;
        vl::db::Params p;
        QVERIFY(core.browseSql(&p).contains("WHERE (KOD = 'A1' OR KOD = 'B2') AND (AKTIV='I' and not AKTIV is null)"));
        RowSet rs = core.browse(c);
        QCOMPARE(rs.rowCount(), 1);
        core.activeOnly = false;
        rs = core.browse(c);
        QCOMPARE(rs.rowCount(), 2);
        c.exec("DELETE FROM SZ_SOFOR WHERE KOD IN ('A1', 'B2', 'C3')");
    }
};

QTEST_GUILESS_MAIN(TstRules)
#include "tst_rules.moc"
