// The product register form on a demonstration database: its controls and
// pages, the modes, the quick search, the selection mode for contract entry
// (opened by name), a store and a take-back through the form, the list's
// question, and the handover print dialog.
#include "GuiWiring.h"
#include "ProductForms.h"
#include "Tkabinfm.h"
#include "Tmain_pkrfm.h"
#include "HandoverPrintDialog.h"
#include "ReportPreview.h"
#include "Tcimkefm.h"
#include "FormRegistry.h"
#include "db/Database.h"
#include "rental/DemoData.h"
#include "rental/ProductStore.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/Colors.h"
#include "util/Texts.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using vl::rental::Tkabinfm;
using vl::shell::dm;

namespace {

void createDemo(const QTemporaryDir& dir) {
    vl::db::ConnectParams p;
    p.database = dir.filePath(QStringLiteral("demo.fdb"));
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    auto tx = conn->begin();
    vl::rental::Seeds::apply(*tx, QDate::currentDate().toString(QStringLiteral("yyyy")));
    tx->commit();
    vl::rental::DemoData::create(*conn, nullptr);
    conn->close();
    QFile ini(dir.filePath(QStringLiteral("PKR.INI")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QStringEncoder enc("windows-1250");
    ini.write(enc.encode(QStringLiteral("DBSERVER=") + p.database + QStringLiteral("\r\nWPWD=NONE\r\n")));
}

QString one(const QString& sql, const vl::db::Params& params = {}) {
    const auto rs = dm().d_alap().query(sql, params);
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

void saveShot(QWidget* w, const QString& name) {
    const QString dir = QStringLiteral("/work/main/out");
    if (QDir(dir).exists()) w->grab().save(dir + QLatin1Char('/') + name);
}

// Runs action on the first visible top-level widget with that object name as
// soon as it shows up (polling while a modal loop runs).
void whenShown(const QString& name, std::function<void(QWidget*)> action, int triesLeft = 3000) {
    QTimer::singleShot(10, [=]() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) {
                action(w);
                return;
            }
        if (triesLeft > 0) whenShown(name, action, triesLeft - 1);
    });
}

int rowOf(Tkabinfm& f, const QString& kod) {
    const auto& l = f.List();
    for (int r = 0; r < l.rowCount(); ++r)
        if (l.at(r, l.indexOf(QStringLiteral("KOD"))).toString().trimmed() == kod) return r;
    return -1;
}

} // namespace

class TstKabinForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        createDemo(demo_);
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        QDir::setCurrent(demo_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        QVERIFY(dm().ConnectDatabase());
        vl::rental::registerProductForms();
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
    }
    void cleanupTestCase() {
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    void controlsAndPages() {
        Tkabinfm f;
        f.FormShow();
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("Termékek állapota és helye"));
        const QList<QPair<const char*, const char*>> buttons{
            {"b_vissza", "Vissza"}, {"b_uj", "Új termék felvitele"}, {"b_mod", "Termék módosítása"},
            {"b_kivalaszt", "Kiválaszt"}, {"b_elozmeny", "Előzmény"}, {"b_tarolas", "Tárolás"}, {"b_megsem", "Mégsem"},
            {"b_visszavetel", "Visszavétel és csere"}, {"b_lista", "Terméklista"}, {"b_torol", "Törlés"},
            {"b_ellenor", "Ellenőrzés"}, {"b_keres", "&Betölt"}};
        for (const auto& b : buttons) {
            auto* w = f.findChild<QPushButton*>(QString::fromLatin1(b.first));
            QVERIFY2(w, b.first);
            QCOMPARE(w->text(), QString::fromUtf8(b.second));
        }
        for (const char* n : {"e_koduj", "e_csere", "e_kodkeres"}) QVERIFY2(f.findChild<QLineEdit*>(QString::fromLatin1(n)), n);
        for (const char* n : {"cbx_arucsop", "cbx_statusk", "cb_arucsopuj", "cb_statuskuj"})
            QVERIFY2(f.findChild<QComboBox*>(QString::fromLatin1(n)), n);
        QVERIFY(!f.b_kivalaszt->isVisible());
        QCOMPARE(f.cbx_arucsop->itemText(0), QStringLiteral("Összes"));
        QCOMPARE(f.cb_statuskuj->itemText(0), QString());
        auto* pc = f.findChild<QTabWidget*>(QStringLiteral("pc_kabinok"));
        QCOMPARE(pc->count(), 4);
        QCOMPARE(pc->currentIndex(), 0);
        QStringList titles;
        for (int i = 0; i < 4; ++i) titles << pc->tabText(i);
        QCOMPARE(titles, (QStringList{"Tételes", "Összesítés", "Karbantartás nélkül", "Kabinszám nélkül"}));
        auto* grid = f.findChild<QTableView*>(QStringLiteral("DBGrid1"));
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Kód"));
        QCOMPARE(grid->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("Bizonylat"));
        // 80 demo cabins, in numeric order; colours from the status.
        QCOMPARE(grid->model()->rowCount(), 80);
        QCOMPARE(f.List().at(0, 0).toString(), QStringLiteral("101"));
        const int free = rowOf(f, one(QStringLiteral("SELECT FIRST 1 KOD FROM ARU WHERE ALLAPOT = 'SZA' ORDER BY KOD")));
        QCOMPARE(grid->model()->data(grid->model()->index(free, 0), Qt::ForegroundRole).value<QColor>(),
                 QColor::fromRgba(vl::util::ColorFromName(QStringLiteral("ZÖLD"))));
        QCOMPARE(f.findChild<QTableView*>(QStringLiteral("DBGrid2"))->model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Darab"));
        QVERIFY(f.findChild<QTableView*>(QStringLiteral("DBGrid4"))->model()->rowCount() >= 0);
        QCOMPARE(f.l_state->text(), vl::util::ModeCaption(QStringLiteral("browse")));
        saveShot(&f, QStringLiteral("Tkabinfm.png"));

        // Modes: the edit panel and the buttons swap.
        QTest::mouseClick(f.b_uj, Qt::LeftButton);
        QCOMPARE(f.mode(), vl::rental::ProductMode::Insert);
        QVERIFY(f.p_uj->isEnabled() && f.b_tarolas->isEnabled() && f.e_koduj->isEnabled());
        QVERIFY(!f.b_uj->isEnabled() && !f.b_lista->isEnabled() && !f.b_keres->isEnabled() && !f.b_visszavetel->isEnabled());
        QCOMPARE(f.cb_statuskuj->currentText(), QStringLiteral("Szabad"));
        QCOMPARE(f.cb_arucsopuj->currentText(), QString());
        QTest::mouseClick(f.b_megsem, Qt::LeftButton);
        QCOMPARE(f.mode(), vl::rental::ProductMode::Browse);
        QVERIFY(!f.p_uj->isEnabled() && f.b_uj->isEnabled());
    }

    // Node 21 of the program's own wiring: the register in the work area, without "Kiválaszt".
    void shownFromTree() {
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::gui::registerAll(w);
        QVERIFY(w.hasHandler(21));
        QVERIFY(vl::shell::FormRegistry::instance().has(QStringLiteral("ShowDocPrint")));
        w.dispatch(21);
        Tkabinfm& f = vl::rental::ProductRegisterForm();
        QVERIFY(f.isVisible());
        QVERIFY(!f.isModal());
        QVERIFY(!f.b_kivalaszt->isVisible());
        QCOMPARE(f.List().rowCount(), 80);
        QCOMPARE(f.mode(), vl::rental::ProductMode::Browse);
        f.close();
    }

    // Quick search: 1899 has no match, 189 neither, so the first code beginning with 18.
    void quickSearch() {
        Tkabinfm f;
        f.FormShow();
        f.show();
        QTest::keyClicks(f.e_kodkeres, QStringLiteral("13"));
        QCOMPARE(f.CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("130"));
        QTest::keyClicks(f.e_kodkeres, QStringLiteral("9"));   // "139" -> 139
        QCOMPARE(f.CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("139"));
        f.e_kodkeres->setText(QStringLiteral("1899"));
        QTest::keyClick(f.e_kodkeres, Qt::Key_Return);
        QCOMPARE(f.CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("180"));
        f.e_kodkeres->clear();
        QTest::keyClick(f.e_kodkeres, Qt::Key_Return);
        QCOMPARE(f.CurrentRow(), 0);
    }

    // Selection mode by name: filtered on the line's group and "Szabad", the caller gets the pick.
    void selectionMode() {
        QString listed;
        bool allFree = true, buttonShown = false;
        whenShown(QStringLiteral("Tkabinfm"), [&](QWidget* top) {
            auto* f = qobject_cast<Tkabinfm*>(top);
            buttonShown = f->b_kivalaszt->isVisible() && f->b_kivalaszt->isEnabled();
            const auto& l = f->List();
            for (int r = 0; r < l.rowCount(); ++r)
                if (l.at(r, l.indexOf(QStringLiteral("KIADHATO"))).toString() != QStringLiteral("I") ||
                    l.at(r, l.indexOf(QStringLiteral("ARUCSOPORT"))).toString() != QStringLiteral("VIP"))
                    allFree = false;
            f->DBGrid1->setCurrentIndex(f->DBGrid1->model()->index(1, 0));
            listed = f->CurrentValue(QStringLiteral("KOD")).toString();
            saveShot(f, QStringLiteral("Tkabinfm_kivalaszt.png"));
            QTest::mouseClick(f->b_kivalaszt, Qt::LeftButton);
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tkabinfm"),
                                           {{QStringLiteral("SelectAllowed"), true},
                                            {QStringLiteral("TypeFilter"), QStringLiteral("Prémium WC kabin kézmosóval")},
                                            {QStringLiteral("StatusFilter"), QStringLiteral("Szabad")}});
        QVERIFY(buttonShown);
        QVERIFY(allFree);
        QVERIFY(r.accepted);
        QCOMPARE(r.values.value(QStringLiteral("ProductPicked")).toBool(), true);
        QCOMPARE(r.values.value(QStringLiteral("PickedTypeName")).toString(), QStringLiteral("Prémium WC kabin kézmosóval"));
        QCOMPARE(r.values.value(QStringLiteral("KOD")).toString(), listed.trimmed());
        QCOMPARE(r.values.value(QStringLiteral("KIADHATO")).toBool(), true);

        // "Vissza": nothing picked.
        whenShown(QStringLiteral("Tkabinfm"), [&](QWidget* top) {
            QTest::mouseClick(qobject_cast<Tkabinfm*>(top)->b_vissza, Qt::LeftButton);
        });
        const auto back = vl::shell::openForm(QStringLiteral("Tkabinfm"), {{QStringLiteral("SelectAllowed"), true}});
        QVERIFY(!back.accepted);
        QCOMPARE(back.values.value(QStringLiteral("ProductPicked")).toBool(), false);
        QCOMPARE(back.values.value(QStringLiteral("PickedTypeName")).toString(), QString());
    }

    // The cabins another item of the unsaved contract holds: listed as taken,
    // "Kiválaszt" refuses them and stays open; a free one is picked.
    void takenOnTheContract() {
        QString taken, free, statusShown, classShown;
        QStringList said;
        bool stayedOpen = false;
        whenShown(QStringLiteral("Tkabinfm"), [&](QWidget* top) {
            auto* f = qobject_cast<Tkabinfm*>(top);
            const auto& l = f->List();
            const int cKod = l.indexOf(QStringLiteral("KOD"));
            for (int r = 0; r < l.rowCount(); ++r)
                if (l.at(r, cKod).toString().trimmed() == taken) {
                    statusShown = l.at(r, l.indexOf(QStringLiteral("STATUS"))).toString();
                    classShown = l.at(r, l.indexOf(QStringLiteral("KIADHATO"))).toString();
                    f->DBGrid1->setCurrentIndex(f->DBGrid1->model()->index(r, 0));
                }
            QTest::mouseClick(f->b_kivalaszt, Qt::LeftButton);
            said = sink_.texts();
            stayedOpen = f->isVisible();
            for (int r = 0; r < l.rowCount(); ++r)
                if (l.at(r, cKod).toString().trimmed() == free) f->DBGrid1->setCurrentIndex(f->DBGrid1->model()->index(r, 0));
            QTest::mouseClick(f->b_kivalaszt, Qt::LeftButton);
        });
        auto rs = dm().d_alap().query(QStringLiteral(
            "SELECT FIRST 2 A.KOD FROM ARU A JOIN SZ_ARUCSOP C ON C.KOD = A.ARUCSOPORT WHERE A.ALLAPOT = 'SZA'"
            " AND C.NEV = 'Prémium WC kabin kézmosóval' ORDER BY 1"));
        QCOMPARE(rs.rowCount(), 2);
        taken = rs.at(0, 0).toString().trimmed();
        free = rs.at(1, 0).toString().trimmed();
        sink_.clear();
        const auto r = vl::shell::openForm(QStringLiteral("Tkabinfm"),
                                           {{QStringLiteral("SelectAllowed"), true},
                                            {QStringLiteral("TypeFilter"), QStringLiteral("Prémium WC kabin kézmosóval")},
                                            {QStringLiteral("StatusFilter"), QStringLiteral("Szabad")},
                                            {QStringLiteral("TakenCodes"), QStringList{taken}}});
        QCOMPARE(statusShown, QStringLiteral("Foglalt (ezen a szerződésen)"));
        QCOMPARE(classShown, QStringLiteral("N"));
        QCOMPARE(said, QStringList{QStringLiteral("A(z) ") + taken + QStringLiteral(" számú kabin már szerepel a szerződésben")});
        QVERIFY(stayedOpen);
        QVERIFY(r.accepted);
        QCOMPARE(r.values.value(QStringLiteral("KOD")).toString(), free);
        QCOMPARE(r.values.value(QStringLiteral("KIADHATO")).toBool(), true);
    }

    // A new cabin through the form, then a take-back with exchange.
    void storeAndTakeBack() {
        Tkabinfm f;
        f.FormShow();
        f.show();
        QTest::mouseClick(f.b_uj, Qt::LeftButton);
        QTest::keyClicks(f.e_koduj, QStringLiteral("9a01"));   // digits only
        QCOMPARE(f.e_koduj->text(), QStringLiteral("901"));
        f.cb_arucsopuj->setCurrentIndex(f.cb_arucsopuj->findText(QStringLiteral("Alap WC kabin")));
        QTest::mouseClick(f.b_tarolas, Qt::LeftButton);
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(QLatin1Char('\n'))));
        QCOMPARE(f.mode(), vl::rental::ProductMode::Browse);
        QCOMPARE(f.CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("901"));
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = '901'")), QStringLiteral("SZA"));

        // A free cabin cannot be taken back.
        QTest::mouseClick(f.b_visszavetel, Qt::LeftButton);
        QCOMPARE(sink_.last(), QStringLiteral("Ilyen státuszú (Szabad) terméket nem lehet visszavenni."));
        QCOMPARE(f.mode(), vl::rental::ProductMode::Browse);

        // A rented cabin of the basic group, exchanged for 901.
        const QString rented = one(QStringLiteral("SELECT FIRST 1 KOD FROM ARU WHERE ALLAPOT = 'FOG' AND ARUCSOPORT = 'ALAP' ORDER BY KOD"));
        const QString biz = one(QStringLiteral("SELECT BIZONYLAT FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), rented}});
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(rowOf(f, rented), 0));
        QTest::mouseClick(f.b_visszavetel, Qt::LeftButton);
        QCOMPARE(f.mode(), vl::rental::ProductMode::Modify);
        QCOMPARE(f.l_state->text(), QStringLiteral("Közvetlen visszavétel"));
        QCOMPARE(f.e_koduj->text(), rented);
        QVERIFY(!f.e_koduj->isEnabled() && f.e_csere->isEnabled());
        QTest::keyClicks(f.e_csere, QStringLiteral("901"));
        saveShot(&f, QStringLiteral("Tkabinfm_visszavetel.png"));
        QTest::mouseClick(f.b_tarolas, Qt::LeftButton);
        QVERIFY2(sink_.messages.size() <= 1, qPrintable(sink_.texts().join(QLatin1Char('\n'))));
        QCOMPARE(f.mode(), vl::rental::ProductMode::Browse);
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), rented}}), QStringLiteral("SZA"));
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT || ' ' || BIZONYLAT FROM ARU WHERE KOD = '901'")), QStringLiteral("FOG ") + biz);
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE ARUKOD = '901' AND BIZONYLAT = :b"), {{QStringLiteral("b"), biz}}),
                 QStringLiteral("1"));
    }

    // "Törlés" through the form: the rules' question is asked (Enter "Nem"),
    // a cabin with rental history is refused with its text.
    void deleteThroughTheForm() {
        {
            auto tx = dm().d_alap().begin();
            vl::rental::ProductStore::StoreProduct(*tx, QStringLiteral("903"), QStringLiteral("ALAP"), vl::rental::ProductFree);
            tx->commit();
        }
        // A cabin out on a contract, shown free: the rules still find its history.
        const QString used = one(QStringLiteral("SELECT FIRST 1 K.ARUKOD FROM FORGKABIN K WHERE K.ARUKOD <> '*' ORDER BY 1"));
        const QString usedStatus = one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), used}});
        dm().d_alap().exec(QStringLiteral("UPDATE ARU SET ALLAPOT = 'SZA' WHERE KOD = :k"), {{QStringLiteral("k"), used}});
        QVERIFY(!used.isEmpty());
        Tkabinfm f;
        f.FormShow();
        f.show();
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(rowOf(f, QStringLiteral("903")), 0));
        sink_.answers = {1};
        QTest::mouseClick(f.b_torol, Qt::LeftButton);
        QCOMPARE(sink_.last(), QStringLiteral("Biztosan törli a(z) 903 kódú terméket?"));
        QCOMPARE(sink_.defaultButtons.last(), 1);
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE KOD = '903'")), QStringLiteral("1"));
        sink_.answers = {0};
        QTest::mouseClick(f.b_torol, Qt::LeftButton);
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE KOD = '903'")), QStringLiteral("0"));
        QCOMPARE(rowOf(f, QStringLiteral("903")), -1);

        sink_.clear();
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(rowOf(f, used), 0));
        QTest::mouseClick(f.b_torol, Qt::LeftButton);
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("A(z) %1 kódú kabinnak bérleti előzménye van, nem törölhető.").arg(used)});
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE KOD = :k"), {{QStringLiteral("k"), used}}), QStringLiteral("1"));
        dm().d_alap().exec(QStringLiteral("UPDATE ARU SET ALLAPOT = :a WHERE KOD = :k"),
                           {{QStringLiteral("a"), usedStatus}, {QStringLiteral("k"), used}});
    }

    // "Importálás": the file's cabins through the register's session, the
    // report shown, the list reloaded; a refused file stores nothing.
    void importThroughTheForm() {
        Tkabinfm f;
        f.FormShow();
        f.show();
        QVERIFY(f.b_import && f.b_import->isEnabled());
        QCOMPARE(f.b_import->text(), QStringLiteral("Importálás"));
        const QString file = demo_.filePath(QStringLiteral("kabinok.csv"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("KOD;ARUCSOPORT;ALLAPOT\n9101;ALAP;\n9102;ALAP;Sérült\n9103;NINCS;\n");
        out.close();
        auto r = f.b_importClick(file);
        QVERIFY(!r.ok);
        QVERIFY(sink_.last().contains(QStringLiteral("4. sor, ARUCSOPORT: nincs ilyen árucsoport: NINCS")));
        QCOMPARE(one(QStringLiteral("SELECT COUNT(*) FROM ARU WHERE KOD STARTING WITH '910'")), QStringLiteral("0"));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("KOD;ARUCSOPORT;ALLAPOT\n9101;ALAP;\n9102;ALAP;Sérült\n");
        out.close();
        sink_.clear();
        r = f.b_importClick(file);
        QVERIFY(r.ok);
        QVERIFY(sink_.last().endsWith(QStringLiteral("Tárolva.")));
        QVERIFY(rowOf(f, QStringLiteral("9101")) >= 0);
        QCOMPARE(one(QStringLiteral("SELECT ALLAPOT FROM ARU WHERE KOD = '9102'")), QStringLiteral("SER"));
    }

    // "Terméklista" asks with four buttons; the last one stops.
    void listQuestion() {
        Tkabinfm f;
        f.FormShow();
        sink_.answers = {3};
        QTest::mouseClick(f.b_lista, Qt::LeftButton);
        QCOMPARE(sink_.last(), QStringLiteral("Kérem válaszon az alábbi lehetőségek közül"));
        const auto report = f.ListReport();
        QCOMPARE(report.name, QStringLiteral("Tqrtermeklista"));
        QCOMPARE(report.data.rowCount(), f.List().rowCount());
    }

    // The handover dialog: caption, contract and the company's copies.
    void printDialog() {
        vl::rental::Tspecfm d;
        d.Prepare(-1, 0, QString(), QString(), QString());
        QCOMPARE(d.windowTitle(), QStringLiteral("Biankó átadási-átvételi bizonylat nyomtatása"));
        QCOMPARE(d.e_pld->text(), QStringLiteral("2"));
        QTest::mouseClick(d.b_plus, Qt::LeftButton);
        QCOMPARE(d.e_pld->text(), QStringLiteral("3"));
        for (int i = 0; i < 5; ++i) QTest::mouseClick(d.b_minus, Qt::LeftButton);
        QCOMPARE(d.e_pld->text(), QStringLiteral("0"));
        bool empty = true;
        QCOMPARE(d.DocumentReport(&empty).name, QStringLiteral("Tqratadas2"));
        QVERIFY(!empty);
        const QString biz = one(QStringLiteral("SELECT MIN(BIZONYLAT) FROM FORGFEJ WHERE AKTIV = 'I'"));
        d.Prepare(biz.toLongLong(), 1, QStringLiteral("KIH"), QString(), QString());
        QCOMPARE(d.windowTitle(), QStringLiteral("Bizonylat nyomtatása"));
        QCOMPARE(d.l_biz->text(), biz);
        QCOMPARE(d.cb_ar->text(), QStringLiteral("Árakat írjunk a bizonylatra"));
        for (const char* n : {"b_printerset", "b_megnez", "b_nyomtat", "b_vissza"})
            QVERIFY2(d.findChild<QPushButton*>(QString::fromLatin1(n)), n);
        d.e_pld->setText(QStringLiteral("két"));
        d.PrintOrPreview(true);
        QCOMPARE(sink_.last(), QStringLiteral("A példányszám nem egész szám: két"));
        saveShot(&d, QStringLiteral("handover_print_dialog.png"));
    }

    // "Címkék nyomtatása": the cabins marked in the list (Ctrl+click), the
    // filter's group or all, on the sheet or one large label a page; the
    // preview shows their codes; a group without cabins is refused.
    void labelsFromTheRegister() {
        Tkabinfm f;
        f.FormShow();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.b_cimke->text(), QStringLiteral("Címkék nyomtatása"));
        QVERIFY(f.b_cimke->isEnabled());
        QTableView* grid = f.DBGrid1;
        for (int r : {2, 0, 4})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, r == 2 ? Qt::NoModifier : Qt::ControlModifier,
                              grid->visualRect(grid->model()->index(r, 1)).center());
        QCOMPARE(f.SelectedCodes(), (QStringList{"101", "103", "105"}));
        QCOMPARE(f.CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("105"));

        struct Shown { int pages = -1; QSizeF paper; QStringList codes; };
        auto previewOf = [](QPushButton* button) {
            Shown s;
            QTimer::singleShot(0, [&s] {
                auto* preview = qobject_cast<vl::reporting::ReportPreview*>(QApplication::activeModalWidget());
                if (!preview) return;
                s.pages = preview->pageCount();
                s.paper = preview->document().paperSize();
                s.codes = preview->document().pageCodes(0);
                preview->findChild<QPushButton*>(QStringLiteral("b_close"))->click();
            });
            button->click();
            return s;
        };
        QString checked, caption;
        vl::rental::LabelRequest marked, group;
        Shown sheet, large;
        QStringList refused;
        whenShown(QStringLiteral("Tcimkefm"), [&](QWidget* top) {
            auto* d = qobject_cast<vl::rental::Tcimkefm*>(top);
            if (!d) return;
            for (QRadioButton* b : {d->rb_kijelolt, d->rb_csoport, d->rb_osszes})
                if (b->isChecked()) checked = b->objectName();
            caption = d->rb_kijelolt->text();
            marked = d->Request();
            sheet = previewOf(d->b_kepernyo);
            d->rb_a6->setChecked(true);
            large = previewOf(d->b_kepernyo);
            d->rb_ives->setChecked(true);
            d->rb_csoport->setChecked(true);
            d->cb_csoport->setCurrentIndex(d->cb_csoport->findText(QStringLiteral("Egyéb kiegészítő (kézmosó, szemetes)")));
            group = d->Request();
            sink_.clear();
            d->b_kepernyo->click();
            refused = sink_.texts();
            d->b_megsem->click();
        });
        f.b_cimke->click();
        QCOMPARE(checked, QStringLiteral("rb_kijelolt"));
        QCOMPARE(caption, QStringLiteral("A kijelölt kabinok (3 db)"));
        QCOMPARE(marked.codes, (QStringList{"101", "103", "105"}));
        QVERIFY(marked.groupCode.isEmpty());
        QCOMPARE(sheet.pages, 1);
        QCOMPARE(sheet.paper, QSizeF(210, 297));
        QCOMPARE(sheet.codes, (QStringList{"VL:101", "VL:103", "VL:105"}));
        QCOMPARE(large.pages, 3);
        QCOMPARE(large.paper, QSizeF(105, 148));
        QCOMPARE(large.codes, QStringList{QStringLiteral("VL:101")});
        QCOMPARE(group.groupCode, QStringLiteral("Ek"));
        QVERIFY(group.codes.isEmpty());
        QCOMPARE(refused, QStringList{QStringLiteral("Nincs nyomtatandó címke: a(z) Ek termékcsoportban nincs kabin.")});

        // A group chosen in the filter is offered; with nothing marked, the fleet.
        QVERIFY(f.SetTypeFilter(QStringLiteral("Zuhanykabin")));
        f.Reload();
        vl::rental::Tcimkefm byFilter(QStringList{QStringLiteral("166")}, QStringLiteral("ZUH"), &f);
        QVERIFY(byFilter.rb_csoport->isChecked());
        QCOMPARE(byFilter.Request().groupCode, QStringLiteral("ZUH"));
        vl::rental::Tcimkefm none(QStringList(), QString(), &f);
        QVERIFY(none.rb_osszes->isChecked() && !none.rb_kijelolt->isEnabled());
        QVERIFY(none.Request().codes.isEmpty() && none.Request().groupCode.isEmpty());
    }
};

QTEST_MAIN(TstKabinForm)
#include "tst_kabin_form.moc"
