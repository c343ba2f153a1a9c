#include "remote/Ftp.h"

#include "util/MessageSink.h"
#include "util/Scramble.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace vl::remote {

QString DefaultFtpHostScrambled() { return QString(); }
QString DefaultFtpUserScrambled() { return QString(); }
QString DefaultFtpPasswordScrambled() { return QString(); }
QString DefaultUpdateFolder() { return QStringLiteral("public_html/exefiles"); }

namespace {

// The value of a column of the company row's current (else first) row; ""
// when the row set has no such column or no row.
QString companyText(const vl::db::RowSet& company, const QString& column) {
    const int col = company.indexOf(column);
    if (col < 0 || company.rowCount() == 0) return QString();
    const int row = company.eof() ? 0 : company.position();
    const QVariant v = company.at(row, col);
    return v.isNull() ? QString() : v.toString();
}

// The first present and non-empty of two columns, descrambled; else the default.
QString scrambledSetting(const vl::db::RowSet& company, const QString& first, const QString& second,
                         const QString& defaultScrambled) {
    QString v = companyText(company, first);
    if (v.isEmpty()) v = companyText(company, second);
    if (v.isEmpty()) v = defaultScrambled;
    return vl::util::Descramble(v);
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A path segment for an FTP URL: every byte that is not plain is escaped.
QString segment(const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

} // namespace

FtpSettings ReadFtpSettings(const vl::db::RowSet& company) {
    FtpSettings s;
    s.host = scrambledSetting(company, QStringLiteral("FTPHOST"), QStringLiteral("FTP_SERVER"), DefaultFtpHostScrambled());
    s.user = scrambledSetting(company, QStringLiteral("FTPUSERID"), QStringLiteral("FTP_USER"), DefaultFtpUserScrambled());
    s.password = scrambledSetting(company, QStringLiteral("FTPPWDID"), QStringLiteral("FTP_PASSWORD"),
                                  DefaultFtpPasswordScrambled());
    s.folder = companyText(company, QStringLiteral("FTP_DFOLDER"));
    if (s.folder.isEmpty()) s.folder = DefaultUpdateFolder();
    return s;
}

FtpSettings UploadFtpSettings(const vl::db::RowSet& company, bool* hasHost) {
    FtpSettings s;
    const QString host = companyText(company, QStringLiteral("FTPHOST"));
    if (hasHost) *hasHost = !host.isEmpty();
    s.host = vl::util::Descramble(host);
    s.user = vl::util::Descramble(companyText(company, QStringLiteral("FTPUSERID")));
    s.password = vl::util::Descramble(companyText(company, QStringLiteral("FTPPWDID")));
    s.folder = QStringLiteral("public_ftp/incoming");
    return s;
}

vl::db::RowSet readCompanyRow(vl::db::Connection& conn) {
    vl::db::RowSet company = conn.query(QStringLiteral("SELECT * FROM CEG"));
    company.next();
    return company;
}

FtpSettings readUploadSettings(vl::db::Connection& conn, bool* hasHost) {
    return UploadFtpSettings(readCompanyRow(conn), hasHost);
}

struct FtpClient::Impl {
    CURL* h = nullptr;
    curl_slist* prequote = nullptr;
    char errbuf[CURL_ERROR_SIZE] = {0};
    bool sawTls = false;       // the server accepted AUTH TLS on this connection
    QFile* file = nullptr;     // the file a transfer reads or writes
    FtpClient* owner = nullptr;
    qint64 total = 0;
    qint64 size = -1;          // the size a SIZE request answered

    ~Impl() {
        if (prequote) curl_slist_free_all(prequote);
        if (h) curl_easy_cleanup(h);
    }

    static size_t header(char* data, size_t size, size_t n, void* self) {
        auto* d = static_cast<Impl*>(self);
        const size_t len = size * n;
        // Every reply line of the server passes here; "234" answers AUTH TLS.
        if (len >= 4 && data[0] == '2' && data[1] == '3' && data[2] == '4' && data[3] == ' ') d->sawTls = true;
        // A request without a body reports the size SIZE answered as a header line.
        static const char cl[] = "Content-Length: ";
        if (len > sizeof cl - 1 && std::memcmp(data, cl, sizeof cl - 1) == 0)
            d->size = QByteArray(data + sizeof cl - 1, int(len - (sizeof cl - 1))).trimmed().toLongLong();
        return len;
    }
    static size_t write(char* data, size_t size, size_t n, void* self) {
        auto* d = static_cast<Impl*>(self);
        const size_t len = size * n;
        if (!d->file) return len; // a request without a file: its header lines
        return size_t(d->file->write(data, qint64(len))) == len ? len : 0;
    }
    static size_t read(char* buffer, size_t size, size_t n, void* self) {
        auto* d = static_cast<Impl*>(self);
        if (!d->file) return CURL_READFUNC_ABORT;
        const qint64 got = d->file->read(buffer, qint64(size * n));
        return got < 0 ? CURL_READFUNC_ABORT : size_t(got);
    }
    static int xfer(void* self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
        auto* d = static_cast<Impl*>(self);
        if (!d->owner || !d->owner->progress) return 0;
        const qint64 total = ultotal > 0 ? qint64(ultotal) : (dltotal > 0 ? qint64(dltotal) : d->total);
        const qint64 done = ulnow > 0 ? qint64(ulnow) : qint64(dlnow);
        return d->owner->progress(done, total) ? 0 : 1;
    }
};

FtpClient::FtpClient() : d_(std::make_unique<Impl>()) {
    globalInit();
    d_->owner = this;
}

FtpClient::~FtpClient() { FtpDisconnect(); }

void FtpClient::setSettings(const FtpSettings& s) {
    host_ = s.host;
    user_ = s.user;
    password_ = s.password;
    caFile_ = s.caFile;
}

QString FtpClient::ConnectFailedText(const QString& host, int error) {
    return QStringLiteral("Nem tudok kapcsolódni a tárhelyhez: ") + host + QStringLiteral("\r") +
           QStringLiteral("Hibakód=") + QString::number(error);
}

QString FtpClient::urlFor(const QString& dir, const QString& name) const {
    // "ftp://name/" as some stored settings write it is the same host.
    QString host = host_.trimmed();
    if (host.startsWith(QStringLiteral("ftp://"), Qt::CaseInsensitive)) host = host.mid(6);
    while (host.endsWith(QLatin1Char('/'))) host.chop(1);
    QString url = QStringLiteral("ftp://") + host + QLatin1Char('/');
    QString path = dir;
    if (path.startsWith(QLatin1Char('/'))) {
        url += QStringLiteral("%2F");
        path = path.mid(1);
    }
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) url += segment(part) + QLatin1Char('/');
    url += segment(name);
    return url;
}

void FtpClient::resetHandle() {
    if (!d_->h) d_->h = curl_easy_init();
    CURL* h = d_->h;
    // A reset keeps the open connection; every option is set anew.
    curl_easy_reset(h);
    d_->errbuf[0] = 0;
    const QByteArray user = user_.toUtf8();
    const QByteArray password = password_.toUtf8();
    curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, d_->errbuf);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    // TLS 1.2: over TLS 1.3 the client library of the platform ends an upload's
    // data connection before the server has read it all (the server answers 426).
    curl_easy_setopt(h, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
    if (!caFile_.isEmpty()) curl_easy_setopt(h, CURLOPT_CAINFO, QFile::encodeName(caFile_).constData());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(timeout_));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(timeout_));
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, long(timeout_) * 1000L);
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L); // binary: TYPE I
    // Active data connections on a plain connection; passive over TLS.
    if (!secure_) curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Impl::header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, d_.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::write);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, d_.get());
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &Impl::read);
    curl_easy_setopt(h, CURLOPT_READDATA, d_.get());
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Impl::xfer);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, d_.get());
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
}

