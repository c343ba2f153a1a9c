// Pages 1-3 of the orders workspace on a demonstration database, controls
// found by objectName: the products page and its panel, a driver stored from
// the panel, the modes, the number change with the product register's answers,
// the removal's question, the return document's preview, the activities up to
// the activity day, and the payments page (a refused amount, a payment
// recorded and shown in bold). A picture of the products page is left in out/.
#include "GuiTestSupport.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tugyfelrendfm.h"
#include "FormRegistry.h"
#include "rental/DemoData.h"
#include "rental/OrdersItems.h"
#include "rental/Payments.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

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
template <typename T>
T* child(QWidget& f, const char* name) {
    T* w = f.findChild<T*>(QString::fromLatin1(name));
    if (!w) qWarning() << "missing" << name;
    return w;
}

} // namespace

class TstUgyfelrendPages : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::shell::Tmain_pkrfm> main_;
    QList<QVariantMap> docPrints_;
    QVariantMap picked_;
    int pickerCalls_ = 0;

    // A customer with products on a modifiable open contract, not back.
    QString customer() {
        return text("SELECT FIRST 1 F.UGYFELKOD FROM FORGFEJ F JOIN FORGKABIN K ON K.BIZONYLAT = F.BIZONYLAT"
                    " WHERE F.AKTIV = 'I' AND F.STATUS = 'FO' AND (K.VSZALL IS NULL OR K.VSZALL = '')"
                    " GROUP BY F.UGYFELKOD ORDER BY COUNT(*) DESC, 1");
    }
    Tugyfelrendfm& shown(int page) {
        Tugyfelrendfm& f = vl::rental::OrdersWorkspaceForm();
        f.CustomerKey = customer();
        f.SiteKey = QString();
        f.ActivityDate = "2026.03.15";
        [&] { QVERIFY(f.FormShow()); }();
        f.show();
        f.cb_ugyfelcim->setCurrentIndex(0);
        emit f.cb_ugyfelcim->activated(0);
        f.pc_tev->setCurrentIndex(page);
        return f;
    }
    // The first product row that is not back.
    int productRow(QTableView* g) {
        auto* m = g->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 7).data().toString().trimmed().isEmpty()) return r;
        return -1;
    }
    qint64 cell(QTableView* g, int row, int col) { return g->model()->index(row, col).data().toString().toLongLong(); }

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
        auto& reg = vl::shell::FormRegistry::instance();
        reg.registerForm("ShowDocPrint", [this](QWidget*, const QVariantMap& p) {
            docPrints_ << p;
            return vl::shell::FormResult{};
        });
        reg.registerForm("Tkabinfm", [this](QWidget*, const QVariantMap& p) {
            ++pickerCalls_;
            QVariantMap v = picked_;
            v["filters"] = p;
            return vl::shell::FormResult{v.value("ProductPicked").toBool(), v};
        });
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
        docPrints_.clear();
    }
    void cleanup() {
        Tugyfelrendfm& f = vl::rental::OrdersWorkspaceForm();
        if (auto* b = f.findChild<QPushButton*>("b_megsemkabin"); b && b->isEnabled()) b->click();
        if (f.isVisible()) f.b_vissza->click();
    }
    void cleanupTestCase() {
        main_.reset();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }

    void controlsAndCaptions() {
        Tugyfelrendfm& f = shown(1);
        const QList<QPair<const char*, QString>> buttons{
            {"b_vissznyom", "Visszavételi bizonylat nyomtatása"}, {"b_kabin", "Termékszám módosítása"},
            {"b_modkabin", "Termék adatok módosítása"}, {"b_tarolkabin", "Termék adatok tárolása"},
            {"b_megsemkabin", "Mégsem"}, {"b_torolkab", "Termék törlése "}, {"b_kiszallkab", "Kiszállítás dátuma"},
            {"b_vszalltkab", "Visszavétel terv.dátuma"}, {"b_fiznap", "Időszak kezdete ->"}, {"b_fizerv", "Időszak vége ->"},
            {"b_hozzaadas", "Fiz. adatok tárolása"}, {"b_torles", "Törlés"}, {"b_nyomtatas", "Nyomtatás"},
            {"b_kifizetve", "Fizetve / Mégsem"}};
        for (const auto& [name, caption] : buttons) {
            auto* b = child<QPushButton>(f, name);
            QVERIFY2(b, name);
            QCOMPARE(b->text(), caption);
        }
        for (const char* n : {"p_kabinmenu", "l_statekabin", "e_arukod", "dbg_kabin", "p_kabindata", "e_h7kab", "sp_h7kab",
                              "e_1kab", "e_7kab", "sp_1kab", "sp_7kab", "e_1kabar", "e_7kabar", "e_kiszallkab",
                              "l_kiszallkab", "e_vszalltkab", "l_vszalltkab", "cb_soforkab", "dbg_tev", "p_kabintop",
                              "e_fiz", "e_fiznap", "e_fizerv", "dbg_fiz"})
            QVERIFY2(f.findChild<QWidget*>(QString::fromLatin1(n)), n);
        for (QLabel* l : f.findChildren<QLabel*>()) QVERIFY2(!l->text().contains("még nincs kész"), qPrintable(l->text()));
        auto* g = child<QTableView>(f, "dbg_kabin");
        QCOMPARE(g->selectionMode(), QAbstractItemView::ExtendedSelection);
        QStringList heads;
        for (int c = 0; c < g->model()->columnCount(); ++c) heads << g->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(heads, (QStringList{"T#", "K#", "Szám", "Termék név", "Szállítási cím", "Kiszállítás", "Terv.visszasz.",
                                     "Tény visszasz.", "Karbantartások", "Nettó ár", "M.egység", "Biz.szám"}));
        QCOMPARE(g->model()->rowCount(), f.products().rowCount());
        QVERIFY(g->model()->rowCount() > 0);
        f.grab().save(QStringLiteral(VL_OUT_DIR "/ugyfelrend_termekek.png"));
    }

    void modesAndDriverStore() {
        Tugyfelrendfm& f = shown(1);
        auto* g = child<QTableView>(f, "dbg_kabin");
        const int row = productRow(g);
        QVERIFY(row >= 0);
        g->setCurrentIndex(g->model()->index(row, 0));
        const qint64 b = cell(g, row, 11), t = cell(g, row, 0), s = cell(g, row, 1);
        auto* mod = child<QPushButton>(f, "b_modkabin");
        auto* store = child<QPushButton>(f, "b_tarolkabin");
        QVERIFY(mod->isEnabled());
        QVERIFY(!store->isEnabled());
        QVERIFY(!child<QWidget>(f, "p_kabindata")->isEnabled());
        mod->click();
        QCOMPARE(f.productMode, QStringLiteral("update"));
        QVERIFY(store->isEnabled());
        QVERIFY(!mod->isEnabled());
        auto* cb = child<QComboBox>(f, "cb_soforkab");
        const QString other = cb->currentIndex() == 1 ? cb->itemText(2) : cb->itemText(1);
        cb->setCurrentIndex(cb->findText(other));
        store->click();
        QCOMPARE(f.productMode, QStringLiteral("browse"));
        QVERIFY2(sink_.texts().join("|").contains("termék tárolva"), qPrintable(sink_.texts().join("|")));
        QCOMPARE(text("SELECT SF.NEV FROM FORGKABIN K JOIN SZ_SOFOR SF ON SF.KOD = K.SOFORKOD WHERE K.BIZONYLAT = :b"
                      " AND K.TETELSOR = :t AND K.SORSZAM = :s", {{"b", b}, {"t", t}, {"s", s}}),
                 other);
        // Planned activities from the activity day on went to the new driver.
        QCOMPARE(count("SELECT COUNT(*) FROM FORGTEV T JOIN SZ_SOFOR SF ON SF.KOD = T.SOFORKOD WHERE T.BIZONYLAT = :b"
                       " AND T.TETELSOR = :t AND T.SORSZAM = :s AND T.DATUM >= '2026.03.15' AND T.TEVALLAPOT = 'T'"
                       " AND T.TEVKOD <> 'FIZ' AND SF.NEV <> :n", {{"b", b}, {"t", t}, {"s", s}, {"n", other}}),
                 0);
        // The panel shows the stored driver.
        QCOMPARE(cb->currentText(), other);
    }

    void numberChangeWithTheRegister() {
        Tugyfelrendfm& f = shown(1);
        auto* g = child<QTableView>(f, "dbg_kabin");
        const int row = productRow(g);
        g->setCurrentIndex(g->model()->index(row, 0));
        const qint64 b = cell(g, row, 11);
        const QString group = g->model()->index(row, 3).data().toString();
        const QString before = text("SELECT LIST(ARUKOD) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}});
        // Another type picked.
        picked_ = {{"ProductPicked", true}, {"PickedTypeName", "Másik típus"}, {"KOD", "99999"}, {"KIADHATO", true}};
        sink_.answers = {1};   // "Igen" (after "Nem") when the product has a number
        child<QPushButton>(f, "b_kabin")->click();
        QVERIFY2(sink_.texts().contains("Más típusú kabint (Másik típus) választott ki."), qPrintable(sink_.texts().join("|")));
        QCOMPARE(text("SELECT LIST(ARUKOD) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), before);
        // Not rentable.
        sink_.clear();
        sink_.answers = {1};
        picked_ = {{"ProductPicked", true}, {"PickedTypeName", group}, {"KOD", "99999"}, {"KIADHATO", false}};
        child<QPushButton>(f, "b_kabin")->click();
        QVERIFY2(sink_.texts().contains("A 99999 sz. kabin nem adható ki."), qPrintable(sink_.texts().join("|")));
        QCOMPARE(text("SELECT LIST(ARUKOD) FROM FORGKABIN WHERE BIZONYLAT = :b", {{"b", b}}), before);
        // A free product of the group: renumbered.
        const QString free = text("SELECT FIRST 1 A.KOD FROM ARU A JOIN SZ_ARUCSOP C ON C.KOD = A.ARUCSOPORT"
                                  " WHERE A.ALLAPOT = 'SZA' AND C.NEV = :g ORDER BY 1", {{"g", group}});
        if (free.isEmpty()) QSKIP("no free product of the group in the demo data");
        sink_.clear();
        sink_.answers = {1};
        picked_ = {{"ProductPicked", true}, {"PickedTypeName", group}, {"KOD", free}, {"KIADHATO", true}};
        child<QPushButton>(f, "b_kabin")->click();
        QCOMPARE(text("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", free}}), QStringLiteral("FOG"));
        QCOMPARE(child<QLineEdit>(f, "e_arukod")->text(), free);
    }

    // A number typed beside "Termékszám módosítása" is taken without the
    // register (the rule checks it); an empty field opens the register.
    void numberTypedBesideTheButton() {
        Tugyfelrendfm& f = shown(1);
        auto* g = child<QTableView>(f, "dbg_kabin");
        const int row = productRow(g);
        g->setCurrentIndex(g->model()->index(row, 0));
        const qint64 b = cell(g, row, 11), t = cell(g, row, 0), s = cell(g, row, 1);
        const QString group = g->model()->index(row, 3).data().toString();
        const QString old = g->model()->index(row, 2).data().toString().trimmed();
        auto* e = child<QLineEdit>(f, "e_arukod");
        QVERIFY(!e->isReadOnly());
        QCOMPARE(e->text(), old);
        auto item = [&] {
            return text("SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s",
                        {{"b", b}, {"t", t}, {"s", s}});
        };
        // No such cabin: refused, nothing written, no register.
        pickerCalls_ = 0;
        e->setText("987654");
        sink_.answers = {1};
        child<QPushButton>(f, "b_kabin")->click();
        QCOMPARE(pickerCalls_, 0);
        QVERIFY2(sink_.texts().join("|").contains("Nincs ilyen számú kabin: 987654"), qPrintable(sink_.texts().join("|")));
        QCOMPARE(item(), old);
        // A free cabin of the group typed: renumbered, the new one rented, the old one freed.
        const QString free = text("SELECT FIRST 1 A.KOD FROM ARU A JOIN SZ_ARUCSOP C ON C.KOD = A.ARUCSOPORT"
                                  " WHERE A.ALLAPOT = 'SZA' AND C.NEV = :g ORDER BY 1 DESC", {{"g", group}});
        QVERIFY(!free.isEmpty());
        g->setCurrentIndex(g->model()->index(productRow(g), 0));
        sink_.clear();
        sink_.answers = {1};
        e->setText(free);
        child<QPushButton>(f, "b_kabin")->click();
        QCOMPARE(pickerCalls_, 0);
        QCOMPARE(item(), free);
        QCOMPARE(text("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", free}}), QStringLiteral("FOG"));
        if (old != QLatin1String("*"))
            QCOMPARE(text("SELECT ALLAPOT FROM ARU WHERE KOD = :k", {{"k", old}}), QStringLiteral("SZA"));
        // An empty field opens the register.
        sink_.clear();
        sink_.answers = {1};
        picked_ = {{"ProductPicked", false}};
        e->clear();
        child<QPushButton>(f, "b_kabin")->click();
        QCOMPARE(pickerCalls_, 1);
        QCOMPARE(item(), free);
    }

    void removalAsksFirst() {
        Tugyfelrendfm& f = shown(1);
        auto* g = child<QTableView>(f, "dbg_kabin");
        const int row = productRow(g);
        g->setCurrentIndex(g->model()->index(row, 0));
        const int rows = g->model()->rowCount();
        sink_.answers = {2};   // "Véletlenül kattintottam ide"
        child<QPushButton>(f, "b_torolkab")->click();
        QCOMPARE(g->model()->rowCount(), rows);
        const QString t = sink_.texts().join("|");
        QVERIFY2(t.contains(vl::rental::OrdersItems::RemoveQuestion()) || t.contains("Nem törölhető"), qPrintable(t));
    }

    void returnDocument() {
        Tugyfelrendfm& f = shown(1);
        auto* g = child<QTableView>(f, "dbg_kabin");
        const int row = productRow(g);
        g->setCurrentIndex(g->model()->index(row, 0));
        const qint64 b = cell(g, row, 11), t = cell(g, row, 0), s = cell(g, row, 1);
        child<QPushButton>(f, "b_vissznyom")->click();
        const QString day = text("SELECT COALESCE((SELECT MAX(DATUM) FROM FORGTEV WHERE BIZONYLAT = :b AND TETELSOR = :t"
                                 " AND SORSZAM = :s AND TEVKOD = 'VSZ' AND TEVALLAPOT <> 'X'), VSZALLT) FROM FORGKABIN"
                                 " WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s", {{"b", b}, {"t", t}, {"s", s}});
        if (day.isEmpty()) {
            QVERIFY(sink_.texts().contains(vl::rental::OrdersItems::NoReturnDateText()));
            QVERIFY(docPrints_.isEmpty());
        } else {
            QCOMPARE(docPrints_.size(), 1);
            QCOMPARE(docPrints_.first().value("Contract").toLongLong(), b);
            QCOMPARE(docPrints_.first().value("ActivityCode").toString(), QStringLiteral("VSZ"));
            QCOMPARE(docPrints_.first().value("Date").toString(), day);
        }
    }

    // Every column of the three grids is as wide as its title ("Érvényesség
    // vége" whole) and its statuses ("Elvégezve (fizetve)" whole).
    void columnsAsWideAsTheirTitles() {
        for (const auto& [page, name] : {std::pair{1, "dbg_kabin"}, std::pair{2, "dbg_tev"}, std::pair{3, "dbg_fiz"}}) {
            Tugyfelrendfm& f = shown(page);
            auto* g = child<QTableView>(f, name);
            const QFontMetrics fm(g->font());
            for (int c = 0; c < g->model()->columnCount(); ++c) {
                const QString title = g->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(g->columnWidth(c) >= g->horizontalHeader()->sectionSizeHint(c),
                         qPrintable(QStringLiteral("%1: %2").arg(QString::fromLatin1(name), title)));
                if (title != QStringLiteral("Státusz")) continue;
                for (int r = 0; r < g->model()->rowCount(); ++r) {
                    const QString t = g->model()->index(r, c).data().toString();
                    QVERIFY2(g->columnWidth(c) >= fm.horizontalAdvance(t), qPrintable(t));
                }
            }
            f.b_vissza->click();
        }
    }

    void activitiesUpToTheDay() {
        Tugyfelrendfm& f = shown(2);
        auto* g = child<QTableView>(f, "dbg_tev");
        QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Dátum"));
        for (int r = 0; r < g->model()->rowCount(); ++r)
            QVERIFY(g->model()->index(r, 0).data().toString() <= QStringLiteral("2026.03.15"));
    }

    void payments() {
        Tugyfelrendfm& f = shown(3);
        auto* g = child<QTableView>(f, "dbg_fiz");
        const int before = g->model()->rowCount();
        // The contract a new payment goes to is the current product's.
        QVERIFY(child<QLabel>(f, "l_fizszerz")->text().startsWith("Szerződés: "));
        child<QLineEdit>(f, "e_fiz")->setText("12a");
        child<QLineEdit>(f, "e_fiznap")->setText("2026.11.01");
        child<QLineEdit>(f, "e_fizerv")->setText("2026.11.30");
        child<QPushButton>(f, "b_hozzaadas")->click();
        QCOMPARE(sink_.texts().value(0), QStringLiteral("Az alábbi hibák miatt nem tárolható.\rAz összeg hibás."));
        QCOMPARE(child<QLineEdit>(f, "e_fiz")->text(), QStringLiteral("12a"));
        QCOMPARE(g->model()->rowCount(), before);
        sink_.clear();
        child<QLineEdit>(f, "e_fiz")->setText("11111");
        child<QPushButton>(f, "b_hozzaadas")->click();
        QVERIFY2(sink_.texts().isEmpty(), qPrintable(sink_.texts().join("|")));
        QVERIFY(child<QLineEdit>(f, "e_fiz")->text().isEmpty());
        const QModelIndex cur = g->currentIndex();
        QVERIFY(cur.isValid());
        QCOMPARE(g->model()->index(cur.row(), 2).data().toString().remove(' ').remove(QChar(0xA0)), QStringLiteral("11111"));
        QVERIFY(g->model()->index(cur.row(), 0).data(Qt::FontRole).value<QFont>().bold());
        // Paid -> planned after its question, the bold goes.
        sink_.answers = {0};
        child<QPushButton>(f, "b_kifizetve")->click();
        QVERIFY(sink_.texts().contains(vl::rental::Payments::UnpayQuestion()));
        QVERIFY(!g->model()->index(g->currentIndex().row(), 0).data(Qt::FontRole).value<QFont>().bold());
    }
};

QTEST_MAIN(TstUgyfelrendPages)
#include "tst_ugyfelrend_pages.moc"
