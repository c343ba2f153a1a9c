// The login: default users seeded into a table without an active user, the
// dialog's success and refusals, password hashes, the login log, the cash
// desk and the last-user file.
#include "GuiTestSupport.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "TPasswordFM.h"
#include "shell/Login.h"
#include "util/MessageSink.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vl::shell;

class TstLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void seedsDefaultUsersIntoEmptyTable();
    void reactivatesInactiveDefaults();
    void noSeedingWithAnActiveUser();
    void loginThroughDialog();
    void refusals_data();
    void refusals();
    void cancelRefuses();
    void clearTextAcceptedOnceThenHashed();
    void caseRules();
    void cashDeskGoesToConfiguration();
    void noLoginLogTable();
    void seededDefaultRecognised_data();
    void seededDefaultRecognised();
    void newPasswordRules_data();
    void newPasswordRules();
    void noLoginWithoutNewPassword();
    void newPasswordAndLoginRowInOneTransaction();
    void passwordChangedElsewhereMeanwhile();
    void defaultPasswordChangedThroughDialog();
    void cancelWhileChangingDefaultRefuses();

private:
    vl::db::Connection& db() { return dm().d_alap(); }
    void addUser(const QString& kod, const QString& nev, const QString& jelszo, const QString& aktiv,
                 const QString& penztar = QString());
    QTemporaryDir dir_;
    QString oldCwd_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
};

void TstLogin::initTestCase() {
    vl::db::prepareEmbeddedEngine();
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    // The whole program's tables: the templates of billing and operations too.
    vl::billing::joinProgramSchema();
    vl::operations::joinProgramSchema();
    const QString path = vltest::createDatabase(dir_.filePath(QStringLiteral("login.fdb")));
    dm().adopt(vltest::open(path));
    use_ = std::make_unique<vl::ScopedSink>(&sink_);
}

void TstLogin::cleanupTestCase() {
    use_.reset();
    dm().disconnect();
    QDir::setCurrent(oldCwd_);
}

void TstLogin::init() {
    db().exec(QStringLiteral("DELETE FROM SZ_JUZER"));
    db().exec(QStringLiteral("DELETE FROM JUZERLOG"));
    sink_.clear();
    sink_.answers.clear();
    IniClear();
    QFile::remove(dir_.filePath(QStringLiteral("SZOT_user.ini")));
    dm().CurrentUserCode.clear();
    dm().CurrentUserName.clear();
    dm().CurrentUserRights.clear();
}

void TstLogin::addUser(const QString& kod, const QString& nev, const QString& jelszo, const QString& aktiv,
                       const QString& penztar) {
    db().exec(QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV, PENZTAR) "
                             "VALUES (:kod, :nev, :jelszo, 'W', :aktiv, :penztar)"),
              {{"kod", kod}, {"nev", nev}, {"jelszo", jelszo}, {"aktiv", aktiv},
               {"penztar", penztar.isEmpty() ? QVariant() : QVariant(penztar)}});
}

void TstLogin::seedsDefaultUsersIntoEmptyTable() {
    QVERIFY(SeedDefaultUsersIfNone(db()));
    auto rs = db().query(QStringLiteral("SELECT KOD, NEV, JELSZO, JOGOK, AKTIV FROM SZ_JUZER ORDER BY KOD"));
    QCOMPARE(rs.rowCount(), 2);
    rs.next();
    QCOMPARE(rs.text("KOD"), QStringLiteral("TVN"));
    QCOMPARE(rs.text("NEV"), QStringLiteral("TARVON"));
    QCOMPARE(rs.text("JOGOK"), QStringLiteral("W"));
    QCOMPARE(rs.text("AKTIV"), QStringLiteral("I"));
    QVERIFY(IsPasswordHash(rs.text("JELSZO")));
    QVERIFY(!rs.text("JELSZO").contains(QStringLiteral("ZUMOR")));
    rs.next();
    QCOMPARE(rs.text("KOD"), QStringLiteral("USR"));
    QCOMPARE(rs.text("NEV"), QStringLiteral("USER"));
    // Either can log in, whatever the case typed.
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("tarvon"), QStringLiteral("zumor"), &u), LoginCheck::Ok);
    QCOMPARE(u.code, QStringLiteral("TVN"));
    QCOMPARE(CheckLogin(db(), QStringLiteral("user"), QStringLiteral("KOVA"), &u), LoginCheck::Ok);
    QCOMPARE(u.code, QStringLiteral("USR"));
}

