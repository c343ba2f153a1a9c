// The login: default users seeded into a table without an active user, the
// dialog's success and refusals, password hashes, the login log, the cash
// desk and the last-user file.
#include "GuiTestSupport.h"
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
    CompleteLogin(*conn, u, QStringLiteral("user"));
    QCOMPARE(dm().CurrentUserCode, QStringLiteral("USR"));
    QCOMPARE(IniRead(QStringLiteral("wuserpenztar")), -1);
    conn->close();
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
