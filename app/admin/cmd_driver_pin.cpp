// vorlanda-admin driver-pin KÓD [--clear]: sets (or clears) a driver's PIN for
// the drivers' phone service. The PIN comes from standard input, one line;
// from a terminal it is asked twice without echo. Never from the command line,
// so it stays out of the shell's history and the process list.
#include "AdminCommand.h"

#include "drivers/Pins.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/Error.h"

#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace vl::admin {
namespace {

// One line of standard input without its line end; false at the end of input.
bool readLine(QString* line) {
    std::string s;
    if (!std::getline(std::cin, s)) return false;
    *line = QString::fromUtf8(s.data(), qsizetype(s.size()));
    while (line->endsWith(QLatin1Char('\r')) || line->endsWith(QLatin1Char('\n'))) line->chop(1);
    return true;
}

// Asks on the terminal with the echo off.
bool askHidden(const QString& prompt, QString* line) {
    std::fputs(prompt.toUtf8().constData(), stderr);
    std::fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    const bool ok = readLine(line);
    if (tty) tcsetattr(STDIN_FILENO, TCSANOW, &old);
    std::fputs("\n", stderr);
    return ok;
}

int driverPin(AdminContext& ctx) {
    QString code;
    bool clear = false;
    for (const QString& a : ctx.args) {
        if (a == QStringLiteral("--clear")) clear = true;
        else if (code.isEmpty() && !a.startsWith(QStringLiteral("--"))) code = a.trimmed();
        else if (!a.startsWith(QStringLiteral("--"))) {
            err(QStringLiteral("driver-pin: a PIN-t nem a parancssorban, hanem a szabványos bemeneten kell megadni."));
            return 2;
        } else {
            err(QStringLiteral("driver-pin: ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (code.isEmpty()) {
        err(QStringLiteral("driver-pin: meg kell adni a gépkocsivezető kódját."));
        return 2;
    }

    QString pin;
    if (!clear) {
        if (isatty(STDIN_FILENO)) {
            QString again;
            if (!askHidden(QStringLiteral("PIN: "), &pin) || !askHidden(QStringLiteral("PIN még egyszer: "), &again)) {
                err(QStringLiteral("driver-pin: nem érkezett PIN."));
                return 1;
            }
            if (pin != again) {
                err(QStringLiteral("driver-pin: a két PIN nem egyezik; semmi sem változott."));
                return 1;
            }
        } else if (!readLine(&pin)) {
            err(QStringLiteral("driver-pin: nem érkezett PIN a szabványos bemeneten."));
            return 1;
        }
        if (pin.isEmpty()) {
            err(QStringLiteral("driver-pin: üres PIN; a PIN törléséhez a --clear kapcsolót kell megadni."));
            return 1;
        }
        if (const QString why = vl::drivers::PinRefusal(pin); !why.isEmpty()) {
            err(QStringLiteral("driver-pin: ") + why);
            return 1;
        }
    }

    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("driver-pin: nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    auto& conn = dm.d_alap();
    const vl::shell::Session session = vl::shell::CommandSession(conn);
    try {
        vl::drivers::SetDriverPin(conn, nullptr, session, code, pin);
    } catch (const vl::RuleRefusal& e) {
        err(QStringLiteral("driver-pin: ") + e.text());
        dm.disconnect();
        return 1;
    }
    dm.disconnect();
    out(clear ? QStringLiteral("A(z) %1 gépkocsivezető PIN-je törölve.").arg(code)
              : QStringLiteral("A(z) %1 gépkocsivezető PIN-je beállítva.").arg(code));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("driver-pin"),
                 QStringLiteral("driver-pin KÓD [--clear]  egy gépkocsivezető PIN-jének beállítása a telefonos "
                                "szolgáltatáshoz (a PIN a szabványos bemenetről, egy sor) vagy törlése"),
                 driverPin);

} // namespace vl::admin
