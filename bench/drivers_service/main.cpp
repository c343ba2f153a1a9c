// bench_drivers_service [--contracts N] [--runs N] [--marks N] [--dir DIR]
//
// The drivers' service on the generated company of the year-opening benchmark
// (2,500 contracts, 10,000 cabins, the year's visits and cash billing, 1,000
// customers with two sites each). The busiest day's activities and every
// line's and billing row's driver are spread over twenty drivers S0..S19
// (by contract), each given a PIN. The database is then copied into a twin,
// so the rules called directly and the service over HTTP do the same work on
// the same rows. Measures, after one warm-up pass each:
//   - the floor: the driver's FORGTEV rows of the day (bound SOFORKOD, DATUM)
//     through the client API, one read-only transaction per driver, every
//     value read once;
//   - in-process: ReadDriverDay for each driver in a read-only transaction,
//     --runs (default 3) times over the twenty drivers; the same with what
//     the day's route adds around it (the VAT factor, the reasons, the JSON
//     text; no warm-up of its own), to tell the route's own work from
//     HTTP's; ApplyPhoneMark "done" on the first --marks (default 10) planned
//     activities of each driver's day, one per call;
//   - over HTTP, on the twin: a DriverService on 127.0.0.1 (its clock at the
//     busiest day 08:00) in this thread's event loop, twenty client drivers
//     at once, each on its own thread with its own keep-alive connection, its
//     login (cookie and anti-forgery token): POST /api/login, --runs times
//     GET /api/day, then one POST /api/marks per activity with one "done" mark
//     on the same activities as the in-process part; last --runs times
//     GET /api/day without a session (401): what a request costs the service
//     and the client without the database.
// Prints a table: what, count, seconds, requests per second, p50, p95 and the
// ratio HTTP / in-process (ReadDriverDay, ApplyPhoneMark) of the requests per
// second. An HTTP request's time is its round trip at the client, so with
// twenty drivers at once it holds the wait behind the others' requests.
#include "GeneratedCompany.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "drivers/DriverDay.h"
#include "drivers/DriversSchema.h"
#include "drivers/Pins.h"
#include "drivers/Service.h"
#include "operations/PhoneMarks.h"
#include "rental/Numbering.h"
#include "shell/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kDrivers = 20;
using Clock = std::chrono::steady_clock;

