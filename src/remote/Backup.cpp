#include "remote/Backup.h"

#include "db/Backends.h"
#include "db/Database.h"
#include "db/SqlText.h"
#include "db/PendingFile.h"
#include "shell/Ini.h"
#include "util/Error.h"
#include "util/Dates.h"

#include <firebird/Interface.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

using namespace Firebird;

namespace vl::remote {

namespace {

IMaster* master() { return fb_get_master_interface(); }

class Status {
public:
    Status() : raw_(master()->getStatus()), w_(raw_) {}
    ~Status() { raw_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    CheckStatusWrapper* operator&() { return &w_; }
    bool failed() const { return (w_.getState() & IStatus::STATE_ERRORS) != 0; }
    void check(const QString& doing) {
        if (!failed()) return;
        char buf[4096];
        master()->getUtilInterface()->formatStatus(buf, sizeof buf, &w_);
        throw vl::db::DbError(QString::fromUtf8(buf).trimmed(), int(isc_sqlcode(w_.getErrors())),
                              vl::db::DbError::Kind::General, doing);
    }
private:
    IStatus* raw_;
    CheckStatusWrapper w_;
};

// A service request's parameter block, begun with its action.
IXpbBuilder* serviceRequest(Status& st, unsigned char action, const QString& doing) {
    IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_START, nullptr, 0);
    st.check(doing);
    b->insertTag(&st, action);
    return b;
}

std::vector<unsigned char> buffer(IXpbBuilder* b) {
    Status st;
    const unsigned char* p = b->getBuffer(&st);
    std::vector<unsigned char> out(p, p + b->getBufferLength(&st));
    st.check(QStringLiteral("services"));
    return out;
}

// An attachment to a service manager, released when it goes.
class ServiceAttachment {
public:
    ServiceAttachment(const DatabaseLocation& loc, QString* databaseOnService) {
        const QString service = ServiceManagerFor(loc.database, databaseOnService);
        const bool remote = vl::db::detail::isRemoteFirebirdName(loc.database);
        if (!remote) vl::db::prepareEmbeddedEngine();
        Status st;
        IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_ATTACH, nullptr, 0);
        st.check(service);
        QByteArray user = loc.user.toUtf8();
        if (user.isEmpty() && !remote) user = "SYSDBA"; // the embedded engine trusts the name
        if (!user.isEmpty()) b->insertString(&st, isc_spb_user_name, user.constData());
        if (!loc.password.isEmpty()) b->insertString(&st, isc_spb_password, loc.password.toUtf8().constData());
        const std::vector<unsigned char> spb = buffer(b);
        b->dispose();
        {
            vl::db::detail::TerminationSignalsBlocked quiet;
            IProvider* prov = master()->getDispatcher();
            svc_ = prov->attachServiceManager(&st, service.toUtf8().constData(), unsigned(spb.size()), spb.data());
            prov->release();
        }
        vl::db::detail::reinstallSignalHandlers();
        st.check(service);
    }
    ~ServiceAttachment() {
        if (!svc_) return;
        Status st;
        svc_->detach(&st);
        if (st.failed()) svc_->release();
    }
    IService* operator->() { return svc_; }
    IService* get() { return svc_; }
private:
    IService* svc_ = nullptr;
};

unsigned readLen(const unsigned char* p) { return unsigned(p[0]) | (unsigned(p[1]) << 8); }

// Asks the service for `item` until it has nothing more, handing each
// non-empty piece of it on; the answers "not ready yet" only ask again.
void readService(IService* svc, const QString& doing, unsigned char item, size_t bufferSize,
                 const std::function<void(const unsigned char*, unsigned)>& onPiece) {
    const unsigned char items[] = {item};
    std::vector<unsigned char> buf(bufferSize);
    for (;;) {
        Status st;
        svc->query(&st, 0, nullptr, sizeof items, items, unsigned(buf.size()), buf.data());
        st.check(doing);
        const unsigned char* p = buf.data();
        const unsigned char* end = p + buf.size();
        bool more = false;
        while (p < end && *p != isc_info_end) {
            const unsigned char tag = *p++;
            if (tag == item && p + 2 <= end) {
                const unsigned len = readLen(p);
                p += 2;
                if (len > 0) {
                    more = true;
                    onPiece(p, len);
                }
                p += len;
            } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready || tag == isc_info_svc_timeout) {
                more = true;
            } else {
                break;
            }
        }
        if (!more) return;
    }
}