void TstLogin::reactivatesInactiveDefaults() {
    addUser(QStringLiteral("TVN"), QStringLiteral("TARVON"), QStringLiteral("mas"), QStringLiteral("N"));
    addUser(QStringLiteral("USR"), QStringLiteral("USER"), QStringLiteral("masik"), QStringLiteral("N"));
    QVERIFY(SeedDefaultUsersIfNone(db()));
    QCOMPARE(ActiveUserCount(db()), 2);
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM SZ_JUZER")).at(0, 0).toInt(), 2);
    QCOMPARE(CheckLogin(db(), QStringLiteral("tarvon"), QStringLiteral("ZUMOR"), nullptr), LoginCheck::Ok);
    QCOMPARE(CheckLogin(db(), QStringLiteral("user"), QStringLiteral("masik"), nullptr), LoginCheck::WrongPassword);
}

void TstLogin::noSeedingWithAnActiveUser() {
    addUser(QStringLiteral("KB"), QStringLiteral("Kovács Béla"), HashPassword(QStringLiteral("alma")), QStringLiteral("I"));
    QVERIFY(!SeedDefaultUsersIfNone(db()));
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM SZ_JUZER")).at(0, 0).toInt(), 1);
}

void TstLogin::loginThroughDialog() {
    QString shownName, typedPassword;
    bool passwordHidden = false;
    vltest::whenShown(QStringLiteral("TPasswordFM"), [&](QWidget* w) {
        auto* f = static_cast<TPasswordFM*>(w);
        shownName = f->e_nev->text();
        passwordHidden = f->e_jelszo->echoMode() == QLineEdit::Password;
        f->e_nev->clear();
        QTest::keyClicks(f->e_nev, QStringLiteral("TarVon"));
        QTest::keyClicks(f->e_jelszo, QStringLiteral("zumor"));
        typedPassword = f->e_jelszo->text();
        QTest::mouseClick(f->OKBtn, Qt::LeftButton);
        // The seeded password must be replaced before the login succeeds.
        if (auto* uj = f->findChild<QLineEdit*>(QStringLiteral("e_ujjelszo")); uj && f->isVisible()) {
            QTest::keyClicks(uj, QStringLiteral("titok1"));
            QTest::keyClicks(f->findChild<QLineEdit*>(QStringLiteral("e_ujjelszo2")), QStringLiteral("titok1"));
            QTest::mouseClick(f->OKBtn, Qt::LeftButton);
        }
    });
    QVERIFY(Login());
    QVERIFY(sink_.messages.isEmpty());
    // A missing last-user file is created holding "USER".
    QCOMPARE(shownName, QStringLiteral("USER"));
    QVERIFY(passwordHidden);
    QCOMPARE(typedPassword, QStringLiteral("ZUMOR"));
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("TVN"));
    QCOMPARE(dm().CurrentUserName, QStringLiteral("TARVON"));
    QCOMPARE(dm().CurrentUserRights, QStringLiteral("W"));
    auto log = db().query(QStringLiteral("SELECT NEV, LOGINTIME FROM JUZERLOG"));
    QCOMPARE(log.rowCount(), 1);
    log.next();
    QCOMPARE(log.text("NEV"), QStringLiteral("TARVON"));
    QCOMPARE(log.text("LOGINTIME").left(10), QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd")));
    QCOMPARE(log.text("LOGINTIME").size(), 19);
    // The typed name (lower case) is remembered for the next start.
    QCOMPARE(vltest::readText1250(dir_.filePath(QStringLiteral("SZOT_user.ini"))).section('\n', 0, 0).trimmed(),
             QStringLiteral("tarvon"));
    QCOMPARE(ReadLastUser(), QStringLiteral("tarvon"));
}

