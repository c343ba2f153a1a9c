// The first start's form: the office's own company made in an empty
// database, the demonstration instead, the refusals that make nothing, and
// the main window offering it when the configured database does not exist.
#include "GuiWiring.h"
#include "Tmain_pkrfm.h"
#include "Tujcegfm.h"
#include "db/Database.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using vl::rental::Tujcegfm;

namespace {

struct Typed {
    QString nev, irszam, varos, utca, adoszam, telefon, afa, juzer, jelszo, jelszo2;
};

const Typed kOffice{QStringLiteral("Szegedi Kabin Bt."), QStringLiteral("6722"), QStringLiteral("Szeged"),
                    QStringLiteral("Kossuth L. sgt. 5."), QStringLiteral("12345676-2-06"), QStringLiteral("62/555-123"),
                    QStringLiteral("25"), QStringLiteral("Nagy Anna"), QStringLiteral("Alma-fa7"), QStringLiteral("Alma-fa7")};

void type(Tujcegfm& f, const Typed& t) {
    const QList<QPair<const char*, QString>> fields{{"e_nev", t.nev},       {"e_irszam", t.irszam},   {"e_varos", t.varos},
                                                     {"e_utca", t.utca},     {"e_adoszam", t.adoszam}, {"e_telefon", t.telefon},
                                                     {"e_afa", t.afa},       {"e_juzer", t.juzer},     {"e_jelszo", t.jelszo},
                                                     {"e_jelszo2", t.jelszo2}};
    for (const auto& [name, value] : fields) {
        auto* e = f.findChild<QLineEdit*>(QString::fromLatin1(name));
        QVERIFY2(e, name);
        e->setText(value);
    }
}

QStringList rows(vl::db::Connection& c, const QString& sql) {
    const auto rs = c.query(sql);
    QStringList l;
    for (int r = 0; r < rs.rowCount(); ++r) {
        QStringList cols;
        for (int k = 0; k < rs.columnCount(); ++k) cols << rs.at(r, k).toString().trimmed();
        l << cols.join(u'|');
    }
    return l;
}

vl::db::ConnectParams params(const QString& file) {
    vl::db::ConnectParams p;
    p.database = file;
    return p;
}

} // namespace