// Reads the service's output line by line until it ends.
void readLines(IService* svc, const QString& doing, const std::function<void(const QString&)>& onLine) {
    readService(svc, doing, isc_info_svc_line, 32768, [&](const unsigned char* p, unsigned len) {
        onLine(QString::fromUtf8(reinterpret_cast<const char*>(p), int(len)));
    });
}

// Waits until the service has finished its work (its output can end a moment
// before its thread has closed the database), at most timeoutMs.
void waitUntilFinished(IService* svc, int timeoutMs = 60000) {
    const unsigned char items[] = {isc_info_svc_running};
    unsigned char buf[64];
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        Status st;
        svc->query(&st, 0, nullptr, sizeof items, items, sizeof buf, buf);
        if (st.failed() || buf[0] != isc_info_svc_running) return;
        const unsigned running = unsigned(buf[1]) | (unsigned(buf[2]) << 8) | (unsigned(buf[3]) << 16) |
                                 (unsigned(buf[4]) << 24);
        if (running == 0) return;
        QThread::msleep(20);
    }
}

// Reads what the service writes to its standard output into a file.
void readStream(IService* svc, const QString& doing, QFile& out, const BackupProgress& progress) {
    qint64 written = 0;
    readService(svc, doing, isc_info_svc_to_eof, 65000, [&](const unsigned char* p, unsigned len) {
        if (out.write(reinterpret_cast<const char*>(p), qint64(len)) != qint64(len))
            throw vl::Error(QStringLiteral("A mentés nem írható: ") + out.fileName() + QStringLiteral("\n") +
                                out.errorString(),
                            doing);
        written += len;
        if (progress) progress(QString(), written);
    });
}

} // namespace

DatabaseLocation DatabaseFromConfig() {
    DatabaseLocation loc;
    QString alias;
    if (vl::shell::IniRead(QStringLiteral("DBALIAS"), &alias) >= 0) {
        loc.database = alias.trimmed();
    } else {
        loc.database = vl::shell::IniValue(QStringLiteral("DBSERVER")).trimmed();
        loc.odbc = vl::shell::IniValue(QStringLiteral("ALIASDRIVERNAME"), QStringLiteral("INTRBASE")).trimmed().toUpper() !=
                   QStringLiteral("INTRBASE");
    }
    loc.user = vl::shell::IniValue(QStringLiteral("DBUSERNAME"));
    loc.password = vl::shell::IniValue(QStringLiteral("DBPASSWORD"));
    return loc;
}

QString ServiceManagerFor(const QString& database, QString* databaseOnService) {
    const QString d = database.trimmed();
    if (!vl::db::detail::isRemoteFirebirdName(d)) {
        if (databaseOnService) *databaseOnService = d;
        return QStringLiteral("service_mgr");
    }
    const qsizetype scheme = d.indexOf(QStringLiteral("://"));
    if (scheme > 0) {
        // inet://host[:port]/path
        const qsizetype slash = d.indexOf(QLatin1Char('/'), scheme + 3);
        if (databaseOnService) *databaseOnService = slash < 0 ? QString() : d.mid(slash + 1);
        return (slash < 0 ? d : d.left(slash)) + QStringLiteral("/service_mgr");
    }
    const qsizetype colon = d.indexOf(QLatin1Char(':'));
    if (databaseOnService) *databaseOnService = d.mid(colon + 1);
    return d.left(colon + 1) + QStringLiteral("service_mgr");
}

QString BackupFileName(const QString& database) {
    QString name = database.trimmed();
    const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0) name = name.mid(cut + 1);
    // "host:alias": the alias is the name.
    if (const qsizetype colon = name.lastIndexOf(QLatin1Char(':')); colon >= 0) name = name.mid(colon + 1);
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot > 0) name = name.left(dot);
    if (name.isEmpty()) name = QStringLiteral("adatbazis");
    const QString ext = QStringLiteral(".fbk");
    return name.left(100 - ext.size()) + ext;
}