void TstLogin::refusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("unknown name") << "senki" << "ZUMOR" << "Hibás belépési név." << "e_nev";
    QTest::newRow("not active") << "alvo" << "ALMA" << "A felhasználói név nincs aktiválva." << "e_nev";
    QTest::newRow("wrong password") << "tarvon" << "KOVA" << "Hibás jelszó." << "e_jelszo";
}

void TstLogin::refusals() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    SeedDefaultUsersIfNone(db());
    addUser(QStringLiteral("AL"), QStringLiteral("alvo"), HashPassword(QStringLiteral("alma")), QStringLiteral("N"));
    QString focused;
    bool stayedOpen = false;
    vltest::whenShown(QStringLiteral("TPasswordFM"), [&](QWidget* w) {
        auto* f = static_cast<TPasswordFM*>(w);
        f->e_nev->setText(name);
        f->e_jelszo->setText(password);
        QTest::mouseClick(f->OKBtn, Qt::LeftButton);
        stayedOpen = f->isVisible();
        focused = f->focusWidget() ? f->focusWidget()->objectName() : QString();
        QTest::mouseClick(f->CancelBtn, Qt::LeftButton);
    });
    QVERIFY(!Login());
    QVERIFY(stayedOpen);
    QCOMPARE(sink_.texts(), QStringList{message});
    QCOMPARE(focused, focus);
    QVERIFY(dm().CurrentUserCode.isEmpty());
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 0);
}

void TstLogin::cancelRefuses() {
    vltest::whenShown(QStringLiteral("TPasswordFM"), [](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QVERIFY(!Login());
    // The form was prepared: the defaults are there even though nobody logged in.
    QCOMPARE(ActiveUserCount(db()), 2);
}

void TstLogin::clearTextAcceptedOnceThenHashed() {
    addUser(QStringLiteral("KB"), QStringLiteral("Kovács Béla"), QStringLiteral("titok"), QStringLiteral("I"));
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("kovács béla"), QStringLiteral("TITOK"), &u), LoginCheck::Ok);
    const QString stored = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'KB'")).at(0, 0).toString();
    QVERIFY(IsPasswordHash(stored));
    QVERIFY(!stored.contains(QStringLiteral("titok"), Qt::CaseInsensitive));
    QCOMPARE(CheckLogin(db(), QStringLiteral("kovács béla"), QStringLiteral("titok"), &u), LoginCheck::Ok);
    QCOMPARE(CheckLogin(db(), QStringLiteral("kovács béla"), QStringLiteral("TITOK2"), &u), LoginCheck::WrongPassword);
    // The hash itself typed as a password does not get in.
    QCOMPARE(CheckLogin(db(), QStringLiteral("kovács béla"), stored, &u), LoginCheck::WrongPassword);
}

void TstLogin::caseRules() {
    addUser(QStringLiteral("NB"), QStringLiteral("Nagy Ödön"), QStringLiteral("körte"), QStringLiteral("I"));
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("nagy ödön"), QStringLiteral("KÖRTE"), &u), LoginCheck::Ok);
    QCOMPARE(u.name, QStringLiteral("Nagy Ödön"));
    QCOMPARE(CheckLogin(db(), QStringLiteral("NAGY ÖDÖN"), QStringLiteral("körte"), &u), LoginCheck::Ok);
    QCOMPARE(PasswordMatches(HashPassword(QStringLiteral("Őz")), QStringLiteral("őZ")), true);
}

void TstLogin::cashDeskGoesToConfiguration() {
    addUser(QStringLiteral("PK"), QStringLiteral("penztaros"), HashPassword(QStringLiteral("p")), QStringLiteral("I"),
            QStringLiteral("P2"));
    vltest::whenShown(QStringLiteral("TPasswordFM"), [](QWidget* w) {
        auto* f = static_cast<TPasswordFM*>(w);
        f->e_nev->setText(QStringLiteral("penztaros"));
        f->e_jelszo->setText(QStringLiteral("P"));
        QTest::keyClick(f->e_jelszo, Qt::Key_Return); // Enter moves to OK ...
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->OKBtn));
        QTest::keyClick(f->OKBtn, Qt::Key_Return);   // ... and presses it there
    });
    QVERIFY(Login());
    QCOMPARE(IniValue(QStringLiteral("wuserpenztar")), QStringLiteral("P2"));
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("PK"));
}

