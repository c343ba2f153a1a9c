// The customer register on a demonstration database, controls found by
// objectName: the tree node, the search positions, the selection mode and
// what the caller reads, a customer without a site, the "IN" buttons, a new
// customer followed at once by its site, the checks' message, the delete
// refusal, and the postal code and city fields with the dictionary.
#include "CustomerForms.h"
#include "GuiTestSupport.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tugyfelfm.h"
#include "customers/CustomerService.h"
#include "rental/DemoData.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QtTest>

using vl::customers::Tugyfelfm;
using vl::shell::dm;
namespace texts = vl::customers::texts;

namespace {

void createDemo(const QTemporaryDir& dir) {
    const QString path = vltest::createDatabase(dir.filePath(QStringLiteral("demo.fdb")));
    auto conn = vltest::open(path);
    vl::rental::DemoData::create(*conn, nullptr);
    conn->close();
    vltest::writeText1250(dir.filePath(QStringLiteral("PKR.INI")),
                          QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\nWPWD=NONE\r\n"));
}

void connectTo(const QTemporaryDir& dir) {
    if (dm().isConnected()) dm().disconnect();
    QDir::setCurrent(dir.path());
    vl::shell::IniClear();
    QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
    QVERIFY(dm().ConnectDatabase());
}

QString keyOf(const QString& name) {
    return dm().d_alap().query(QStringLiteral("SELECT KOD FROM UGYFEL WHERE NEV = :n"), {{QStringLiteral("n"), name}})
        .at(0, 0).toString().trimmed();
}

QString currentName(Tugyfelfm& f) { return f.e_nev->text(); }

} // namespace

class TstRegisterForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;
    QStringList dictionaryCalls_;

