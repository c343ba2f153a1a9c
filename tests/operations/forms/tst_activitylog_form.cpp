// The activity log form, headless, controls found by name: day navigation,
// the filters, marks by double-click, sorting by the "*" titles, the five
// colours of the status classes, and the forms it opens through the registry.
#include "../DaySheetFixture.h"

#include "FormRegistry.h"
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "TkepekDialog.h"
#include "Ttevnaplo2fm.h"
#include "../ActionsFixture.h"
#include "rental/ActivityImages.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "util/Colors.h"
#include "util/Dates.h"
#include "util/MessageSink.h"
#include "util/NumberFormat.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QDir>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;
using vl::shell::dm;

class TstActivityLogForm : public QObject {
    Q_OBJECT
    Company co;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> use;
    std::unique_ptr<Ttevnaplo2fm> f;
    QList<QPair<QString, QVariantMap>> opened;

    template <class T> T* find(const char* name) {
        T* w = f->findChild<T*>(QString::fromLatin1(name));
        if (!w) qWarning("missing control %s", name);
        return w;
    }
    void load(const QString& day) {
        find<QLineEdit>("e_nap")->setText(day);
        find<QPushButton>("b_keres")->click();
    }
    int rowOf(int tsorszam) {
        const auto& rs = f->sheet()->visible();
        for (int r = 0; r < rs.rowCount(); ++r)
            if (rs.at(r, rs.indexOf("TSORSZAM")).toInt() == tsorszam) return r;
        return -1;
    }
    qint64 count(const QString& sql) { return dm().d_alap().query(sql).at(0, 0).toLongLong(); }

private slots:
    void initTestCase() {
        co.build();
        // The classes the sheet colours: done, moved away and planned again besides planned and deleted.
        auto tx = co.db.conn->begin();
        tx->exec("UPDATE FORGTEV SET TEVALLAPOT = 'E' WHERE TEVKOD = 'SZK' AND KOMMENT = 'Extra'");
        tx->exec("UPDATE FORGTEV SET TEVALLAPOT = 'A' WHERE TEVKOD = 'SZ2'");
        tx->exec("UPDATE FORGTEV SET TEVALLAPOT = 'L' WHERE TEVKOD = 'SZK' AND KOMMENT = ''");
        tx->commit();
        dm().adopt(std::move(co.db.conn));
        dm().CurrentUserCode = QStringLiteral("TESZT");
        auto rtx = dm().d_alap().begin(vl::db::TxMode::ReadOnly);
        vl::rental::Td::LoadStatusCodes(*rtx);
        use = std::make_unique<vl::ScopedSink>(&sink);
        for (const char* name : {"Tugyfelrendfm", "Tugyfelfm", "Tszerzfelfm", "ShowDocPrint"}) {
            const QString n = QString::fromLatin1(name);
            vl::shell::FormRegistry::instance().registerForm(n, [this, n](QWidget*, const QVariantMap& p) {
                opened.append({n, p});
                return vl::shell::FormResult{};
            });
        }
        f = std::make_unique<Ttevnaplo2fm>();
        QVERIFY(f->FormShow());
        f->resize(1240, 720);
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
    }
    void cleanupTestCase() {
        f.reset();
        use.reset();
        dm().disconnect();
    }
    void init() { sink.clear(); }