void say(const QString& s) {
    std::fputs(s.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString driverCode(int d) { return QStringLiteral("S%1").arg(d); }
QString driverPin(int d) { return QString::number(4100 + d); }

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }
double msBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double percentile(QList<double> v, double p) {
    if (v.isEmpty()) return 0;
    std::sort(v.begin(), v.end());
    const int i = std::clamp(int(std::ceil(p * v.size())) - 1, 0, int(v.size()) - 1);
    return v.at(i);
}

// One line of the table: `ms` is the wall time of the whole set, `each` the
// time of each request (empty: no percentiles).
struct Line {
    QString what;
    int count = 0;
    double ms = 0;
    QList<double> each;
    double perSecond() const { return ms > 0 ? count * 1000.0 / ms : 0; }
};

// --- a bare HTTP/1.1 keep-alive client on a blocking socket (its own thread) ---

struct Reply {
    int status = 0;
    QHash<QByteArray, QByteArray> headers;   // lower-cased names
    QByteArray body;
    QString problem;                         // "" when a whole answer came
};

class HttpClient {
public:
    explicit HttpClient(quint16 port) : port_(port) {}

    Reply call(const QByteArray& method, const QByteArray& path, const QByteArray& body = QByteArray(),
               const QList<QPair<QByteArray, QByteArray>>& headers = {}) {
        Reply r;
        if (socket_.state() != QAbstractSocket::ConnectedState) {
            socket_.abort();
            buffer_.clear();
            socket_.connectToHost(QStringLiteral("127.0.0.1"), port_);
            if (!socket_.waitForConnected(10000)) {
                r.problem = QStringLiteral("no connection: ") + socket_.errorString();
                return r;
            }
        }
        QByteArray q = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port_) + "\r\n";
        for (const auto& h : headers) q += h.first + ": " + h.second + "\r\n";
        if (method == "POST")
            q += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        q += "\r\n" + body;
        socket_.write(q);
        while (socket_.bytesToWrite() > 0)
            if (!socket_.waitForBytesWritten(60000)) {
                r.problem = QStringLiteral("not sent: ") + socket_.errorString();
                return r;
            }
        // The head.
        int headEnd = -1;
        while ((headEnd = int(buffer_.indexOf("\r\n\r\n"))) < 0)
            if (!more(&r)) return r;
        const QList<QByteArray> lines = buffer_.left(headEnd).split('\n');
        buffer_.remove(0, headEnd + 4);
        const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
        r.status = statusLine.value(1).toInt();
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = int(lines[i].indexOf(':'));
            if (colon > 0) r.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        // The body: by its length, in chunks, or to the end of the connection.
        if (r.headers.value("transfer-encoding").toLower().contains("chunked")) {
            for (;;) {
                int eol = -1;
                while ((eol = int(buffer_.indexOf("\r\n"))) < 0)
                    if (!more(&r)) return r;
                bool ok = false;
                const qint64 size = buffer_.left(eol).split(';').first().trimmed().toLongLong(&ok, 16);
                if (!ok) {
                    r.problem = QStringLiteral("bad chunk");
                    return r;
                }
                while (buffer_.size() < eol + 2 + size + 2)
                    if (!more(&r)) return r;
                r.body += buffer_.mid(eol + 2, size);
                buffer_.remove(0, int(eol + 2 + size + 2));
                if (size == 0) break;   // (no trailers from this server)
            }
        } else if (r.headers.contains("content-length")) {
            const qint64 length = r.headers.value("content-length").toLongLong();
            while (buffer_.size() < length)
                if (!more(&r)) return r;
            r.body = buffer_.left(int(length));
            buffer_.remove(0, int(length));
        } else {
            while (socket_.state() == QAbstractSocket::ConnectedState && socket_.waitForReadyRead(60000))
                buffer_ += socket_.readAll();
            r.body = buffer_;
            buffer_.clear();
            socket_.abort();
        }
        if (r.headers.value("connection").toLower() == "close") {
            socket_.abort();
            buffer_.clear();
        }
        return r;
    }

    void close() {
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.waitForDisconnected(2000);
    }

private:
    bool more(Reply* r) {
        if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(60000)) {
            r->problem = QStringLiteral("no answer: ") + socket_.errorString();
            socket_.abort();
            buffer_.clear();
            return false;
        }
        buffer_ += socket_.readAll();
        return true;
    }

    quint16 port_;
    QTcpSocket socket_;
    QByteArray buffer_;
};

// One client driver's run and what it saw.
struct ClientDriver {
    int index = 0;
    QString code;
    QList<double> loginMs, dayMs, markMs, bareMs;
    int dayOk = 0, markOk = 0, markRefused = 0, bareOk = 0;
    int planned = 0;       // planned activities on the day the phone was shown
    QString problem;       // the first thing that went wrong
};

// The timestamps the barrier takes when the last client arrives.
struct Phases {
    std::mutex lock;
    QList<Clock::time_point> stamps;
    void stamp() {
        std::lock_guard<std::mutex> g(lock);
        stamps << Clock::now();
    }
};

struct Completion {
    Phases* phases;
    void operator()() noexcept { phases->stamp(); }
};

