#include "remote/Backup.h"

#include "db/Backends.h"
#include "db/Database.h"
#include "db/SqlText.h"
#include "shell/Ini.h"

#include <firebird/Interface.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

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

// Reads the service's output line by line until it ends.
void readLines(IService* svc, const QString& doing, const std::function<void(const QString&)>& onLine) {
    const unsigned char items[] = {isc_info_svc_line};
    std::vector<unsigned char> buf(32768);
    for (;;) {
        Status st;
        svc->query(&st, 0, nullptr, sizeof items, items, unsigned(buf.size()), buf.data());
        st.check(doing);
        const unsigned char* p = buf.data();
        const unsigned char* end = p + buf.size();
        bool more = false;
        while (p < end && *p != isc_info_end) {
            const unsigned char tag = *p++;
            if (tag == isc_info_svc_line && p + 2 <= end) {
                const unsigned len = readLen(p);
                p += 2;
                if (len > 0) {
                    more = true;
                    onLine(QString::fromUtf8(reinterpret_cast<const char*>(p), int(len)));
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
    const unsigned char items[] = {isc_info_svc_to_eof};
    std::vector<unsigned char> buf(65000);
    qint64 written = 0;
    for (;;) {
        Status st;
        svc->query(&st, 0, nullptr, sizeof items, items, unsigned(buf.size()), buf.data());
        st.check(doing);
        const unsigned char* p = buf.data();
        const unsigned char* end = p + buf.size();
        bool more = false;
        while (p < end && *p != isc_info_end) {
            const unsigned char tag = *p++;
            if (tag == isc_info_svc_to_eof && p + 2 <= end) {
                const unsigned len = readLen(p);
                p += 2;
                if (len > 0) {
                    more = true;
                    if (out.write(reinterpret_cast<const char*>(p), qint64(len)) != qint64(len))
                        throw vl::Error(QStringLiteral("A mentés nem írható: ") + out.fileName() + QStringLiteral("\n") +
                                            out.errorString(),
                                        doing);
                    written += len;
                    if (progress) progress(QString(), written);
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

void BackupDatabase(const DatabaseLocation& source, const QString& backupFile, const BackupProgress& progress) {
    const QString doing = QStringLiteral("mentés: ") + source.database;
    if (source.odbc)
        throw vl::RuleRefusal(QStringLiteral("Az adatbázis ODBC-forrás, a mentés csak Firebird adatbázisról készülhet."),
                              QStringLiteral("BackupDatabase"));
    const bool remote = vl::db::detail::isRemoteFirebirdName(source.database);
    // An embedded file is held for our lock directory while it is read.
    std::unique_ptr<vl::db::detail::EmbeddedFileGuard> guard;
    if (!remote) guard = vl::db::detail::guardEmbeddedFile(source.database, false);
    QFile::remove(backupFile);
    QString dbName;
    try {
        ServiceAttachment svc(source, &dbName);
        Status st;
        IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_START, nullptr, 0);
        st.check(doing);
        b->insertTag(&st, isc_action_svc_backup);
        b->insertString(&st, isc_spb_dbname, (remote ? dbName : vl::db::detail::embeddedFilePath(dbName)).toUtf8().constData());
        if (remote) {
            b->insertString(&st, isc_spb_bkp_file, "stdout");
        } else {
            b->insertString(&st, isc_spb_bkp_file, QFile::encodeName(QFileInfo(backupFile).absoluteFilePath()).constData());
            b->insertTag(&st, isc_spb_verbose);
        }
        const std::vector<unsigned char> spb = buffer(b);
        b->dispose();
        svc->start(&st, unsigned(spb.size()), spb.data());
        st.check(doing);
        if (remote) {
            QFile out(backupFile);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                throw vl::Error(QStringLiteral("A mentés nem írható: ") + backupFile + QStringLiteral("\n") + out.errorString(),
                                doing);
            readStream(svc.get(), doing, out, progress);
            if (!out.flush()) throw vl::Error(QStringLiteral("A mentés nem írható: ") + backupFile, doing);
        } else {
            readLines(svc.get(), doing, [&](const QString& line) {
                if (progress) progress(line, QFileInfo(backupFile).size());
            });
        }
        waitUntilFinished(svc.get());
    } catch (...) {
        QFile::remove(backupFile);
        throw;
    }
    if (QFileInfo(backupFile).size() <= 0) {
        QFile::remove(backupFile);
        throw vl::Error(QStringLiteral("A mentés üres lett: ") + backupFile, doing);
    }
}

void RestoreDatabase(const DatabaseLocation& target, const QString& backupFile, bool replace,
                     const BackupProgress& progress) {
    const QString doing = QStringLiteral("visszatöltés: ") + target.database;
    const bool remote = vl::db::detail::isRemoteFirebirdName(target.database);
    std::unique_ptr<vl::db::detail::EmbeddedFileGuard> guard;
    bool existed = false;
    if (!remote) {
        vl::db::prepareEmbeddedEngine();
        existed = QFileInfo::exists(vl::db::detail::embeddedFilePath(target.database));
        if (existed && !replace)
            throw vl::Error(QStringLiteral("Az adatbázis már létezik, nem írom felül: ") + target.database, doing);
        guard = vl::db::detail::guardEmbeddedFile(target.database, true);
    }
    QString dbName;
    try {
        ServiceAttachment svc(target, &dbName);
        Status st;
        IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_START, nullptr, 0);
        st.check(doing);
        b->insertTag(&st, isc_action_svc_restore);
        b->insertString(&st, isc_spb_bkp_file,
                        (remote ? backupFile : QFileInfo(backupFile).absoluteFilePath()).toUtf8().constData());
        b->insertString(&st, isc_spb_dbname, (remote ? dbName : vl::db::detail::embeddedFilePath(dbName)).toUtf8().constData());
        b->insertInt(&st, isc_spb_options, replace ? isc_spb_res_replace : isc_spb_res_create);
        b->insertTag(&st, isc_spb_verbose);
        const std::vector<unsigned char> spb = buffer(b);
        b->dispose();
        svc->start(&st, unsigned(spb.size()), spb.data());
        st.check(doing);
        qint64 lines = 0;
        readLines(svc.get(), doing, [&](const QString& line) {
            ++lines;
            if (progress) progress(line, lines);
        });
        waitUntilFinished(svc.get());
    } catch (...) {
        if (guard && !existed) guard->discard();
        throw;
    }
    // The new database must open. (An embedded engine that ran only a service
    // can also crash when it is shut down at once; one attach settles it.)
    vl::db::ConnectParams p;
    p.database = target.database;
    p.user = target.user;
    p.password = target.password;
    guard.reset();
    vl::db::connect(p)->close();
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

BackupCheck VerifyBackup(const QString& backupFile, const QMap<QString, qint64>& expected, const QString& tempDir) {
    BackupCheck check;
    QTemporaryDir dir(QDir(tempDir.isEmpty() ? QDir::tempPath() : tempDir).filePath(QStringLiteral("ellenorzes-XXXXXX")));
    if (!dir.isValid())
        throw vl::Error(QStringLiteral("Nem hozható létre átmeneti mappa itt: ") + tempDir, QStringLiteral("VerifyBackup"));
    const QString target = dir.filePath(QStringLiteral("ellenorzes.fdb"));
    RestoreDatabase({target, {}, {}}, backupFile, false);
    {
        vl::db::ConnectParams p;
        p.database = target;
        auto conn = vl::db::connect(p);
        check.restored = TableRowCounts(*conn);
        conn->close();
    }
    QStringList names = expected.keys();
    for (const QString& n : check.restored.keys())
        if (!expected.contains(n)) names << n;
    for (const QString& n : names) {
        const qint64 want = expected.value(n, -1), got = check.restored.value(n, -1);
        if (want != got)
            check.differences << QStringLiteral("%1: élő %2, visszatöltve %3").arg(n).arg(want).arg(got);
    }
    return check;
}

} // namespace vl::remote