    // Shown on today, by its caption, every control of the screen by name.
    void controls() {
        QCOMPARE(f->windowTitle(), QStringLiteral("Tevékenységi napló"));
        QCOMPARE(find<QLineEdit>("e_nap")->text(), vl::util::TodayStr());
        for (const char* n : {"p_szuro", "b_nap", "sb_tegnap", "e_nap", "sb_holnap", "l_nap", "cbx_ugyfel",
                              "cb_ugyfelfrissit", "cbx_sofor", "cb_saktiv", "cb_nosofor", "cb_torolt", "p_buttons",
                              "b_keres", "b_ugyfelrend", "b_partnerek", "b_szerzfel", "b_elvegezve", "b_komment", "b_uj",
                              "b_athelyez", "b_sofor", "b_torles", "b_atutemez", "pb1", "b_nyomtat", "b_atadas",
                              "b_bianco", "b_vissza", "p_data", "b_ugyfel", "l_ugyfelnev", "l_ugyfelcim", "cbx_tev",
                              "b_ujnap", "e_ujnap", "cbx_soforuj", "e_mennyiseg", "e_nettoar", "cbx_termek", "e_komment",
                              "p_szin", "l_db", "l_selected", "l_sumdb", "DBGrid1"})
            QVERIFY2(f->findChild<QWidget*>(QString::fromLatin1(n)), n);
        QVERIFY(find<QCheckBox>("cb_torolt")->isChecked());
        QVERIFY(!find<QWidget>("pb1")->isVisible());
        QCOMPARE(find<QComboBox>("cbx_ugyfel")->itemText(0), QStringLiteral("Összes"));
        QCOMPARE(find<QComboBox>("cbx_sofor")->itemText(0), QStringLiteral("Összes"));
        QCOMPARE(find<QComboBox>("cbx_sofor")->count(), 4);
        QCOMPARE(find<QComboBox>("cbx_soforuj")->itemText(0), QString());
        QCOMPARE(find<QComboBox>("cbx_soforuj")->count(), 3); // the inactive driver is not offered
        QCOMPARE(find<QToolButton>("sb_tegnap")->toolTip(), QStringLiteral("Előző nap"));
        // It fits the work panel of a 1280x800 screen.
        QVERIFY2(f->minimumSizeHint().width() <= 1240, qPrintable(QString::number(f->minimumSizeHint().width())));
        QVERIFY2(f->minimumSizeHint().height() <= 700, qPrintable(QString::number(f->minimumSizeHint().height())));
    }

    // The day and its name; the arrows step a valid day and leave an invalid one.
    void navigation() {
        load("20260504");
        QCOMPARE(find<QLineEdit>("e_nap")->text(), kDay);
        QCOMPARE(find<QLabel>("l_nap")->text(), QStringLiteral("Hétfő"));
        QCOMPARE(find<QLabel>("l_db")->text(), QString::number(f->sheet()->visible().rowCount()));
        QVERIFY(f->sheet()->visible().rowCount() > 5);
        struct Step { const char* button; const char* day; const char* name; };
        for (const Step& s : {Step{"sb_holnap", "2026.05.05", "Kedd"}, Step{"sb_tegnap", "2026.05.04", "Hétfő"},
                              Step{"sb_tegnap", "2026.05.03", "Vasárnap"}}) {
            find<QToolButton>(s.button)->click();
            QCOMPARE(find<QLineEdit>("e_nap")->text(), QString::fromLatin1(s.day));
            QCOMPARE(find<QLabel>("l_nap")->text(), QString::fromUtf8(s.name));
            QCOMPARE(f->sheet()->day(), QString::fromLatin1(s.day));
        }
        find<QLineEdit>("e_nap")->setText("2026.13.01");
        find<QToolButton>("sb_holnap")->click();
        QCOMPARE(find<QLineEdit>("e_nap")->text(), QStringLiteral("2026.13.01"));
        QCOMPARE(f->sheet()->day(), QStringLiteral("2026.05.03"));
        load(kDay);
    }

