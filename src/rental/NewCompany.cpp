#include "rental/NewCompany.h"
#include "rental/WorkCalendar.h"

#include "db/SchemaRegistry.h"
#include "db/TxScope.h"
#include "rental/Schema.h"
#include "shell/Login.h"
#include "util/Error.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>
#include <iterator>

namespace vl::rental {

namespace {

using vl::db::Params;
using vl::db::Transaction;

struct Key {
    const char* name;
    const char* shown;     // how a message names it
    int maxLength;         // the column's width; 0: not a text column
    bool required;
};

// The keys of the file, in the order the form asks them.
const Key kKeys[] = {
    {"NEV", "a cég neve", 80, true},          {"IRSZAM", "az irányítószám", 10, true},
    {"VAROS", "a város", 40, true},           {"UTCA", "az utca, házszám", 60, true},
    {"ADOSZAM", "az adószám", 20, true},      {"TELEFON", "a telefonszám", 30, false},
    {"AFA", "az ÁFA kulcs", 0, true},         {"USER", "az első felhasználó neve", 30, true},
    {"PASSWORD", "az első felhasználó jelszava", 0, true}, {"NAPTARSZABALY", "a naptár szabálya", 40, false},
};

QString shownOf(const QString& key)
{
    for (const Key& k : kKeys)
        if (key == QLatin1String(k.name)) return QString::fromUtf8(k.shown);
    return key;
}

QString rateText(double percent)
{
    QString t = QString::number(percent, 'f', 2);
    while (t.contains(u'.') && (t.endsWith(u'0') || t.endsWith(u'.'))) t.chop(1);
    return t.replace(u'.', u',');
}

bool isLocalFile(const QString& database) { return database.trimmed().startsWith(u'/'); }

// The company's row, its first user, its VAT rate and its postal code, in the
// transaction that also writes the seeds (the company row first, so the
// seeds leave the demonstration company out).
void writeCompany(Transaction& tx, const NewCompany& c)
{
    // A new company moves the visits of a day off to the working day before
    // unless it chose otherwise, and its moved working days take over the
    // visits of the rest days they free.
    HolidayRule rule = HolidayRule::Previous;
    if (!c.naptarszabaly.trimmed().isEmpty()) HolidayRuleFromWord(c.naptarszabaly, &rule);
    tx.exec(QStringLiteral("INSERT INTO CEG (KOD, NEV, IRSZAM, VAROS, UTCA, ADOSZAM, TELEFON, AKTUALISEV, NYOMTPELD, ATADVEG,"
                           " NAPTARSZABALY, ATHELYEZETT) "
                           "VALUES ('1', :nev, :irszam, :varos, :utca, :adoszam, :telefon, :ev, 2, :atadveg, :szabaly, 'I')"),
            {{QStringLiteral("szabaly"), HolidayRuleCode(rule)},
             {QStringLiteral("nev"), c.nev.trimmed()},
             {QStringLiteral("irszam"), c.irszam.trimmed()},
             {QStringLiteral("varos"), c.varos.trimmed()},
             {QStringLiteral("utca"), c.utca.trimmed()},
             {QStringLiteral("adoszam"), c.adoszam.trimmed()},
             {QStringLiteral("telefon"), c.telefon.trimmed().isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                                                        : QVariant(c.telefon.trimmed())},
             {QStringLiteral("ev"), QString::number(QDate::currentDate().year())},
             {QStringLiteral("atadveg"),
              QStringLiteral("A kabin(oka)t rendeltetésszerű használatra alkalmas állapotban átadtuk.\r\n"
                             "A bérlő a kabinokért a visszaszállításig felelősséggel tartozik.")}});
}

void writeAfterSeeds(Transaction& tx, const NewCompany& c)
{
    // The general rate is the company's: every other rate is a reduced one.
    const double factor = std::round(c.afa * 100.0) / 10000.0;
    tx.exec(QStringLiteral("UPDATE SZ_ADO SET STANDARD = 'N'"));
    const qint64 n = tx.exec(QStringLiteral("UPDATE SZ_ADO SET STANDARD = 'I' WHERE ERTEK = :ertek"),
                             {{QStringLiteral("ertek"), factor}});
    if (n == 0) {
        QString kod = rateText(c.afa);
        tx.exec(QStringLiteral("INSERT INTO SZ_ADO (KOD, NEV, ERTEK, STANDARD) VALUES (:kod, :nev, :ertek, 'I')"),
                {{QStringLiteral("kod"), kod},
                 {QStringLiteral("nev"), QStringLiteral("Általános adókulcs (%1 %)").arg(kod)},
                 {QStringLiteral("ertek"), factor}});
    }
    // The company's own postal code is offered by the dictionary.
    auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM SZ_IRSZAM WHERE KOD = :kod"),
                       {{QStringLiteral("kod"), c.irszam.trimmed()}});
    if (rs.next() && rs.value(0).toLongLong() == 0)
        tx.exec(QStringLiteral("INSERT INTO SZ_IRSZAM (KOD, NEV) VALUES (:kod, :nev)"),
                {{QStringLiteral("kod"), c.irszam.trimmed()}, {QStringLiteral("nev"), c.varos.trimmed()}});
    // The first user, with every right; the password is the one they chose,
    // so the first login does not ask for a new one.
    tx.exec(QStringLiteral("INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) VALUES (:kod, :nev, :jelszo, 'W', 'I')"),
            {{QStringLiteral("kod"), FirstUserCode(c.user)},
             {QStringLiteral("nev"), c.user.trimmed()},
             {QStringLiteral("jelszo"), vl::shell::HashPassword(c.password)}});
}

} // namespace

