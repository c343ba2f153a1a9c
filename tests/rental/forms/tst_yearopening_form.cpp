// The year-opening form on a demonstration database: what it shows, the runs
// it refuses without writing a row, a run that writes the new year and
// closes, a run that fails half-way, and the close refused while it runs.
#include "GuiWiring.h"
#include "RentalNodes.h"
#include "Tevnyitfm.h"
#include "Tmain_pkrfm.h"
#include "db/Database.h"
#include "rental/DemoData.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "rental/YearOpening.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using vl::rental::Tevnyitfm;
using vl::shell::dm;

namespace {

const QString kThisYear = QDate::currentDate().toString(QStringLiteral("yyyy"));
const QString kNextYear = QString::number(QDate::currentDate().year() + 1);

// A demonstration company (business year = this year) with a PKR.INI naming it.
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

// Connects the program's data module as the start-up does.
void connectTo(const QTemporaryDir& dir) {
    if (dm().isConnected()) dm().disconnect();
    QDir::setCurrent(dir.path());
    vl::shell::IniClear();
    QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
    QVERIFY(dm().ConnectDatabase());
}

qint64 count(const QString& sql, const vl::db::Params& params = {}) {
    return dm().d_alap().query(sql, params).at(0, 0).toLongLong();
}

// Every activity and payment row, key and state: what "nothing written" compares.
QStringList snapshot() {
    QStringList rows;
    auto a = dm().d_alap().query(QStringLiteral(
        "SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT, MIKOR FROM FORGTEV"
        " ORDER BY BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM"));
    while (a.next()) {
        QStringList r;
        for (int c = 0; c < a.columnCount(); ++c) r << a.value(c).toString();
        rows << QStringLiteral("T ") + r.join(u'|');
    }
    auto f = dm().d_alap().query(QStringLiteral("SELECT * FROM FORGFIZ ORDER BY 1, 2, 3"));
    while (f.next()) {
        QStringList r;
        for (int c = 0; c < f.columnCount(); ++c) r << f.value(c).toString();
        rows << QStringLiteral("F ") + r.join(u'|');
    }
    return rows;
}

qint64 visitsIn(const QString& year) {
    return count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'KA' AND DATUM BETWEEN :a AND :b"),
                 {{QStringLiteral("a"), year + QStringLiteral(".01.01")}, {QStringLiteral("b"), year + QStringLiteral(".12.31")}});
}

void saveShot(QWidget* w, const QString& name) {
    const QString dir = QStringLiteral("/work/main/out");
    if (QDir(dir).exists()) w->grab().save(dir + QLatin1Char('/') + name);
}

} // namespace

class TstYearOpeningForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir shared_; // the demo company of the tests that write nothing
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(shared_.isValid());
        createDemo(shared_);
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
    }
    void init() {
        sink_.clear();
        sink_.answers.clear();
    }
    void cleanup() {
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
    }
    void cleanupTestCase() { use_.reset(); }

    // Node 35 of the program's own wiring opens the form modally, prepared.
    void shownFromTree() {
        connectTo(shared_);
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::gui::registerAll(w);
        QVERIFY(w.hasHandler(35));
        struct Seen {
            bool modal = false, barHidden = false, indul = false, ujra = false, memoReadOnly = false;
            QString title, current, year, memo, typed;
            int maxLength = 0;
        } seen;
        bool shown = false;
        vltestWhenShown(QStringLiteral("Tevnyitfm"), [&](QWidget* top) {
            auto* f = qobject_cast<Tevnyitfm*>(top);
            shown = true;
            seen.modal = f->isModal();
            seen.title = f->windowTitle();
            seen.current = f->DBText1->text();
            seen.year = f->e_ujev->text();
            seen.barHidden = !f->ProgressBar1->isVisible();
            seen.indul = f->b_indul->isEnabled();
            seen.ujra = f->cb_ujra->isChecked();
            seen.memoReadOnly = f->Memo1->isReadOnly();
            seen.memo = f->Memo1->toPlainText();
            seen.maxLength = f->e_ujev->maxLength();
            saveShot(f, QStringLiteral("Tevnyitfm.png"));
            // Digits only, four at most.
            f->e_ujev->clear();
            f->e_ujev->setFocus();
            QTest::keyClicks(f->e_ujev, QStringLiteral("2a0-2 79"));
            seen.typed = f->e_ujev->text();
            QTest::mouseClick(f->b_vissza, Qt::LeftButton);
        });
        w.dispatch(35);
        QVERIFY(shown);
        QVERIFY(seen.modal);
        QCOMPARE(seen.title, QStringLiteral("Év nyitása"));
        QCOMPARE(seen.current, kThisYear);
        QCOMPARE(seen.year, kNextYear);
        QVERIFY(seen.barHidden);
        QVERIFY(seen.indul);
        QVERIFY(seen.ujra);
        QVERIFY(seen.memoReadOnly);
        QCOMPARE(seen.memo, QStringLiteral("A megnyitandó évre tevékenységeket (pl. karbantartás) és KP-s fizetéseket "
                                           "generálunk az aktuális évben megadott adatok alapján. Csak azokra a "
                                           "kihelyezésekre, amelyek az aktuális év végén még aktívak."));
        QCOMPARE(seen.maxLength, 4);
        QCOMPARE(seen.typed, QStringLiteral("2027"));
        QVERIFY(sink_.messages.isEmpty());
    }

    // Without a business year in the company row nothing is offered, and any
    // year typed is asked about; without a connection the form does not open.
    void unknownCurrentYear() {
        connectTo(shared_);
        dm().d_alap().exec(QStringLiteral("UPDATE CEG SET AKTUALISEV = ''"));
        const QStringList before = snapshot();
        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        QCOMPARE(f.DBText1->text(), QString());
        QCOMPARE(f.e_ujev->text(), QString());
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        f.e_ujev->setText(kNextYear);
        sink_.answers = {1};
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        dm().d_alap().exec(QStringLiteral("UPDATE CEG SET AKTUALISEV = :y"), {{QStringLiteral("y"), kThisYear}});
        QCOMPARE(sink_.texts(), (QStringList{QStringLiteral("Hibás év: \"\". Négy számjegyű évet kell megadni."),
                                             QStringLiteral("Az aktuális év nem ismert.\nBiztosan a(z) %1. évet "
                                                            "nyitja meg?").arg(kNextYear)}));
        QCOMPARE(snapshot(), before);
        QVERIFY(f.isVisible());

        dm().disconnect();
        sink_.clear();
        vl::shell::Tmain_pkrfm w;
        w.setAutoStart(false);
        vl::rental::registerRentalNodes(w);
        w.dispatch(35);
        QCOMPARE(sink_.messages.size(), 1);
        QCOMPARE(sink_.messages.first().first, vl::MsgKind::Error);
        QVERIFY(!vl::rental::YearOpeningForm().isVisible());
    }

    // Runs that stop before the work: the exact messages, and not a row written.
    void refused_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("messages");
        const QString next = kNextYear;
        const QString later = QString::number(next.toInt() + 1);
        const QString invalidHint = QStringLiteral(" Négy számjegyű évet kell megadni (például %1).").arg(next);
        const QString otherYear = QStringLiteral("Az aktuális év %1, a megnyitandó év %2 helyett %3.\n"
                                                 "Biztosan a(z) %3. évet nyitja meg?")
                                      .arg(kThisYear, next, later);
        const QString question = vl::rental::YearOpeningQuestion();
        const QString tooFar = QStringLiteral("A(z) %1. év nem nyitható meg: az aktuális év %2, legfeljebb a(z) %3. év "
                                              "nyitható meg.").arg(later, kThisYear, next);
        const QString yearBack = QStringLiteral("Az aktuális év %1, a megnyitandó év %2 helyett %1.\n"
                                                "Biztosan a(z) %1. évet nyitja meg?").arg(kThisYear, next);
        QTest::newRow("empty") << "" << QList<int>{} << QStringList{QStringLiteral("Hibás év: \"\".") + invalidHint};
        QTest::newRow("two digits") << "27" << QList<int>{}
                                    << QStringList{QStringLiteral("Hibás év: \"27\".") + invalidHint};
        QTest::newRow("a letter (pasted)") << "2O27" << QList<int>{}
                                           << QStringList{QStringLiteral("Hibás év: \"2O27\".") + invalidHint};
        QTest::newRow("zero year") << "0000" << QList<int>{}
                                   << QStringList{QStringLiteral("Hibás év: \"0000\".") + invalidHint};
        // More than one past the business year: refused, nothing asked.
        QTest::newRow("two years ahead") << later << QList<int>{} << QStringList{tooFar};
        QTest::newRow("three years ahead")
            << QString::number(next.toInt() + 2) << QList<int>{}
            << QStringList{vl::rental::OpeningYearRefusal(kThisYear, QString::number(next.toInt() + 2))};
        QTest::newRow("other year, closed") << kThisYear << QList<int>{-1} << QStringList{yearBack};
        QTest::newRow("other year, Igen, then Nem") << kThisYear << QList<int>{0, 1} << QStringList{yearBack, question};
        QTest::newRow("next year, Nem") << next << QList<int>{1} << QStringList{question};
        QTest::newRow("next year, closed") << next << QList<int>{-1} << QStringList{question};
        QTest::newRow("a year back, Nem") << kThisYear << QList<int>{1}
                                          << QStringList{QStringLiteral("Az aktuális év %1, a megnyitandó év %2 helyett %1.\n"
                                                                        "Biztosan a(z) %1. évet nyitja meg?")
                                                             .arg(kThisYear, next)};
    }
    void refused() {
        QFETCH(QString, year);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, messages);
        connectTo(shared_);
        const QStringList before = snapshot();
        QVERIFY(before.size() > 100);
        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        f.e_ujev->setText(year);
        sink_.answers = answers;
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        QCOMPARE(sink_.texts(), messages);
        if (messages.size() == 1 && (messages.first().startsWith(QStringLiteral("Hibás év")) ||
                                     messages.first().startsWith(QStringLiteral("A(z) "))))
            QCOMPARE(sink_.messages.first().first, vl::MsgKind::Warning);
        QVERIFY(f.isVisible());
        QVERIFY(f.b_indul->isEnabled());
        QVERIFY(f.b_vissza->isEnabled());
        QVERIFY(!f.ProgressBar1->isVisible());
        QCOMPARE(f.summary().contractsTotal, 0);
        QCOMPARE(snapshot(), before);
    }

    // A run started while another one goes on (another workstation): a warning
    // naming that run, not a row written, and "Indul" offered again.
    void refusedWhileRunning() {
        connectTo(shared_);
        const QStringList before = snapshot();
        vl::db::ConnectParams p;
        p.database = shared_.filePath(QStringLiteral("demo.fdb"));
        auto other = vl::db::connect(p);
        QString claimed;
        QVERIFY(vl::rental::ClaimYearOpening(*other, kNextYear, QStringLiteral("KOVACS"), &claimed));
        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        sink_.answers = {0};
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        const QStringList texts = sink_.texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.first(), vl::rental::YearOpeningQuestion());
        QVERIFY2(texts.last().startsWith(QStringLiteral("Az év nyitása már fut (a(z) %1. év, indította: KOVACS")
                                             .arg(kNextYear)),
                 qPrintable(texts.last()));
        QCOMPARE(sink_.messages.last().first, vl::MsgKind::Warning);
        QCOMPARE(f.summary().refused, texts.last());
        QVERIFY(f.isVisible());
        QVERIFY(f.b_indul->isEnabled());
        QVERIFY(!f.ProgressBar1->isVisible());
        QCOMPARE(snapshot(), before);
        vl::rental::ReleaseYearOpening(*other);
        other->close();
    }

    // A run writes the new year's visits (and cash periods), reports and closes.
    void run_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("regenerate");
        QTest::newRow("next year") << kNextYear << QList<int>{0} << true;
        QTest::newRow("next year, rhythm kept") << kNextYear << QList<int>{0} << false;
    }
    void run() {
        QFETCH(QString, year);
        QFETCH(QList<int>, answers);
        QFETCH(bool, regenerate);
        QTemporaryDir dir;
        createDemo(dir);
        connectTo(dir);
        const QString prev = QString::number(year.toInt() - 1);
        const qint64 visitsBefore = visitsIn(year);
        const qint64 visitsPrevBefore = visitsIn(prev);
        const qint64 allVisitsBefore = count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'KA'"));
        const qint64 periodsBefore = count(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ WHERE DATUM >= :j"),
                                           {{QStringLiteral("j"), year + QStringLiteral(".01.01")}});
        const qint64 running = count(QStringLiteral(
            "SELECT COUNT(*) FROM FORGFEJ WHERE (BERVEG IS NULL OR BERVEG = '' OR BERVEG >= :j) AND AKTIV = 'I'"
            " AND STATUS = 'FO' AND BERMOD = 'HT'"), {{QStringLiteral("j"), year + QStringLiteral(".01.01")}});
        QVERIFY(running > 0);

        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.e_ujev->setText(year);
        f.cb_ujra->setChecked(regenerate);
        int steps = 0;
        connect(&f, &Tevnyitfm::progressed, &f, [&](int, int, qint64) {
            ++steps;
            if (steps == 2 && QTest::currentDataTag() == QLatin1String("next year"))
                saveShot(&f, QStringLiteral("Tevnyitfm_fut.png"));
        });
        sink_.answers = answers;
        QTest::mouseClick(f.b_indul, Qt::LeftButton);

        const vl::rental::YearOpeningSummary s = f.summary();
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(s.year, year);
        QCOMPARE(s.contractsTotal, int(running));
        QCOMPARE(s.contracts, int(running));
        QCOMPARE(steps, int(running) + 1);
        QVERIFY(s.items > 0);
        QVERIFY(s.visitsWritten > 0);
        QVERIFY(!f.isVisible());
        QCOMPARE(f.ProgressBar1->maximum(), int(running));
        QCOMPARE(f.ProgressBar1->value(), int(running));
        QCOMPARE(f.l_tetel->text(), QStringLiteral("%1 tétel").arg(running));
        QVERIFY(!f.b_indul->isEnabled());

        // The questions, then "Kész!" and the summary.
        const QStringList texts = sink_.texts();
        QCOMPARE(texts.size(), answers.size() + 1);
        QCOMPARE(texts.at(answers.size() - 1), vl::rental::YearOpeningQuestion());
        QCOMPARE(texts.last(), (QStringList{QStringLiteral("Kész!")} + s.lines()).join(u'\n'));
        QCOMPARE(sink_.messages.last().first, vl::MsgKind::Info);

        // The new year's maintenance, exactly as counted; the year before
        // gains rows only where the rhythm of the last visit is kept.
        const qint64 visitsAfter = visitsIn(year);
        QVERIFY(visitsAfter > visitsBefore);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE TEVKOD = 'KA'")) - allVisitsBefore,
                 qint64(s.visitsWritten - s.visitsDeleted));
        if (regenerate) QCOMPARE(visitsIn(prev), visitsPrevBefore);
        QCOMPARE(visitsIn(QString::number(year.toInt() + 1)), 0);
        const qint64 periodsAfter = count(QStringLiteral("SELECT COUNT(*) FROM FORGFIZ WHERE DATUM >= :j"),
                                          {{QStringLiteral("j"), year + QStringLiteral(".01.01")}});
        QVERIFY(s.periodsWritten > 0);
        QVERIFY(periodsAfter > periodsBefore);

        // Shown again: "Indul" is back, the bar hidden; a second run changes nothing.
        const QStringList after = snapshot();
        QVERIFY(f.FormShow());
        QVERIFY(f.b_indul->isEnabled());
        QVERIFY(!f.ProgressBar1->isVisible());
        f.show();
        f.e_ujev->setText(year);
        f.cb_ujra->setChecked(regenerate);
        sink_.clear();
        sink_.answers = answers;
        f.b_indulClick();
        QVERIFY2(f.summary().ok(), qPrintable(f.summary().error));
        QCOMPARE(snapshot(), after);
    }

    // While it runs the form refuses every way of closing; afterwards it closes.
    void closeRefusedWhileRunning() {
        QTemporaryDir dir;
        createDemo(dir);
        connectTo(dir);
        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        struct During {
            bool tried = false, running = false, visibleAfterClose = false, visibleAfterEscape = false,
                 visibleAfterReject = false, visibleAfterVissza = false, vissza = true, indul = true, ujev = true,
                 ujra = true, bar = false;
            QString biz;
        } d;
        connect(&f, &Tevnyitfm::progressed, &f, [&](int done, int, qint64 bizonylat) {
            if (d.tried || done != 2) return;
            d.tried = true;
            d.running = f.running();
            d.biz = f.l_biz->text() == QString::number(bizonylat) ? QStringLiteral("ok") : f.l_biz->text();
            d.vissza = f.b_vissza->isEnabled();
            d.indul = f.b_indul->isEnabled();
            d.ujev = f.e_ujev->isEnabled();
            d.ujra = f.cb_ujra->isEnabled();
            d.bar = f.ProgressBar1->isVisible();
            f.close();
            d.visibleAfterClose = f.isVisible();
            QTest::keyClick(&f, Qt::Key_Escape);
            d.visibleAfterEscape = f.isVisible();
            f.reject();
            d.visibleAfterReject = f.isVisible();
            f.b_vissza->click(); // disabled: nothing happens
            d.visibleAfterVissza = f.isVisible();
        });
        // A close queued before the run reaches the form while it runs.
        bool queuedClose = false;
        QTimer::singleShot(0, &f, [&] { queuedClose = true; f.close(); });
        sink_.answers = {0};
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        QVERIFY(queuedClose);
        QVERIFY(d.tried);
        QVERIFY(d.running);
        QCOMPARE(d.biz, QStringLiteral("ok"));
        QVERIFY(!d.vissza);
        QVERIFY(!d.indul);
        QVERIFY(!d.ujev);
        QVERIFY(!d.ujra);
        QVERIFY(d.bar);
        QVERIFY(d.visibleAfterClose);
        QVERIFY(d.visibleAfterEscape);
        QVERIFY(d.visibleAfterReject);
        QVERIFY(d.visibleAfterVissza);
        // The run went to its end and the form closed after "Kész!".
        QVERIFY2(f.summary().ok(), qPrintable(f.summary().error));
        QCOMPARE(f.summary().contracts, f.summary().contractsTotal);
        QVERIFY(sink_.last().startsWith(QStringLiteral("Kész!\n")));
        QVERIFY(!f.running());
        QVERIFY(!f.isVisible());
    }

    // A failure half-way: the error and the summary, the contracts before the
    // failing one opened, the rest untouched, and the form stays open.
    void failureReported() {
        QTemporaryDir dir;
        createDemo(dir);
        connectTo(dir);
        const QString j = kNextYear + QStringLiteral(".01.01");
        const auto rs = dm().d_alap().query(QStringLiteral(
            "SELECT BIZONYLAT FROM FORGFEJ WHERE (BERVEG IS NULL OR BERVEG = '' OR BERVEG >= :j) AND AKTIV = 'I'"
            " AND STATUS = 'FO' AND BERMOD = 'HT' ORDER BY BIZONYLAT"), {{QStringLiteral("j"), j}});
        QVERIFY(rs.rowCount() >= 3);
        const qint64 failing = rs.at(rs.rowCount() - 1, 0).toLongLong(); // the last one
        dm().d_alap().exec(QStringLiteral("CREATE EXCEPTION E_PROBA 'Próba hiba'"));
        dm().d_alap().exec(QStringLiteral(
            "CREATE TRIGGER T_PROBA FOR FORGTEV BEFORE INSERT AS BEGIN"
            " IF (NEW.BIZONYLAT = %1 AND NEW.DATUM >= '%2') THEN EXCEPTION E_PROBA; END").arg(failing).arg(j));
        const qint64 failingBefore = count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b"),
                                           {{QStringLiteral("b"), failing}});
        Tevnyitfm f;
        QVERIFY(f.FormShow());
        f.show();
        sink_.answers = {0};
        QTest::mouseClick(f.b_indul, Qt::LeftButton);
        const auto& s = f.summary();
        QVERIFY(!s.ok());
        QCOMPARE(s.failedContract, failing);
        QCOMPARE(s.contracts, rs.rowCount() - 1);
        QCOMPARE(sink_.messages.last().first, vl::MsgKind::Error);
        QCOMPARE(sink_.last(),
                 (QStringList{QStringLiteral("Az év nyitása hiba miatt leállt.")} + s.lines()).join(u'\n'));
        QVERIFY(sink_.last().contains(QStringLiteral("Próba hiba")));
        QVERIFY(f.isVisible());
        QVERIFY(!f.running());
        QVERIFY(f.b_vissza->isEnabled());
        QVERIFY(!f.b_indul->isEnabled());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b"),
                       {{QStringLiteral("b"), failing}}),
                 failingBefore);
        QVERIFY(visitsIn(kNextYear) > 0); // the contracts before it
        QTest::mouseClick(f.b_vissza, Qt::LeftButton);
        QVERIFY(!f.isVisible());
    }

private:
    // Runs action on the first visible top-level widget with that object name
    // as soon as it shows up (polling while a modal loop runs).
    static void vltestWhenShown(const QString& name, std::function<void(QWidget*)> action, int triesLeft = 3000) {
        QTimer::singleShot(10, [=]() {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible()) {
                    action(w);
                    return;
                }
            if (triesLeft > 0) vltestWhenShown(name, action, triesLeft - 1);
        });
    }
};

QTEST_MAIN(TstYearOpeningForm)
#include "tst_yearopening_form.moc"