    // A day typed into the box: while it is not the loaded one the grid is
    // empty and says it must be loaded, actions wait; Enter loads it. An
    // invalid day with Enter is refused and shows no rows either.
    void typedDay() {
        load(kDay);
        QLineEdit* e = find<QLineEdit>("e_nap");
        QTableView* g = find<QTableView>("DBGrid1");
        auto customers = [&] {
            QSet<QString> out;
            for (int r = 0; r < g->model()->rowCount(); ++r) out << g->model()->index(r, 2).data().toString().trimmed();
            return out;
        };
        QVERIFY(customers().contains("Alfa Kft."));
        auto type = [&](const QString& day) {
            e->setFocus();
            e->selectAll();
            QTest::keyClicks(e, day);
        };
        const qint64 done = count("SELECT COUNT(*) FROM FORGTEV WHERE TEVALLAPOT = 'E'");

        type("2026.05.05");
        QCOMPARE(find<QLabel>("l_nap")->text(), QStringLiteral("Kedd"));
        QCOMPARE(g->model()->rowCount(), 0);
        QCOMPARE(find<QLabel>("l_db")->text(), QStringLiteral("0"));
        QCOMPARE(find<QLabel>("l_sumdb")->text(), Ttevnaplo2fm::PendingDayText());
        // An action waits for the load: nothing of the old day is done.
        find<QPushButton>("b_elvegezve")->click();
        QCOMPARE(sink.last(), Ttevnaplo2fm::PendingDayText());
        QCOMPARE(count("SELECT COUNT(*) FROM FORGTEV WHERE TEVALLAPOT = 'E'"), done);

        QTest::keyClick(e, Qt::Key_Return);
        QCOMPARE(f->sheet()->day(), QStringLiteral("2026.05.05"));
        QCOMPARE(find<QLabel>("l_nap")->text(), QStringLiteral("Kedd"));
        // Tuesday holds only the site visited on Tuesdays.
        QCOMPARE(customers(), QSet<QString>{QStringLiteral("Hé Kft.")});
        QCOMPARE(find<QLabel>("l_db")->text(), QString::number(g->model()->rowCount()));

        // Typed back to the loaded day, the rows come back without a load.
        type("2026.05.0");
        QCOMPARE(g->model()->rowCount(), 0);
        QTest::keyClicks(e, "5");
        QCOMPARE(customers(), QSet<QString>{QStringLiteral("Hé Kft.")});

        sink.clear();
        type("2026.13.01");
        QTest::keyClick(e, Qt::Key_Return);
        QVERIFY2(sink.last().contains("Hibás dátum: 2026.13.01"), qPrintable(sink.last()));
        QCOMPARE(g->model()->rowCount(), 0);
        QVERIFY(find<QLabel>("l_nap")->text() != QStringLiteral("Kedd"));

        type("20260504");
        QTest::keyClick(e, Qt::Key_Enter);
        QCOMPARE(e->text(), kDay);
        QCOMPARE(find<QLabel>("l_nap")->text(), QStringLiteral("Hétfő"));
        QVERIFY(customers().contains("Alfa Kft."));
        QVERIFY(!customers().contains("Hé Kft."));
    }

    // Choosing a customer or a driver, the no-driver tick and the deleted tick filter the grid.
    void filters() {
        load(kDay);
        QComboBox* u = find<QComboBox>("cbx_ugyfel");
        const int alfa = u->findText("Alfa Kft.");
        QVERIFY(alfa > 0);
        u->setCurrentIndex(alfa);
        emit u->activated(alfa);
        QCOMPARE(find<QLabel>("l_db")->text(), QStringLiteral("1"));
        QCOMPARE(find<QLabel>("l_sumdb")->text(), QStringLiteral("Karbantartás (ürítés, takarítás):2"));
        u->setCurrentIndex(0);
        emit u->activated(0);
        const int all = f->sheet()->visible().rowCount();
        find<QCheckBox>("cb_nosofor")->click();
        const auto& rs = f->sheet()->visible();
        QVERIFY(rs.rowCount() > 0 && rs.rowCount() < all);
        for (int r = 0; r < rs.rowCount(); ++r) QVERIFY(rs.at(r, rs.indexOf("SOFORKOD")).isNull());
        find<QCheckBox>("cb_nosofor")->click();
        QComboBox* s = find<QComboBox>("cbx_sofor");
        const int nagy = s->findText("Nagy Péter");
        s->setCurrentIndex(nagy);
        emit s->activated(nagy);
        for (int r = 0; r < f->sheet()->visible().rowCount(); ++r)
            QCOMPARE(f->sheet()->visible().at(r, f->sheet()->visible().indexOf("SOFOR")).toString(), QStringLiteral("Nagy Péter"));
        s->setCurrentIndex(0);
        emit s->activated(0);
        QCOMPARE(f->sheet()->visible().rowCount(), all);
        find<QCheckBox>("cb_torolt")->click();
        QVERIFY(f->sheet()->visible().rowCount() > all);
        find<QCheckBox>("cb_torolt")->click();
        QCOMPARE(f->sheet()->visible().rowCount(), all);
        // "Akt" offers the active drivers only.
        find<QCheckBox>("cb_saktiv")->click();
        QCOMPARE(s->count(), 3);
        find<QCheckBox>("cb_saktiv")->click();
        QCOMPARE(s->count(), 4);
    }