int FtpClient::perform(const QString& command) {
    const CURLcode rc = curl_easy_perform(d_->h);
    if (rc == CURLE_OK) return 0;
    return fail(command, int(rc));
}

int FtpClient::fail(const QString& command, int curlCode) {
    long reply = 0;
    if (d_->h) curl_easy_getinfo(d_->h, CURLINFO_RESPONSE_CODE, &reply);
    lastCommand_ = command;
    lastError_ = reply >= 400 ? int(reply) : curlCode;
    lastErrorText_ = d_->errbuf[0] ? QString::fromLocal8Bit(d_->errbuf)
                                   : QString::fromLatin1(curl_easy_strerror(CURLcode(curlCode)));
    if (lastError_ == 0) lastError_ = -2;
    return lastError_;
}

int FtpClient::FtpConnect(bool showMessage) {
    if (connected_) return 0;
    secure_ = false;
    d_->sawTls = false;
    dir_.clear();
    resetHandle();
    const QByteArray url = urlFor(QString(), QString()).toUtf8();
    curl_easy_setopt(d_->h, CURLOPT_URL, url.constData());
    curl_easy_setopt(d_->h, CURLOPT_NOBODY, 1L);
    const int rc = perform(QStringLiteral("Connect"));
    if (rc != 0) {
        // Nothing of a failed login stays open.
        curl_easy_cleanup(d_->h);
        d_->h = nullptr;
        if (showMessage) vl::notify(vl::MsgKind::Error, ConnectFailedText(host_, rc));
        return rc;
    }
    connected_ = true;
    secure_ = d_->sawTls;
    return 0;
}