// The planned activities of a driver's day as the phone sees them, in order:
// (key, state).
QList<QPair<QString, QString>> plannedOf(const QJsonObject& day) {
    QList<QPair<QString, QString>> out;
    for (const QJsonValue& s : day.value(QStringLiteral("sites")).toArray())
        for (const QJsonValue& v : s.toObject().value(QStringLiteral("activities")).toArray()) {
            const QJsonObject a = v.toObject();
            const QString cls = a.value(QStringLiteral("class")).toString();
            if (cls == QStringLiteral("I") || cls == QStringLiteral("i"))
                out << qMakePair(a.value(QStringLiteral("key")).toString(), a.value(QStringLiteral("state")).toString());
        }
    return out;
}
QList<QPair<QString, QString>> plannedOf(const vl::drivers::DriverDay& day) {
    QList<QPair<QString, QString>> out;
    for (const auto& s : day.sites)
        for (const auto& a : s.activities)
            if (a.stateClass == QStringLiteral("I") || a.stateClass == QStringLiteral("i"))
                out << qMakePair(a.key, a.state);
    return out;
}

void runClient(ClientDriver& c, quint16 port, int runs, int marks, std::barrier<Completion>& barrier) {
    HttpClient http(port);
    auto fail = [&c](const QString& what, const Reply& r) {
        if (c.problem.isEmpty())
            c.problem = QStringLiteral("%1: %2 %3").arg(what).arg(r.status).arg(
                r.problem.isEmpty() ? QString::fromUtf8(r.body.left(200)) : r.problem);
    };
    QByteArray cookie, csrf;
    QList<QPair<QString, QString>> planned;

    barrier.arrive_and_wait();   // 0: everyone connected and ready: the logins
    {
        const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("driver"), c.code},
                                                          {QStringLiteral("pin"), driverPin(c.index)}})
                                    .toJson(QJsonDocument::Compact);
        const auto t = Clock::now();
        const Reply r = http.call("POST", "/api/login", body);
        c.loginMs << msSince(t);
        const QByteArray set = r.headers.value("set-cookie");
        if (r.status == 200 && set.startsWith("vlsession=")) {
            cookie = "vlsession=" + set.mid(10, set.indexOf(';') - 10);
            csrf = QJsonDocument::fromJson(r.body).object().value(QStringLiteral("csrf")).toString().toLatin1();
        } else {
            fail(QStringLiteral("login"), r);
        }
    }
    barrier.arrive_and_wait();   // 1: the warm-up read, which also gives the marks' keys
    if (!cookie.isEmpty()) {
        const Reply r = http.call("GET", "/api/day", QByteArray(), {{"Cookie", cookie}});
        if (r.status == 200) planned = plannedOf(QJsonDocument::fromJson(r.body).object());
        else fail(QStringLiteral("day (warm-up)"), r);
        c.planned = int(planned.size());
    }
    barrier.arrive_and_wait();   // 2: the timed reads
    if (!cookie.isEmpty())
        for (int i = 0; i < runs; ++i) {
            const auto t = Clock::now();
            const Reply r = http.call("GET", "/api/day", QByteArray(), {{"Cookie", cookie}});
            c.dayMs << msSince(t);
            if (r.status == 200 && !r.body.isEmpty()) ++c.dayOk;
            else fail(QStringLiteral("day"), r);
        }
    barrier.arrive_and_wait();   // 3: the timed marks, one per request
    if (!cookie.isEmpty())
        for (int i = 0; i < marks && i < planned.size(); ++i) {
            const QJsonArray list{QJsonObject{{QStringLiteral("id"), QStringLiteral("h-%1-%2").arg(c.code).arg(i)},
                                              {QStringLiteral("key"), planned.at(i).first},
                                              {QStringLiteral("action"), QStringLiteral("done")},
                                              {QStringLiteral("seen"), planned.at(i).second}}};
            const QByteArray body = QJsonDocument(list).toJson(QJsonDocument::Compact);
            const auto t = Clock::now();
            const Reply r = http.call("POST", "/api/marks", body, {{"Cookie", cookie}, {"X-CSRF-Token", csrf}});
            c.markMs << msSince(t);
            const QJsonArray results =
                QJsonDocument::fromJson(r.body).object().value(QStringLiteral("results")).toArray();
            if (r.status == 200 && results.size() == 1 &&
                results.at(0).toObject().value(QStringLiteral("result")).toString() == QStringLiteral("ok")) {
                ++c.markOk;
            } else {
                ++c.markRefused;
                fail(QStringLiteral("mark"), r);
            }
        }
    barrier.arrive_and_wait();   // 4: the service's own cost: the day's route without a session (401)
    for (int i = 0; i < runs; ++i) {
        const auto t = Clock::now();
        const Reply r = http.call("GET", "/api/day");
        c.bareMs << msSince(t);
        if (r.status == 401) ++c.bareOk;
        else fail(QStringLiteral("day without a session"), r);
    }
    barrier.arrive_and_wait();   // 5: done
    http.close();
}

} // namespace