    // Double-clicking a line marks it and again unmarks it; the count shows.
    void marksByDoubleClick() {
        load(kDay);
        QTableView* g = find<QTableView>("DBGrid1");
        auto dbl = [&](int row) {
            const QRect r = g->visualRect(g->model()->index(row, 2));
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
        };
        const int t0 = f->sheet()->visible().at(0, f->sheet()->visible().indexOf("TSORSZAM")).toInt();
        const int t2 = f->sheet()->visible().at(2, f->sheet()->visible().indexOf("TSORSZAM")).toInt();
        dbl(2);
        dbl(rowOf(t0));
        QCOMPARE(f->sheet()->marks(), (QList<int>{t2, t0}));
        QCOMPARE(find<QLabel>("l_selected")->text(), QStringLiteral("2"));
        QCOMPARE(f->currentLine(), t0);
        QCOMPARE(g->model()->index(rowOf(t0), 0).data().toString(), QStringLiteral("X"));
        dbl(rowOf(t2));
        QCOMPARE(f->sheet()->marks(), (QList<int>{t0}));
        QCOMPARE(find<QLabel>("l_selected")->text(), QStringLiteral("1"));
        QCOMPARE(count("SELECT COUNT(*) FROM " + f->sheet()->tableName() + " WHERE SELECTED = 'X'"), qint64(1));
        // A changed filter clears the marks.
        find<QCheckBox>("cb_nosofor")->click();
        QCOMPARE(find<QLabel>("l_selected")->text(), QStringLiteral("0"));
        find<QCheckBox>("cb_nosofor")->click();
    }

    // A "*" title sorts and turns bold; others do nothing.
    void sorting() {
        load(kDay);
        QTableView* g = find<QTableView>("DBGrid1");
        auto title = [&](int c) { return g->model()->headerData(c, Qt::Horizontal).toString(); };
        auto bold = [&](int c) { return g->model()->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>().bold(); };
        QCOMPARE(title(3), QStringLiteral("Szállítási cím *"));
        QVERIFY(bold(3));
        QCOMPARE(title(7), QStringLiteral("Sofőr *"));
        g->horizontalHeader()->sectionClicked(7);
        QCOMPARE(f->sheet()->orderColumn(), QStringLiteral("SOFOR"));
        QVERIFY(bold(7));
        QVERIFY(!bold(3));
        g->horizontalHeader()->sectionClicked(4); // "Db"
        QCOMPARE(f->sheet()->orderColumn(), QStringLiteral("SOFOR"));
        QVERIFY(bold(7));
        g->horizontalHeader()->sectionClicked(3);
        QCOMPARE(f->sheet()->orderColumn(), QStringLiteral("CIM"));
    }

