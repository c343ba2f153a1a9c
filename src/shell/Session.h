#pragma once
// Who is working, with which rights, in which business year: the value every
// rule receives from its caller instead of reading the login from a global.
//
// The program builds it once after the login (Tdm::session()), vorlanda-admin
// builds it from the operating-system user and the database, tests build it
// by hand. A rule never changes it.
#include "db/Database.h"
#include <QString>

namespace vl::shell {

struct Session {
    QString userCode;      // SZ_JUZER.KOD of the login; the OS user's name without a login
    QString userName;      // shown only
    QString rights;        // the user's rights letters (RightsAllow)
    int businessYear = 0;  // CEG.AKTUALISEV as read and checked at start

    // JUZER of the rows a rule writes (the column holds ten characters).
    QString writer() const { return userCode.left(10); }
};

// The name of the operating-system user running the program ("" when unknown).
QString OperatingSystemUser();

// The session of a run without a login (vorlanda-admin): the operating-system
// user (named in the JUZER of what it writes) with every right, and the
// business year of the database (ReadBusinessYear; 0 when it holds none).
Session CommandSession(vl::db::Connection& conn);

} // namespace vl::shell