void TstLogin::noLoginLogTable() {
    // A database without JUZERLOG still lets the user in.
    QTemporaryDir other;
    vl::db::ConnectParams p;
    p.database = other.filePath(QStringLiteral("bare.fdb"));
    auto conn = vl::db::createFirebirdDatabase(p);
    conn->exec(QStringLiteral("CREATE TABLE SZ_JUZER (KOD VARCHAR(10) NOT NULL PRIMARY KEY, NEV VARCHAR(30), "
                              "JELSZO VARCHAR(128), JOGOK VARCHAR(30), AKTIV VARCHAR(1))"));
    QVERIFY(SeedDefaultUsersIfNone(*conn));
    LoginUser u;
    QCOMPARE(CheckLogin(*conn, QStringLiteral("user"), QStringLiteral("kova"), &u), LoginCheck::Ok);
    QVERIFY(!u.hasPenztar);
    QVERIFY(u.mustChangePassword); // still the seeded password
    QVERIFY(CompleteLogin(*conn, u, QStringLiteral("user"), QStringLiteral("UJ1")));
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("USR"));
    QCOMPARE(CheckLogin(*conn, QStringLiteral("user"), QStringLiteral("uj1"), &u), LoginCheck::Ok);
    QCOMPARE(IniRead(QStringLiteral("wuserpenztar")), -1);
    conn->close();
}

void TstLogin::seededDefaultRecognised_data() {
    QTest::addColumn<QString>("kod");
    QTest::addColumn<QString>("stored"); // "#X": the hash of X
    QTest::addColumn<bool>("seeded");
    QTest::newRow("TVN, seeded hash") << "TVN" << "#ZUMOR" << true;
    QTest::newRow("USR, seeded hash") << "USR" << "#KOVA" << true;
    QTest::newRow("TVN, default in clear text, lower case") << "TVN" << "zumor" << true;
    QTest::newRow("TVN, its own password") << "TVN" << "#ALMA" << false;
    QTest::newRow("TVN, the other user's default") << "TVN" << "#KOVA" << false;
    QTest::newRow("not a seeded user") << "KB" << "#ZUMOR" << false;
}

void TstLogin::seededDefaultRecognised() {
    QFETCH(QString, kod);
    QFETCH(QString, stored);
    QFETCH(bool, seeded);
    const QString value = stored.startsWith('#') ? HashPassword(stored.mid(1)) : stored;
    QCOMPARE(IsSeededDefaultPassword(kod, value), seeded);
    // ... and the login check says so
    addUser(kod, QStringLiteral("valaki"), value, QStringLiteral("I"));
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("valaki"), stored.mid(stored.startsWith('#') ? 1 : 0), &u), LoginCheck::Ok);
    QCOMPARE(u.mustChangePassword, seeded);
    // a default in clear text is not rehashed by the check: the new password replaces it
    if (!stored.startsWith('#'))
        QCOMPARE(IsPasswordHash(db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER")).at(0, 0).toString()), !seeded);
}

void TstLogin::newPasswordRules_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("problem");
    QTest::newRow("fit") << "Titok9" << "TITOK9" << "";
    QTest::newRow("accents, either case") << "Őszibarack" << "ŐSZIBARACK" << "";
    QTest::newRow("empty") << "" << "" << "Az új jelszó nem lehet üres.";
    QTest::newRow("blanks only") << "   " << "   " << "Az új jelszó nem lehet üres.";
    QTest::newRow("typed differently") << "ALMA1" << "ALMA2" << "A két új jelszó nem egyezik.";
    QTest::newRow("second missing") << "ALMA1" << "" << "A két új jelszó nem egyezik.";
    QTest::newRow("a default again") << "zumor" << "ZUMOR" << "Az új jelszó nem lehet a program alapértelmezett jelszava.";
    QTest::newRow("the other default") << "KOVA" << "KOVA" << "Az új jelszó nem lehet a program alapértelmezett jelszava.";
}

void TstLogin::newPasswordRules() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, problem);
    QCOMPARE(NewPasswordProblem(first, second), problem);
}