    // The five classes in their colours; planned lines pale green from today on, pale lilac before.
    void classColours() {
        find<QCheckBox>("cb_torolt")->setChecked(false);
        load(kDay);
        QTableView* g = find<QTableView>("DBGrid1");
        const auto& rs = f->sheet()->visible();
        QHash<QString, QString> want{{"I", "FAKÓLILA"}, {"i", "FAKÓLILA"}, {"N", "FEHÉR"}, {"n", "claqua"}, {"X", "piros"}};
        QSet<QString> seen;
        for (int r = 0; r < rs.rowCount(); ++r) {
            const QString cls = rs.at(r, rs.indexOf("MODOSITHATO")).toString();
            QVERIFY2(want.contains(cls), qPrintable(cls));
            seen << cls;
            const QColor bg = g->model()->index(r, 5).data(Qt::BackgroundRole).value<QColor>();
            QCOMPARE(bg.rgba(), vl::util::ColorFromName(want.value(cls)));
            QCOMPARE(g->model()->index(r, 5).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        }
        QCOMPARE(seen.size(), 5);
        QDir().mkpath(QStringLiteral(VL_OUT_DIR));
        QCoreApplication::processEvents();
        f->grab().save(QStringLiteral(VL_OUT_DIR "/ttevnaplo2fm.png")); // a picture of the form to look at
        QCOMPARE(Ttevnaplo2fm::ColorNameOf("I", "2026.05.04", "2026.05.04"), QStringLiteral("FAKÓZÖLD"));
        QCOMPARE(Ttevnaplo2fm::ColorNameOf("i", "2026.05.05", "2026.05.04"), QStringLiteral("FAKÓZÖLD"));
        QCOMPARE(Ttevnaplo2fm::ColorNameOf("I", "2026.05.03", "2026.05.04"), QStringLiteral("FAKÓLILA"));
        QCOMPARE(Ttevnaplo2fm::ColorNameOf("Q", "2026.05.03", "2026.05.04"), QString());
        find<QCheckBox>("cb_torolt")->setChecked(true);
        load(kDay);
    }

    // The orders workspace, the customer register and contract entry by name, with their parameters.
    void links() {
        load(kDay);
        opened.clear();
        const DaySheetLine* l = f->sheet()->line(f->currentLine());
        QVERIFY(l);
        const DaySheetLine line = *l;
        find<QPushButton>("b_ugyfelrend")->click();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].first, QStringLiteral("Tugyfelrendfm"));
        QCOMPARE(opened[0].second.value("CustomerKey").toString(), line.ugyfelkod);
        QCOMPARE(opened[0].second.value("SiteKey").toString(), line.ugyfelcim);
        QCOMPARE(opened[0].second.value("ActivityDate").toString(), kDay);
        const DaySheetLine* back = f->sheet()->line(f->currentLine());
        QVERIFY(back);
        QCOMPARE(back->ugyfelcim, line.ugyfelcim);
        QCOMPARE(back->tevkod, line.tevkod);
        find<QPushButton>("b_partnerek")->click();
        QCOMPARE(opened[1].first, QStringLiteral("Tugyfelfm"));
        QCOMPARE(opened[1].second.value("SelectAllowed").toBool(), false);
        QCOMPARE(opened[1].second.value("ShowButtons").toBool(), true);
        QCOMPARE(opened[1].second.value("Modal").toBool(), false);
        find<QPushButton>("b_szerzfel")->click();
        QCOMPARE(opened[2].first, QStringLiteral("Tszerzfelfm"));
        QCOMPARE(opened[2].second.value("Mode").toString(), QStringLiteral("insert"));
        QCOMPARE(opened[2].second.value("Contract").toLongLong(), qint64(-1));
        QCOMPARE(opened[2].second.value("Version").toInt(), 0);
        // Handover documents of a marked delivery line, by its contract.
        int kih = 0;
        for (const DaySheetLine& x : f->sheet()->lines())
            if (x.tevkod == "KIH") kih = x.tsorszam;
        QVERIFY(f->goToLine(kih));
        f->ToggleCurrentMark();
        find<QPushButton>("b_atadas")->click();
        QCOMPARE(opened.size(), 4);
        QCOMPARE(opened[3].first, QStringLiteral("ShowDocPrint"));
        QCOMPARE(opened[3].second.value("Contract").toLongLong(), co.contracts.value("payafter").first());
        QCOMPARE(opened[3].second.value("ActivityCode").toString(), QStringLiteral("KIH"));
        QCOMPARE(opened[3].second.value("Date").toString(), kDay);
    }

    // Pictures sent from the phones: "Kép" counts a line's (empty for none),
    // "Képek" is offered on a line with some and shows them; the viewer lists
    // them, shows the selected one and saves its bytes as stored.
    void pictures() {
        load(kDay);
        const DaySheetLine* with = nullptr;
        const DaySheetLine* without = nullptr;
        for (const DaySheetLine& l : f->sheet()->lines()) {
            if (l.tevkod == "KA" && l.ugyfel.trimmed() == "Alfa Kft.") with = &l;
            if (l.tevkod == "KA" && l.ugyfel.trimmed() == "Béta Kft.") without = &l;
        }
        QVERIFY(with && without);
        const int tWith = with->tsorszam, tWithout = without->tsorszam;
        const SourceRow& src = with->sources.first();
        const vl::rental::ActivityImageKey key{src.bizonylat, src.verzio, src.tetelsor, src.sorszam, src.datum.trimmed(),
                                               src.tevsorszam};
        // A photo of a green cabin on grey, a signature's black stroke on white.
        auto encode = [](int w, int h, QColor bg, QColor ink, const char* format) {
            QImage img(w, h, QImage::Format_RGB32);
            img.fill(bg);
            QPainter p(&img);
            p.setPen(QPen(ink, h / 25 + 1));
            p.setBrush(format == QByteArray("PNG") ? Qt::NoBrush : QBrush(ink));
            if (format == QByteArray("PNG")) {
                QPainterPath s(QPointF(w * 0.1, h * 0.7));
                s.cubicTo(w * 0.25, h * 0.1, w * 0.35, h * 0.9, w * 0.5, h * 0.5);
                s.cubicTo(w * 0.6, h * 0.2, w * 0.75, h * 0.8, w * 0.9, h * 0.35);
                p.drawPath(s);
            } else {
                p.drawRect(QRectF(w * 0.35, h * 0.15, w * 0.3, h * 0.75));
            }
            p.end();
            QByteArray out;
            QBuffer b(&out);
            b.open(QIODevice::WriteOnly);
            img.save(&b, format);
            return out;
        };
        const QByteArray jpeg = encode(160, 120, QColor(200, 205, 210), QColor(40, 110, 60), "JPEG");
        const QByteArray png = encode(300, 100, Qt::white, Qt::black, "PNG");
        {
            auto tx = dm().d_alap().begin();
            const struct { vl::rental::ActivityImageKind kind; const char* receiver; const char* mime; QByteArray bytes;
                           int w, h; const char* when; } stored[] = {
                {vl::rental::ActivityImageKind::Photo, "", "image/jpeg", jpeg, 160, 120, "2026.05.04 09:12:30"},
                {vl::rental::ActivityImageKind::Signature, "Kovács Éva", "image/png", png, 300, 100, "2026.05.04 09:14:05"}};
            int n = 0;
            for (const auto& x : stored) {
                vl::rental::NewActivityImage i{key, x.kind, QString::fromUtf8(x.receiver), QString::fromLatin1(x.mime),
                                               x.bytes, QStringLiteral("S1"), QStringLiteral("kep-%1").arg(++n), x.w, x.h};
                QCOMPARE(int(vl::rental::StoreActivityImage(*tx, actionSession(), i, vl::rental::ActivityImageLimits{},
                                                            QString::fromLatin1(x.when)).kind),
                         int(vl::rental::StoredActivityImage::Kind::Stored));
            }
            tx->commit();
        }
        load(kDay);
        QTableView* g = find<QTableView>("DBGrid1");
        QPushButton* b = find<QPushButton>("b_kepek");
        QCOMPARE(g->model()->headerData(8, Qt::Horizontal).toString(), QStringLiteral("Státusz"));
        QCOMPARE(g->model()->headerData(9, Qt::Horizontal).toString(), QStringLiteral("Kép"));
        QCOMPARE(g->model()->headerData(10, Qt::Horizontal).toString(), QStringLiteral("Kabinszámok"));
        QCOMPARE(g->model()->index(rowOf(tWith), 9).data().toString(), QStringLiteral("2"));
        QCOMPARE(g->model()->index(rowOf(tWithout), 9).data().toString(), QString());
        int shown = 0;
        for (int r = 0; r < g->model()->rowCount(); ++r)
            if (!g->model()->index(r, 9).data().toString().isEmpty()) ++shown;
        QCOMPARE(shown, 1);
        // Clicking the title of "Kép" sorts nothing.
        const QString order = f->sheet()->orderColumn();
        g->horizontalHeader()->sectionClicked(9);
        QCOMPARE(f->sheet()->orderColumn(), order);

        QDir().mkpath(QStringLiteral(VL_OUT_DIR "/day-sheet-pictures"));
        QVERIFY(f->goToLine(tWith));
        QCoreApplication::processEvents();
        f->grab().save(QStringLiteral(VL_OUT_DIR "/day-sheet-pictures/day-sheet.png")); // to look at
        QVERIFY(f->goToLine(tWithout));
        QVERIFY(!b->isEnabled());
        QVERIFY(!f->b_kepekClick());
        QVERIFY(f->goToLine(tWith));
        QVERIFY(b->isEnabled());
        // The row moved to by a click keeps the button right too.
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(rowOf(tWithout), 2)).center());
        QCOMPARE(f->currentLine(), tWithout);
        QVERIFY(!b->isEnabled());
        // A typed day not yet loaded offers none.
        QVERIFY(f->goToLine(tWith));
        find<QLineEdit>("e_nap")->setFocus();
        find<QLineEdit>("e_nap")->selectAll();
        QTest::keyClicks(find<QLineEdit>("e_nap"), "2026.05.05");
        QVERIFY(!b->isEnabled());
        load(kDay);

        // Double-clicking the count opens the viewer and marks nothing.
        QVERIFY(f->goToLine(tWith));
        const QList<int> marks = f->sheet()->marks();
        const QRect cell = g->visualRect(g->model()->index(rowOf(tWith), 9));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(f->sheet()->marks(), marks);
        auto* byClick = f->findChild<TkepekDialog*>(QStringLiteral("kepek"));
        QVERIFY(byClick);
        QVERIFY(byClick->isVisible());
        QTest::keyClick(byClick, Qt::Key_Escape);   // Esc closes it
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f->findChild<TkepekDialog*>(QStringLiteral("kepek")));

        b->click();
        QPointer<TkepekDialog> d = f->findChild<TkepekDialog*>(QStringLiteral("kepek"));
        QVERIFY(d);
        QVERIFY(QTest::qWaitForWindowExposed(d.data()));
        auto* list = d->findChild<QTreeWidget*>(QStringLiteral("l_kepek"));
        auto* pic = d->findChild<QLabel*>(QStringLiteral("i_kep"));
        QVERIFY(list && pic && d->findChild<QPushButton*>(QStringLiteral("b_ment")));
        QVERIFY(d->windowTitle().contains(QStringLiteral("Alfa Kft.")));
        QCOMPARE(list->topLevelItemCount(), 2);
        auto texts = [&](int row) {
            QStringList t;
            for (int c = 0; c < list->columnCount(); ++c) t << list->topLevelItem(row)->text(c);
            return t;
        };
        QCOMPARE(texts(0), (QStringList{"Fénykép", "", "Kovács Béla", "2026.05.04 09:12",
                                        vl::util::FormatNumber(jpeg.size() / 1024.0, "#,##0.0") + " KB"}));
        QCOMPARE(texts(1), (QStringList{"Aláírás", "Kovács Éva", "Kovács Béla", "2026.05.04 09:14",
                                        vl::util::FormatNumber(png.size() / 1024.0, "#,##0.0") + " KB"}));
        QCOMPARE(TkepekDialog::SizeText(12345), QStringLiteral("12,1 KB"));
        QCOMPARE(TkepekDialog::SizeText(2 * 1024 * 1024), QStringLiteral("2 048,0 KB"));
        // The first is shown at once; the signature when chosen, scaled to fit in its proportions.
        QCOMPARE(d->currentImage(), 0);
        QCOMPARE(d->currentPixmap().size(), QSize(160, 120));
        list->setCurrentItem(list->topLevelItem(1));
        QCOMPARE(d->currentPixmap().size(), QSize(300, 100));
        QVERIFY(!pic->pixmap().isNull());
        const QSize shownSize = pic->pixmap().size();
        QVERIFY2(shownSize.width() <= pic->width() && shownSize.height() <= pic->height(), qPrintable(QString("%1x%2 in %3x%4")
                 .arg(shownSize.width()).arg(shownSize.height()).arg(pic->width()).arg(pic->height())));
        QVERIFY(qAbs(shownSize.width() - 3 * shownSize.height()) <= 3);
        d->grab().save(QStringLiteral(VL_OUT_DIR "/day-sheet-pictures/viewer.png")); // to look at
        d->selectImage(0);
        d->grab().save(QStringLiteral(VL_OUT_DIR "/day-sheet-pictures/viewer-photo.png"));

        // Saved: the bytes as stored, both kinds; a folder that is not there is told and writes nothing.
        QTemporaryDir dir;
        for (int row : {0, 1}) {
            d->selectImage(row);
            const QString path = dir.filePath(QStringLiteral("kep%1").arg(row));
            QVERIFY(d->saveTo(path));
            QFile out(path);
            QVERIFY(out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll(), row == 0 ? jpeg : png);
        }
        sink.clear();
        QVERIFY(!d->saveTo(dir.filePath(QStringLiteral("nincs/ilyen/kep.png"))));
        QVERIFY2(sink.last().contains(QStringLiteral("A kép nem menthető")), qPrintable(sink.last()));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nincs/ilyen/kep.png"))));
        d->findChild<QPushButton*>(QStringLiteral("b_bezar"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
    }

    // The program's wiring registers node 24 and the daily list's name.
    void wiring() {
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::gui::registerAll(w);
        QVERIFY(w.hasHandler(24));
        QVERIFY(vl::shell::FormRegistry::instance().has(QStringLiteral("Tqrtevnaplo")));
    }
};

QTEST_MAIN(TstActivityLogForm)
#include "tst_activitylog_form.moc"