NewCompany ParseNewCompanyJson(const QByteArray& json)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError)
        throw vl::RuleRefusal(QStringLiteral("A cég adatait tartalmazó fájl nem érvényes JSON (%1. karakter): %2")
                                  .arg(pe.offset + 1).arg(pe.errorString()));
    if (!doc.isObject())
        throw vl::RuleRefusal(QStringLiteral("A cég adatait tartalmazó fájl egyetlen JSON objektum legyen."));
    const QJsonObject o = doc.object();
    for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
        bool known = false;
        for (const Key& k : kKeys) known = known || it.key() == QLatin1String(k.name);
        if (!known)
            throw vl::RuleRefusal(QStringLiteral("Ismeretlen kulcs a cég adatai között: %1 (ismert kulcsok: NEV, IRSZAM, "
                                                 "VAROS, UTCA, ADOSZAM, TELEFON, AFA, USER, PASSWORD, NAPTARSZABALY).")
                                      .arg(it.key()));
    }
    NewCompany c;
    auto text = [&](const char* key, QString& into) {
        const QString k = QString::fromLatin1(key);
        if (!o.contains(k)) {
            bool required = false;
            for (const Key& kk : kKeys)
                if (k == QLatin1String(kk.name)) required = kk.required;
            if (required)
                throw vl::RuleRefusal(QStringLiteral("Hiányzik a cég adatai közül: %1 (%2).").arg(k, shownOf(k)));
            return;
        }
        const QJsonValue v = o.value(k);
        if (!v.isString())
            throw vl::RuleRefusal(QStringLiteral("A(z) %1 kulcs értéke szöveg legyen (%2).").arg(k, shownOf(k)));
        into = v.toString();
    };
    text("NEV", c.nev);
    text("IRSZAM", c.irszam);
    text("VAROS", c.varos);
    text("UTCA", c.utca);
    text("ADOSZAM", c.adoszam);
    text("TELEFON", c.telefon);
    text("USER", c.user);
    text("PASSWORD", c.password);
    text("NAPTARSZABALY", c.naptarszabaly);
    if (!o.contains(QStringLiteral("AFA")))
        throw vl::RuleRefusal(QStringLiteral("Hiányzik a cég adatai közül: AFA (az ÁFA kulcs százalékban)."));
    const QJsonValue afa = o.value(QStringLiteral("AFA"));
    if (afa.isDouble()) {
        c.afa = afa.toDouble();
    } else if (afa.isString()) {
        bool ok = false;
        QString t = afa.toString().trimmed();
        t.replace(u',', u'.');
        c.afa = t.toDouble(&ok);
        if (!ok)
            throw vl::RuleRefusal(QStringLiteral("Az AFA kulcs értéke nem szám: %1").arg(afa.toString()));
    } else {
        throw vl::RuleRefusal(QStringLiteral("Az AFA kulcs értéke szám legyen (az ÁFA kulcs százalékban, például 27)."));
    }
    const QString problem = CheckNewCompany(c);
    if (!problem.isEmpty()) throw vl::RuleRefusal(problem);
    return c;
}