namespace {

// The lines the engine's backup and restore end with when they succeed.
constexpr const char* kBackupDone = "closing file, committing, and finishing";
constexpr const char* kRestoreDone = "finishing, closing, and going home";

// A line of the engine's output that says the work failed.
bool isFailureLine(const QString& line) {
    return line.contains(QLatin1String("ERROR"), Qt::CaseSensitive) || line.contains(QLatin1String("Backup incomplete")) ||
           line.contains(QLatin1String("Press return to reopen")) || line.contains(QLatin1String("Done with volume"));
}

[[noreturn]] void failWithLines(const QString& what, const QStringList& bad, const QString& doing) {
    throw vl::db::DbError(what + QStringLiteral("\n") + bad.join(QLatin1Char('\n')), 0, vl::db::DbError::Kind::General,
                          doing);
}

// The embedded file of a database name ("" for a server's).
QString embeddedPath(const DatabaseLocation& loc) {
    return vl::db::detail::isRemoteFirebirdName(loc.database) ? QString() : vl::db::detail::embeddedFilePath(loc.database);
}

// Attaches with the client API and drops the database (DROP DATABASE).
void dropDatabase(const DatabaseLocation& loc) {
    const bool remote = vl::db::detail::isRemoteFirebirdName(loc.database);
    if (!remote) vl::db::prepareEmbeddedEngine();
    Status st;
    IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check(loc.database);
    QByteArray user = loc.user.toUtf8();
    if (user.isEmpty() && !remote) user = "SYSDBA";
    if (!user.isEmpty()) b->insertString(&st, isc_dpb_user_name, user.constData());
    if (!loc.password.isEmpty()) b->insertString(&st, isc_dpb_password, loc.password.toUtf8().constData());
    const std::vector<unsigned char> dpb = buffer(b);
    b->dispose();
    IAttachment* att = nullptr;
    {
        vl::db::detail::TerminationSignalsBlocked quiet;
        IProvider* prov = master()->getDispatcher();
        att = prov->attachDatabase(&st, (remote ? loc.database : embeddedPath(loc)).toUtf8().constData(),
                                   unsigned(dpb.size()), dpb.data());
        prov->release();
    }
    vl::db::detail::reinstallSignalHandlers();
    st.check(QStringLiteral("DROP DATABASE ") + loc.database);
    Status ds;
    att->dropDatabase(&ds);
    if (ds.failed()) {
        Status ls;
        att->detach(&ls);
        if (ls.failed()) att->release();
        ds.check(QStringLiteral("DROP DATABASE ") + loc.database);
    }
}

std::unique_ptr<vl::db::Connection> connectTo(const DatabaseLocation& loc) {
    vl::db::ConnectParams p;
    p.database = loc.database;
    p.user = loc.user;
    p.password = loc.password;
    return vl::db::connect(p);
}

bool hasTable(vl::db::Connection& conn, const QString& name) {
    auto rs = conn.query(QStringLiteral("SELECT COUNT(*) N FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :n"),
                         {{QStringLiteral("n"), name}});
    return rs.next() && rs.integer(QStringLiteral("N")) > 0;
}

// Whether an existing database is the unfinished target of a killed restore:
// its marker table is there and empty (a finished restore and every database
// made by init-db or upgrade-db hold its row), or the restore was killed
// before it made the table: the engine still keeps the database shut down for
// the restore and no table holds a row.
bool isUnfinishedRestore(vl::db::Connection& conn) {
    if (hasTable(conn, RestoreMarkerTable())) {
        auto rs = conn.query(QStringLiteral("SELECT COUNT(*) N FROM ") + RestoreMarkerTable());
        return rs.next() && rs.integer(QStringLiteral("N")) == 0;
    }
    auto mode = conn.query(QStringLiteral("SELECT MON$SHUTDOWN_MODE M FROM MON$DATABASE"));
    if (!mode.next() || mode.integer(QStringLiteral("M")) == 0) return false;
    for (qint64 n : TableRowCounts(conn))
        if (n > 0) return false;
    return true;
}

// While it lives, this process reads its standard input from /dev/null: an
// embedded engine that meets the end of a cut backup asks for the next volume
// on the terminal and would wait there for ever; with no input it gives up.
class NoTerminalInput {
public:
    NoTerminalInput() {
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null < 0) return;
        saved_ = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
        if (::dup2(null, 0) < 0) {
            if (saved_ >= 0) ::close(saved_);
            saved_ = -2;
        }
        ::close(null);
    }
    ~NoTerminalInput() {
        if (saved_ >= 0) {
            ::dup2(saved_, 0);
            ::close(saved_);
        } else if (saved_ == -1) {
            ::close(0); // there was none
        }
    }
    NoTerminalInput(const NoTerminalInput&) = delete;
    NoTerminalInput& operator=(const NoTerminalInput&) = delete;
private:
    int saved_ = -2;
};

