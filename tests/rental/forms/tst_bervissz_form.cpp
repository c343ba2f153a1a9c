// The rental lookup on the screen (headless), controls found by objectName:
// what showing it fills, loading, the sort change that keeps the position,
// the colours, the refusals shown, the questions asked and answered, and the
// forms it opens by name.
#include "GuiTestSupport.h"
#include "Tbervisszfm.h"
#include "FormRegistry.h"
#include "Tmain_pkrfm.h"
#include "rental/ContractSearch.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Colors.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using vl::rental::Tbervisszfm;
using vl::rental::ContractSearch;
using vl::shell::dm;

namespace {

struct Opened {
    QString name;
    QVariantMap params;
};

} // namespace

class TstBervisszForm : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    QList<Opened> opened_;
    std::unique_ptr<Tbervisszfm> f_;

    template <class T>
    T* child(const char* name) {
        T* w = f_->findChild<T*>(QString::fromLatin1(name));
        if (!w) qWarning("missing control %s", name);
        return w;
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    QList<qint64> listed() {
        QList<qint64> l;
        const auto& rs = f_->model()->rowSet();
        const int c = rs.indexOf(QStringLiteral("BIZONYLAT"));
        for (int r = 0; r < rs.rowCount(); ++r) l << rs.at(r, c).toLongLong();
        return l;
    }
    qint64 current() { return f_->currentRow().value(QStringLiteral("BIZONYLAT")).toLongLong(); }
    void exec(const QString& sql, const vl::db::Params& p = {}) { dm().d_alap().exec(sql, p); }
    void recordOpen(const QString& name) {
        vl::shell::FormRegistry::instance().registerForm(name, [this, name](QWidget*, const QVariantMap& params) {
            opened_.append({name, params});
            return vl::shell::FormResult{};
        });
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        QVERIFY(dir_.isValid());
        const QString path = vltest::createDatabase(dir_.filePath(QStringLiteral("kereses.fdb")));
        {
            auto conn = vltest::open(path);
            auto q = [&](const QString& sql, const vl::db::Params& p = {}) { conn->exec(sql, p); };
            q("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
            q("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('101', 'Ökör Kft.', 'I')");
            q("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('102', 'okos Bt.', 'I')");
            for (const auto& s : QList<QStringList>{{"1011", "101", "Telep A"}, {"1012", "101", "Telep B"},
                                                    {"1021", "102", "Raktár"}})
                q("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:k, :u, :n, '1111',"
                  " 'Budapest', 'Fő utca 1.')",
                  {{"k", s[0]}, {"u", s[1]}, {"n", s[2]}});
            const QList<QStringList> heads = {
                {"1", "101", "1011", "HT", "FO", "2026.01.10", ""},
                {"2", "101", "1012", "ALK", "LEZ", "2026.02.01", "2026.02.03"},
                {"3", "102", "1021", "HT", "X", "2026.01.05", ""},
                {"4", "102", "1021", "HT", "FO", "2026.03.01", ""}};
            for (const auto& h : heads)
                q("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG, UGYFELKOD,"
                  " UGYFELCIM, STATUSELOZO) VALUES (:b, 1, 'I', :st, :bm, 'ATU', :k, :v, :u, :c, 'FO')",
                  {{"b", h[0].toLongLong()}, {"u", h[1]}, {"c", h[2]}, {"bm", h[3]}, {"st", h[4]}, {"k", h[5]}, {"v", h[6]}});
            for (int b : {1, 4}) {
                q("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, SOFORKOD)"
                  " VALUES (:b, 1, 1, 'ALAP', 1, 0, 'S1')", {{"b", b}});
                q("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL) VALUES (:b, 1, 1, 1, :a,"
                  " '2026.01.10')", {{"b", b}, {"a", QString::number(500 + b)}});
                q("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:a, 'ALAP', 'SZA')", {{"a", QString::number(500 + b)}});
                auto tx = conn->begin();
                vl::rental::ProductStore::UpdateProductStatus(*tx, QString::number(500 + b));
                tx->commit();
            }
            // Contract 4's delivery was done: it cannot be cancelled.
            q("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT)"
              " VALUES (4, 1, 1, 1, '2026.03.01', 1, 'KIH', 'E')");
            conn->close();
        }
        vltest::writeText1250(dir_.filePath(QStringLiteral("PKR.INI")),
                              QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\nWPWD=NONE\r\n"));
        QDir::setCurrent(dir_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        QVERIFY(dm().ConnectDatabase());
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        for (const char* n : {"Tszerzfelfm", "ShowDocPrint"}) recordOpen(QString::fromLatin1(n));
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
        opened_.clear();
        f_ = std::make_unique<Tbervisszfm>();
        QVERIFY(f_->FormShow());
        f_->show();
        QVERIFY(QTest::qWaitForWindowExposed(f_.get()));
    }
    void cleanup() { f_.reset(); }
    void cleanupTestCase() {
        use_.reset();
        if (dm().isConnected()) dm().disconnect();
    }

    // What showing the form fills; the list stays empty until "Betöltés".
    void showing() {
        QCOMPARE(f_->windowTitle(), QStringLiteral("Bérletbe kiadások visszakeresése"));
        QCOMPARE(child<QPushButton>("b_keres")->text(), QStringLiteral("&Betöltés"));
        QCOMPARE(child<QPushButton>("b_storno")->text(), QStringLiteral("Stornó"));
        QCOMPARE(child<QPushButton>("b_biznyom")->text(), QStringLiteral("Átadás - átvételi bizonylat"));
        QCOMPARE(child<QPushButton>("b_folyamatba")->text(), QStringLiteral("Folyamatban levő legyen"));
        QCOMPARE(child<QCheckBox>("cb_idoszak")->isChecked(), false);
        QCOMPARE(child<QCheckBox>("cb_mindpr")->isChecked(), true);
        QCOMPARE(child<QRadioButton>("rg_idoszak_0")->isChecked(), true);
        QCOMPARE(child<QRadioButton>("rg_sorrend_0")->text(), QStringLiteral("Ügyfél, bérlet kezdete"));
        QCOMPARE(child<QLineEdit>("e_tol")->text(), vl::util::TodayStr());
        QCOMPARE(child<QLineEdit>("e_ig")->text(), vl::util::TodayStr());
        QCOMPARE(child<QComboBox>("cbx_sofor")->itemText(0), QStringLiteral("Összes"));
        QCOMPARE(child<QComboBox>("cbx_sofor")->currentIndex(), 0);
        auto* modes = child<QListWidget>("chx_bermod");
        QCOMPARE(modes->count(), 3);
        QCOMPARE(modes->item(0)->text(), QStringLiteral("Határozott idejű bérlet")); // name order, descending
        for (auto* l : {modes, child<QListWidget>("chx_statusr")})
            for (int i = 0; i < l->count(); ++i) QCOMPARE(l->item(i)->checkState(), Qt::Checked);
        const QString legend = QStringLiteral("Színek jelentése: ZÖLD = Folyamatban, SZÜRKE = Lezárt, PIROS = Sztornózott, ");
        QCOMPARE(child<QLabel>("l_szin")->text(), legend);
        QCOMPARE(f_->model()->rowCount(), 0);
        // The legend is built on the first showing only.
        exec("UPDATE SZ_STATUSR SET SZIN = 'KÉK' WHERE KOD = 'FO'");
        QVERIFY(f_->FormShow());
        exec("UPDATE SZ_STATUSR SET SZIN = 'ZÖLD' WHERE KOD = 'FO'");
        QCOMPARE(child<QLabel>("l_szin")->text(), legend);
    }

    // Loading, the colours, and a sort change that keeps the contract.
    void loadAndSort() {
        click("b_keres");
        QCOMPARE(listed(), (QList<qint64>{3, 4, 1, 2}));
        QCOMPARE(f_->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Biz.sz."));
        QCOMPARE(f_->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Project neve"));
        // Contract 3 is cancelled: red; contract 1 in progress: green.
        QCOMPARE(f_->model()->data(f_->model()->index(0, 1), Qt::ForegroundRole).value<QColor>(),
                 QColor::fromRgba(vl::util::ColorFromName(QStringLiteral("PIROS"))));
        QCOMPARE(f_->model()->data(f_->model()->index(2, 4), Qt::ForegroundRole).value<QColor>(),
                 QColor::fromRgba(vl::util::ColorFromName(QStringLiteral("ZÖLD"))));
        QVERIFY(f_->locate(1));
        QTest::mouseClick(child<QRadioButton>("rg_sorrend_5"), Qt::LeftButton);
        QCOMPARE(f_->sortOrder(), 6);
        QCOMPARE(listed(), (QList<qint64>{1, 2, 3, 4}));
        QCOMPARE(current(), qint64(1));
        QCOMPARE(f_->DBGrid1->currentIndex().row(), 0);
        QTest::mouseClick(child<QRadioButton>("rg_sorrend_3"), Qt::LeftButton);
        QCOMPARE(listed(), (QList<qint64>{3, 1, 2, 4}));
        QCOMPARE(current(), qint64(1));
        QCOMPARE(f_->DBGrid1->currentIndex().row(), 1);
        QVERIFY(sink_.messages.isEmpty());
    }

    // Each search fits the columns to the rows it found, as the view's own
    // fitting to contents would: a long name widens its column, a search
    // without it narrows the column again, no text is cut.
    void columnsFitEachSearch() {
        exec("UPDATE UGYFEL SET NEV = 'Okos Rendezvényszervező és Kabinbérlő Betéti Társaság' WHERE KOD = '102'");
        auto* grid = f_->DBGrid1;
        auto* name = child<QLineEdit>("e_ugyfel");
        const int customer = 4; // "Ügyfél"
        const auto widths = [&] {
            QList<int> w;
            for (int c = 0; c + 1 < f_->model()->columnCount(); ++c) w << grid->columnWidth(c); // the last one stretches
            return w;
        };
        name->setText(QStringLiteral("Ökör"));
        click("b_keres");
        QCOMPARE(listed(), (QList<qint64>{1, 2}));
        const QList<int> narrow = widths();
        name->clear();
        click("b_keres");
        QCOMPARE(f_->model()->rowCount(), 4);
        const QList<int> wide = widths();
        QVERIFY2(wide.at(customer) > narrow.at(customer) + 100, qPrintable(QStringLiteral("%1 %2").arg(wide.at(customer)).arg(narrow.at(customer))));
        grid->resizeColumnsToContents();
        QCOMPARE(widths(), wide);
        name->setText(QStringLiteral("Ökör"));
        click("b_keres");
        QCOMPARE(widths(), narrow);
        grid->resizeColumnsToContents();
        QCOMPARE(widths(), narrow);
        exec("UPDATE UGYFEL SET NEV = 'okos Bt.' WHERE KOD = '102'");
    }

    // An invalid period bound: the message with the text, the focus on the field, nothing loaded.
    void badDate() {
        f_->activateWindow();
        child<QCheckBox>("cb_idoszak")->setChecked(true);
        child<QLineEdit>("e_ig")->setText(QStringLiteral("2026.02.30"));
        click("b_keres");
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Hibás dátum.\n2026.02.30")});
        QCOMPARE(f_->model()->rowCount(), 0);
        QCOMPARE(f_->focusWidget(), child<QLineEdit>("e_ig"));
        // Not ticked, the period does not count.
        child<QCheckBox>("cb_idoszak")->setChecked(false);
        sink_.clear();
        click("b_keres");
        QCOMPARE(listed().size(), 4);
        QVERIFY(sink_.messages.isEmpty());
    }

    // Empty choices and letters in the number: a message and an empty list.
    void refusalsEmptyTheList_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("no mode") << "modes" << ContractSearch::NoModeText();
        QTest::newRow("no status") << "statuses" << ContractSearch::NoStatusText();
        QTest::newRow("letters in the number") << "1x" << ContractSearch::BadNumberText(QStringLiteral("1x"));
    }
    void refusalsEmptyTheList() {
        QFETCH(QString, what);
        QFETCH(QString, message);
        click("b_keres");
        QCOMPARE(listed().size(), 4);
        if (what == "modes" || what == "statuses") {
            auto* l = child<QListWidget>(what == "modes" ? "chx_bermod" : "chx_statusr");
            for (int i = 0; i < l->count(); ++i) l->item(i)->setCheckState(Qt::Unchecked);
        } else {
            child<QLineEdit>("e_bizszam")->setText(what);
        }
        click("b_keres");
        QCOMPARE(sink_.texts(), QStringList{message});
        QCOMPARE(f_->model()->rowCount(), 0);
    }

    // On an empty list the buttons do nothing.
    void emptyListButtons() {
        for (const char* b : {"b_megtekint", "b_modosit", "b_storno", "b_biznyom", "b_folyamatba"}) click(b);
        QVERIFY(sink_.messages.isEmpty());
        QVERIFY(opened_.isEmpty());
    }

    // View and modify open contract entry by name; a closed contract is not modified.
    void viewAndModify() {
        click("b_keres");
        QVERIFY(f_->locate(1));
        click("b_megtekint");
        click("b_modosit");
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(opened_[0].name, QStringLiteral("Tszerzfelfm"));
        QCOMPARE(opened_[0].params.value("Mode").toString(), QStringLiteral("view"));
        QCOMPARE(opened_[0].params.value("Contract").toLongLong(), qint64(1));
        QCOMPARE(opened_[0].params.value("Version").toInt(), 1);
        QCOMPARE(opened_[1].params.value("Mode").toString(), QStringLiteral("modify"));
        QCOMPARE(current(), qint64(1)); // reloaded, still on the contract
        QVERIFY(f_->locate(2));
        click("b_modosit");
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Lezárt szerződés nem módosítható.")});
    }

    // The handover document: from the start to the end for an occasional rental.
    void handoverDates() {
        click("b_keres");
        QVERIFY(f_->locate(2));
        click("b_biznyom");
        QVERIFY(f_->locate(1));
        click("b_biznyom");
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(opened_[0].name, QStringLiteral("ShowDocPrint"));
        QCOMPARE(opened_[0].params.value("Contract").toLongLong(), qint64(2));
        QCOMPARE(opened_[0].params.value("ActivityCode").toString(), QStringLiteral("KIH"));
        QCOMPARE(opened_[0].params.value("Date").toString(), QStringLiteral("2026.02.01"));
        QCOMPARE(opened_[0].params.value("EndDate").toString(), QStringLiteral("2026.02.03"));
        QCOMPARE(opened_[1].params.value("Date").toString(), QStringLiteral("2026.01.10"));
        QCOMPARE(opened_[1].params.value("EndDate").toString(), QStringLiteral("2026.01.10"));
    }

    // "?": the chosen customer's key (and site, for one project) filters.
    void customerChoice() {
        vl::shell::FormRegistry::instance().registerForm(QStringLiteral("Tugyfelfm"), [this](QWidget*, const QVariantMap& p) {
            opened_.append({QStringLiteral("Tugyfelfm"), p});
            vl::shell::FormResult r;
            r.accepted = true;
            r.values = {{"Selected", true},
                        {"Customer", QVariantMap{{"KOD", "101"}, {"NEV", QStringLiteral("Ökör Kft.")}}},
                        {"Site", QVariantMap{{"KOD", "1012"}, {"NEV", "Telep B"}, {"IRSZAM", "1111"}, {"VAROS", "Budapest"},
                                             {"UTCA", QStringLiteral("Fő utca 1.")}}}};
            return r;
        });
        child<QCheckBox>("cb_mindpr")->setChecked(false);
        click("b_ugyfel");
        QCOMPARE(opened_.at(0).params.value("SelectAllowed").toBool(), true);
        QCOMPARE(opened_.at(0).params.value("ShowButtons").toBool(), true);
        QCOMPARE(child<QLineEdit>("e_ugyfel")->text(), QStringLiteral("Ökör Kft."));
        QCOMPARE(child<QLineEdit>("e_projektnev")->text(), QStringLiteral("Telep B"));
        QCOMPARE(child<QLineEdit>("e_projektcim")->text(), QStringLiteral("1111 Budapest, Fő utca 1."));
        QCOMPARE(f_->chosenCustomerKey(), QStringLiteral("101"));
        click("b_keres");
        QCOMPARE(listed(), QList<qint64>{2});
        // Every project: the customer's contracts.
        child<QCheckBox>("cb_mindpr")->setChecked(true);
        click("b_keres");
        QCOMPARE(listed(), (QList<qint64>{1, 2}));
        // Typed over, the text is a prefix again.
        QTest::keyClick(child<QLineEdit>("e_ugyfel"), Qt::Key_End);
        QTest::keyClick(child<QLineEdit>("e_ugyfel"), Qt::Key_Backspace);
        QCOMPARE(f_->chosenCustomerKey(), QString());
        child<QLineEdit>("e_ugyfel")->setText(QStringLiteral("OK"));
        click("b_keres");
        QCOMPARE(listed(), (QList<qint64>{3, 4, 1, 2}));
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("Tugyfelfm"));
    }

    // "Stornó" refused after a done delivery; allowed otherwise, the list showing the change.
    void cancelFromTheList() {
        click("b_keres");
        QVERIFY(f_->locate(4));
        click("b_storno");
        QCOMPARE(sink_.texts(), QStringList{ContractSearch::DoneActivityText()});
        sink_.clear();
        QVERIFY(f_->locate(1));
        // "Nem" (the default button) leaves the contract as it was.
        sink_.answers = {1};
        click("b_storno");
        QCOMPARE(sink_.texts(), QStringList{ContractSearch::CancelQuestion()});
        QCOMPARE(sink_.defaultButtons, QList<int>{1});
        QCOMPARE(f_->currentRow().value("STATUS").toString().trimmed(), QStringLiteral("FO"));
        QCOMPARE(dm().d_alap().query("SELECT ALLAPOT FROM ARU WHERE KOD = '501'").at(0, 0).toString().trimmed(),
                 QStringLiteral("FOG"));
        sink_.clear();
        sink_.answers = {0};
        click("b_storno");
        QCOMPARE(sink_.texts(), QStringList{ContractSearch::CancelQuestion()});
        QCOMPARE(current(), qint64(1));
        QCOMPARE(f_->currentRow().value("STATUSZ").toString(), QStringLiteral("Sztornózott"));
        QCOMPARE(dm().d_alap().query("SELECT ALLAPOT FROM ARU WHERE KOD = '501'").at(0, 0).toString().trimmed(),
                 QStringLiteral("SZA"));
        // Stornó again restores it.
        sink_.clear();
        sink_.answers = {0};
        click("b_storno");
        QCOMPARE(sink_.texts(), QStringList{ContractSearch::RestoreQuestion()});
        QCOMPARE(f_->currentRow().value("STATUS").toString().trimmed(), QStringLiteral("FO"));
        // "Folyamatban levő legyen" only for a closed contract.
        sink_.clear();
        click("b_folyamatba");
        QCOMPARE(sink_.texts(), QStringList{ContractSearch::OnlyClosedText()});
    }

    // The list was loaded before another workstation changed the contract.
    void changedElsewhere() {
        click("b_keres");
        QVERIFY(f_->locate(2));
        exec("UPDATE FORGFEJ SET KOMMENT = 'máshol' WHERE BIZONYLAT = 2");
        sink_.answers = {0};
        click("b_folyamatba");
        QCOMPARE(sink_.texts(), QStringList{vl::rental::ProductRegister::ContractChangedElsewhereText()});
        QCOMPARE(f_->currentRow().value("KOMMENT").toString(), QStringLiteral("máshol"));
        QCOMPARE(f_->currentRow().value("STATUS").toString().trimmed(), QStringLiteral("LEZ"));
    }

    // Node 23 opens the one lookup form, modeless and prepared; a second click brings it forward.
    void shownFromTree() {
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::rental::registerLookupNodes(w);
        QVERIFY(w.hasHandler(23));
        w.dispatch(23);
        Tbervisszfm& f = vl::rental::RentalLookupForm();
        QVERIFY(f.isVisible());
        QVERIFY(!f.isModal());
        QCOMPARE(f.findChild<QListWidget*>(QStringLiteral("chx_statusr"))->count(), 3);
        QCOMPARE(f.model()->rowCount(), 0);
        w.dispatch(23);
        QCOMPARE(&vl::rental::RentalLookupForm(), &f);
        f.close();
    }

    void screenshot() {
        click("b_keres");
        QVERIFY(f_->locate(1));
        f_->resize(1180, 620);
        QTest::qWait(50);
        const QString out = QStringLiteral(VL_OUT_DIR);
        QDir().mkpath(out);
        QVERIFY(f_->grab().save(out + QStringLiteral("/bervissz_form.png")));
    }
};

QTEST_MAIN(TstBervisszForm)
#include "tst_bervissz_form.moc"