int main(int argc, char** argv) {
    vl::db::prepareEmbeddedEngine();
    QCoreApplication app(argc, argv);
    int contracts = 2500, runs = 3, marks = 10;
    QString dirArg;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--contracts") && i + 1 < args.size()) contracts = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--runs") && i + 1 < args.size()) runs = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--marks") && i + 1 < args.size()) marks = std::max(1, args[++i].toInt());
        else if (args[i] == QStringLiteral("--dir") && i + 1 < args.size()) dirArg = args[++i];
        else {
            say(QStringLiteral("usage: bench_drivers_service [--contracts N] [--runs N] [--marks N] [--dir DIR]"));
            return 2;
        }
    }
    QTemporaryDir tmp;
    const QString dir = dirArg.isEmpty() ? tmp.path() : dirArg;
    const QString pathA = dir + QStringLiteral("/bench_drivers_service.fdb");
    const QString pathB = dir + QStringLiteral("/bench_drivers_service_twin.fdb");
    QFile::remove(pathA);
    QFile::remove(pathB);
    QElapsedTimer t;
    t.start();
    vl::drivers::joinProgramSchema();   // the PINs, over the operations module
    vl::billing::joinProgramSchema();
    auto conn = vl::bench::createGeneratedDatabase(pathA);
    vl::bench::generateCompany(*conn, contracts);
    vl::bench::generateCurrentYear(*conn, contracts);
    vl::bench::generateCustomers(*conn, contracts);
    vl::rental::Td::LoadStartupValues(*conn);
    const auto busiest = conn->query(QStringLiteral(
        "SELECT FIRST 1 DATUM, COUNT(*) FROM FORGTEV WHERE DATUM STARTING WITH '2026' GROUP BY DATUM ORDER BY 2 DESC, 1"));
    const QString day = busiest.at(0, 0).toString();
    const qint64 dayActivities = busiest.at(0, 1).toLongLong();

    // Twenty drivers, the day's activities and every line's and billing row's
    // driver spread over them by contract.
    vl::shell::Session office;
    office.userCode = QStringLiteral("BENCH");
    office.businessYear = 2026;
    {
        auto tx = conn->begin();
        for (int d = 0; d < kDrivers; ++d)
            if (tx->query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE KOD = :k"), {{QStringLiteral("k"), driverCode(d)}})
                    .isEmpty())
                tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES (:k, :n, 'I')"),
                         {{QStringLiteral("k"), driverCode(d)}, {QStringLiteral("n"), QStringLiteral("Sofőr %1").arg(d)}});
        const QString spread = QStringLiteral("'S' || CAST(MOD(BIZONYLAT, %1) AS VARCHAR(2))").arg(kDrivers);
        tx->exec(QStringLiteral("UPDATE FORGTEV SET SOFORKOD = %1 WHERE DATUM = :d").arg(spread),
                 {{QStringLiteral("d"), day}});
        tx->exec(QStringLiteral("UPDATE FORGSOR SET SOFORKOD = %1").arg(spread));
        tx->exec(QStringLiteral("UPDATE FORGFIZ SET SOFORKOD = %1").arg(spread));
        tx->commit();
        // The old versions of the updated rows collected now, not in the measured reads.
        auto gc = conn->begin();
        for (const char* table : {"FORGTEV", "FORGSOR", "FORGFIZ"})
            gc->query(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(table)));
        gc->commit();
    }
    for (int d = 0; d < kDrivers; ++d) vl::drivers::SetDriverPin(*conn, nullptr, office, driverCode(d), driverPin(d));
    const double setUp = t.elapsed() / 1000.0;

    // The twin, for the HTTP part.
    conn->close();
    conn.reset();
    if (!QFile::copy(pathA, pathB)) {
        say(QStringLiteral("Cannot copy the database to ") + pathB);
        return 1;
    }
    vl::db::ConnectParams pa, pb;
    pa.database = pathA;
    pb.database = pathB;
    conn = vl::db::connect(pa);
    auto twin = vl::db::connect(pb);
    vl::rental::Td::LoadStartupValues(*conn);
    const double vat = vl::rental::Td::values().VatFactor;
    say(QStringLiteral("Company: %1 contracts (%2 cabins), set up in %3 s; busiest day %4 with %5 activities over %6 "
                       "drivers")
            .arg(contracts).arg(contracts * 4).arg(setUp, 0, 'f', 1).arg(day).arg(dayActivities).arg(kDrivers));

    QList<Line> table;

    // The floor: the driver's rows of the day by bound SOFORKOD and DATUM.
    {
        const QString sql = QStringLiteral(
            "SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD, TEVALLAPOT, SOFORKOD,"
            " NETTOAR, MENNYISEG, KOMMENT FROM FORGTEV WHERE SOFORKOD = :s AND DATUM = :d");
        Line l{QStringLiteral("floor: SELECT a driver's FORGTEV rows")};
        qint64 values = 0;
        for (int r = 0; r <= runs; ++r) {
            const auto start = Clock::now();
            for (int d = 0; d < kDrivers; ++d) {
                const auto one = Clock::now();
                auto tx = conn->begin(vl::db::TxMode::ReadOnly);
                const vl::db::RowSet rs =
                    tx->query(sql, {{QStringLiteral("s"), driverCode(d)}, {QStringLiteral("d"), day}});
                tx->commit();
                for (int i = 0; i < rs.rowCount(); ++i)
                    for (const QVariant& v : rs.row(i)) values += v.isNull() ? 0 : 1;
                if (r > 0) l.each << msSince(one);
            }
            if (r == 0) continue;   // warm-up
            l.ms += msSince(start);
            l.count += kDrivers;
        }
        table << l;
        say(QStringLiteral("Floor: %1 values read per pass").arg(values / (runs + 1)));
    }

    // In-process: the driver's day.
    QList<QList<QPair<QString, QString>>> plannedInProcess;
    {
        Line l{QStringLiteral("in-process: ReadDriverDay")};
        int sites = 0, activities = 0;
        for (int r = 0; r <= runs; ++r) {
            const auto start = Clock::now();
            for (int d = 0; d < kDrivers; ++d) {
                const auto one = Clock::now();
                auto tx = conn->begin(vl::db::TxMode::ReadOnly);
                const vl::drivers::DriverDay dd = vl::drivers::ReadDriverDay(*tx, driverCode(d), day, vat);
                tx->commit();
                if (r > 0) l.each << msSince(one);
                if (r == 0) {
                    plannedInProcess << plannedOf(dd);
                    sites += int(dd.sites.size());
                    for (const auto& s : dd.sites) activities += int(s.activities.size());
                }
            }
            if (r == 0) continue;   // warm-up
            l.ms += msSince(start);
            l.count += kDrivers;
        }
        table << l;
        say(QStringLiteral("Driver's day: %1 sites and %2 activities over the %3 drivers").arg(sites).arg(activities)
                .arg(kDrivers));
    }

    // In-process: what the day's route does around the rule, without HTTP:
    // the VAT factor, the day, the reasons, the JSON text.
    {
        Line l{QStringLiteral("in-process: the day's route, no HTTP")};
        qint64 bytes = 0;
        for (int r = 1; r <= runs; ++r) {   // warm from the reads above
            const auto start = Clock::now();
            for (int d = 0; d < kDrivers; ++d) {
                const auto one = Clock::now();
                const QJsonObject o = vl::drivers::DriverDayAnswer(*conn, driverCode(d), day, {day});
                const QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Compact);
                l.each << msSince(one);
                if (r == 1) bytes += text.size();
            }
            l.ms += msSince(start);
            l.count += kDrivers;
        }
        table << l;
        say(QStringLiteral("The day's answers: %1 bytes of JSON over the %2 drivers").arg(bytes).arg(kDrivers));
    }

    // In-process: the marks, one per call, the drivers in turn.
    vl::shell::Session service;
    service.userCode = QStringLiteral("SZOLG");
    service.rights = QStringLiteral("W");
    service.businessYear = 2026;
    const QDateTime at(QDate::fromString(day, QStringLiteral("yyyy.MM.dd")), QTime(8, 0));
    {
        vl::operations::PhoneMarkRules rules;
        rules.vatFactor = vat;
        rules.markUntilHour = 12;
        rules.now = at.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
        Line l{QStringLiteral("in-process: ApplyPhoneMark done")};
        int refused = 0;
        QString firstRefusal;
        const auto start = Clock::now();
        for (int i = 0; i < marks; ++i)
            for (int d = 0; d < kDrivers; ++d) {
                if (i >= plannedInProcess.at(d).size()) continue;
                vl::operations::PhoneMark m;
                m.requestId = QStringLiteral("p-%1-%2").arg(driverCode(d)).arg(i);
                m.driverCode = driverCode(d);
                bool valid = false;
                m.key = vl::operations::PhoneKey::parse(plannedInProcess.at(d).at(i).first, &valid);
                m.action = vl::operations::PhoneAction::Done;
                m.seenState = plannedInProcess.at(d).at(i).second;
                const auto one = Clock::now();
                const vl::operations::PhoneMarkResult res = vl::operations::ApplyPhoneMark(*conn, service, m, rules);
                l.each << msSince(one);
                ++l.count;
                if (!valid || res.kind != vl::operations::PhoneMarkResult::Kind::Ok) {
                    ++refused;
                    if (firstRefusal.isEmpty()) firstRefusal = res.text;
                }
            }
        l.ms = msSince(start);
        table << l;
        if (refused > 0)
            say(QStringLiteral("In-process marks: %1 of %2 not applied, the first: %3").arg(refused).arg(l.count)
                    .arg(firstRefusal));
    }

    // Over HTTP, on the twin.
    {
        // Warm the twin's pages as the first pass above warmed the first database's.
        {
            auto tx = twin->begin(vl::db::TxMode::ReadOnly);
            for (int d = 0; d < kDrivers; ++d) vl::drivers::ReadDriverDay(*tx, driverCode(d), day, vat);
            tx->commit();
        }
        vl::drivers::ServiceSettings s;
        s.address = QHostAddress::LocalHost;
        s.port = 0;
        s.serviceUser = service.userCode;
        s.logFile = dir + QStringLiteral("/bench_drivers_service.log");
        s.idleSeconds = 120;      // the clients wait for each other between the parts
        s.requestSeconds = 300;   // twenty logins queue behind each other's PIN hashing
        vl::drivers::DriverService svc(*twin, service, s);
        svc.setClock([at] { return at; });
        QString e;
        if (!svc.start(&e)) {
            say(QStringLiteral("The service does not start: ") + e);
            return 1;
        }
        Phases phases;
        std::barrier<Completion> barrier(kDrivers, Completion{&phases});
        QList<ClientDriver> clients(kDrivers);
        QList<QThread*> threads;
        QEventLoop loop;
        std::atomic<int> finished{0};
        const quint16 port = svc.port();
        for (int d = 0; d < kDrivers; ++d) {
            clients[d].index = d;
            clients[d].code = driverCode(d);
            ClientDriver* c = &clients[d];
            QThread* th = QThread::create([c, port, runs, marks, &barrier] { runClient(*c, port, runs, marks, barrier); });
            QObject::connect(th, &QThread::finished, &loop, [&finished, &loop] {
                if (++finished == kDrivers) loop.quit();
            });
            threads << th;
        }
        for (QThread* th : threads) th->start();
        loop.exec();   // the service answers here until every client is through
        for (QThread* th : threads) {
            th->wait();
            delete th;
        }
        const QList<Clock::time_point> st = phases.stamps;
        Line login{QStringLiteral("HTTP: POST /api/login")}, dayLine{QStringLiteral("HTTP: GET /api/day")},
            markLine{QStringLiteral("HTTP: POST /api/marks, one done")},
            bare{QStringLiteral("HTTP: GET /api/day, no session (401)")};
        int planned = 0, dayOk = 0, markOk = 0, bareOk = 0;
        QStringList problems;
        for (const ClientDriver& c : clients) {
            login.each += c.loginMs;
            dayLine.each += c.dayMs;
            markLine.each += c.markMs;
            bare.each += c.bareMs;
            bareOk += c.bareOk;
            dayOk += c.dayOk;
            markOk += c.markOk;
            planned += c.planned;
            if (!c.problem.isEmpty()) problems << c.code + QStringLiteral(": ") + c.problem;
        }
        login.count = int(login.each.size());
        dayLine.count = int(dayLine.each.size());
        markLine.count = int(markLine.each.size());
        bare.count = int(bare.each.size());
        if (st.size() >= 6) {
            login.ms = msBetween(st[0], st[1]);
            dayLine.ms = msBetween(st[2], st[3]);
            markLine.ms = msBetween(st[3], st[4]);
            bare.ms = msBetween(st[4], st[5]);
        }
        table << login << dayLine << markLine << bare;
        say(QStringLiteral("HTTP: %1 planned activities shown, %2 of %3 days, %4 of %5 marks and %6 of %7 requests"
                           " without a session answered as expected")
                .arg(planned).arg(dayOk).arg(dayLine.count).arg(markOk).arg(markLine.count).arg(bareOk)
                .arg(bare.count));
        for (const QString& p : problems.mid(0, 5)) say(QStringLiteral("  problem: ") + p);
    }

    // The table.
    auto find = [&table](const QString& prefix) -> const Line* {
        for (const Line& l : table)
            if (l.what.startsWith(prefix)) return &l;
        return nullptr;
    };
    say(QString());
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
            .arg(QStringLiteral("what"), -40).arg(QStringLiteral("count"), 6).arg(QStringLiteral("s"), 8)
            .arg(QStringLiteral("req/s"), 9).arg(QStringLiteral("p50 ms"), 8).arg(QStringLiteral("p95 ms"), 8)
            .arg(QStringLiteral("HTTP/in-process"), 16));
    for (const Line& l : table) {
        QString ratio;
        const Line* base = l.what == QStringLiteral("HTTP: GET /api/day") ? find(QStringLiteral("in-process: Read"))
                           : l.what.startsWith(QStringLiteral("HTTP: POST /api/marks"))
                               ? find(QStringLiteral("in-process: Apply"))
                               : nullptr;
        if (base && base->perSecond() > 0) ratio = QString::number(l.perSecond() / base->perSecond(), 'f', 2) + QLatin1Char('x');
        say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                .arg(l.what, -40).arg(l.count, 6).arg(l.ms / 1000.0, 8, 'f', 3).arg(l.perSecond(), 9, 'f', 1)
                .arg(percentile(l.each, 0.50), 8, 'f', 2).arg(percentile(l.each, 0.95), 8, 'f', 2).arg(ratio, 16));
    }
    say(QStringLiteral("Goal: HTTP at least 0.70x the in-process requests per second."));
    twin->close();
    conn->close();
    return 0;
}