// The restore service run to its end; every error it reports raises.
void runRestoreService(const DatabaseLocation& target, const QString& dbFile, const QString& backupFile,
                       const BackupProgress& progress, const QString& doing) {
    const bool remote = vl::db::detail::isRemoteFirebirdName(target.database);
    std::unique_ptr<NoTerminalInput> noInput;
    if (!remote) noInput = std::make_unique<NoTerminalInput>();
    QString dbName;
    ServiceAttachment svc(target, &dbName);
    Status st;
    IXpbBuilder* b = serviceRequest(st, isc_action_svc_restore, doing);
    b->insertString(&st, isc_spb_bkp_file,
                    (remote ? backupFile : QFileInfo(backupFile).absoluteFilePath()).toUtf8().constData());
    b->insertString(&st, isc_spb_dbname, (remote ? dbName : dbFile).toUtf8().constData());
    b->insertInt(&st, isc_spb_options, isc_spb_res_create);
    // The marker's rows are the restore's own: never copied from the backup.
    b->insertString(&st, isc_spb_res_skip_data, RestoreMarkerTable().toUtf8().constData());
    b->insertTag(&st, isc_spb_verbose);
    const std::vector<unsigned char> spb = buffer(b);
    b->dispose();
    svc->start(&st, unsigned(spb.size()), spb.data());
    st.check(doing);
    qint64 lines = 0;
    QStringList bad;
    bool finished = false;
    readLines(svc.get(), doing, [&](const QString& line) {
        ++lines;
        if (isFailureLine(line)) bad << line.trimmed();
        if (line.contains(QLatin1String(kRestoreDone))) finished = true;
        if (progress) progress(line, lines);
    });
    waitUntilFinished(svc.get());
    // The engine's last words on success; an embedded engine reports some
    // errors (a cut backup: "Backup incomplete") only on the terminal and
    // ends its service as if it had succeeded.
    if (!finished) bad << QStringLiteral("(a visszatöltés nem jutott a végére: hiányzik a „%1” sor)").arg(QLatin1String(kRestoreDone));
    if (!bad.isEmpty())
        failWithLines(QStringLiteral("A visszatöltés nem sikerült, a mentés hibás vagy hiányos: ") + backupFile, bad, doing);
}

// The last step of a restore: the row that says the database is whole.
void markFinished(vl::db::Connection& conn, const QString& backupFile) {
    if (!hasTable(conn, RestoreMarkerTable())) return; // a backup of a version before the marker
    auto tx = conn.begin();
    tx->exec(QStringLiteral("INSERT INTO ") + RestoreMarkerTable() + QStringLiteral(" (MIKOR, FORRAS) VALUES (:m, :f)"),
             {{QStringLiteral("m"), vl::util::NowStamp()},
              {QStringLiteral("f"), (QStringLiteral("visszatöltve: ") + QFileInfo(backupFile).fileName()).left(250)}});
    tx->commit();
}

void makeOwnerOnly(const QString& path) {
    (void)::chmod(QFile::encodeName(path).constData(), 0600);
}

} // namespace

QString RestoreMarkerTable() { return QStringLiteral("VL_KESZ"); }

