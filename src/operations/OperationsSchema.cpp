#include "operations/OperationsSchema.h"

#include "rental/Schema.h"

namespace vl::operations {

QString PhoneMarksTable() { return QStringLiteral("TELEFONJEL"); }
QString PhoneReasonsTable() { return QStringLiteral("SZ_OKOK"); }
QString ClosedDaysTable() { return QStringLiteral("SOFORNAPZAR"); }

QString PhoneMarkDayExpression() {
    return QStringLiteral("REVERSE(SUBSTRING(REVERSE(KULCS) FROM POSITION('.' IN REVERSE(KULCS)) + 1 FOR 10))");
}

QStringList createStatements() {
    // The work table holds whatever a driver is shown whole: the remark and
    // the cabin numbers without a limit, the address with its site remark.
    // Rental's step 8 makes the same template anew in an older database.
    return {vl::rental::daySheetTemplate()};
}

QStringList phoneMarkStatements() {
    QStringList s;
    // Where the last mark of an activity or a billing row came from: 'telefon'
    // with the driver and the time, NULL from the desk.
    for (const char* t : {"FORGTEV", "FORGFIZ"})
        s << QStringLiteral("ALTER TABLE %1 ADD FORRAS VARCHAR(10), ADD FORRASSOFOR VARCHAR(10),"
                            " ADD FORRASMIKOR VARCHAR(19)")
                 .arg(QString::fromLatin1(t));
    // One row per mark a phone sent (accepted or refused), by the driver's
    // request id, so a repeated request gets the first answer.
    s << QStringLiteral("CREATE TABLE TELEFONJEL ("
                        " SOFORKOD VARCHAR(10) NOT NULL,"
                        " AZONOSITO VARCHAR(64) NOT NULL,"
                        " KULCS VARCHAR(80),"
                        " MUVELET VARCHAR(10),"
                        " EREDMENY VARCHAR(10),"
                        " SZOVEG VARCHAR(500),"
                        " ALLAPOT VARCHAR(10),"
                        " OK VARCHAR(10),"
                        " KOMMENT VARCHAR(250),"
                        " OSSZEG BIGINT,"
                        " JUZER VARCHAR(10),"
                        " MIKOR VARCHAR(19),"
                        " CONSTRAINT PK_TELEFONJEL PRIMARY KEY (SOFORKOD, AZONOSITO))");
    s << QStringLiteral("CREATE INDEX IX_TELEFONJEL_MIKOR ON TELEFONJEL (MIKOR)");
    // The reasons a driver may give for a visit not done.
    s << QStringLiteral("CREATE TABLE SZ_OKOK (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60),"
                        " CONSTRAINT PK_SZ_OKOK PRIMARY KEY (KOD))");
    return s;
}

const QList<QPair<QString, QString>>& SeededReasons() {
    static const QList<QPair<QString, QString>> r{
        {QStringLiteral("ZART"), QStringLiteral("Zárt terület")},
        {QStringLiteral("NEMTALAL"), QStringLiteral("Nem található")},
        {QStringLiteral("LEMONDTA"), QStringLiteral("Ügyfél lemondta")},
        {QStringLiteral("NINCSHOZZA"), QStringLiteral("Nincs hozzáférés")},
        {QStringLiteral("IDOHIANY"), QStringLiteral("Időhiány")}};
    return r;
}

vl::db::SchemaModule schemaModule() {
    // Version 1: the day sheet's template, made only where an older database
    // does not have it yet (there the rental module's steps made it alike).
    vl::db::SchemaModule m = vl::rental::templateModule(QStringLiteral("operations"),
                                      QStringLiteral("Tevékenységi napló munkatáblájának sablonja (TEVNAPLO)"),
                                      QStringLiteral("TEVNAPLO"), createStatements());
    // Version 2: the marks of the drivers' phones: the source columns of the
    // activities and billing rows, the marks' log and the reasons' dictionary.
    m.steps.append(vl::db::SchemaStep{
        2, QStringLiteral("Telefonos jelölések: forrás oszlopok, napló (TELEFONJEL), elmaradás okai (SZ_OKOK)"),
        phoneMarkStatements(), {}});
    // Version 3: the reasons a new or an upgraded database starts with, only
    // into an empty dictionary.
    vl::db::SchemaStep reasons;
    reasons.version = 3;
    reasons.title = QStringLiteral("Az elmaradás okai (SZ_OKOK) alapsorai");
    reasons.data = [](vl::db::Transaction& tx) {
        if (!tx.query(QStringLiteral("SELECT FIRST 1 1 FROM SZ_OKOK")).isEmpty()) return;
        for (const auto& r : SeededReasons())
            tx.exec(QStringLiteral("INSERT INTO SZ_OKOK (KOD, NEV) VALUES (:kod, :nev)"),
                    {{QStringLiteral("kod"), r.first}, {QStringLiteral("nev"), r.second}});
    };
    m.steps.append(reasons);
    // Version 4: the drivers' closed days (SOFORNAPZAR, by day first, so the
    // day's closes are read by the key), and the marks' log read by the day
    // of the row each mark is about: an index of the key's day (the ten
    // characters before the key's last '.'), used only by the statement that
    // spells the same expression (PhoneMarkDayExpression).
    m.steps.append(vl::db::SchemaStep{
        4, QStringLiteral("Gépkocsivezetők lezárt napjai (SOFORNAPZAR), a telefonos napló napja szerinti index"),
        {QStringLiteral("CREATE TABLE SOFORNAPZAR ("
                        " DATUM VARCHAR(10) NOT NULL,"
                        " SOFORKOD VARCHAR(10) NOT NULL,"
                        " MIKOR VARCHAR(19) NOT NULL,"
                        " JUZER VARCHAR(10),"
                        " CONSTRAINT PK_SOFORNAPZAR PRIMARY KEY (DATUM, SOFORKOD))"),
         QStringLiteral("CREATE INDEX IX_TELEFONJEL_NAP ON TELEFONJEL COMPUTED BY (") + PhoneMarkDayExpression() +
             QLatin1Char(')')},
        {}});
    // Version 5: the day sheet's contracts of the day, a temporary table of
    // the connection whose rows last until the transaction ends: the day's
    // activities are read once to find them, the later reads go by key.
    m.steps.append(vl::db::SchemaStep{
        5, QStringLiteral("A napi lap szerződései (NAPISZERZ, átmeneti tábla)"),
        {QStringLiteral("CREATE GLOBAL TEMPORARY TABLE NAPISZERZ ("
                        " BIZONYLAT INTEGER NOT NULL)"
                        " ON COMMIT DELETE ROWS")},
        {}});
    // Later versions are appended here, never changed once released.
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::rental::registerSchema(registry);
    registry.add(schemaModule());
}

void joinProgramSchema() { vl::rental::addUpperSchema(QStringLiteral("operations"), registerSchema); }

} // namespace vl::operations
