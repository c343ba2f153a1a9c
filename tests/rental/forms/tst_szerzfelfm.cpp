// The contract entry form on a demonstration database: its three modes, a
// contract typed from the keyboard alone into the work copies, dates left in
// any form, the header check on leaving the header, a contract that may not be
// changed, and the question before leaving without storing.
#include "GuiWiring.h"
#include "FormRegistry.h"
#include "RentalNodes.h"
#include "Tmain_pkrfm.h"
#include "Tmemoeditfm.h"
#include "Tszerzfelfm.h"
#include "db/Database.h"
#include "db/RowSetModel.h"
#include "rental/DemoData.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/Dates.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using vl::rental::ContractMode;
using vl::rental::Tszerzfelfm;
using vl::shell::dm;

namespace {

const QString kThisYear = QDate::currentDate().toString(QStringLiteral("yyyy"));

void createDemo(const QTemporaryDir& dir) {
    vl::db::ConnectParams p;
    p.database = dir.filePath(QStringLiteral("demo.fdb"));
    auto conn = vl::db::createFirebirdDatabase(p);
    vl::rental::Schema::upgrade(*conn);
    auto tx = conn->begin();
    vl::rental::Seeds::apply(*tx, kThisYear);
    tx->commit();
    vl::rental::DemoData::create(*conn, nullptr);
    conn->close();
    QFile ini(dir.filePath(QStringLiteral("PKR.INI")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QStringEncoder enc("windows-1250");
    ini.write(enc.encode(QStringLiteral("DBSERVER=") + p.database + QStringLiteral("\r\nWPWD=NONE\r\n")));
}

void connectTo(const QTemporaryDir& dir) {
    if (dm().isConnected()) dm().disconnect();
    QDir::setCurrent(dir.path());
    vl::shell::IniClear();
    QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
    QVERIFY(dm().ConnectDatabase());
    dm().CurrentUserCode = QStringLiteral("TESZT");
    dm().BusinessYear = kThisYear.toInt();
}

qint64 count(const QString& sql, const vl::db::Params& params = {}) {
    return dm().d_alap().query(sql, params).at(0, 0).toLongLong();
}

qint64 workTables() {
    return count(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'"));
}

// Every row of the rental tables: what "nothing stored" compares.
QStringList stored() {
    QStringList rows;
    for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) {
        auto rs = dm().d_alap().query(QStringLiteral("SELECT * FROM ") + QString::fromLatin1(t) +
                                      QStringLiteral(" ORDER BY 1, 2, 3"));
        while (rs.next()) {
            QStringList r;
            for (int c = 0; c < rs.columnCount(); ++c) r << rs.value(c).toString();
            rows << QString::fromLatin1(t) + QLatin1Char(' ') + r.join(u'|');
        }
    }
    return rows;
}

// A contract of the demo data in the given status (its number), -1 when none.
qint64 contractIn(const QString& status) {
    auto rs = dm().d_alap().query(QStringLiteral("SELECT FIRST 1 F.BIZONYLAT FROM FORGFEJ F WHERE F.STATUS = :s AND "
                                                 "EXISTS (SELECT 1 FROM FORGSOR S WHERE S.BIZONYLAT = F.BIZONYLAT) "
                                                 "ORDER BY F.BIZONYLAT"),
                                  {{QStringLiteral("s"), status}});
    return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
}

void saveShot(QWidget* w, const QString& name) {
    const QString dir = QStringLiteral("/work/main/out");
    if (QDir(dir).exists()) w->grab().save(dir + QLatin1Char('/') + name);
}

// A control of the form by its objectName (the test stops when it is missing).
template <class T> T* the(QWidget& form, const QString& name) {
    T* w = form.findChild<T*>(name);
    if (!w) qFatal("no control %s", qPrintable(name));
    return w;
}
template <class T> T* the(QWidget& form, const char* name) { return the<T>(form, QString::fromLatin1(name)); }
// The up or down arrow of a spin button.
QToolButton* spinArrow(QWidget& form, const QString& spin, const char* which) {
    return the<QToolButton>(*the<QWidget>(form, spin), which);
}

// The rows a grid shows.
vl::db::RowSetModel* rows(QWidget& form, const char* grid) {
    auto* m = qobject_cast<vl::db::RowSetModel*>(the<QTableView>(form, grid)->model());
    if (!m) qFatal("no rows in %s", grid);
    return m;
}

QWidget* focused() { return QApplication::focusWidget(); }
QString focusName() { return focused() ? focused()->objectName() : QString(); }
void key(Qt::Key k) { QTest::keyClick(focused(), k); }
// Types a text into the focused control, accented letters as a keyboard sends them.
void type(const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() < 128) {
            QTest::keyClick(focused(), ch.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, focused(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, focused(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
}

} // namespace

class TstSzerzfelfm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    QVariantMap customer_, site_;
    QString product_;   // a free "Alap WC kabin"
    int customerCalls_ = 0;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        createDemo(demo_);
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        connectTo(demo_);
        // A customer with a site, as the customer register answers a choice.
        auto c = dm().d_alap().query(QStringLiteral(
            "SELECT FIRST 1 U.KOD, U.NEV, U.FIZMOD, C.KOD CKOD, C.NEV CNEV FROM UGYFEL U JOIN UGYFELCIM C ON "
            "C.UGYFELKOD = U.KOD ORDER BY U.NEV, C.NEV"));
        QVERIFY(c.next());
        customer_ = {{QStringLiteral("KOD"), c.text(QStringLiteral("KOD"))},
                     {QStringLiteral("NEV"), c.text(QStringLiteral("NEV"))},
                     {QStringLiteral("FIZMOD"), c.text(QStringLiteral("FIZMOD"))}};
        site_ = {{QStringLiteral("KOD"), c.text(QStringLiteral("CKOD"))},
                 {QStringLiteral("NEV"), c.text(QStringLiteral("CNEV"))}};
        // Its internal remark, with an apostrophe and accents.
        dm().d_alap().exec(QStringLiteral("UPDATE UGYFEL SET KOMMENTSPEC = :k WHERE KOD = :kod"),
                           {{QStringLiteral("k"), QStringLiteral("Csak előre egyeztetett időben, O'Brien úr")},
                            {QStringLiteral("kod"), customer_.value(QStringLiteral("KOD"))}});
        auto a = dm().d_alap().query(
            QStringLiteral("SELECT FIRST 1 KOD FROM ARU WHERE ARUCSOPORT = 'ALAP' AND ALLAPOT = 'SZA' ORDER BY KOD"));
        QVERIFY(a.next());
        product_ = a.text(QStringLiteral("KOD"));

        dm().disconnect();
    }
    void init() {
        registerFakes();
        connectTo(demo_);
        sink_.clear();
        sink_.answers.clear();
    }
    void cleanup() {
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
    }
    void cleanupTestCase() {
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("Tugyfelfm"));
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("Tkabinfm"));
        use_.reset();
    }

    // The three modes: caption, what may be changed, the lists, the copies.
    void modes_data() {
        QTest::addColumn<QString>("mode");
        QTest::newRow("insert") << QStringLiteral("insert");
        QTest::newRow("modify") << QStringLiteral("modify");
        QTest::newRow("view") << QStringLiteral("view");
    }
    void modes() {
        QFETCH(QString, mode);
        const qint64 b = contractIn(QStringLiteral("FO"));
        QVERIFY(b > 0);
        const qint64 tablesBefore = workTables();
        const QStringList before = stored();
        Tszerzfelfm f;
        const bool insert = mode == QStringLiteral("insert");
        const bool view = mode == QStringLiteral("view");
        QVERIFY(f.FormShow({{QStringLiteral("Mode"), mode},
                            {QStringLiteral("Contract"), insert ? -1 : b},
                            {QStringLiteral("Version"), insert ? 0 : 1}}));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // Over the work panel beside the tree of a 1280x800 screen (about
        // 890x720) the form needs no sideways scrolling.
        const QSize least = the<QScrollArea>(f, "ScrollBox1")->widget()->minimumSizeHint();
        QVERIFY2(least.width() <= 880, qPrintable(QString::number(least.width())));
        f.resize(890, 720);
        QTest::qWait(50);
        saveShot(&f, QStringLiteral("Tszerzfelfm-%1.png").arg(mode));
        // Shown, it is worked from the keyboard: the customer's button has the focus.
        QTRY_COMPARE(focusName(), QStringLiteral("b_ugyfel"));

        const QString title = insert ? QStringLiteral("Bérletbe kiadás - új szerződés felvitele")
                              : view ? QStringLiteral("Bérletbe kiadás - %1. sz. szerződés megtekintése").arg(b)
                                     : QStringLiteral("Bérletbe kiadás - %1. sz. szerződés módosítása").arg(b);
        QCOMPARE(f.windowTitle(), title);
        QVERIFY(f.isModal());
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->count(), 4);
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->currentWidget(), the<QWidget>(f, "ts_forgsor"));
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->tabText(0), QStringLiteral("Termék típusok adatai"));
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->tabText(1), QStringLiteral("Termékek"));
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->tabText(2), QStringLiteral("Tevékenységek"));
        QCOMPARE(the<QTabWidget>(f, "pc_tetelek")->tabText(3), QStringLiteral("Fizetések"));
        QCOMPARE(f.findChild<QPushButton*>(QStringLiteral("b_tarol"))->isVisible(), !view);
        QCOMPARE(f.findChild<QPushButton*>(QStringLiteral("b_kilep"))->text(),
                 view ? QStringLiteral("Kilépés") : QStringLiteral("Kilépés tárolás nélkül"));
        for (const char* name : {"cb_fizmod", "cb_bermod", "e_szerzodes", "b_berkezd", "e_berkezd", "b_berveg",
                                 "e_berveg", "e_komment", "p_fsdata", "p_forgkabindata", "p_forgtevdata",
                                 "p_forgfizdata", "b_tartev", "b_toroltev"}) {
            auto* w = f.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w, name);
            QVERIFY2(w->isEnabled() == !view, name);
        }
        // Every named control is there.
        for (const char* name :
             {"p_forgfej", "Label1", "b_ugyfel", "l_ugyfelnev", "l_ugyfelcim", "l_cimadat", "Label4", "Label5",
              "l_berkezd", "l_berveg", "Label9", "Label10", "b_memo", "b_naptar", "cb_arucsop", "l_csopmegyseg",
              "e_mennyiseg", "e_bermenny", "cb_megysegcsop", "e_minimar", "e_arcsop", "e_karertek", "e_kiszall",
              "e_vszall", "e_h7csop", "cb_soforcsop", "e_kommcsop", "sp_1csop", "sp_7csop", "e_7csopar", "b_hozzaad",
              "b_modcsop", "b_torolcsop", "b_ureslap", "b_kabin", "e_arukod", "cbx_egyedi", "e_kiszallkab",
              "e_vszallkab", "e_1kab", "sp_1kab", "e_7kabar", "e_h7kab", "e_kommkabin", "b_torolkab", "b_modkabin",
              "b_datumtev", "e_datumtev", "cb_tev", "cb_sofortev", "e_tevar", "e_tevkomment", "e_tevmenny",
              "b_ujtev", "b_elvegezve", "b_karbgen", "Label11", "e_fiz", "b_fiznap", "b_fizerv", "b_ujfiz",
              "b_modfiz", "b_torfiz", "b_genfiz", "dbg_fiz"})
            QVERIFY2(f.findChild<QWidget*>(QString::fromLatin1(name)), name);

        const qint64 lines = count(QStringLiteral("SELECT COUNT(*) FROM FORGSOR WHERE BIZONYLAT = :b"),
                                   {{QStringLiteral("b"), b}});
        const qint64 items = count(QStringLiteral("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = :b"),
                                   {{QStringLiteral("b"), b}});
        QCOMPARE(qint64(rows(f, "dbg_forgsor")->rowCount()), insert ? 0 : lines);
        QCOMPARE(qint64(rows(f, "dbg_forgkabin")->rowCount()), insert ? 0 : items);
        QCOMPARE(workTables() - tablesBefore, view ? 0 : 4);
        if (!insert) {
            // The header and the first line as stored.
            auto h = dm().d_alap().query(QStringLiteral("SELECT F.BERKEZD, F.UGYFELKOD, U.NEV FROM FORGFEJ F JOIN "
                                                        "UGYFEL U ON U.KOD = F.UGYFELKOD WHERE F.BIZONYLAT = :b"),
                                         {{QStringLiteral("b"), b}});
            QVERIFY(h.next());
            QCOMPARE(the<QLineEdit>(f, "e_berkezd")->text(), h.text(QStringLiteral("BERKEZD")));
            QCOMPARE(the<QLabel>(f, "l_ugyfelnev")->text(), QStringLiteral("Ügyfél neve: ") + h.text(QStringLiteral("NEV")));
            QVERIFY(!the<QComboBox>(f, "cb_arucsop")->currentText().isEmpty());
            QVERIFY(!the<QLineEdit>(f, "e_mennyiseg")->text().isEmpty());
            QVERIFY(rows(f, "dbg_forgtev")->rowCount() > 0);
        } else {
            QCOMPARE(the<QComboBox>(f, "cb_fizmod")->currentIndex(), -1);
            QCOMPARE(the<QComboBox>(f, "cb_bermod")->currentIndex(), 0);
            QVERIFY(the<QLineEdit>(f, "e_berkezd")->text().isEmpty());
            QVERIFY(the<QLabel>(f, "l_ugyfelnev")->text().isEmpty());
        }
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));

        // Leaving: a stored contract's changes would be lost (asked, "Igen"),
        // a new one without lines and a viewed one ask nothing; the copies go,
        // nothing is stored.
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
        QCOMPARE(sink_.texts(), mode == QStringLiteral("modify")
                                    ? QStringList{QStringLiteral("Biztosan kilép tárolás nélkül? A módosítások elvesznek!")}
                                    : QStringList{});
        QCOMPARE(workTables(), tablesBefore);
        QCOMPARE(stored(), before);
    }

    // A contract entered from the keyboard alone lands in the work copies and
    // nowhere else.
    void keyboardEntry() {
        const QStringList before = stored();
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QCOMPARE(focusName(), QStringLiteral("b_ugyfel"));

        key(Qt::Key_Return);  // the customer register: chosen
        QCOMPARE(customerCalls_ > 0, true);
        QCOMPARE(lastCustomerParams_.value(QStringLiteral("SelectAllowed")).toBool(), true);
        QCOMPARE(the<QLabel>(f, "l_ugyfelnev")->text(), QStringLiteral("Ügyfél neve: ") + customer_.value(QStringLiteral("NEV")).toString());
        QVERIFY(the<QLabel>(f, "l_kommentspec")->text().contains(QStringLiteral("O'Brien úr")));
        QCOMPARE(vl::shell::MemoEditor().text(), QStringLiteral("Csak előre egyeztetett időben, O'Brien úr"));
        QVERIFY(the<QComboBox>(f, "cb_fizmod")->currentIndex() >= 0); // the customer's payment mode
        key(Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("cb_fizmod"));
        type(QStringLiteral("K"));
        QCOMPARE(the<QComboBox>(f, "cb_fizmod")->currentText(), QStringLiteral("Készpénz"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("cb_bermod"));
        QCOMPARE(the<QComboBox>(f, "cb_bermod")->currentText(), QStringLiteral("Határozott idejű bérlet"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_berkezd"));
        const QString start = QStringLiteral("%1.03.02").arg(kThisYear);
        const QString end = QStringLiteral("%1.06.30").arg(kThisYear);
        type(kThisYear + QStringLiteral("0302"));
        key(Qt::Key_Return);
        QCOMPARE(the<QLineEdit>(f, "e_berkezd")->text(), start);  // normalised when left
        QCOMPARE(the<QLabel>(f, "l_berkezd")->text(), vl::util::DayNameOf(start, QString()));
        type(kThisYear + QStringLiteral("0630"));
        key(Qt::Key_Return);
        QCOMPARE(the<QLineEdit>(f, "e_berveg")->text(), end);
        type(QStringLiteral("ÁB-12/2"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_komment"));
        the<QLineEdit>(f, "e_komment")->selectAll();
        type(QStringLiteral("Kapu mellé, 'B' épület"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("b_memo"));
        key(Qt::Key_Tab);  // leaves the header: checked, it passes; the line panel offers the term
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
        QCOMPARE(focusName(), QStringLiteral("cb_arucsop"));
        QCOMPARE(the<QLineEdit>(f, "e_kiszall")->text(), start);
        QCOMPARE(the<QLineEdit>(f, "e_vszall")->text(), end);
        QCOMPARE(the<QLineEdit>(f, "e_h7csop")->text(), QStringLiteral("1"));

        type(QStringLiteral("Al"));
        QCOMPARE(the<QComboBox>(f, "cb_arucsop")->currentText(), QStringLiteral("Alap WC kabin"));
        QCOMPARE(the<QLineEdit>(f, "e_karertek")->text(), QStringLiteral("250000"));
        QCOMPARE(the<QLabel>(f, "l_csopmegyseg")->text(), QStringLiteral("darab"));
        QCOMPARE(the<QLineEdit>(f, "e_h7csop")->text(), QStringLiteral("1"));   // the rhythm offered stays
        key(Qt::Key_Return);
        type(QStringLiteral("2"));                 // e_mennyiseg
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("cb_soforcsop"));
        key(Qt::Key_Return);                       // no driver
        type(QStringLiteral("15000"));             // e_arcsop
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_minimar"));
        QCOMPARE(the<QLineEdit>(f, "e_minimar")->text(), QStringLiteral("15000"));
        key(Qt::Key_Return);
        type(QStringLiteral("1"));                 // e_bermenny
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("cb_megysegcsop"));
        type(QStringLiteral("hó"));
        QCOMPARE(the<QComboBox>(f, "cb_megysegcsop")->currentText(), QStringLiteral("hónap"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_karertek"));
        key(Qt::Key_Return);                       // e_karertek as offered
        key(Qt::Key_Return);                       // e_kiszall as offered
        key(Qt::Key_Return);                       // e_vszall as offered
        key(Qt::Key_Return);                       // e_h7csop "1"
        QCOMPARE(focusName(), QStringLiteral("e_1csop"));
        type(QStringLiteral("1"));                 // Monday
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->palette().color(QPalette::Base), QColor(Qt::yellow));
        for (int i = 0; i < 7; ++i) key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_1csopar"));
        type(QStringLiteral("4500"));
        for (int i = 0; i < 7; ++i) key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("e_kommcsop"));
        type(QStringLiteral("Hátsó bejárat, O'Neil"));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("b_hozzaad"));
        key(Qt::Key_Return);                       // "Hozzáadás"
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));

        // In the copies: the line, its two items "*", their delivery and Monday visits.
        QCOMPARE(rows(f, "dbg_forgsor")->rowCount(), 1);
        QCOMPARE(rows(f, "dbg_forgsor")->currentValue(QStringLiteral("MENNYISEG")).toLongLong(), 2);
        QCOMPARE(rows(f, "dbg_forgsor")->currentValue(QStringLiteral("KOMMENT")).toString(), QStringLiteral("Hátsó bejárat, O'Neil"));
        QCOMPARE(rows(f, "dbg_forgsor")->currentValue(QStringLiteral("HKSZCSPSZV")).toString(), QStringLiteral("1000000"));
        QCOMPARE(rows(f, "dbg_forgsor")->currentValue(QStringLiteral("PERIODUS")).toLongLong(), 1);
        QCOMPARE(rows(f, "dbg_forgkabin")->rowCount(), 2);
        for (int r = 0; r < 2; ++r)
            QCOMPARE(rows(f, "dbg_forgkabin")->rowSet().at(r, rows(f, "dbg_forgkabin")->rowSet().indexOf(QStringLiteral("ARUKOD"))).toString(),
                     QStringLiteral("*"));
        const vl::db::RowSet acts = rows(f, "dbg_forgtev")->rowSet();
        QVERIFY(acts.rowCount() > 2);
        bool delivery = false, monday = false;
        for (int r = 0; r < acts.rowCount(); ++r) {
            const QString kind = acts.at(r, acts.indexOf(QStringLiteral("TEVKOD"))).toString().trimmed();
            const QString d = acts.at(r, acts.indexOf(QStringLiteral("DATUM"))).toString();
            if (kind == QStringLiteral("KIH") && d == start) delivery = true;
            if (kind == QStringLiteral("KA")) {
                QCOMPARE(vl::util::WeekdayMon1(d), 1);
                QVERIFY(d > start && d <= end);
                monday = true;
            }
        }
        QVERIFY(delivery);
        QVERIFY(monday);

        // The first item gets a product through the product register.
        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgkabin"));
        the<QPushButton>(f, "b_kabin")->setFocus();
        key(Qt::Key_Return);
        QCOMPARE(lastProductParams_.value(QStringLiteral("TypeFilter")).toString(), QStringLiteral("Alap WC kabin"));
        QCOMPARE(lastProductParams_.value(QStringLiteral("StatusFilter")).toString(), QStringLiteral("Szabad"));
        QCOMPARE(lastProductParams_.value(QStringLiteral("TakenCodes")).toStringList(), QStringList());
        QCOMPARE(the<QLineEdit>(f, "e_arukod")->text(), product_);
        the<QPushButton>(f, "b_modkabin")->setFocus();
        key(Qt::Key_Return);
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
        QCOMPARE(rows(f, "dbg_forgkabin")->currentValue(QStringLiteral("ARUKOD")).toString(), product_);
        saveShot(&f, QStringLiteral("Tszerzfelfm-termekek.png"));
        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgsor"));
        saveShot(&f, QStringLiteral("Tszerzfelfm-csoport.png"));
        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgtev"));
        saveShot(&f, QStringLiteral("Tszerzfelfm-tevekenysegek.png"));
        QCOMPARE(the<QLabel>(f, "l_termek")->text(), vl::rental::ContractSession::itemLabel(1, 1, product_));
        // The second item's picker shows the first one's cabin as taken on this contract.
        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgkabin"));
        {
            auto* g = the<QTableView>(f, "dbg_forgkabin");
            g->setCurrentIndex(g->model()->index(1, 0));
        }
        QCOMPARE(rows(f, "dbg_forgkabin")->currentValue(QStringLiteral("SORSZAM")).toLongLong(), 2);
        lastProductParams_.clear();
        the<QPushButton>(f, "b_kabin")->setFocus();
        key(Qt::Key_Return);
        QCOMPARE(lastProductParams_.value(QStringLiteral("TakenCodes")).toStringList(), QStringList{product_});

        // Nothing reached the rental tables.
        QCOMPARE(stored(), before);
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
        QCOMPARE(stored(), before);
    }

    // Dates typed in any form a date is accepted in become 'yyyy.mm.dd' when
    // the field is left; anything else stays as typed for the checks.
    void datesNormalisedWhenLeft_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("digits") << "e_berkezd" << "20260115" << "2026.01.15";
        QTest::newRow("dotted") << "e_berveg" << "2026.02.28" << "2026.02.28";
        QTest::newRow("month") << "e_kiszall" << "202604" << "2026.04.01";
        QTest::newRow("dotted month") << "e_vszall" << "2026.05" << "2026.05.01";
        QTest::newRow("item delivery") << "e_kiszallkab" << "20261231" << "2026.12.31";
        QTest::newRow("activity day") << "e_datumtev" << "20260704" << "2026.07.04";
        QTest::newRow("payment day") << "e_fiznap" << "20260801" << "2026.08.01";
        QTest::newRow("no such day") << "e_vszallkab" << "20260230" << "20260230";
        QTest::newRow("letters refused") << "e_fizerv" << "2026a.0b1" << "2026.01.01";
        QTest::newRow("empty") << "e_berveg" << "" << "";
    }
    void datesNormalisedWhenLeft() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        auto* e = f.findChild<QLineEdit*>(field);
        QVERIFY(e);
        for (QWidget* page : {the<QWidget>(f, "ts_forgsor"), the<QWidget>(f, "ts_forgkabin"), the<QWidget>(f, "ts_forgtev"), the<QWidget>(f, "ts_forgfiz")})
            if (page->isAncestorOf(e)) the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(page);
        // The header is not checked in this test: a customer and a start are there.
        the<QPushButton>(f, "b_ugyfel")->click();
        the<QLineEdit>(f, "e_berkezd")->setText(QStringLiteral("2026.01.01"));
        the<QLineEdit>(f, "e_berveg")->setText(QStringLiteral("2026.12.31"));
        sink_.clear();
        e->setFocus();
        e->clear();
        type(typed);
        key(Qt::Key_Tab);
        QCOMPARE(e->text(), shown);
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
    }

    // Leaving the header with a fault shows the header's message and keeps the
    // focus on the control at fault; nothing is written.
    void headerCheckedWhenLeft() {
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        the<QPushButton>(f, "b_ugyfel")->click();
        QCOMPARE(the<QComboBox>(f, "cb_bermod")->currentText(), QStringLiteral("Határozott idejű bérlet")); // fixed term
        the<QLineEdit>(f, "e_berkezd")->setText(QStringLiteral("2026.03.01"));
        the<QLineEdit>(f, "e_komment")->setFocus();
        sink_.clear();
        the<QLineEdit>(f, "e_mennyiseg")->setFocus();  // leaves the header without an end date
        QCOMPARE(sink_.texts(),
                 QStringList{QStringLiteral("A fej adatokban az alábbi hibák vannak:\rHatározott idejű bérlet bérlet "
                                            "módja esetén a bérlet vége kitöltendő\r")});
        QCOMPARE(focusName(), QStringLiteral("e_berveg"));
        QVERIFY(rows(f, "dbg_forgsor")->rowCount() == 0);
        // With the end date the header is left without a word.
        sink_.clear();
        the<QLineEdit>(f, "e_berveg")->setText(QStringLiteral("2026.04.30"));
        the<QLineEdit>(f, "e_mennyiseg")->setFocus();
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
        QCOMPARE(focusName(), QStringLiteral("e_mennyiseg"));
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

    // Leaving without storing: asked only when there are lines; "Nem" stays
    // with the copies, "Igen" drops them; Escape and the close button leave the
    // same way, and view mode never asks.
    void closingQuestion() {
        const qint64 tablesBefore = workTables();
        const qint64 b = contractIn(QStringLiteral("FO"));
        const QStringList before = stored();
        {
            // A changed contract: "Nem" keeps the form, its copies and the rows.
            Tszerzfelfm f;
            QVERIFY(f.FormShow(ContractMode::Modify, b, 1));
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            const int lines = rows(f, "dbg_forgsor")->rowCount();
            QVERIFY(lines > 0);
            sink_.answers = {1};
            QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
            QCOMPARE(sink_.texts(),
                     QStringList{QStringLiteral("Biztosan kilép tárolás nélkül? A módosítások elvesznek!")});
            QCOMPARE(sink_.defaultButtons, QList<int>{1}); // Enter answers "Nem"
            QVERIFY(f.isVisible());
            QCOMPARE(workTables() - tablesBefore, 4);
            QCOMPARE(rows(f, "dbg_forgsor")->rowCount(), lines);
            // The window's close button asks the same; "Nem" again.
            sink_.clear();
            sink_.answers = {1};
            f.close();
            QVERIFY(f.isVisible());
            QCOMPARE(sink_.texts().size(), 1);
            // Escape, then "Igen": closed, the copies dropped.
            sink_.clear();
            sink_.answers = {0};
            QTest::keyClick(&f, Qt::Key_Escape);
            QCOMPARE(sink_.texts(),
                     QStringList{QStringLiteral("Biztosan kilép tárolás nélkül? A módosítások elvesznek!")});
            QVERIFY(!f.isVisible());
            QVERIFY(f.closingAllowed());
            QVERIFY(!f.stored());
            QCOMPARE(workTables(), tablesBefore);
        }
        {
            // A new contract with a line asks about the entered data.
            Tszerzfelfm f;
            QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            the<QPushButton>(f, "b_ugyfel")->click();
            the<QLineEdit>(f, "e_berkezd")->setText(QStringLiteral("2026.03.01"));
            the<QLineEdit>(f, "e_berveg")->setText(QStringLiteral("2026.04.30"));
            the<QComboBox>(f, "cb_arucsop")->setCurrentIndex(the<QComboBox>(f, "cb_arucsop")->findText(QStringLiteral("Alap WC kabin")));
            the<QLineEdit>(f, "e_mennyiseg")->setText(QStringLiteral("1"));
            the<QLineEdit>(f, "e_bermenny")->setText(QStringLiteral("1"));
            the<QComboBox>(f, "cb_megysegcsop")->setCurrentIndex(the<QComboBox>(f, "cb_megysegcsop")->findText(QStringLiteral("hét")));
            the<QLineEdit>(f, "e_arcsop")->setText(QStringLiteral("9000"));
            the<QLineEdit>(f, "e_kiszall")->setText(QStringLiteral("2026.03.01"));
            the<QLineEdit>(f, "e_h7csop")->setText(QStringLiteral("1"));
            the<QLineEdit>(f, "e_3csop")->setText(QStringLiteral("1"));
            the<QLineEdit>(f, "e_3csopar")->setText(QStringLiteral("4500"));
            sink_.clear();
            the<QPushButton>(f, "b_hozzaad")->click();
            QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
            QCOMPARE(rows(f, "dbg_forgsor")->rowCount(), 1);
            sink_.answers = {0};
            QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
            QCOMPARE(sink_.texts(),
                     QStringList{QStringLiteral("Biztosan kilép tárolás nélkül? A felvitt adatok elvesznek!")});
            QVERIFY(!f.isVisible());
            QCOMPARE(workTables(), tablesBefore);
        }
        {
            // View mode: "Kilépés" without a question; Escape as well.
            Tszerzfelfm f;
            QVERIFY(f.FormShow(ContractMode::View, b, 1));
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            sink_.clear();
            QTest::keyClick(&f, Qt::Key_Escape);
            QVERIFY(!f.isVisible());
            QVERIFY(sink_.messages.isEmpty());
        }
        QCOMPARE(stored(), before);
    }

    // A contract whose status may not be changed opens with its lines and
    // items read-only; the done mark and the payments stay open.
    void notModifiableReadOnly() {
        const qint64 b = contractIn(QStringLiteral("FO"));
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
        Tszerzfelfm f;
        const bool opened = f.FormShow(ContractMode::Modify, b, 1);
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET STATUS = 'FO' WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
        QVERIFY(opened);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(!the<QWidget>(f, "p_fsdata")->isEnabled());
        QVERIFY(!the<QWidget>(f, "p_forgkabindata")->isEnabled());
        QVERIFY(!the<QPushButton>(f, "b_ujtev")->isEnabled());
        QVERIFY(!the<QPushButton>(f, "b_toroltev")->isEnabled());
        QVERIFY(!the<QPushButton>(f, "b_karbgen")->isEnabled());
        QVERIFY(the<QPushButton>(f, "b_elvegezve")->isEnabled());
        QVERIFY(the<QWidget>(f, "p_forgfizdata")->isEnabled());
        QVERIFY(the<QLabel>(f, "l_nemmodosithato")->isVisibleTo(&f));
        QCOMPARE(the<QLabel>(f, "l_nemmodosithato")->text(), QStringLiteral("Lezárt szerződés nem módosítható."));
        QVERIFY(rows(f, "dbg_forgsor")->rowCount() > 0);
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

    // The spin buttons beside the weekday counts: up from nothing colours the
    // count and offers the day's visit price, never above nine; down to
    // nothing clears it. Choosing an activity kind offers its price.
    void spinButtonsAndPrices() {
        const qint64 b = contractIn(QStringLiteral("FO"));
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Modify, b, 1));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mouseClick(the<QPushButton>(f, "b_ureslap"), Qt::LeftButton);
        the<QComboBox>(f, "cb_arucsop")->setCurrentIndex(the<QComboBox>(f, "cb_arucsop")->findText(QStringLiteral("Alap WC kabin")));
        const QColor plain = QApplication::palette(the<QLineEdit>(f, "e_1csop")).color(QPalette::Base);
        auto up = [&](int day) { QTest::mouseClick(spinArrow(f, QStringLiteral("sp_%1csop").arg(day), "up"), Qt::LeftButton); };
        auto down = [&](int day) { QTest::mouseClick(spinArrow(f, QStringLiteral("sp_%1csop").arg(day), "down"), Qt::LeftButton); };
        up(1);
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->text(), QStringLiteral("1"));
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->palette().color(QPalette::Base), QColor(Qt::yellow));
        QCOMPARE(the<QLineEdit>(f, "e_1csopar")->text(), QStringLiteral("4500"));   // the weekday's visit price of the group
        the<QLineEdit>(f, "e_1csopar")->setText(QStringLiteral("5000"));
        up(1);
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->text(), QStringLiteral("2"));
        QCOMPARE(the<QLineEdit>(f, "e_1csopar")->text(), QStringLiteral("5000"));   // a typed price stays
        down(1);
        down(1);
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->text(), QString());
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->palette().color(QPalette::Base), plain);
        down(1);
        QCOMPARE(the<QLineEdit>(f, "e_1csop")->text(), QString());
        up(6);
        QCOMPARE(the<QLineEdit>(f, "e_6csopar")->text(), QStringLiteral("6000"));   // Saturday's own price
        for (int i = 0; i < 12; ++i) up(6);
        QCOMPARE(the<QLineEdit>(f, "e_6csop")->text(), QStringLiteral("9"));
        // The item panel's buttons work on its own boxes.
        QTest::mouseClick(spinArrow(f, QStringLiteral("sp_3kab"), "up"), Qt::LeftButton);
        QCOMPARE(the<QLineEdit>(f, "e_3kab")->text().isEmpty(), false);
        QCOMPARE(the<QLineEdit>(f, "e_3kab")->palette().color(QPalette::Base), QColor(Qt::yellow));

        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgtev"));
        const QString group = rows(f, "dbg_forgkabin")->currentValue(QStringLiteral("NEV")).toString();
        the<QComboBox>(f, "cb_tev")->setCurrentIndex(the<QComboBox>(f, "cb_tev")->findText(QStringLiteral("Rendkívüli szippantás")));
        QCOMPARE(the<QLineEdit>(f, "e_tevar")->text(), QStringLiteral("9000"));
        QVERIFY(!group.isEmpty());
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
    }

    // Bad input: a customer without a site is not taken; a refused line keeps
    // what was typed (apostrophes and accents included) and writes nothing.
    void badInputKeepsTypedValues() {
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // A customer of no site, as the register answers for it.
        const QString lonely =
            dm().d_alap()
                .query(QStringLiteral("INSERT INTO UGYFEL (NEV, FIZMOD) VALUES (:n, 'KP') RETURNING KOD"),
                       {{QStringLiteral("n"), QStringLiteral("Ómega 'Kft.'")}})
                .at(0, 0)
                .toString();
        const QVariantMap customer = customer_, site = site_;
        customer_ = {{QStringLiteral("KOD"), lonely}, {QStringLiteral("NEV"), QStringLiteral("Ómega 'Kft.'")}};
        site_.clear();
        QTest::mouseClick(the<QPushButton>(f, "b_ugyfel"), Qt::LeftButton);
        customer_ = customer;
        site_ = site;
        dm().d_alap().exec(QStringLiteral("DELETE FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), lonely}});
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Az ügyfélhez nincs szállítási cím rendelve!")});
        QVERIFY(the<QLabel>(f, "l_ugyfelnev")->text().isEmpty());

        sink_.clear();
        QTest::mouseClick(the<QPushButton>(f, "b_ugyfel"), Qt::LeftButton);
        the<QLineEdit>(f, "e_berkezd")->setText(QStringLiteral("2026.03.01"));
        the<QLineEdit>(f, "e_berveg")->setText(QStringLiteral("2026.04.30"));
        auto* group = the<QComboBox>(f, "cb_arucsop");
        group->setCurrentIndex(group->findText(QStringLiteral("Alap WC kabin")));
        the<QLineEdit>(f, "e_mennyiseg")->setText(QStringLiteral("0"));
        the<QLineEdit>(f, "e_bermenny")->setText(QStringLiteral("1"));
        the<QLineEdit>(f, "e_arcsop")->setText(QStringLiteral("9000"));
        the<QLineEdit>(f, "e_kiszall")->setText(QStringLiteral("2026.03.01"));
        const QString remark = QStringLiteral("Ügyeljen: 'Kőrösi' út, \"B\" kapu");
        the<QLineEdit>(f, "e_kommcsop")->setText(remark);
        sink_.clear();
        QTest::mouseClick(the<QPushButton>(f, "b_hozzaad"), Qt::LeftButton);
        QCOMPARE(sink_.messages.size(), 1);
        QVERIFY2(sink_.last().startsWith(QStringLiteral("A termékcsoport adatokban az alábbi hibák vannak:")),
                 qPrintable(sink_.last()));
        QVERIFY2(sink_.last().contains(QStringLiteral("A darabszám értelmetlen")), qPrintable(sink_.last()));
        QVERIFY2(sink_.last().contains(QStringLiteral("Nincs mennyiségi egység megadva")), qPrintable(sink_.last()));
        QCOMPARE(the<QLineEdit>(f, "e_kommcsop")->text(), remark);
        QCOMPARE(the<QLineEdit>(f, "e_mennyiseg")->text(), QStringLiteral("0"));
        QCOMPARE(group->currentText(), QStringLiteral("Alap WC kabin"));
        QCOMPARE(rows(f, "dbg_forgsor")->rowCount(), 0);
        QCOMPARE(f.session()->lines().rowCount(), 0);
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

    // An action the database refuses is shown as an error, and the panel keeps
    // what was typed (the action's transaction changed nothing).
    void failedActionKeepsTypedValues() {
        Tszerzfelfm f;
        QVERIFY(f.FormShow(ContractMode::Insert, -1, 0));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mouseClick(the<QPushButton>(f, "b_ugyfel"), Qt::LeftButton);
        the<QLineEdit>(f, "e_berkezd")->setText(QStringLiteral("2026.03.01"));
        the<QLineEdit>(f, "e_berveg")->setText(QStringLiteral("2026.04.30"));
        auto* group = the<QComboBox>(f, "cb_arucsop");
        group->setCurrentIndex(group->findText(QStringLiteral("Alap WC kabin")));
        auto* unit = the<QComboBox>(f, "cb_megysegcsop");
        unit->setCurrentIndex(unit->findText(QStringLiteral("hét")));
        the<QLineEdit>(f, "e_mennyiseg")->setText(QStringLiteral("2"));
        the<QLineEdit>(f, "e_bermenny")->setText(QStringLiteral("1"));
        the<QLineEdit>(f, "e_arcsop")->setText(QStringLiteral("9000"));
        the<QLineEdit>(f, "e_kiszall")->setText(QStringLiteral("2026.03.01"));
        the<QLineEdit>(f, "e_kommcsop")->setText(QStringLiteral("Nem vész el"));
        // The items' copy is gone: writing the line's items fails.
        const QStringList copies = f.session()->workCopyNames();
        QCOMPARE(copies.size(), 4);
        dm().d_alap().exec(QStringLiteral("DROP TABLE ") + copies.at(1));
        sink_.clear();
        QTest::mouseClick(the<QPushButton>(f, "b_hozzaad"), Qt::LeftButton);
        QCOMPARE(sink_.messages.size(), 1);
        QCOMPARE(sink_.messages.first().first, vl::MsgKind::Error);
        QCOMPARE(f.session()->lines().rowCount(), 0);   // rolled back whole
        QCOMPARE(the<QLineEdit>(f, "e_mennyiseg")->text(), QStringLiteral("2"));
        QCOMPARE(the<QLineEdit>(f, "e_kommcsop")->text(), QStringLiteral("Nem vész el"));
        QCOMPARE(group->currentText(), QStringLiteral("Alap WC kabin"));
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

    // A new contract opened for a customer and site shows them at once.
    void presetCustomer() {
        Tszerzfelfm f;
        QVERIFY(f.FormShow({{QStringLiteral("Mode"), QStringLiteral("insert")},
                            {QStringLiteral("Contract"), -1},
                            {QStringLiteral("Version"), 0},
                            {QStringLiteral("CustomerKey"), customer_.value(QStringLiteral("KOD"))},
                            {QStringLiteral("SiteKey"), site_.value(QStringLiteral("KOD"))}}));
        QCOMPARE(the<QLabel>(f, "l_ugyfelnev")->text(), QStringLiteral("Ügyfél neve: ") + customer_.value(QStringLiteral("NEV")).toString());
        QVERIFY(the<QLabel>(f, "l_ugyfelcim")->text().startsWith(QStringLiteral("Szállítási cím: ") +
                                                 site_.value(QStringLiteral("NEV")).toString()));
        QVERIFY(sink_.messages.isEmpty());
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(sink_.messages.isEmpty());
    }

    // A code that is no longer in its dictionary is named, and loading goes on.
    void missingDictionaryEntries() {
        const qint64 b = contractIn(QStringLiteral("FO"));
        const qint64 line = count(QStringLiteral("SELECT MIN(TETELSOR) FROM FORGSOR WHERE BIZONYLAT = :b"),
                                  {{QStringLiteral("b"), b}});
        auto old = dm().d_alap().query(QStringLiteral("SELECT SOFORKOD, BERMEGYSEG FROM FORGSOR WHERE BIZONYLAT = :b "
                                                      "AND TETELSOR = :t"),
                                       {{QStringLiteral("b"), b}, {QStringLiteral("t"), line}});
        QVERIFY(old.next());
        const vl::db::Params key{{QStringLiteral("b"), b}, {QStringLiteral("t"), line}};
        dm().d_alap().exec(QStringLiteral("UPDATE FORGSOR SET SOFORKOD = 'NINCS''1', BERMEGYSEG = 'ÉV' "
                                          "WHERE BIZONYLAT = :b AND TETELSOR = :t"), key);
        Tszerzfelfm f;
        const bool opened = f.FormShow(ContractMode::View, b, 1);
        vl::db::Params back = key;
        back.push_back({QStringLiteral("s"), old.value(QStringLiteral("SOFORKOD"))});
        back.push_back({QStringLiteral("u"), old.value(QStringLiteral("BERMEGYSEG"))});
        dm().d_alap().exec(QStringLiteral("UPDATE FORGSOR SET SOFORKOD = :s, BERMEGYSEG = :u "
                                          "WHERE BIZONYLAT = :b AND TETELSOR = :t"), back);
        QVERIFY(opened);
        QCOMPARE(sink_.texts(), (QStringList{QStringLiteral("Hova lett ez a mennyiségi egység? ÉV"),
                                             QStringLiteral("Hova lett ez az sofőrkód? NINCS'1")}));
        QCOMPARE(the<QComboBox>(f, "cb_soforcsop")->currentIndex(), -1);
        QVERIFY(!the<QLineEdit>(f, "e_mennyiseg")->text().isEmpty());   // the rest of the line is shown
        QVERIFY(rows(f, "dbg_forgkabin")->rowCount() > 0);
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
    }

    // On a closed contract the take-back still takes its done mark (in the
    // copies only): the button on the activities page works.
    void closedContractTakeBackDone() {
        auto vsz = dm().d_alap().query(QStringLiteral(
            "SELECT FIRST 1 T.BIZONYLAT, T.TETELSOR, T.SORSZAM, T.DATUM, T.TEVSORSZAM FROM FORGTEV T JOIN FORGFEJ F "
            "ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO WHERE T.TEVKOD = 'VSZ' AND T.TEVALLAPOT = 'T' "
            "AND F.STATUS = 'FO' ORDER BY T.BIZONYLAT"));
        if (!vsz.next()) QSKIP("the demo data holds no planned take-back");
        const qint64 b = vsz.integer(QStringLiteral("BIZONYLAT"));
        const qint64 line = vsz.integer(QStringLiteral("TETELSOR"));
        const qint64 item = vsz.integer(QStringLiteral("SORSZAM"));
        const QString day = vsz.text(QStringLiteral("DATUM"));
        const QStringList before = stored();
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET STATUS = 'LEZ' WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
        Tszerzfelfm f;
        const bool opened = f.FormShow(ContractMode::Modify, b, 1);
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET STATUS = 'FO' WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
        QVERIFY(opened);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        the<QTabWidget>(f, "pc_tetelek")->setCurrentWidget(the<QWidget>(f, "ts_forgtev"));
        f.gotoItem(line, item);
        auto* acts = rows(f, "dbg_forgtev");
        const vl::db::RowSet& rs = acts->rowSet();
        int row = -1;
        for (int r = 0; r < rs.rowCount(); ++r)
            if (rs.at(r, rs.indexOf(QStringLiteral("TEVKOD"))).toString().trimmed() == QStringLiteral("VSZ") &&
                rs.at(r, rs.indexOf(QStringLiteral("DATUM"))).toString() == day)
                row = r;
        QVERIFY(row >= 0);
        the<QTableView>(f, "dbg_forgtev")->setCurrentIndex(acts->index(row, 0));
        QVERIFY(the<QPushButton>(f, "b_elvegezve")->isEnabled());
        sink_.clear();
        sink_.answers = {0, 0, 0};
        QTest::mouseClick(the<QPushButton>(f, "b_elvegezve"), Qt::LeftButton);
        QVERIFY2(sink_.texts().contains(QStringLiteral("Biztosan megváltoztatja a tevékenység állapotát?")),
                 qPrintable(sink_.texts().join(u'\n')));
        QCOMPARE(acts->currentValue(QStringLiteral("TEVKOD")).toString().trimmed(), QStringLiteral("VSZ"));
        QCOMPARE(acts->currentValue(QStringLiteral("TEVALLAPOT")).toString().trimmed(), QStringLiteral("E"));
        QCOMPARE(stored(), before);   // the copies only
        sink_.answers = {0};
        QTest::mouseClick(the<QPushButton>(f, "b_kilep"), Qt::LeftButton);
        QVERIFY(!f.isVisible());
        QCOMPARE(stored(), before);
    }

    // Node 22 opens a new contract, modal, through the program's own wiring;
    // the registry name opens a stored one in view mode.
    void openedFromTreeAndByName() {
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::gui::registerAll(w);
        QVERIFY(w.hasHandler(22));
        QVERIFY(vl::shell::FormRegistry::instance().has(QStringLiteral("Tszerzfelfm")));
        QString title;
        bool modal = false;
        whenShown(QStringLiteral("Tszerzfelfm"), [&](QWidget* top) {
            title = top->windowTitle();
            modal = top->isModal() || top->windowModality() != Qt::NonModal;
            QTest::mouseClick(top->findChild<QPushButton*>(QStringLiteral("b_kilep")), Qt::LeftButton);
        });
        w.dispatch(22);
        QCOMPARE(title, QStringLiteral("Bérletbe kiadás - új szerződés felvitele"));
        QVERIFY(modal);

        const qint64 b = contractIn(QStringLiteral("FO"));
        int lines = -1;
        whenShown(QStringLiteral("Tszerzfelfm"), [&](QWidget* top) {
            title = top->windowTitle();
            lines = rows(*top, "dbg_forgsor")->rowCount();
            QTest::mouseClick(top->findChild<QPushButton*>(QStringLiteral("b_kilep")), Qt::LeftButton);
        });
        const auto r = vl::shell::openForm(QStringLiteral("Tszerzfelfm"),
                                           {{QStringLiteral("Mode"), QStringLiteral("view")},
                                            {QStringLiteral("Contract"), b},
                                            {QStringLiteral("Version"), 1}});
        QVERIFY(!r.accepted);
        QCOMPARE(title, QStringLiteral("Bérletbe kiadás - %1. sz. szerződés megtekintése").arg(b));
        QVERIFY(lines > 0);
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
    }

private:
    QVariantMap lastCustomerParams_, lastProductParams_;

    // The customer and product registers as their selection modes answer.
    void registerFakes() {
        auto& reg = vl::shell::FormRegistry::instance();
        reg.registerForm(QStringLiteral("Tugyfelfm"), [this](QWidget*, const QVariantMap& params) {
            ++customerCalls_;
            lastCustomerParams_ = params;
            vl::shell::FormResult r;
            r.accepted = true;
            r.values = {{QStringLiteral("Selected"), true},
                        {QStringLiteral("Customer"), customer_},
                        {QStringLiteral("Site"), site_}};
            return r;
        });
        reg.registerForm(QStringLiteral("Tkabinfm"), [this](QWidget*, const QVariantMap& params) {
            lastProductParams_ = params;
            vl::shell::FormResult r;
            r.accepted = true;
            r.values = {{QStringLiteral("ProductPicked"), true}, {QStringLiteral("KOD"), product_},
                        {QStringLiteral("KIADHATO"), true}};
            return r;
        });
    }

    static void whenShown(const QString& name, std::function<void(QWidget*)> action, int triesLeft = 3000) {
        QTimer::singleShot(10, [=]() {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible()) {
                    action(w);
                    return;
                }
            if (triesLeft > 0) whenShown(name, action, triesLeft - 1);
        });
    }
};

QTEST_MAIN(TstSzerzfelfm)
#include "tst_szerzfelfm.moc"