void BackupDatabase(const DatabaseLocation& source, const QString& backupFile, const BackupProgress& progress) {
    const QString doing = QStringLiteral("mentés: ") + source.database;
    if (source.odbc)
        throw vl::RuleRefusal(QStringLiteral("Az adatbázis ODBC-forrás, a mentés csak Firebird adatbázisról készülhet."),
                              QStringLiteral("BackupDatabase"));
    const bool remote = vl::db::detail::isRemoteFirebirdName(source.database);
    // An embedded file is held for our lock directory while it is read.
    std::unique_ptr<vl::db::detail::EmbeddedFileGuard> guard;
    if (!remote) guard = vl::db::detail::guardEmbeddedFile(source.database, false);
    vl::db::PendingFile pending(backupFile, "backup:rename", true);
    const QString tmp = pending.tempPath();
    QString dbName;
    QStringList bad;
    {
        ServiceAttachment svc(source, &dbName);
        Status st;
        IXpbBuilder* b = serviceRequest(st, isc_action_svc_backup, doing);
        b->insertString(&st, isc_spb_dbname, (remote ? dbName : vl::db::detail::embeddedFilePath(dbName)).toUtf8().constData());
        if (remote) {
            b->insertString(&st, isc_spb_bkp_file, "stdout");
        } else {
            b->insertString(&st, isc_spb_bkp_file, QFile::encodeName(tmp).constData());
            b->insertTag(&st, isc_spb_verbose);
        }
        const std::vector<unsigned char> spb = buffer(b);
        b->dispose();
        svc->start(&st, unsigned(spb.size()), spb.data());
        st.check(doing);
        if (remote) {
            QFile out(tmp);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw vl::Error(QStringLiteral("A mentés nem írható: ") + backupFile + QStringLiteral("\n") + out.errorString(),
                                doing);
            readStream(svc.get(), doing, out, progress);
            if (!out.flush() || out.error() != QFileDevice::NoError)
                throw vl::Error(QStringLiteral("A mentés nem írható: ") + backupFile + QStringLiteral("\n") + out.errorString(),
                                doing);
            out.close();
        } else {
            bool finished = false;
            readLines(svc.get(), doing, [&](const QString& line) {
                if (isFailureLine(line)) bad << line.trimmed();
                if (line.contains(QLatin1String(kBackupDone))) finished = true;
                if (progress) progress(line, QFileInfo(tmp).size());
            });
            if (!finished)
                bad << QStringLiteral("(a mentés nem jutott a végére: hiányzik a „%1” sor)").arg(QLatin1String(kBackupDone));
        }
        waitUntilFinished(svc.get());
    }
    if (!bad.isEmpty()) failWithLines(QStringLiteral("A mentés nem sikerült: ") + backupFile, bad, doing);
    if (QFileInfo(tmp).size() <= 0) throw vl::Error(QStringLiteral("A mentés üres lett: ") + backupFile, doing);
    makeOwnerOnly(tmp);
    pending.commit();
}

RestoreOutcome RestoreDatabase(const DatabaseLocation& target, const QString& backupFile,
                               const QMap<QString, qint64>* expected, const BackupProgress& progress) {
    const QString doing = QStringLiteral("visszatöltés: ") + target.database;
    const bool remote = vl::db::detail::isRemoteFirebirdName(target.database);
    RestoreOutcome outcome;
    if (!remote) vl::db::prepareEmbeddedEngine();
    const QString file = embeddedPath(target);
    // Is the target there? (a server's: an attach tells)
    bool exists = false;
    std::unique_ptr<vl::db::Connection> existing;
    if (!remote) {
        // A killed embedded restore leaves only its temporary file (removed
        // here); a file under the target's name is finished and never touched.
        vl::db::RemoveDeadLeftovers(QFileInfo(file).absolutePath());
        if (QFileInfo::exists(file))
            throw vl::Error(QStringLiteral("Az adatbázis már létezik, nem írom felül: ") + target.database, doing);
    } else {
        try {
            existing = connectTo(target);
            exists = true;
        } catch (const vl::db::DbError& e) {
            // "I/O error ... open ..." / "No such file": not there. Anything else is said.
            const QString t = e.text();
            if (!t.contains(QLatin1String("No such file")) && !t.contains(QLatin1String("I/O error")))
                throw;
        }
    }
    if (exists) {
        const bool unfinished = isUnfinishedRestore(*existing);
        existing->close();
        existing.reset();
        if (!unfinished)
            throw vl::Error(QStringLiteral("Az adatbázis már létezik, nem írom felül: ") + target.database, doing);
        dropDatabase(target);
        outcome.droppedUnfinished = true;
    }

    // The database the service writes: a temporary file beside an embedded target.
    std::unique_ptr<vl::db::PendingFile> pending;
    DatabaseLocation work = target;
    if (!remote) {
        pending = std::make_unique<vl::db::PendingFile>(file, "restore:rename", true);
        QFile::remove(pending->tempPath()); // the engine creates it
        work.database = pending->tempPath();
    }
    auto dropWork = [&] {
        try {
            if (remote) dropDatabase(work);
        } catch (const vl::Error&) {
        }
        if (!remote) QFile::remove(work.database + QStringLiteral(".lock"));
    };
    try {
        {
            std::unique_ptr<vl::db::detail::EmbeddedFileGuard> guard;
            if (!remote) guard = vl::db::detail::guardEmbeddedFile(work.database, true);
            runRestoreService(work, work.database, backupFile, progress, doing);
            if (guard) guard->discard();
        }
        auto conn = connectTo(work);
        outcome.counts = TableRowCounts(*conn);
        if (expected) {
            const QStringList diff = CountDifferences(*expected, outcome.counts, QStringLiteral("a mentésben"));
            if (!diff.isEmpty())
                throw vl::Error(QStringLiteral("A visszatöltött adatbázis sorainak száma eltér a mentés leírójától:\n") +
                                    diff.join(QLatin1Char('\n')),
                                doing);
        }
        makeOwnerOnly(work.database);
        markFinished(*conn, backupFile);
        if (outcome.counts.contains(RestoreMarkerTable())) outcome.counts[RestoreMarkerTable()] += 1;
        conn->close();
    } catch (...) {
        dropWork();
        throw;
    }
    if (pending) {
        // An embedded engine that ran only a service can crash when it is shut
        // down at once; one attach of the renamed file settles it.
        pending->commitNew();
        QFile::remove(work.database + QStringLiteral(".lock"));
        connectTo(target)->close();
    }
    return outcome;
}