class TstNewCompanyForm : public QObject {
    Q_OBJECT
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    QString oldCwd_;

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
    }
    void init() { sink_.clear(); }
    void cleanupTestCase() { QDir::setCurrent(oldCwd_); }

    void companyMade() {
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("pkr.fdb"));
        Tujcegfm f(file);
        QVERIFY(f.findChild<QRadioButton*>(QStringLiteral("rb_ujceg"))->isChecked());
        QCOMPARE(f.findChild<QRadioButton*>(QStringLiteral("rb_ujceg"))->text(), QStringLiteral("Új cég létrehozása"));
        QCOMPARE(f.findChild<QRadioButton*>(QStringLiteral("rb_bemutato"))->text(), QStringLiteral("Bemutató adatbázis"));
        QCOMPARE(f.findChild<QLineEdit*>(QStringLiteral("e_afa"))->text(), QStringLiteral("27"));
        type(f, kOffice);
        f.findChild<QPushButton*>(QStringLiteral("b_ok"))->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
        auto c = vl::db::connect(params(file));
        QCOMPARE(rows(*c, QStringLiteral("SELECT NEV, IRSZAM, VAROS, UTCA, ADOSZAM, TELEFON FROM CEG")),
                 QStringList{QStringLiteral("Szegedi Kabin Bt.|6722|Szeged|Kossuth L. sgt. 5.|12345676-2-06|62/555-123")});
        QCOMPARE(rows(*c, QStringLiteral("SELECT KOD, NEV, JOGOK FROM SZ_JUZER")), QStringList{QStringLiteral("NAGYANNA|Nagy Anna|W")});
        // 25 % is no seeded rate: it is added as the general one, the others are reduced.
        QCOMPARE(rows(*c, QStringLiteral("SELECT KOD, NEV, ERTEK FROM SZ_ADO WHERE STANDARD = 'I'")),
                 QStringList{QStringLiteral("25|Általános adókulcs (25 %)|0.25")});
        QCOMPARE(rows(*c, QStringLiteral("SELECT COUNT(*) FROM SZ_ADO WHERE STANDARD = 'N'")), QStringList{QStringLiteral("4")});
        QCOMPARE(rows(*c, QStringLiteral("SELECT (SELECT COUNT(*) FROM UGYFEL) + (SELECT COUNT(*) FROM ARU) + "
                                          "(SELECT COUNT(*) FROM FORGFEJ) + (SELECT COUNT(*) FROM SZ_SOFOR) FROM RDB$DATABASE")),
                 QStringList{QStringLiteral("0")});
        c->close();
    }

    // What cannot make a company is said on the form, which stays open; no file is made.
    void refusedMakesNothing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("passwords differ") << "jelszo2" << "Alma-fa8" << "A két jelszó nem egyezik.";
        QTest::newRow("no name") << "nev" << "  " << "Meg kell adni: a cég neve.";
        QTest::newRow("bad tax number") << "adoszam" << "12345678-2-06" << "Az adószám nem érvényes (például 12345676-2-41): 12345678-2-06";
        QTest::newRow("VAT not a number") << "afa" << "27 %" << "Az ÁFA kulcs szám legyen (százalék, például 27): 27 %";
        QTest::newRow("postal code") << "irszam" << "67" << "Az irányítószám négy számjegy legyen: 67";
        QTest::newRow("no user") << "juzer" << "" << "Meg kell adni: az első felhasználó neve.";
    }
    void refusedMakesNothing() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("pkr.fdb"));
        Tujcegfm f(file);
        type(f, kOffice);
        f.findChild<QLineEdit*>(QStringLiteral("e_") + field)->setText(value);
        f.findChild<QPushButton*>(QStringLiteral("b_ok"))->click();
        QCOMPARE(f.result(), int(QDialog::Rejected));
        QCOMPARE(f.findChild<QLabel*>(QStringLiteral("l_hiba"))->text(), message);
        QVERIFY(!QFile::exists(file));
        QVERIFY(QDir(d.path()).isEmpty());
    }

    void demoChosen() {
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("pkr.fdb"));
        Tujcegfm f(file);
        f.findChild<QRadioButton*>(QStringLiteral("rb_bemutato"))->setChecked(true);
        QVERIFY(!f.findChild<QWidget*>(QStringLiteral("p_ceg"))->isEnabled());
        f.findChild<QPushButton*>(QStringLiteral("b_ok"))->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        auto c = vl::db::connect(params(file));
        QVERIFY(rows(*c, QStringLiteral("SELECT COUNT(*) FROM UGYFEL")).first().toInt() > 0);
        QCOMPARE(rows(*c, QStringLiteral("SELECT NEV FROM CEG")), QStringList{QStringLiteral("Vorlanda Mobil WC Kft.")});
        c->close();
    }

    // The program's main window offers the form on a first start; "Mégse"
    // ends the start-up with nothing made, a company lets it go on.
    void mainWindowOffersIt_data() {
        QTest::addColumn<bool>("make");
        QTest::newRow("Mégse") << false;
        QTest::newRow("Létrehozás") << true;
    }
    void mainWindowOffersIt() {
        QFETCH(bool, make);
        QTemporaryDir d;
        const QString file = d.filePath(QStringLiteral("pkr.fdb"));
        QFile ini(d.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(file).toLatin1());
        ini.close();
        QDir::setCurrent(d.path());
        vl::shell::IniClear();
        bool offered = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* f = qobject_cast<Tujcegfm*>(QApplication::activeModalWidget());
            if (!f) return;
            poll.stop();
            offered = true;
            QCOMPARE(f->findChild<QLabel*>(QStringLiteral("l_fajl"))->text(), QStringLiteral("Még nincs adatbázis: ") + file);
            if (make) {
                type(*f, kOffice);
                f->findChild<QPushButton*>(QStringLiteral("b_ok"))->click();
            } else {
                f->findChild<QPushButton*>(QStringLiteral("b_megse"))->click();
            }
        });
        poll.start();
        {
            vl::shell::Tmain_pkrfm w;
            vl::gui::registerAll(w);
            w.setAutoStart(false);
            const bool started = w.runStartUp();
            QVERIFY(offered);
            QCOMPARE(started, make);
            QCOMPARE(QFile::exists(file), make);
            if (make) {
                QVERIFY(vl::shell::dm().isConnected());
                QCOMPARE(rows(vl::shell::dm().d_alap(), QStringLiteral("SELECT NEV FROM CEG")),
                         QStringList{QStringLiteral("Szegedi Kabin Bt.")});
            }
            if (vl::shell::dm().isConnected()) vl::shell::dm().disconnect();
        }
        QDir::setCurrent(oldCwd_);
    }
};

QTEST_MAIN(TstNewCompanyForm)
#include "tst_newcompany_form.moc"
