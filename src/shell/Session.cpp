#include "shell/Session.h"

#include "shell/BusinessYear.h"

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace vl::shell {

QString OperatingSystemUser() {
#ifdef Q_OS_UNIX
    if (const struct passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
#endif
    for (const char* var : {"USER", "USERNAME", "LOGNAME"}) {
        const QString v = qEnvironmentVariable(var).trimmed();
        if (!v.isEmpty()) return v;
    }
    return QString();
}

Session CommandSession(vl::db::Connection& conn) {
    Session s;
    s.userCode = OperatingSystemUser();
    s.userName = s.userCode;
    s.rights = QStringLiteral("W");
    s.businessYear = ReadBusinessYear(conn).year;
    return s;
}

} // namespace vl::shell