QString ManifestPath(const QString& backupFile) { return backupFile + QStringLiteral(".json"); }

QString FileSha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw vl::Error(QStringLiteral("A fájl nem olvasható: ") + path + QStringLiteral(" (") + f.errorString() + QLatin1Char(')'),
                        QStringLiteral("SHA-256"));
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        throw vl::Error(QStringLiteral("A fájl nem olvasható: ") + path, QStringLiteral("SHA-256"));
    return QString::fromLatin1(h.result().toHex());
}

QByteArray ManifestJson(const BackupManifest& m) {
    QJsonObject o;
    o.insert(QStringLiteral("program"), QStringLiteral("Vorlanda"));
    o.insert(QStringLiteral("version"), m.version);
    o.insert(QStringLiteral("created"), m.created);
    o.insert(QStringLiteral("file"), m.file);
    o.insert(QStringLiteral("size"), double(m.size));
    o.insert(QStringLiteral("sha256"), m.sha256);
    QJsonObject t;
    for (auto it = m.tables.cbegin(); it != m.tables.cend(); ++it) t.insert(it.key(), double(it.value()));
    o.insert(QStringLiteral("tables"), t);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

BackupManifest ReadManifest(const QString& manifestFile) {
    QFile f(manifestFile);
    if (!f.open(QIODevice::ReadOnly))
        throw vl::RuleRefusal(QStringLiteral("A mentés leírója nem olvasható: ") + manifestFile, QStringLiteral("manifest"));
    QJsonParseError pe;
    const QJsonDocument d = QJsonDocument::fromJson(f.read(16 * 1024 * 1024), &pe);
    auto bad = [&](const QString& why) {
        return vl::RuleRefusal(QStringLiteral("A mentés leírója hibás (%1): %2").arg(why, manifestFile), QStringLiteral("manifest"));
    };
    if (pe.error != QJsonParseError::NoError || !d.isObject()) throw bad(QStringLiteral("nem JSON"));
    const QJsonObject o = d.object();
    BackupManifest m;
    m.file = o.value(QStringLiteral("file")).toString();
    m.version = o.value(QStringLiteral("version")).toString();
    m.created = o.value(QStringLiteral("created")).toString();
    m.sha256 = o.value(QStringLiteral("sha256")).toString().toLower();
    const QJsonValue size = o.value(QStringLiteral("size"));
    if (!size.isDouble() || size.toDouble() < 0) throw bad(QStringLiteral("méret"));
    m.size = qint64(size.toDouble());
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (!hex.match(m.sha256).hasMatch()) throw bad(QStringLiteral("SHA-256"));
    const QJsonValue tables = o.value(QStringLiteral("tables"));
    if (!tables.isObject()) throw bad(QStringLiteral("táblák"));
    const QJsonObject t = tables.toObject();
    for (auto it = t.constBegin(); it != t.constEnd(); ++it) {
        if (!it.value().isDouble() || it.value().toDouble() < 0) throw bad(QStringLiteral("sorszám: ") + it.key());
        m.tables.insert(it.key(), qint64(it.value().toDouble()));
    }
    return m;
}

void CheckAgainstManifest(const QString& backupFile, const BackupManifest& m) {
    const qint64 size = QFileInfo(backupFile).size();
    if (size != m.size || FileSha256(backupFile) != m.sha256)
        throw vl::RuleRefusal(QStringLiteral("A mentés fájlja nem egyezik a leírójával (%1 bájt, a leíró szerint %2; "
                                             "SHA-256 eltér): %3. A mentés sérült vagy hiányos, nem töltöm vissza.")
                                  .arg(size).arg(m.size).arg(backupFile),
                              QStringLiteral("restore"));
}

BackupOutcome MakeBackup(const DatabaseLocation& source, const QString& backupFile, const QMap<QString, qint64>& live,
                         const BackupProgress& progress) {
    const QString folder = QFileInfo(backupFile).absolutePath();
    vl::db::RemoveDeadLeftovers(folder);
    BackupOutcome outcome;
    // The backup under a temporary name of its own: renamed only after the check.
    const QString staged = vl::db::LeftoverName(folder, QFileInfo(backupFile).fileName());
    struct Remove {
        QString path;
        ~Remove() { QFile::remove(path); }
    } removeStaged{staged};
    BackupDatabase(source, staged, progress);
    outcome.check = VerifyBackup(staged, live, folder);
    if (!outcome.check.ok()) return outcome;
    BackupManifest& m = outcome.manifest;
    m.file = QFileInfo(backupFile).fileName();
    m.size = QFileInfo(staged).size();
    m.sha256 = FileSha256(staged);
    m.version = QStringLiteral(VORLANDA_VERSION);
    m.created = vl::util::NowStamp();
    m.tables = outcome.check.restored;
    // The old manifest goes first: a backup never stands beside another's manifest.
    QFile::remove(ManifestPath(backupFile));
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(backupFile).constData()) != 0)
        throw vl::Error(vl::db::FileWriteErrorText(backupFile, QString::fromLocal8Bit(std::strerror(errno))),
                        QStringLiteral("backup: rename"));
    vl::db::WriteWholeFile(ManifestPath(backupFile), ManifestJson(m), true);
    return outcome;
}