    Tugyfelfm& plainForm() {
        Tugyfelfm& f = vl::customers::CustomerRegisterForm();
        f.SelectAllowed = false;
        f.ShowButtons = true;
        f.StartCustomerKey.clear();
        f.StartSiteKey.clear();
        return f;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        createDemo(demo_);
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        connectTo(demo_);
        main_ = std::make_unique<vl::shell::Tmain_pkrfm>();
        main_->setAutoStart(false);
        vl::gui::registerAll(*main_);
        // The dictionary answers as if the user had picked Érd.
        vl::shell::FormRegistry::instance().registerForm(
            QStringLiteral("Tirszamfm"), [this](QWidget*, const QVariantMap& p) {
                dictionaryCalls_ << p.value(QStringLiteral("SearchText")).toString();
                vl::shell::FormResult r;
                r.accepted = true;
                r.values = {{QStringLiteral("KOD"), QStringLiteral("2030")}, {QStringLiteral("NEV"), QStringLiteral("Érd")}};
                return r;
            });
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
        dictionaryCalls_.clear();
    }
    void cleanup() {
        Tugyfelfm& f = vl::customers::CustomerRegisterForm();
        if (f.isVisible()) f.close();
    }
    void cleanupTestCase() {
        main_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    // Node 12 shows the plain register, not modal, every customer listed,
    // both modes "browse", no "Kiválaszt", required fields yellow.
    void shownFromTree() {
        QVERIFY(main_->hasHandler(12));
        main_->dispatch(12);
        Tugyfelfm& f = vl::customers::CustomerRegisterForm();
        QVERIFY(f.isVisible());
        QVERIFY(!f.isModal());
        QCOMPARE(f.windowTitle(), QStringLiteral("Ügyfelek adatai"));
        QCOMPARE(f.customerCount(), 25);
        QCOMPARE(f.currentCustomerRow(), 0);
        QCOMPARE(f.l_state->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        QCOMPARE(f.l_statecim->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        QVERIFY(!f.b_kivalaszt->isVisible());
        QVERIFY(!f.m_kivalaszt->isEnabled());
        QVERIFY(f.p_ugyfelbuttons->isVisible());
        QVERIFY(!f.sb_data->isEnabled());
        QVERIFY(vl::shell::FormConventions::isRequired(f.e_nev));
        QVERIFY(vl::shell::FormConventions::isRequired(f.e_cimvaros));
        QVERIFY(!vl::shell::FormConventions::isRequired(f.e_cimnev));
        QCOMPARE(f.cb_sorrend->itemText(1), QStringLiteral("Település (székhely)"));
        QCOMPARE(f.cbx_sz_statusr->itemText(0), QStringLiteral("Összes"));
        QCOMPARE(f.findChild<QTableView*>(QStringLiteral("dbg_torzs"))->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Név"));
        QVERIFY(sink_.messages.isEmpty());
        if (const QString shots = qEnvironmentVariable("VL_SCREENSHOTS"); !shots.isEmpty())
            f.grab().save(shots + QStringLiteral("/Tugyfelfm.png"));
    }

    // The search: the longest prefix that matches, case and accents ignored,
    // blanks ignored, a number by its digits, no match keeps the position,
    // empty goes to the first row; "Nincs találat" beside the box whenever no
    // row starts with the whole text.
    void searchPositions_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("noHit");
        QTest::newRow("prefix") << "" << "Del" << "Delta Mélyépítő Kft." << false;
        QTest::newRow("four letters, three match") << "" << "Delx" << "Delta Mélyépítő Kft." << true;
        QTest::newRow("other case, accents") << "" << "éTA" << "Éta Ács- és Tetőfedő Kft." << false;
        QTest::newRow("without accents") << "" << "eta acs" << "Éta Ács- és Tetőfedő Kft." << false;
        QTest::newRow("capitals without accents") << "" << "DELTA MELYEPITO" << "Delta Mélyépítő Kft." << false;
        QTest::newRow("blanks around") << "" << "  kappa  " << "Kappa Csőszerelő Kft." << false;
        QTest::newRow("telephone digits") << "" << "555 0401" << "Delta Mélyépítő Kft." << false;
        QTest::newRow("no match keeps the position") << "Kappa" << "qqqq" << "Kappa Csőszerelő Kft." << true;
        QTest::newRow("empty goes to the first") << "Kappa" << "" << "Alfa Építő Kft." << false;
    }
    void searchPositions() {
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(bool, noHit);
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        f.e_keres->setText(start);
        f.e_keres->setText(typed);
        QCOMPARE(currentName(f), name);
        QCOMPARE(f.currentCustomerKey(), keyOf(name));
        auto* l = f.findChild<QLabel*>(QStringLiteral("l_nincstalalat"));
        QVERIFY(l);
        QCOMPARE(!l->isHidden(), noHit);
        QCOMPARE(l->text(), QStringLiteral("Nincs találat"));
        f.e_keres->clear();
        QVERIFY(l->isHidden());
    }

    // The active-only tick hides the inactive ones and keeps the position;
    // the sort by city searches the cities; refresh keeps the current customer.
    void activeOnlySortAndRefresh() {
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        const int all = f.customerCount();
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFEL SET AKTIV = 'N' WHERE NEV = 'Béta Rendezvényszervező Bt.'"));
        f.setCurrentCustomerRow(f.customerCount() - 1);
        const QString last = f.currentCustomerKey();
        f.m_csakaktiv->trigger();
        QVERIFY(f.m_csakaktiv->isChecked());
        QCOMPARE(f.customerCount(), all - 1);
        QCOMPARE(f.currentCustomerKey(), last);
        f.m_csakaktiv->trigger();
        QCOMPARE(f.customerCount(), all);
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFEL SET AKTIV = 'I' WHERE NEV = 'Béta Rendezvényszervező Bt.'"));

        f.cb_sorrend->setCurrentIndex(1);
        f.cb_sorrendChange();
        QCOMPARE(f.e_keres->maxLength(), 40);
        f.e_keres->setText(QStringLiteral("szeg"));
        QCOMPARE(f.e_varos->text(), QStringLiteral("Szeged"));
        QCOMPARE(currentName(f), QStringLiteral("Théta Kertészet Bt."));
        f.e_keres->clear();
        f.setCurrentCustomerRow(5);
        const QString fifth = f.currentCustomerKey();
        f.m_frissit->trigger();
        QCOMPARE(f.currentCustomerKey(), fifth);
        f.cb_sorrend->setCurrentIndex(0);
        f.cb_sorrendChange();
        QCOMPARE(f.e_keres->maxLength(), 60);
    }

    // Selection mode by name: positioned on the start keys; "Kiválaszt"
    // returns the customer and the site rows.
    void selectionModeReturnsRows() {
        const QString customer = keyOf(QStringLiteral("Alfa Építő Kft."));
        const QString site = dm().d_alap().query(QStringLiteral("SELECT KOD FROM UGYFELCIM WHERE UGYFELKOD = :k AND NEV = :n"),
                                                 {{QStringLiteral("k"), customer},
                                                  {QStringLiteral("n"), QStringLiteral("Lágymányosi híd felújítás")}})
                                 .at(0, 0).toString().trimmed();
        bool seen = false, visible = false;
        QString shownSite;
        vltest::whenShown(QStringLiteral("Tugyfelfm"), [&](QWidget* w) {
            auto* f = qobject_cast<Tugyfelfm*>(w);
            seen = true;
            visible = f->b_kivalaszt->isVisible() && f->m_kivalaszt->isEnabled();
            shownSite = f->e_cimnev->text();
            QTest::mouseClick(f->b_kivalaszt, Qt::LeftButton);
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"),
                                           {{QStringLiteral("SelectAllowed"), true},
                                            {QStringLiteral("ShowButtons"), true},
                                            {QStringLiteral("StartCustomerKey"), customer},
                                            {QStringLiteral("StartSiteKey"), site}});
        QVERIFY(seen);
        QVERIFY(visible);
        QCOMPARE(shownSite, QStringLiteral("Lágymányosi híd felújítás"));
        QVERIFY(r.accepted);
        QVERIFY(r.values.value(QStringLiteral("Selected")).toBool());
        const QVariantMap c = r.values.value(QStringLiteral("Customer")).toMap();
        const QVariantMap s = r.values.value(QStringLiteral("Site")).toMap();
        QCOMPARE(c.value(QStringLiteral("KOD")).toString(), customer);
        QCOMPARE(c.value(QStringLiteral("NEV")).toString(), QStringLiteral("Alfa Építő Kft."));
        QCOMPARE(c.value(QStringLiteral("FIZMOD")).toString(), QStringLiteral("KP"));
        QVERIFY(c.contains(QStringLiteral("KOMMENTSPEC")));
        QCOMPARE(s.value(QStringLiteral("KOD")).toString(), site);
        QCOMPARE(s.value(QStringLiteral("UTCA")).toString(), QStringLiteral("Dombóvári út 1."));
        QCOMPARE(s.value(QStringLiteral("SZEMELY")).toString(), QStringLiteral("Kiss Anna"));
    }

    // A customer without a site cannot be picked; "Vissza" answers not selected.
    void customerWithoutSite() {
        vl::customers::Customer c = vl::customers::CustomerService::newCustomer();
        c.nev = QStringLiteral("Címtelen Kft.");
        c.fizmod = QStringLiteral("KP");
        c.telefon = QStringLiteral("1");
        QVERIFY(vl::customers::CustomerService::storeCustomer(dm().d_alap(), nullptr, c,
                                                              vl::customers::DuplicatePolicy::Allow).ok);
        bool stayed = false;
        vltest::whenShown(QStringLiteral("Tugyfelfm"), [&](QWidget* w) {
            auto* f = qobject_cast<Tugyfelfm*>(w);
            QTest::mouseClick(f->b_kivalaszt, Qt::LeftButton);
            stayed = f->isVisible();
            f->m_vissza->trigger();
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"), {{QStringLiteral("SelectAllowed"), true},
                                                                         {QStringLiteral("StartCustomerKey"), c.kod}});
        QVERIFY(stayed);
        QVERIFY(!r.accepted);
        QCOMPARE(sink_.texts(), QStringList{texts::noSite()});
    }

    // The "IN" buttons; a new customer starts active with no e-invoice flag.
    void toggles() {
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        f.show();
        QTest::mouseClick(f.b_ujugyfel, Qt::LeftButton);
        QCOMPARE(f.customerMode(), QStringLiteral("insert"));
        QCOMPARE(f.e_aktiv->text(), QStringLiteral("I"));
        QCOMPARE(f.e_eszamla->text(), QString());
        QCOMPARE(f.cb_fizmod->currentText(), QString());
        QVERIFY(!f.p_cimek->isVisible());
        QStringList seen;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(f.b_aktiv, Qt::LeftButton);
            QTest::mouseClick(f.b_eszamla, Qt::LeftButton);
            seen << f.e_aktiv->text() + f.e_eszamla->text();
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("NI"), QStringLiteral("IN"), QStringLiteral("NI")}));
        // The checks' message lists every error; the form stays in "insert".
        QTest::mouseClick(f.b_ugyfeltar, Qt::LeftButton);
        QCOMPARE(sink_.texts(),
                 QStringList{vl::customers::CustomerService::customerErrorText(
                     {texts::customerNameEmpty(), texts::paymentEmpty(), texts::phonesEmpty()})});
        QCOMPARE(f.customerMode(), QStringLiteral("insert"));
        QTest::mouseClick(f.b_ugyfelmegsem, Qt::LeftButton);
        QCOMPARE(f.customerMode(), QStringLiteral("browse"));
    }

    // A customer and then its site changed on another desk while this one
    // edits them: the store is refused with the changed-elsewhere message,
    // nothing of this desk is written, and the form shows the other desk's
    // values in "browse".
    void changedOnAnotherDesk() {
        Tugyfelfm& f = plainForm();
        // A customer with a site.
        f.StartCustomerKey = dm().d_alap().query(QStringLiteral("SELECT MIN(UGYFELKOD) FROM UGYFELCIM")).at(0, 0)
                                 .toString().trimmed();
        QVERIFY(f.FormShow());
        f.show();
        const QString key = f.currentCustomerKey();
        QCOMPARE(key, f.StartCustomerKey);
        QTest::mouseClick(f.b_ugyfelmod, Qt::LeftButton);
        QCOMPARE(f.customerMode(), QStringLiteral("update"));
        f.e_telefon->setText(QStringLiteral("+36 1 111 1111"));
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFEL SET TELEFON = '+36 1 222 2222' WHERE KOD = :k"), {{"k", key}});
        QTest::mouseClick(f.b_ugyfeltar, Qt::LeftButton);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok "
                                                           "frissültek, kérem, ismételje meg a műveletet.")});
        QCOMPARE(f.customerMode(), QStringLiteral("browse"));
        QCOMPARE(f.currentCustomerKey(), key);
        QCOMPARE(f.e_telefon->text(), QStringLiteral("+36 1 222 2222"));
        // Read again, it stores.
        sink_.clear();
        QTest::mouseClick(f.b_ugyfelmod, Qt::LeftButton);
        f.e_telefon->setText(QStringLiteral("+36 1 111 1111"));
        QTest::mouseClick(f.b_ugyfeltar, Qt::LeftButton);
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join('|')));
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT TELEFON FROM UGYFEL WHERE KOD = :k"), {{"k", key}}).at(0, 0)
                     .toString(), QStringLiteral("+36 1 111 1111"));

        // The site.
        QVERIFY(f.siteCount() > 0);
        const QString site = f.currentSiteKey();
        QTest::mouseClick(f.b_cimmod, Qt::LeftButton);
        f.e_cimtelefon->setText(QStringLiteral("+36 30 111 1111"));
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFELCIM SET TELEFON = '+36 30 222 2222' WHERE KOD = :k"), {{"k", site}});
        QTest::mouseClick(f.b_cimtar, Qt::LeftButton);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Az ügyfél adatait közben máshol módosították. Az adatok "
                                                           "frissültek, kérem, ismételje meg a műveletet.")});
        QCOMPARE(f.currentSiteKey(), site);
        QCOMPARE(f.e_cimtelefon->text(), QStringLiteral("+36 30 222 2222"));
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT TELEFON FROM UGYFELCIM WHERE KOD = :k"), {{"k", site}}).at(0, 0)
                     .toString(), QStringLiteral("+36 30 222 2222"));
    }

    // In selection mode a new customer is followed by its new site at once,
    // and storing the site picks both and closes the form.
    void newCustomerThenSiteSelects() {
        bool siteInsert = false;
        QString messages;
        vltest::whenShown(QStringLiteral("Tugyfelfm"), [&](QWidget* w) {
            auto* f = qobject_cast<Tugyfelfm*>(w);
            QTest::mouseClick(f->b_ujugyfel, Qt::LeftButton);
            f->e_nev->setText(QStringLiteral("Új Ügyfél O'Neill Kft."));
            f->e_telefon->setText(QStringLiteral("+36 1 234 5678"));
            f->cb_fizmod->setCurrentIndex(f->cb_fizmod->findText(QStringLiteral("Átutalás")));
            f->cb_fizmodChange();
            QTest::mouseClick(f->b_ugyfeltar, Qt::LeftButton);
            siteInsert = f->siteMode() == QStringLiteral("insert") && f->customerMode() == QStringLiteral("browse");
            f->e_cimnev->setText(QStringLiteral("Első telep"));
            f->e_cimirszam->setText(QStringLiteral("2040"));
            f->e_cimvaros->setText(QStringLiteral("Budaörs"));
            f->e_cimutca->setText(QStringLiteral("Szabadság út 1."));
            f->e_cimszemely->setText(QStringLiteral("Tóth Tímea"));
            f->e_cimtelefon->setText(QStringLiteral("+36 30 111 2222"));
            QTest::mouseClick(f->b_cimtar, Qt::LeftButton);
            messages = sink_.texts().join(u'\n');
            if (f->isVisible()) f->close();
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"), {{QStringLiteral("SelectAllowed"), true}});
        QVERIFY2(siteInsert, qPrintable(messages));
        QVERIFY2(r.accepted, qPrintable(messages));
        const QVariantMap c = r.values.value(QStringLiteral("Customer")).toMap();
        const QVariantMap s = r.values.value(QStringLiteral("Site")).toMap();
        QCOMPARE(c.value(QStringLiteral("NEV")).toString(), QStringLiteral("Új Ügyfél O'Neill Kft."));
        QCOMPARE(c.value(QStringLiteral("FIZMOD")).toString(), QStringLiteral("ATU"));
        QCOMPARE(s.value(QStringLiteral("UGYFELKOD")).toString(), c.value(QStringLiteral("KOD")).toString());
        QCOMPARE(s.value(QStringLiteral("VAROS")).toString(), QStringLiteral("Budaörs"));
        QCOMPARE(keyOf(QStringLiteral("Új Ügyfél O'Neill Kft.")), c.value(QStringLiteral("KOD")).toString());
    }

    // The form asks the questions the rules hand back: a name that exists
    // already ("Nem" keeps the entry open, "Igen" stores and goes on to its
    // first site) and deleting a customer no contract names (Enter on "Nem").
    void questionsAskedByTheForm() {
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        const QString name = f.e_nev->text();
        QVERIFY(!name.isEmpty());
        const int before = f.customerCount();
        QTest::mouseClick(f.b_ujugyfel, Qt::LeftButton);
        f.e_nev->setText(name);
        f.e_telefon->setText(QStringLiteral("+36 1 999 0000"));
        f.cb_fizmod->setCurrentIndex(f.cb_fizmod->findText(QStringLiteral("Átutalás")));
        f.cb_fizmodChange();
        sink_.answers = {1};
        QTest::mouseClick(f.b_ugyfeltar, Qt::LeftButton);
        QCOMPARE(sink_.messages.size(), 1);
        QVERIFY2(sink_.last().startsWith(QStringLiteral("Már van ilyen nevű ügyfél.\n") + name), qPrintable(sink_.last()));
        QCOMPARE(sink_.defaultButtons, QList<int>{0});
        QCOMPARE(f.customerMode(), QStringLiteral("insert"));
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")).at(0, 0).toInt(), before);
        sink_.clear();
        sink_.answers = {0};
        QTest::mouseClick(f.b_ugyfeltar, Qt::LeftButton);
        QCOMPARE(sink_.messages.size(), 1);
        QCOMPARE(f.customerMode(), QStringLiteral("browse"));
        QCOMPARE(f.siteMode(), QStringLiteral("insert"));
        QCOMPARE(f.customerCount(), before + 1);
        QTest::mouseClick(f.b_cimmegsem, Qt::LeftButton);
        const QString key = f.currentCustomerKey();
        QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT TELEFON FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), key}})
                     .at(0, 0).toString(),
                 QStringLiteral("+36 1 999 0000"));

        for (const int answer : {1, 0}) {
            sink_.clear();
            sink_.answers = {answer};
            QTest::mouseClick(f.b_ugyfeltorles, Qt::LeftButton);
            QCOMPARE(sink_.texts(), QStringList{vl::customers::CustomerService::customerDeleteQuestion()});
            QCOMPARE(sink_.defaultButtons, QList<int>{1});
            QCOMPARE(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), key}})
                         .at(0, 0).toInt(),
                     answer == 0 ? 0 : 1);
        }
        QCOMPARE(f.customerCount(), before);
    }

    // A customer with contracts is not deleted; nothing is asked.
    void deleteRefused() {
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        f.e_keres->setText(QStringLiteral("Alfa"));
        QTest::mouseClick(f.b_ugyfeltorles, Qt::LeftButton);
        QCOMPARE(sink_.texts(), QStringList{texts::customerInUse()});
        QTest::mouseClick(f.b_cimtorles, Qt::LeftButton);
        QCOMPARE(sink_.texts(), (QStringList{texts::customerInUse(), texts::siteInUse()}));
        QCOMPARE(f.customerCount(), int(dm().d_alap().query(QStringLiteral("SELECT COUNT(*) FROM UGYFEL")).at(0, 0).toLongLong()));
    }

    // Leaving the site's postal code empty: the not-found message and the
    // dictionary (without a search text). A city: its first postal code,
    // unless the code typed already belongs to it; a city not in the list
    // (an apostrophe in it too) opens the dictionary, never a database error.
    void postalCodeAndCity() {
        Tugyfelfm& f = plainForm();
        QVERIFY(f.FormShow());
        f.show();
        QTest::mouseClick(f.b_ujcim, Qt::LeftButton);
        QCOMPARE(f.siteMode(), QStringLiteral("insert"));
        f.postalCodeExit(f.e_cimirszam, f.e_cimvaros);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Nincs olyan érték a SZ_IRSZAM táblában, ahol KOD=''")});
        QCOMPARE(dictionaryCalls_, QStringList{QString()});
        QCOMPARE(f.e_cimirszam->text() + QLatin1Char(' ') + f.e_cimvaros->text(), QStringLiteral("2030 Érd"));

        f.e_cimirszam->setText(QStringLiteral("1117"));
        f.e_cimvaros->setText(QStringLiteral("Budapest"));
        f.cityExit(f.e_cimirszam, f.e_cimvaros);
        QCOMPARE(f.e_cimirszam->text(), QStringLiteral("1117"));
        f.e_cimirszam->clear();
        f.cityExit(f.e_cimirszam, f.e_cimvaros);
        QCOMPARE(f.e_cimirszam->text(), QStringLiteral("1037"));
        f.e_cimirszam->setText(QStringLiteral("2030"));
        f.cityExit(f.e_cimirszam, f.e_cimvaros);
        QCOMPARE(f.e_cimirszam->text(), QStringLiteral("1037"));

        sink_.clear();
        dictionaryCalls_.clear();
        f.e_cimvaros->setText(QStringLiteral("O'Hara"));
        f.cityExit(f.e_cimirszam, f.e_cimvaros);
        QVERIFY(sink_.messages.isEmpty());
        QCOMPARE(dictionaryCalls_, QStringList{QString()});
        QTest::mouseClick(f.b_cimmegsem, Qt::LeftButton);

        // The office's postal code: empty does nothing; a known one fills the city.
        QTest::mouseClick(f.b_ugyfelmod, Qt::LeftButton);
        f.e_irszam->clear();
        f.postalCodeExit(f.e_irszam, f.e_varos);
        QVERIFY(dictionaryCalls_.size() == 1 && sink_.messages.isEmpty());
        f.e_irszam->setText(QStringLiteral("6720"));
        f.postalCodeExit(f.e_irszam, f.e_varos);
        QCOMPARE(f.e_varos->text(), QStringLiteral("Szeged"));
        // An unknown city of the office opens the dictionary with the typed city.
        f.e_varos->setText(QStringLiteral("Sehol"));
        f.cityExit(f.e_irszam, f.e_varos);
        QCOMPARE(dictionaryCalls_.last(), QStringLiteral("Sehol"));
        QTest::mouseClick(f.b_ugyfelmegsem, Qt::LeftButton);
    }
};

QTEST_MAIN(TstRegisterForm)
#include "tst_register_form.moc"
