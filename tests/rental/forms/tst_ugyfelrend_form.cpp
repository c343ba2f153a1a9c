// The orders workspace on a demonstration database, controls found by
// objectName: node 26 with no customer and closed lists, the chooser's
// filters, a loaded customer and its sites, the modes and "Vissza", the exact
// texts of the checks, the new-line question that opens contract entry, and a
// line stored from the panel with its summary. A picture of a loaded
// customer is left in out/.
#include "GuiTestSupport.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tugyfelrendfm.h"
#include "rental/DemoData.h"
#include "FormRegistry.h"
#include "shell/Dm.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <tuple>

using vl::rental::Tugyfelrendfm;
using vl::shell::dm;

namespace {

qint64 count(const QString& sql, const vl::db::Params& p = {}) {
    return dm().d_alap().query(sql, p).at(0, 0).toLongLong();
}
QString text(const QString& sql, const vl::db::Params& p = {}) {
    const auto rs = dm().d_alap().query(sql, p);
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

} // namespace

class TstUgyfelrendForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;
    QList<QVariantMap> contractEntryCalls_;

    // The customer of the most open lines, and its site of a modifiable contract.
    QString busyCustomer() {
        return text("SELECT FIRST 1 F.UGYFELKOD FROM FORGFEJ F JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT"
                    " WHERE F.AKTIV = 'I' AND F.STATUS = 'FO' GROUP BY F.UGYFELKOD ORDER BY COUNT(*) DESC, 1");
    }
    Tugyfelrendfm& shown(const QString& customer, const QString& site = QString()) {
        Tugyfelrendfm& f = vl::rental::OrdersWorkspaceForm();
        f.CustomerKey = customer;
        f.SiteKey = site;
        f.ActivityDate = "2026.03.15";
        [&] { QVERIFY(f.FormShow()); }();
        f.show();
        return f;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        const QString path = vltest::createDatabase(demo_.filePath("demo.fdb"));
        {
            auto conn = vltest::open(path);
            vl::rental::DemoData::create(*conn, nullptr);
            conn->close();
        }
        vltest::writeText1250(demo_.filePath("PKR.INI"), "DBSERVER=" + path + "\r\nWPWD=NONE\r\n");
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        QDir::setCurrent(demo_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad("PKR.INI", true));
        QVERIFY(dm().ConnectDatabase());
        main_ = std::make_unique<vl::shell::Tmain_pkrfm>();
        main_->setAutoStart(false);
        vl::gui::registerAll(*main_);
        vl::shell::FormRegistry::instance().registerForm("Tszerzfelfm", [this](QWidget*, const QVariantMap& p) {
            contractEntryCalls_ << p;
            return vl::shell::FormResult{};
        });
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
        contractEntryCalls_.clear();
    }
    void cleanup() {
        Tugyfelrendfm& f = vl::rental::OrdersWorkspaceForm();
        for (QPushButton* b : {f.b_cimmegsem, f.b_ugyfelmegsem, f.b_megsemcsop}) b->click();
        if (f.isVisible()) f.b_vissza->click();
    }
    void cleanupTestCase() {
        main_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    // Node 26: no customer, every order list closed, "Vissza" closes.
    void node26OpensEmpty() {
        QVERIFY(main_->hasHandler(26));
        // What the modal form showed, read inside its loop; compared after it closed.
        QStringList seen;
        bool stillOpen = true;
        vltest::whenShown("Tugyfelrendfm", [&](QWidget* w) {
            auto* f = static_cast<Tugyfelrendfm*>(w);
            seen << f->windowTitle() << f->CustomerKey << QString::number(f->cbx_ugyfelnev->currentIndex())
                 << f->e_nev->text() << QString::number(f->dbg_csop->model()->rowCount())
                 << QString::number(f->lines().rowCount()) << QString::number(f->products().rowCount())
                 << QString::number(f->b_addcsop->isEnabled()) << QString::number(f->b_modcsop->isEnabled())
                 << QString::number(f->b_ugyfelmod->isEnabled()) << QString::number(f->sb_data->isEnabled())
                 << QString::number(f->cbx_sz_statusr->currentIndex()) << f->pc_tev->tabText(2)
                 << f->cb_ugyfelcim->itemText(0);
            f->b_vissza->click();
            stillOpen = f->isVisible();
        });
        main_->dispatch(26);
        QCOMPARE(seen, (QStringList{"Ügyfél megrendelései", "", "-1", "", "0", "0", "0", "0", "0", "0", "0", "1",
                                    "Tevékenységek " + vl::util::TodayStr() + "-ig", "Minden szállítási cím"}));
        QVERIFY(!stillOpen);
        QVERIFY(!vl::rental::OrdersWorkspaceForm().isVisible());
    }

    // Neither box: every customer; "Aktív": only the active ones; "Van
    // folyamatban bérlés": only those with a contract in progress; both: both.
    // Two rows of their own tell the cases apart (the demonstration's customers
    // are all active): an inactive customer with a contract in progress and an
    // active one without any contract.
    void chooserFilters_data() {
        QTest::addColumn<bool>("aktiv");
        QTest::addColumn<bool>("berles");
        QTest::addColumn<bool>("sleeping");   // "Szunnyadó Kft." listed: inactive, contract in progress
        QTest::addColumn<bool>("idle");       // "Tétlen Bt." listed: active, no contract
        QTest::newRow("neither") << false << false << true << true;
        QTest::newRow("active") << true << false << false << true;
        QTest::newRow("in progress") << false << true << true << false;
        QTest::newRow("both") << true << true << false << false;
    }
    void chooserFilters() {
        QFETCH(bool, aktiv);
        QFETCH(bool, berles);
        QFETCH(bool, sleeping);
        QFETCH(bool, idle);
        auto& c = dm().d_alap();
        c.exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV) VALUES ('9801', 'Szunnyadó Kft.', 'KP', 'N')");
        c.exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV) VALUES ('9802', 'Tétlen Bt.', 'KP', 'I')");
        c.exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD)"
               " VALUES (99801, 1, 'I', 'FO', 'HT', 'KP', '2026.03.02', '9801')");
        const qint64 all = count("SELECT COUNT(*) FROM UGYFEL");
        Tugyfelrendfm& f = shown(QString());
        f.cb_aktiv->setChecked(false);
        f.cb_berles->setChecked(false);
        f.RefreshCustomerChooser();
        QCOMPARE(f.cbx_ugyfelnev->count(), int(all));
        if (aktiv) f.cb_aktiv->click();
        if (berles) f.cb_berles->click();
        QCOMPARE(f.cb_aktiv->isChecked(), aktiv);
        QCOMPARE(f.cb_berles->isChecked(), berles);
        QCOMPARE(f.cbx_ugyfelnev->findText("Szunnyadó Kft.") >= 0, sleeping);
        QCOMPARE(f.cbx_ugyfelnev->findText("Tétlen Bt.") >= 0, idle);
        // A busy active customer stays in every case.
        QVERIFY(f.cbx_ugyfelnev->findText(text("SELECT NEV FROM UGYFEL WHERE KOD = :k", {{"k", busyCustomer()}})) >= 0);
        if (!aktiv && !berles) QCOMPARE(f.cbx_ugyfelnev->count(), int(all));
        else QVERIFY(f.cbx_ugyfelnev->count() < int(all));
        c.exec("DELETE FROM FORGFEJ WHERE BIZONYLAT = 99801");
        c.exec("DELETE FROM UGYFEL WHERE KOD IN ('9801', '9802')");
        f.cb_aktiv->setChecked(true);
        f.cb_berles->setChecked(false);
        f.RefreshCustomerChooser();
    }

    // Choosing a customer by name loads it and its lines; a site filters them; the line list moves the site.
    void loadedCustomerAndSites() {
        Tugyfelrendfm& f = shown(QString());
        const QString key = busyCustomer();
        const QString name = text("SELECT NEV FROM UGYFEL WHERE KOD = :k", {{"k", key}});
        const int i = f.cbx_ugyfelnev->findText(name);
        QVERIFY(i >= 0);
        f.cbx_ugyfelnev->setCurrentIndex(i);
        emit f.cbx_ugyfelnev->activated(i);
        QCOMPARE(f.CustomerKey, key);
        QCOMPARE(f.e_nev->text(), name);
        QCOMPARE(f.l_ugyfelkod->text(), key);
        const qint64 sites = count("SELECT COUNT(*) FROM UGYFELCIM WHERE UGYFELKOD = :k", {{"k", key}});
        QCOMPARE(f.cb_ugyfelcim->count(), int(sites + 1));
        QCOMPARE(f.cb_ugyfelcim->currentIndex(), 1);   // the first site chosen
        // "Összes" status: every open line of the site; "Minden szállítási
        // cím": every open line of the customer. Three contracts of its own at
        // the site tell the cases apart: a cancelled and an inactive one are
        // not listed, one in progress is.
        const QString siteKey = f.SiteKey;
        auto reload = [&](int site) {
            f.cb_ugyfelcim->setCurrentIndex(site);
            emit f.cb_ugyfelcim->activated(site);
            f.cbx_sz_statusr->setCurrentIndex(0);
            emit f.cbx_sz_statusr->activated(0);
            return f.lines().rowCount();
        };
        const int siteBefore = reload(1), allBefore = reload(0);
        QVERIFY(siteBefore > 0 && allBefore >= siteBefore);
        for (const auto& [b, aktiv, status] : {std::tuple{99811, "I", "X"}, {99812, "N", "FO"}, {99813, "I", "FO"}}) {
            dm().d_alap().exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                               " UGYFELCIM) VALUES (:b, 1, :a, :st, 'HT', 'KP', '2026.03.02', :k, :s)",
                               {{"b", b}, {"a", QString::fromLatin1(aktiv)}, {"st", QString::fromLatin1(status)},
                                {"k", key}, {"s", siteKey}});
            dm().d_alap().exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG)"
                               " VALUES (:b, 1, 1, 'ALAP', 1, 0)", {{"b", b}});
        }
        QCOMPARE(reload(1), siteBefore + 1);
        QCOMPARE(f.SiteKey, siteKey);
        QCOMPARE(reload(0), allBefore + 1);
        dm().d_alap().exec("DELETE FROM FORGSOR WHERE BIZONYLAT IN (99811, 99812, 99813)");
        dm().d_alap().exec("DELETE FROM FORGFEJ WHERE BIZONYLAT IN (99811, 99812, 99813)");
        // The site fields follow the current line.
        QCOMPARE(reload(0), allBefore);
        const int last = f.lines().rowCount() - 1;
        f.setCurrentLineRow(last);
        const QString lineSite = f.lines().at(last, f.lines().indexOf("UGYFELCIM")).toString().trimmed();
        QCOMPARE(f.l_ugyfelcim->text(), lineSite);
        QCOMPARE(f.cb_ugyfelcim->currentIndex(), 0);
        QCOMPARE(f.e_kiszall->text(), f.lines().at(last, f.lines().indexOf("KISZALL")).toString().trimmed());
        // The product list stands on the line's first product.
        const int p = f.currentProductRow();
        QVERIFY(p >= 0);
        QCOMPARE(f.products().at(p, f.products().indexOf("TETELSOR")).toLongLong(),
                 f.lines().at(last, f.lines().indexOf("TETELSOR")).toLongLong());
        // "Összevont": two columns.
        f.rb_szum->click();
        QCOMPARE(f.dbg_csop->model()->columnCount(), 2);
        f.rb_teteles->click();
        QCOMPARE(f.dbg_csop->model()->columnCount(), 8);

        f.resize(1280, 800);
        const QString out = QStringLiteral(VL_OUT_DIR);
        QDir().mkpath(out);
        QVERIFY(f.grab().save(out + "/ugyfelrend_loaded.png"));
    }

    // "Vissza" names the site first, then the customer, then the line; the form stays.
    void modesAndVissza() {
        Tugyfelrendfm& f = shown(busyCustomer());
        f.b_ugyfelmod->click();
        QCOMPARE(f.customerMode, QString("update"));
        QVERIFY(f.sb_data->isEnabled());
        QVERIFY(!f.p_termekek->isEnabled());
        f.b_ugyfelmegsem->click();
        f.b_cimmod->click();
        QCOMPARE(f.siteMode, QString("update"));
        f.b_ugyfelmod->click();
        f.b_vissza->click();
        QCOMPARE(sink_.messages.last().second, QString("Cím adat felvitel közben van. Tárolja, vagy dobja el!"));
        QVERIFY(f.isVisible());
        // While the customer is edited the site panel is locked: its edit is cancelled after.
        QVERIFY(!f.p_ugyfelcim->isEnabled());
        f.b_ugyfelmegsem->click();
        f.b_cimmegsem->click();
        QCOMPARE(f.siteMode, QString("browse"));
        f.b_ugyfelmod->click();
        f.b_vissza->click();
        QCOMPARE(sink_.messages.last().second, QString("Ügyfél adat felvitel közben van. Tárolja, vagy dobja el!"));
        f.b_ugyfelmegsem->click();
        f.b_modcsop->click();
        QCOMPARE(f.lineMode, QString("update"));
        QVERIFY(f.b_tarolcsop->isEnabled());
        QVERIFY(!f.b_addcsop->isEnabled());
        f.b_vissza->click();
        QCOMPARE(sink_.messages.last().second,
                 QString("Termék típus adat felvitel közben van. Tárolja, vagy dobja el!"));
        QVERIFY(f.isVisible());
        f.b_megsemcsop->click();
        f.b_vissza->click();
        QVERIFY(!f.isVisible());
    }

    // The customer and then its site changed on another desk while this
    // panel edits them: the store is refused with the changed-elsewhere
    // text, nothing of this desk is written, the panel shows the stored row.
    void changedOnAnotherDesk() {
        const QString changed = QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok frissültek, "
                                               "kérem, ismételje meg a műveletet.");
        Tugyfelrendfm& f = shown(busyCustomer());
        const QString key = f.CustomerKey;
        f.b_ugyfelmod->click();
        f.e_telefon->setText("+36 1 111 1111");
        dm().d_alap().exec("UPDATE UGYFEL SET TELEFON = '+36 1 222 2222' WHERE KOD = :k", {{"k", key}});
        f.b_ugyfeltar->click();
        QCOMPARE(sink_.messages.last().second, changed);
        QCOMPARE(f.customerMode, QString("browse"));
        QCOMPARE(f.e_telefon->text(), QString("+36 1 222 2222"));
        QCOMPARE(text("SELECT TELEFON FROM UGYFEL WHERE KOD = :k", {{"k", key}}), QString("+36 1 222 2222"));
        // Read again, it stores.
        f.b_ugyfelmod->click();
        f.e_telefon->setText("+36 1 111 1111");
        f.b_ugyfeltar->click();
        QCOMPARE(f.customerMode, QString("browse"));
        QCOMPARE(text("SELECT TELEFON FROM UGYFEL WHERE KOD = :k", {{"k", key}}), QString("+36 1 111 1111"));

        const QString site = f.SiteKey;
        QVERIFY(!site.isEmpty());
        f.b_cimmod->click();
        f.e_cimtelefon->setText("+36 30 111 1111");
        dm().d_alap().exec("UPDATE UGYFELCIM SET TELEFON = '+36 30 222 2222' WHERE KOD = :k", {{"k", site}});
        f.b_cimtarol->click();
        QCOMPARE(sink_.messages.last().second, changed);
        QCOMPARE(f.siteMode, QString("browse"));
        QCOMPARE(f.SiteKey, site);
        QCOMPARE(f.e_cimtelefon->text(), QString("+36 30 222 2222"));
        QCOMPARE(text("SELECT TELEFON FROM UGYFELCIM WHERE KOD = :k", {{"k", site}}), QString("+36 30 222 2222"));
    }

    // The checks' exact texts; what was typed stays, nothing is written.
    void validationTexts() {
        Tugyfelrendfm& f = shown(busyCustomer());
        f.b_ugyfelmod->click();
        const QString oldName = f.e_nev->text();
        f.e_nev->clear();
        f.e_telefon->clear();
        f.e_mobiltel->clear();
        f.b_ugyfeltar->click();
        QCOMPARE(sink_.messages.last().second,
                 QString("Az ügyfél adatokban az alábbi hibák vannak:\n\nAz ügyfél neve nem lehet üres\n"
                         "Mindkét telefonszám nem lehet üres\n"));
        QCOMPARE(f.customerMode, QString("update"));
        QCOMPARE(text("SELECT NEV FROM UGYFEL WHERE KOD = :k", {{"k", f.CustomerKey}}), oldName);
        f.b_ugyfelmegsem->click();

        const QString before = text("SELECT LIST(MENNYISEG || KISZALL, ',') FROM FORGSOR");
        f.b_modcsop->click();
        f.e_kiszall->clear();
        f.e_mennyiseg->setText("0");
        f.b_tarolcsop->click();
        QCOMPARE(sink_.messages.last().second, QString("Az adatokban az alábbi hibák vannak:\nNincs a kiszállítás napja megadva"));
        QCOMPARE(f.lineMode, QString("update"));
        QCOMPARE(f.e_mennyiseg->text(), QString("0"));
        f.e_kiszall->setText("2026.02.30");
        f.b_tarolcsop->click();
        QCOMPARE(sink_.messages.last().second, QString("Az adatokban az alábbi hibák vannak:\nHibás dátum: kiszállítás napja"));
        f.e_kiszall->setText("20260302");
        f.b_tarolcsop->click();
        QCOMPARE(sink_.messages.last().second,
                 QString("A termékcsoport adatokban az alábbi hibák vannak:\nA darabszám értelmetlen"));
        QCOMPARE(text("SELECT LIST(MENNYISEG || KISZALL, ',') FROM FORGSOR"), before);
    }

    // The spin buttons: a count stops at 9; a day switched on takes the group's visit price.
    void scheduleSpins() {
        Tugyfelrendfm& f = shown(busyCustomer());
        f.b_modcsop->click();
        f.e_csop[6]->setText(" ");
        f.e_csopar[6]->clear();
        f.SpinUp(7);
        QCOMPARE(f.e_csop[6]->text(), QString("1"));
        QVERIFY(!f.e_csopar[6]->text().isEmpty());
        for (int i = 0; i < 12; ++i) f.SpinUp(7);
        QCOMPARE(f.e_csop[6]->text(), QString("9"));
        for (int i = 0; i < 12; ++i) f.SpinDown(7);
        QCOMPARE(f.e_csop[6]->text(), QString(" "));
        f.b_megsemcsop->click();
    }

    // A site without a modifiable contract: the question, and on "Igen" contract entry for a new contract.
    void newLineQuestionOpensContractEntry() {
        const QString key = text("SELECT FIRST 1 C.UGYFELKOD FROM UGYFELCIM C WHERE NOT EXISTS (SELECT 1 FROM FORGFEJ F"
                                 " WHERE F.UGYFELCIM = C.KOD) ORDER BY 1");
        QVERIFY(!key.isEmpty());
        const QString site = text("SELECT FIRST 1 C.KOD FROM UGYFELCIM C WHERE C.UGYFELKOD = :k AND NOT EXISTS"
                                  " (SELECT 1 FROM FORGFEJ F WHERE F.UGYFELCIM = C.KOD)", {{"k", key}});
        Tugyfelrendfm& f = shown(key, site);
        QCOMPARE(f.SiteKey, site);
        QVERIFY(f.b_addcsop->isEnabled());
        sink_.answers << 1;   // "Nem"
        f.b_addcsop->click();
        QCOMPARE(sink_.last(), QString("Az ügyfélnek nincs aktív rendelése. Indítsuk a \"Bérletbe kiadás\" menüpontot?"));
        QVERIFY(contractEntryCalls_.isEmpty());
        sink_.answers << 0;   // "Igen"
        f.b_addcsop->click();
        QCOMPARE(contractEntryCalls_.size(), 1);
        const QVariantMap p = contractEntryCalls_.first();
        QCOMPARE(p.value("Mode").toString(), QString("insert"));
        QCOMPARE(p.value("Contract").toLongLong(), qint64(-1));
        QCOMPARE(p.value("Version").toInt(), 0);
        QCOMPARE(p.value("CustomerKey").toString(), key);
        QCOMPARE(p.value("SiteKey").toString(), site);
        QCOMPARE(f.lineMode, QString("browse"));
    }

    // A line changed from the panel: stored, the lists reloaded, the summary shown.
    void storeLineFromPanel() {
        Tugyfelrendfm& f = shown(busyCustomer());
        QVERIFY(f.lines().rowCount() > 0);
        int row = -1;
        for (int r = 0; r < f.lines().rowCount() && row < 0; ++r)
            if (f.lines().at(r, f.lines().indexOf("MODOSITHATO")).toString().trimmed() == "I") row = r;
        QVERIFY(row >= 0);
        f.setCurrentLineRow(row);
        const qint64 b = f.lines().at(row, f.lines().indexOf("BIZONYLAT")).toLongLong();
        const qint64 t = f.lines().at(row, f.lines().indexOf("TETELSOR")).toLongLong();
        const qint64 items = count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = :t", {{"b", b}, {"t", t}});
        f.b_modcsop->click();
        f.e_mennyiseg->setText(QString::number(items + 1));
        sink_.answers << 0 << 0;
        f.b_tarolcsop->click();
        QCOMPARE(f.lineMode, QString("browse"));
        QCOMPARE(count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = :t", {{"b", b}, {"t", t}}), items + 1);
        QVERIFY2(sink_.messages.last().second.startsWith("Karbantartás: "), qPrintable(sink_.messages.last().second));
        QCOMPARE(f.lines().at(f.currentLineRow(), f.lines().indexOf("TETELSOR")).toLongLong(), t);
        // Lowering is refused with the rule's text.
        f.b_modcsop->click();
        f.e_mennyiseg->setText("1");
        f.b_tarolcsop->click();
        QCOMPARE(sink_.messages.last().second,
                 QString("A mennyiség itt nem csökkenthető. Törölje a terméket a \"Termékek\" fülön!"));
        f.b_megsemcsop->click();
    }

    // A customer store keeps NEV2; a payment mode of another cash flag moves the running contracts with it.
    void customerStoreKeepsNev2AndMovesPaymentMode() {
        const QString key = text("SELECT FIRST 1 F.UGYFELKOD FROM FORGFEJ F JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
                                 " WHERE F.STATUS = 'FO' AND F.AKTIV = 'I' AND U.FIZMOD = 'KP' ORDER BY 1");
        QVERIFY(!key.isEmpty());
        dm().d_alap().exec("UPDATE UGYFEL SET NEV2 = 'Második sor ''idézőjellel''' WHERE KOD = :k", {{"k", key}});
        Tugyfelrendfm& f = shown(key);
        f.b_ugyfelmod->click();
        f.e_telefon->setText("+36 1 555 9999");
        f.cb_fizmod->setCurrentIndex(f.cb_fizmod->findText("Átutalás"));
        sink_.answers << 0;
        f.b_ugyfeltar->click();
        QCOMPARE(f.customerMode, QString("browse"));
        QCOMPARE(text("SELECT NEV2 || '/' || TELEFON || '/' || FIZMOD FROM UGYFEL WHERE KOD = :k", {{"k", key}}),
                 QString("Második sor 'idézőjellel'/+36 1 555 9999/ATU"));
        QCOMPARE(count("SELECT COUNT(*) FROM FORGFEJ F JOIN SZ_STATUSR S ON S.KOD = F.STATUS WHERE F.UGYFELKOD = :k"
                       " AND F.AKTIV = 'I' AND S.MODOSITHATO = 'I' AND F.FIZMOD <> 'ATU'", {{"k", key}}), qint64(0));
        QCOMPARE(count("SELECT COUNT(*) FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT WHERE F.UGYFELKOD = :k"
                       " AND F.STATUS = 'FO' AND T.TEVALLAPOT = 'T' AND KEZI IS DISTINCT FROM 'I'", {{"k", key}}), qint64(0));
    }

    // A customer that a cancelled contract names is not deleted.
    void customerOfCancelledContractStays() {
        const QString key = busyCustomer();
        dm().d_alap().exec("INSERT INTO UGYFEL (KOD, NEV, FIZMOD, AKTIV) VALUES ('9999', 'Sztornós Kft.', 'KP', 'I')");
        dm().d_alap().exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD)"
                           " VALUES (99999, 1, 'I', 'X', 'HT', 'KP', '2026.03.02', '9999')");
        Tugyfelrendfm& f = shown("9999");
        sink_.answers << 0;
        f.b_ugyfeltorles->click();
        QCOMPARE(sink_.messages.last().second, QString("Nem törölhető az ügyfél, mert volt szerződése"));
        QCOMPARE(count("SELECT COUNT(*) FROM UGYFEL WHERE KOD = '9999'"), qint64(1));
        Q_UNUSED(key);
    }
};

QTEST_MAIN(TstUgyfelrendForm)
#include "tst_ugyfelrend_form.moc"