QMap<QString, qint64> TableRowCounts(vl::db::Connection& conn) {
    QMap<QString, qint64> counts;
    auto tables = conn.query(QStringLiteral(
        "SELECT TRIM(RDB$RELATION_NAME) NAME FROM RDB$RELATIONS "
        "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL AND COALESCE(RDB$RELATION_TYPE, 0) = 0 "
        "ORDER BY 1"));
    while (tables.next()) {
        // The name comes from the catalogue.
        const QString name = tables.text(QStringLiteral("NAME"));
        auto rs = conn.query(QStringLiteral("SELECT COUNT(*) N FROM ") + vl::db::sqltext::quoteIdent(name));
        rs.next();
        counts.insert(name, rs.integer(QStringLiteral("N")));
    }
    return counts;
}

QStringList CountDifferences(const QMap<QString, qint64>& expected, const QMap<QString, qint64>& got,
                             const QString& expectedWord) {
    QStringList names = expected.keys();
    for (const QString& n : got.keys())
        if (!expected.contains(n)) names << n;
    QStringList out;
    for (const QString& n : names) {
        if (n == RestoreMarkerTable()) continue;
        const qint64 want = expected.value(n, -1), have = got.value(n, -1);
        if (want != have) out << QStringLiteral("%1: %2 %3, visszatöltve %4").arg(n, expectedWord).arg(want).arg(have);
    }
    return out;
}

BackupCheck VerifyBackup(const QString& backupFile, const QMap<QString, qint64>& expected, const QString& tempDir) {
    BackupCheck check;
    const QString base = tempDir.isEmpty() ? QDir::tempPath() : tempDir;
    // "ellenorzes-<host>-<pid>-…": the next backup or the clean-up removes it when this run is killed.
    const QString leftover = QFileInfo(vl::db::LeftoverName(base, QString())).fileName();
    const QString name = QStringLiteral("ellenorzes-") + leftover.mid(3, leftover.size() - 4);
    QDir folder(QDir(base).filePath(name));
    if (!QDir().mkdir(folder.path()))
        throw vl::Error(QStringLiteral("Nem hozható létre átmeneti mappa itt: ") + base, QStringLiteral("VerifyBackup"));
    (void)::chmod(QFile::encodeName(folder.path()).constData(), 0700);
    struct RemoveFolder {
        QDir d;
        ~RemoveFolder() { d.removeRecursively(); }
    } removeFolder{folder};
    const QString target = folder.filePath(QStringLiteral("ellenorzes.fdb"));
    check.restored = RestoreDatabase({target, {}, {}}, backupFile).counts;
    check.differences = CountDifferences(expected, check.restored);
    return check;
}

} // namespace vl::remote