// Without a fit new password the login of a seeded user writes nothing.
void TstLogin::noLoginWithoutNewPassword() {
    SeedDefaultUsersIfNone(db());
    const QString before = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'TVN'")).at(0, 0).toString();
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("tarvon"), QStringLiteral("ZUMOR"), &u), LoginCheck::Ok);
    QVERIFY(u.mustChangePassword);
    for (const QString& bad : {QString(), QStringLiteral("ZUMOR"), QStringLiteral("kova")}) {
        QString problem;
        QVERIFY(!CompleteLogin(db(), u, QStringLiteral("tarvon"), bad, &problem));
        QVERIFY(!problem.isEmpty());
    }
    QVERIFY(dm().CurrentUserCode.isEmpty());
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 0);
    QCOMPARE(db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'TVN'")).at(0, 0).toString(), before);
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("SZOT_user.ini"))));
}

// The new password lands only together with the login row: when the row
// cannot be written, the seeded password stays and nobody is logged in.
void TstLogin::newPasswordAndLoginRowInOneTransaction() {
    SeedDefaultUsersIfNone(db());
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("tarvon"), QStringLiteral("ZUMOR"), &u), LoginCheck::Ok);
    db().exec(QStringLiteral("ALTER TABLE JUZERLOG ADD CONSTRAINT CHK_TST_NOLOG CHECK (NEV <> 'TARVON')"));
    bool raised = false;
    try {
        CompleteLogin(db(), u, QStringLiteral("tarvon"), QStringLiteral("UJJELSZO"));
    } catch (const vl::db::DbError&) {
        raised = true;
    }
    db().exec(QStringLiteral("ALTER TABLE JUZERLOG DROP CONSTRAINT CHK_TST_NOLOG"));
    QVERIFY(raised);
    const QString stored = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'TVN'")).at(0, 0).toString();
    QVERIFY(PasswordMatches(stored, QStringLiteral("ZUMOR")));
    QVERIFY(dm().CurrentUserCode.isEmpty());
    // with the log writable again the same change goes through whole
    QVERIFY(CompleteLogin(db(), u, QStringLiteral("tarvon"), QStringLiteral("UJJELSZO")));
    const QString now = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'TVN'")).at(0, 0).toString();
    QVERIFY(IsPasswordHash(now));
    QVERIFY(PasswordMatches(now, QStringLiteral("ujjelszo")));
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 1);
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("TVN"));
}

// Someone changed the password between the check and the new one: the change
// made elsewhere stays and this login does not succeed.
void TstLogin::passwordChangedElsewhereMeanwhile() {
    SeedDefaultUsersIfNone(db());
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("user"), QStringLiteral("KOVA"), &u), LoginCheck::Ok);
    const QString other = HashPassword(QStringLiteral("MASHOL"));
    db().exec(QStringLiteral("UPDATE SZ_JUZER SET JELSZO = :j WHERE KOD = 'USR'"), {{"j", other}});
    QString problem;
    QVERIFY(!CompleteLogin(db(), u, QStringLiteral("user"), QStringLiteral("ITTEN"), &problem));
    QCOMPARE(problem, QStringLiteral("A jelszót közben máshol módosították. Kérem, jelentkezzen be újra."));
    QCOMPARE(db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'USR'")).at(0, 0).toString(), other);
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 0);
    QVERIFY(dm().CurrentUserCode.isEmpty());
}

