// vorlanda-admin serve: the drivers' service (their page and its JSON routes)
// on loopback by default, with TLS on any other address; --make-cert makes
// the certificates for that. Runs until SIGTERM or SIGINT, which end it
// between two requests.
#include "AdminCommand.h"

#include "drivers/Service.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "util/Error.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vl::admin {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

const char* kUsage =
    "serve [--listen CÍM:PORT] [--cert FÁJL --key FÁJL] | serve --make-cert MAPPA [--name NÉV]...";

int serve(AdminContext& ctx) {
    const QString cmd = QStringLiteral("serve");
    auto usage = [&](const QString& problem) {
        err(cmd + QStringLiteral(": ") + problem);
        err(cmd + QStringLiteral(": használat: ") + QString::fromUtf8(kUsage));
        return 2;
    };
    QString listen, cert, key, makeCert;
    QStringList names;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        auto value = [&](QString* into) {
            if (i + 1 >= a.size() || a[i + 1].startsWith(QStringLiteral("--"))) return false;
            *into = a[++i];
            return true;
        };
        QString v;
        if (a[i] == QStringLiteral("--listen")) {
            if (!value(&listen)) return usage(QStringLiteral("a --listen után cím:port kell."));
        } else if (a[i] == QStringLiteral("--cert")) {
            if (!value(&cert)) return usage(QStringLiteral("a --cert után fájl kell."));
        } else if (a[i] == QStringLiteral("--key")) {
            if (!value(&key)) return usage(QStringLiteral("a --key után fájl kell."));
        } else if (a[i] == QStringLiteral("--make-cert")) {
            if (!value(&makeCert)) return usage(QStringLiteral("a --make-cert után mappa kell."));
        } else if (a[i] == QStringLiteral("--name")) {
            if (!value(&v)) return usage(QStringLiteral("a --name után név kell."));
            names << v;
        } else {
            return usage(QStringLiteral("ismeretlen argumentum: ") + a[i]);
        }
    }
    if (!makeCert.isEmpty()) {
        if (!listen.isEmpty() || !cert.isEmpty() || !key.isEmpty())
            return usage(QStringLiteral("a --make-cert mellé csak --name adható."));
        try {
            for (const QString& line : vl::drivers::MakeCertificates(fromStartDir(makeCert), names)) out(line);
        } catch (const vl::Error& e) {
            err(cmd + QStringLiteral(": ") + e.text());
            return 1;
        }
        return 0;
    }
    if (!names.isEmpty()) return usage(QStringLiteral("a --name csak a --make-cert mellé adható."));

    QString problem;
    vl::drivers::ServiceSettings settings = vl::drivers::ReadServiceSettings(&problem);
    if (!problem.isEmpty()) {
        err(cmd + QStringLiteral(": ") + problem);
        return 2;
    }
    if (!listen.isEmpty() && !vl::drivers::ParseListen(listen, &settings.address, &settings.port))
        return usage(QStringLiteral("hibás cím:port: ") + listen);
    if (!cert.isEmpty()) settings.certFile = fromStartDir(cert);
    if (!key.isEmpty()) settings.keyFile = fromStartDir(key);

    auto& dm = vl::shell::Tdm::instance();
    if (!dm.ConnectDatabase(nullptr, false)) {
        err(cmd + QStringLiteral(": nincs adatbázis kapcsolat (") + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    try {
        vl::db::Connection& conn = dm.d_alap();
        vl::rental::Td::LoadStartupValues(conn);
        const vl::shell::Session service = vl::drivers::ServiceUserSession(conn, settings.serviceUser);
        vl::drivers::DriverService svc(conn, service, settings);
        svc.setReconnect([]() -> vl::db::Connection* {
            auto& dm = vl::shell::Tdm::instance();
            return dm.reconnect() ? &dm.d_alap() : nullptr;
        });
        QString error;
        if (!svc.start(&error)) {
            err(cmd + QStringLiteral(": ") + error);
            return 1;
        }
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
            err(cmd + QStringLiteral(": a jelzések kezelése nem állítható be."));
            return 1;
        }
        QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [] {
            char c;
            [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
            QCoreApplication::quit();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        out(QStringLiteral("A sofőrök szolgáltatása fut: %1://%2:%3/ (felhasználó: %4, napló: %5)")
                .arg(svc.tls() ? QStringLiteral("https") : QStringLiteral("http"),
                     settings.address.protocol() == QAbstractSocket::IPv6Protocol
                         ? QLatin1Char('[') + settings.address.toString() + QLatin1Char(']')
                         : settings.address.toString())
                .arg(svc.port())
                .arg(service.userCode, settings.logFile));
        std::fflush(stdout);
        QCoreApplication::exec();
        out(QStringLiteral("A sofőrök szolgáltatása leállt."));
    } catch (const vl::Error& e) {
        err(cmd + QStringLiteral(": ") + e.text());
        return 1;
    }
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("serve"),
                 QString::fromUtf8(kUsage) + QStringLiteral("  a sofőrök telefonos szolgáltatása"), serve, true, false);

} // namespace vl::admin
