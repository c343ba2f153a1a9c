#pragma once
// A new database: the schema of every module, the dictionaries and control
// tables seeded, and either the office's own company (no demonstration rows)
// or the demonstration company. `vorlanda-admin init-db` and the program's
// first start both make it here.
#include "db/Database.h"
#include "rental/DemoData.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace vl::rental {

// The company and its first user, as the first-start form or a JSON file
// gives them. The keys of the file are the names below (the CEG columns
// NEV, IRSZAM, VAROS, UTCA, ADOSZAM, TELEFON; AFA, USER, PASSWORD).
struct NewCompany {
    QString nev, irszam, varos, utca, adoszam, telefon;
    double afa = 27;           // the general VAT rate, in percent
    QString user, password;    // the first user: every right
    // Optional NAPTARSZABALY: the company's rule for visits on a day off
    // ("Marad", "Előző munkanapra", "Következő munkanapra", "Elmarad", or the
    // command's words); empty: "Előző munkanapra".
    QString naptarszabaly;
};

// Reads one JSON object. Bad JSON, a missing or unknown key or a value of the
// wrong type is refused (vl::RuleRefusal) with a Hungarian sentence.
NewCompany ParseNewCompanyJson(const QByteArray& json);

// Empty when the company can be made; otherwise the first problem, in Hungarian.
QString CheckNewCompany(const NewCompany& c);

// A Hungarian company tax number: 8 digits (the last a check digit over the
// first seven, weights 9 7 3 1 9 7 3), a VAT code 1-5 and a two-digit
// county code: "12345676-2-41", or the same 11 digits without hyphens.
bool CompanyTaxNumberValid(const QString& s);

// The user code of the first user: the name's letters and digits, upper case,
// at most 10 ("USR" when the name has none).
QString FirstUserCode(const QString& name);

struct NewDatabaseResult {
    int seeded = 0;           // seed rows inserted
    DemoSummary demo;         // the demonstration rows, when asked for
    QString versions;         // the schema versions, as the registry describes them
};

// Creates the database that `p` names (an embedded file that must not exist
// yet, or one on a server), runs every module's steps, then in one
// transaction writes the company (when given), the seeds and its first user;
// with `demo` the demonstration data follows. A company that fails
// CheckNewCompany is refused before anything is created. When a later part
// fails, an embedded file made here is removed again. Throws vl::Error.
NewDatabaseResult CreateNewDatabase(const vl::db::ConnectParams& p, const NewCompany* company, bool demo,
                                    const std::function<void(const QString&)>& log = {});

} // namespace vl::rental