// A user whose password is still the seeded default logs in, and the same
// form asks for a new password twice; the login succeeds only once a fit one
// has been stored (as a hash) together with the login row.
void TstLogin::defaultPasswordChangedThroughDialog() {
    bool askedForNew = false, nameLocked = false;
    QStringList refusals;
    QString focusAfterMismatch;
    vltest::whenShown(QStringLiteral("TPasswordFM"), [&](QWidget* w) {
        auto* f = static_cast<TPasswordFM*>(w);
        f->e_nev->setText(QStringLiteral("user"));
        QTest::keyClicks(f->e_jelszo, QStringLiteral("kova"));
        QTest::mouseClick(f->OKBtn, Qt::LeftButton);
        auto* uj = f->findChild<QLineEdit*>(QStringLiteral("e_ujjelszo"));
        auto* uj2 = f->findChild<QLineEdit*>(QStringLiteral("e_ujjelszo2"));
        askedForNew = f->isVisible() && uj && uj2 && uj->isVisible() && uj2->isVisible();
        if (!askedForNew) return; // the form let the user in with the default
        nameLocked = !f->e_nev->isEnabled() && !f->e_jelszo->isEnabled();
        QVERIFY(uj->echoMode() == QLineEdit::Password && uj2->echoMode() == QLineEdit::Password);
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(uj));
        auto attempt = [&](const QString& a, const QString& b) {
            uj->clear();
            uj2->clear();
            QTest::keyClicks(uj, a);
            QTest::keyClicks(uj2, b);
            sink_.clear();
            QTest::mouseClick(f->OKBtn, Qt::LeftButton);
            refusals << sink_.texts();
        };
        attempt(QStringLiteral("alma1"), QStringLiteral("alma2"));
        focusAfterMismatch = f->focusWidget() ? f->focusWidget()->objectName() : QString();
        attempt(QStringLiteral("kova"), QStringLiteral("kova"));
        attempt(QString(), QString());
        QVERIFY(f->isVisible());
        QCOMPARE(ActiveUserCount(db()), 2);
        QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 0);
        QVERIFY(dm().CurrentUserCode.isEmpty());
        attempt(QStringLiteral("Korte7"), QStringLiteral("korte7"));
    });
    const bool in = Login();
    QVERIFY2(askedForNew, "the seeded password was accepted without asking for a new one");
    QVERIFY(in);
    QVERIFY(nameLocked);
    QCOMPARE(refusals, (QStringList{QStringLiteral("A két új jelszó nem egyezik."),
                                    QStringLiteral("Az új jelszó nem lehet a program alapértelmezett jelszava."),
                                    QStringLiteral("Az új jelszó nem lehet üres.")}));
    QCOMPARE(focusAfterMismatch, QStringLiteral("e_ujjelszo2"));
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("USR"));
    const QString stored = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'USR'")).at(0, 0).toString();
    QVERIFY(IsPasswordHash(stored));
    QVERIFY(PasswordMatches(stored, QStringLiteral("KORTE7")));
    QVERIFY(!PasswordMatches(stored, QStringLiteral("KOVA")));
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 1);
    // The next login takes the new password and asks nothing more.
    LoginUser u;
    QCOMPARE(CheckLogin(db(), QStringLiteral("user"), QStringLiteral("kova"), &u), LoginCheck::WrongPassword);
    QCOMPARE(CheckLogin(db(), QStringLiteral("user"), QStringLiteral("korte7"), &u), LoginCheck::Ok);
    QVERIFY(!u.mustChangePassword);
}

void TstLogin::cancelWhileChangingDefaultRefuses() {
    bool askedForNew = false;
    vltest::whenShown(QStringLiteral("TPasswordFM"), [&](QWidget* w) {
        auto* f = static_cast<TPasswordFM*>(w);
        f->e_nev->setText(QStringLiteral("tarvon"));
        f->e_jelszo->setText(QStringLiteral("ZUMOR"));
        QTest::mouseClick(f->OKBtn, Qt::LeftButton);
        auto* uj = f->findChild<QLineEdit*>(QStringLiteral("e_ujjelszo"));
        askedForNew = f->isVisible() && uj && uj->isVisible();
        if (!askedForNew) return;
        QTest::keyClicks(uj, QStringLiteral("FELIG")); // typed once, then given up
        QTest::mouseClick(f->CancelBtn, Qt::LeftButton);
    });
    const bool in = Login();
    QVERIFY(askedForNew);
    QVERIFY(!in);
    QVERIFY(dm().CurrentUserCode.isEmpty());
    QCOMPARE(db().query(QStringLiteral("SELECT COUNT(*) FROM JUZERLOG")).at(0, 0).toInt(), 0);
    const QString stored = db().query(QStringLiteral("SELECT JELSZO FROM SZ_JUZER WHERE KOD = 'TVN'")).at(0, 0).toString();
    QVERIFY(PasswordMatches(stored, QStringLiteral("ZUMOR")));
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