int FtpClient::FtpChangeDir(const QString& folder) {
    if (!connected_) {
        lastCommand_ = QStringLiteral("ChangeDir");
        lastError_ = -1;
        return -1;
    }
    QString target = folder.trimmed();
    if (!target.startsWith(QLatin1Char('/')) && !dir_.isEmpty()) target = dir_ + QLatin1Char('/') + target;
    // "a/../b" and "." are left to the server; only empty parts are dropped.
    resetHandle();
    const QByteArray url = (urlFor(target, QString())).toUtf8();
    curl_easy_setopt(d_->h, CURLOPT_URL, url.constData());
    curl_easy_setopt(d_->h, CURLOPT_NOBODY, 1L);
    const int rc = perform(QStringLiteral("ChangeDir"));
    if (rc == 0) dir_ = target;
    return rc;
}

int FtpClient::FtpDownload(const QString& remoteName, const QString& localName) {
    if (!connected_) {
        lastCommand_ = QStringLiteral("Download");
        lastError_ = -1;
        return -1;
    }
    const QString part = localName + QStringLiteral(".part");
    QFile::remove(part);
    QFile f(part);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        lastCommand_ = QStringLiteral("Download");
        lastError_ = int(CURLE_WRITE_ERROR);
        lastErrorText_ = f.errorString();
        return lastError_;
    }
    resetHandle();
    const QByteArray url = urlFor(dir_, remoteName).toUtf8();
    curl_easy_setopt(d_->h, CURLOPT_URL, url.constData());
    d_->file = &f;
    d_->total = 0;
    const int rc = perform(QStringLiteral("Download"));
    d_->file = nullptr;
    const bool flushed = f.flush();
    f.close();
    if (rc != 0 || !flushed) {
        QFile::remove(part);
        if (rc == 0) {
            lastCommand_ = QStringLiteral("Download");
            lastError_ = int(CURLE_WRITE_ERROR);
            lastErrorText_ = f.errorString();
            return lastError_;
        }
        return rc;
    }
    QFile::remove(localName);
    if (!QFile::rename(part, localName)) {
        QFile::remove(part);
        lastCommand_ = QStringLiteral("Download");
        lastError_ = int(CURLE_WRITE_ERROR);
        lastErrorText_ = QStringLiteral("A letöltött fájl nem nevezhető át: ") + localName;
        return lastError_;
    }
    return 0;
}

int FtpClient::FtpUpload(const QString& localName, const QString& remoteName) {
    if (!connected_) {
        lastCommand_ = QStringLiteral("Upload");
        lastError_ = -1;
        return -1;
    }
    QFile f(localName);
    if (!f.open(QIODevice::ReadOnly)) {
        lastCommand_ = QStringLiteral("Upload");
        lastError_ = int(CURLE_READ_ERROR);
        lastErrorText_ = f.errorString();
        return lastError_;
    }
    const qint64 size = f.size();
    resetHandle();
    const QByteArray url = urlFor(dir_, remoteName).toUtf8();
    curl_easy_setopt(d_->h, CURLOPT_URL, url.constData());
    curl_easy_setopt(d_->h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(d_->h, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    // "ALLO size" before the store; the leading '*' lets a refusal pass.
    if (d_->prequote) curl_slist_free_all(d_->prequote);
    d_->prequote = curl_slist_append(nullptr, QByteArray("*ALLO " + QByteArray::number(size)).constData());
    curl_easy_setopt(d_->h, CURLOPT_PREQUOTE, d_->prequote);
    d_->file = &f;
    d_->total = size;
    const int rc = perform(QStringLiteral("Upload"));
    d_->file = nullptr;
    return rc;
}

qint64 FtpClient::remoteSize(const QString& remoteName, int* error) {
    if (error) *error = 0;
    if (!connected_) {
        lastCommand_ = QStringLiteral("Size");
        lastError_ = -1;
        if (error) *error = -1;
        return -1;
    }
    resetHandle();
    const QByteArray url = urlFor(dir_, remoteName).toUtf8();
    curl_easy_setopt(d_->h, CURLOPT_URL, url.constData());
    curl_easy_setopt(d_->h, CURLOPT_NOBODY, 1L);
    d_->size = -1;
    const int rc = perform(QStringLiteral("Size"));
    if (rc != 0) {
        if (error) *error = rc;
        return -1;
    }
    return d_->size;
}

void FtpClient::FtpDisconnect() {
    if (d_ && d_->h) {
        curl_easy_cleanup(d_->h); // says QUIT on the open connection
        d_->h = nullptr;
    }
    connected_ = false;
    secure_ = false;
    dir_.clear();
}

} // namespace vl::remote