QString CheckNewCompany(const NewCompany& c)
{
    const QString values[] = {c.nev, c.irszam, c.varos, c.utca, c.adoszam, c.telefon, QString(), c.user, c.password,
                              c.naptarszabaly};
    for (int i = 0; i < int(std::size(kKeys)); ++i) {
        const Key& k = kKeys[i];
        if (k.maxLength == 0 && i != 8) continue;
        const QString v = values[i].trimmed();
        if (k.required && v.isEmpty())
            return QStringLiteral("Meg kell adni: %1.").arg(QString::fromUtf8(k.shown));
        if (k.maxLength > 0 && v.size() > k.maxLength)
            return QStringLiteral("Túl hosszú %1 (legfeljebb %2 karakter).").arg(QString::fromUtf8(k.shown)).arg(k.maxLength);
    }
    static const QRegularExpression postal(QStringLiteral("^[0-9]{4}$"));
    if (!postal.match(c.irszam.trimmed()).hasMatch())
        return QStringLiteral("Az irányítószám négy számjegy legyen: %1").arg(c.irszam.trimmed());
    if (!CompanyTaxNumberValid(c.adoszam))
        return QStringLiteral("Az adószám nem érvényes (például 12345676-2-41): %1").arg(c.adoszam.trimmed());
    if (!(c.afa >= 0 && c.afa < 100))
        return QStringLiteral("Az ÁFA kulcs 0 és 100 közötti százalék legyen: %1").arg(rateText(c.afa));
    if (!c.naptarszabaly.trimmed().isEmpty() && !HolidayRuleFromWord(c.naptarszabaly, nullptr))
        return QStringLiteral("A naptár szabálya \"Marad\", \"Előző munkanapra\", \"Következő munkanapra\" vagy"
                              " \"Elmarad\" lehet: %1").arg(c.naptarszabaly.trimmed());
    if (FirstUserCode(c.user).isEmpty())
        return QStringLiteral("Az első felhasználó neve betűt vagy számjegyet is tartalmazzon.");
    for (const auto& u : vl::shell::DefaultUsers())
        if (c.password.toUpper() == u.jelszo.toUpper())
            return QStringLiteral("Az első felhasználó jelszava nem lehet a program alapértelmezett jelszava.");
    return {};
}

bool CompanyTaxNumberValid(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^([0-9]{8})-?([1-5])-?([0-9]{2})$"));
    const auto m = re.match(s.trimmed());
    if (!m.hasMatch()) return false;
    const QString base = m.captured(1);
    static const int weights[7] = {9, 7, 3, 1, 9, 7, 3};
    int sum = 0;
    for (int i = 0; i < 7; ++i) sum += (base.at(i).unicode() - '0') * weights[i];
    const int check = (10 - sum % 10) % 10;
    return base.at(7).unicode() - '0' == check;
}

QString FirstUserCode(const QString& name)
{
    QString kod;
    for (const QChar ch : name.trimmed().toUpper()) {
        if (kod.size() >= 10) break;
        if ((ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9')) kod += ch;
        else if (ch.isLetter()) {
            // Accented letters by their base letter: "ÁRPÁD" -> "ARPAD".
            const QString base = QString(ch).normalized(QString::NormalizationForm_D);
            if (!base.isEmpty() && base.at(0) >= u'A' && base.at(0) <= u'Z') kod += base.at(0);
        }
    }
    return kod;
}

NewDatabaseResult CreateNewDatabase(const vl::db::ConnectParams& p, const NewCompany* company, bool demo,
                                    const std::function<void(const QString&)>& log)
{
    if (company) {
        const QString problem = CheckNewCompany(*company);
        if (!problem.isEmpty()) throw vl::RuleRefusal(problem);
    }
    const bool local = isLocalFile(p.database);
    vl::db::SchemaRegistry registry;
    registerProgramSchema(registry);

    NewDatabaseResult result;
    std::unique_ptr<vl::db::Connection> conn = vl::db::createFirebirdDatabase(p);
    try {
        registry.upgrade(*conn, [&](const vl::db::SchemaModule& m, const vl::db::SchemaStep& s) {
            if (log) log(QStringLiteral("Sémalépés %1 %2: %3").arg(m.name).arg(s.version).arg(s.title));
        });
        {
            // The company, every module's seeds and the first user in one
            // transaction: a database is not left half-seeded.
            vl::db::TxScope tx(*conn, nullptr);
            if (company) writeCompany(*tx, *company);
            result.seeded = registry.seed(*tx, {QString::number(QDate::currentDate().year()), vl::db::SeedScope::All});
            if (company) writeAfterSeeds(*tx, *company);
            tx.commit();
        }
        if (demo) result.demo = DemoData::create(*conn, nullptr);
    } catch (...) {
        conn->close();
        conn.reset();
        // A half-made database is not left behind.
        if (local) {
            const QString file = p.database.trimmed();
            QFile::remove(file);
        }
        throw;
    }
    conn->close();
    result.versions = registry.describe(registry.latestVersions());
    return result;
}

} // namespace vl::rental
