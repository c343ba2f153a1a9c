// The Firebird backend over the client library's object API (firebird/Interface.h).
#include "db/Backends.h"
#include "db/NamedParams.h"
#include "db/SqlText.h"

#include <firebird/Interface.h>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringEncoder>
#include <QTime>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>

#include <sys/stat.h>

using namespace Firebird;

namespace vl::db::detail {

namespace {

constexpr unsigned kDialect = 3;
constexpr int kLockTimeoutSeconds = 10;
constexpr unsigned kCharsetUtf8 = 4;

IMaster* master()
{
    static IMaster* m = fb_get_master_interface();
    return m;
}

IUtil* util() { return master()->getUtilInterface(); }

// What a status vector says about the connection: broken, cancelled, or neither.
DbError::Kind classify(const intptr_t* v)
{
    DbError::Kind kind = DbError::Kind::General;
    while (v && *v != isc_arg_end) {
        const intptr_t type = v[0];
        if (type == isc_arg_gds) {
            switch (v[1]) {
            case isc_network_error: case isc_net_read_err: case isc_net_write_err:
            case isc_lost_db_connection: case isc_conn_lost: case isc_shutdown: case isc_att_shutdown:
                return DbError::Kind::ConnectionLost;
            case isc_cancelled:
                kind = DbError::Kind::Cancelled;
                break;
            default:
                break;
            }
        }
        v += (type == isc_arg_cstring) ? 3 : 2;
    }
    return kind;
}

// Whether a status vector tells of another connection's write of the same rows.
bool isWriteConflict(const intptr_t* v)
{
    while (v && *v != isc_arg_end) {
        const intptr_t type = v[0];
        if (type == isc_arg_gds) {
            switch (v[1]) {
            case isc_lock_conflict: case isc_update_conflict: case isc_deadlock: case isc_lock_timeout:
                return true;
            default:
                break;
            }
        }
        v += (type == isc_arg_cstring) ? 3 : 2;
    }
    return false;
}

// An IStatus checked by hand: no exception crosses the client library.
class Status {
public:
    Status() : raw_(master()->getStatus()), w_(raw_) {}
    ~Status() { raw_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    CheckStatusWrapper* operator&() { return &w_; }
    CheckStatusWrapper* get() { return &w_; }
    bool failed() const { return (w_.getState() & IStatus::STATE_ERRORS) != 0; }
    void reset() { w_.init(); }
    DbError error(const QString& prefix = QString())
    {
        char buf[4096];
        util()->formatStatus(buf, sizeof buf, &w_);
        QString text = QString::fromUtf8(buf).trimmed();
        DbError::Kind kind = classify(w_.getErrors());
        if (kind == DbError::Kind::General && isWriteConflict(w_.getErrors()))
            kind = DbError::Kind::WriteConflict;
        if (!prefix.isEmpty())
            text = prefix + u'\n' + text;
        if (kind == DbError::Kind::ConnectionLost) {
            text = connectionLostText() + u'\n' + text;
            noteConnectionLost();
        }
        else if (kind == DbError::Kind::Cancelled)
            text = cancelledText() + u'\n' + text;
        else if (kind == DbError::Kind::WriteConflict)
            text = lockConflictText() + u'\n' + text;
        return DbError(text, int(isc_sqlcode(w_.getErrors())), kind);
    }
    void check(const QString& prefix = QString())
    {
        if (failed())
            throw error(prefix);
    }

private:
    IStatus* raw_;
    CheckStatusWrapper w_;
};

int bytesPerChar(unsigned charset)
{
    switch (charset) {
    case 3: return 3;   // UNICODE_FSS
    case 4: return 4;   // UTF8
    case 5: case 6: case 7: case 8: case 44: case 56: case 57: case 64: case 67: case 68: case 69:
        return 2;       // the double-byte Asian sets
    default: return 1;
    }
}

// The first word of a statement and a word outside its literals and
// comments, as the one SQL scanner reads them.
using sqltext::containsWord;
using sqltext::firstKeyword;

bool isTextType(unsigned t) { return t == SQL_TEXT || t == SQL_VARYING; }

struct FbSession;

// The shared state of one transaction; statements prepared in it keep it alive.
struct TxCore {
    std::shared_ptr<FbSession> session;
    ITransaction* tra = nullptr;
    ~TxCore();
    void rollbackQuietly();
};

class FbStatementCore;

struct FbSession {
    IAttachment* att = nullptr;
    QString database;
    std::set<TxCore*> txs;
    std::set<FbStatementCore*> statements;
    std::vector<unsigned char> tpbWrite, tpbRead;
    std::unique_ptr<EmbeddedFileGuard> guard; // released after the detach
    std::atomic<int> busy{0};                 // calls into the client library under way

    ~FbSession() { close(); }
    void close();
    void ensureOpen() const
    {
        if (!att)
            throw DbError(QStringLiteral("Az adatbázis-kapcsolat le van zárva."));
        if (databaseWorkStopped())
            throw DbError(cancelledText(), 0, DbError::Kind::Cancelled);
    }
};

// The open sessions of the process, for cancelling their work from another thread.
std::mutex& sessionsMutex()
{
    static std::mutex m;
    return m;
}
std::set<FbSession*>& openSessions()
{
    static std::set<FbSession*> s;
    return s;
}

// Marks a session as inside the client library (a cancel may be sent to it).
class Busy {
public:
    explicit Busy(FbSession& s) : s_(s) { ++s_.busy; }
    ~Busy() { --s_.busy; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
private:
    FbSession& s_;
};

void TxCore::rollbackQuietly()
{
    if (!tra)
        return;
    Status st;
    tra->rollback(&st);
    if (st.failed())
        tra->release();
    tra = nullptr;
}

TxCore::~TxCore()
{
    rollbackQuietly();
    if (session)
        session->txs.erase(this);
}

std::vector<unsigned char> buildTpb(bool readOnly)
{
    Status st;
    IXpbBuilder* b = util()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0);
    st.check();
    b->insertTag(&st, readOnly ? isc_tpb_read : isc_tpb_write);
    b->insertTag(&st, isc_tpb_read_committed);
    b->insertTag(&st, isc_tpb_rec_version);
    if (readOnly) {
        b->insertTag(&st, isc_tpb_nowait);
    } else {
        b->insertTag(&st, isc_tpb_wait);
        b->insertInt(&st, isc_tpb_lock_timeout, kLockTimeoutSeconds);
    }
    const unsigned char* p = b->getBuffer(&st);
    std::vector<unsigned char> out(p, p + b->getBufferLength(&st));
    st.check();
    b->dispose();
    return out;
}

// ---------------------------------------------------------------------------
// Statements

struct InParam {         // what the server wants at one '?'
    unsigned type = SQL_VARYING;
    int subType = 0;
    unsigned length = 0;
    unsigned charset = 0;
    int scale = 0;
};

struct Wire {            // what we send at one '?' (the server converts the rest)
    unsigned type = 0;
    int subType = 0;
    unsigned length = 0;
    unsigned charset = 0;
    int scale = 0;
    bool operator==(const Wire&) const = default;
};

struct OutCol {
    unsigned type = 0;
    int subType = 0;
    unsigned length = 0;
    unsigned charset = 0;
    int scale = 0;
    unsigned offset = 0;
    unsigned nullOffset = 0;
    int declaredChars = 0;
};

double pow10(int n)
{
    static const double table[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
                                   1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    return n >= 0 && n <= 18 ? table[n] : std::pow(10.0, n);
}

QString numberText(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

bool isIntegerVariant(int typeId)
{
    switch (typeId) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// The text sent for a value that goes into a text or text-BLOB parameter.
QString textFor(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QString: return v.toString();
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy.MM.dd"));
    case QMetaType::QTime: return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
    case QMetaType::Double: case QMetaType::Float: return numberText(v);
    default: return v.toString();
    }
}

class FbStatementCore {
public:
    // Every DbError raised while the statement is prepared, bound or run names it.
    FbStatementCore(std::shared_ptr<TxCore> tx, const QString& sql)
    try : tx_(std::move(tx)), session_(tx_->session), text_(sql)
    {
        session_->ensureOpen();
        if (!tx_->tra)
            throw DbError(QStringLiteral("A tranzakció már lezárult."));
        parsed_ = parseNamedParams(sql);
        const QByteArray text = parsed_.sql.toUtf8();
        Status st;
        Busy busy(*session_);
        stmt_ = session_->att->prepare(&st, tx_->tra, unsigned(text.size()), text.constData(), kDialect,
                                       IStatement::PREPARE_PREFETCH_METADATA);
        st.check();
        session_->statements.insert(this);
        try {
            describe();
        } catch (...) {
            freeStatement();
            releaseMeta();
            session_->statements.erase(this);
            throw;
        }
        values_.resize(size_t(parsed_.names.size()));
        bound_.assign(size_t(parsed_.names.size()), false);
    } catch (DbError& e) {
        e.setStatement(sql);
    }

    ~FbStatementCore()
    {
        freeStatement();
        releaseMeta();
        session_->statements.erase(this);
    }

    void freeStatement()
    {
        if (!stmt_)
            return;
        Status st;
        stmt_->free(&st);
        if (st.failed())
            stmt_->release();
        stmt_ = nullptr;
    }

    const QStringList& names() const { return parsed_.names; }

    void bind(const QString& name, const QVariant& value)
    {
        const int idx = findName(name);
        if (idx < 0)
            throw DbError(QStringLiteral("A(z) :%1 paraméter nem szerepel az utasításban.").arg(name), 0,
                          DbError::Kind::General, text_);
        values_[size_t(idx)] = value;
        bound_[size_t(idx)] = true;
    }

    qint64 execute()
    {
        return namingStatement(text_, [this] { return executeUnnamed(); });
    }

    RowSet open()
    {
        return namingStatement(text_, [this] { return openUnnamed(); });
    }

    void openEach(const std::function<void(const QVariantList&)>& row)
    {
        namingStatement(text_, [&] { openUnnamed(&row); });
    }

private:
    qint64 executeUnnamed()
    {
        session_->ensureOpen();
        ready();
        Status st;
        Busy busy(*session_);
        if (hasCursor_) {
            IResultSet* rs = stmt_->openCursor(&st, tx_->tra, inMeta_, inPtr(), outMeta_, 0);
            st.check();
            rs->close(&st);
            if (st.failed()) {
                rs->release();
                st.check();
            }
            return -1;
        }
        stmt_->execute(&st, tx_->tra, inMeta_, inPtr(), outMeta_, outPtr());
        st.check();
        if (insertValues_)
            return 1;
        const ISC_UINT64 n = stmt_->getAffectedRecords(&st);
        if (st.failed())
            return -1;
        return qint64(n);
    }

    // With `each`, every row goes to it as it is fetched and none is kept.
    RowSet openUnnamed(const std::function<void(const QVariantList&)>* each = nullptr)
    {
        session_->ensureOpen();
        ready();
        Status st;
        Busy busy(*session_);
        std::vector<QVariantList> rows;
        if (hasCursor_) {
            IResultSet* rs = stmt_->openCursor(&st, tx_->tra, inMeta_, inPtr(), outMeta_, 0);
            st.check();
            try {
                for (;;) {
                    const int r = rs->fetchNext(&st, outPtr());
                    st.check();
                    if (r != IStatus::RESULT_OK)
                        break;
                    if (each)
                        (*each)(decodeRow());
                    else
                        rows.push_back(decodeRow());
                }
            } catch (...) {
                rs->release();
                throw;
            }
            rs->close(&st);
            if (st.failed()) {
                rs->release();
                st.check();
            }
        } else {
            stmt_->execute(&st, tx_->tra, inMeta_, inPtr(), outMeta_, outPtr());
            st.check();
            if (outMeta_) {
                // EXECUTE PROCEDURE always answers with one row; a DML statement
                // with RETURNING (reported as a procedure call too) only when it hit one.
                bool gotRow = firstKeyword(parsed_.sql) == u"EXECUTE";
                if (!gotRow) {
                    const ISC_UINT64 n = stmt_->getAffectedRecords(&st);
                    gotRow = !st.failed() && n > 0;
                }
                if (gotRow && each)
                    (*each)(decodeRow());
                else if (gotRow)
                    rows.push_back(decodeRow());
            }
        }
        return RowSet(cols_, std::move(rows));
    }

    std::shared_ptr<TxCore> tx_;
    std::shared_ptr<FbSession> session_;
    QString text_;          // the statement as the caller wrote it (with its :names)
    IStatement* stmt_ = nullptr;
    ParsedSql parsed_;
    unsigned stmtType_ = 0;
    bool hasCursor_ = false;

    // input
    std::vector<InParam> server_;
    std::vector<QVariant> values_;
    std::vector<bool> bound_;
    int hint_ = 0;
    std::vector<Wire> wire_;
    std::vector<unsigned> inOffset_, inNullOffset_;
    std::vector<unsigned char> inBuf_;
    IMessageMetadata* inMeta_ = nullptr;
    std::vector<QByteArray> scratch_;
    std::vector<char> direct_;  // a QString written straight into the message
    QStringEncoder utf8_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    bool insertValues_ = false; // a plain INSERT ... VALUES: one row when it succeeds

    // output
    IMessageMetadata* outMeta_ = nullptr;
    std::vector<OutCol> out_;
    QList<Column> cols_;
    std::vector<unsigned char> outBuf_;

    void* inPtr() { return inBuf_.empty() ? nullptr : inBuf_.data(); }
    void* outPtr() { return outBuf_.empty() ? nullptr : outBuf_.data(); }

    void releaseMeta()
    {
        if (inMeta_) { inMeta_->release(); inMeta_ = nullptr; }
        if (outMeta_) { outMeta_->release(); outMeta_ = nullptr; }
    }

    int findName(const QString& name)
    {
        const int n = int(parsed_.names.size());
        if (n == 0)
            return -1;
        // Callers mostly bind in statement order: try the next one first.
        QStringView key(name);
        if (key.startsWith(u':'))
            key = key.mid(1);
        for (int k = 0; k < n; ++k) {
            const int i = (hint_ + k) % n;
            if (key.compare(parsed_.names.at(i), Qt::CaseInsensitive) == 0) {
                hint_ = (i + 1) % n;
                return i;
            }
        }
        return -1;
    }

    void describe()
    {
        Status st;
        stmtType_ = stmt_->getType(&st);
        st.check();
        switch (stmtType_) {
        case isc_info_sql_stmt_start_trans:
        case isc_info_sql_stmt_commit:
        case isc_info_sql_stmt_rollback:
            throw DbError(QStringLiteral("A tranzakciókat a program kezeli; ez az utasítás itt nem futtatható."));
        default:
            break;
        }
        insertValues_ = stmtType_ == isc_info_sql_stmt_insert && firstKeyword(parsed_.sql) == u"INSERT"
                        && !containsWord(parsed_.sql, u"SELECT");
        hasCursor_ = (stmt_->getFlags(&st) & IStatement::FLAG_HAS_CURSOR) != 0;
        st.check();

        IMessageMetadata* in = stmt_->getInputMetadata(&st);
        st.check();
        const unsigned nIn = in->getCount(&st);
        if (nIn != parsed_.markers.size()) {
            in->release();
            throw DbError(QStringLiteral("Az utasítás paramétereinek száma nem egyezik (%1 / %2).")
                              .arg(nIn).arg(parsed_.markers.size()));
        }
        server_.resize(nIn);
        for (unsigned i = 0; i < nIn; ++i) {
            InParam& p = server_[i];
            p.type = in->getType(&st, i) & ~1u;
            p.subType = in->getSubType(&st, i);
            p.length = in->getLength(&st, i);
            p.charset = in->getCharSet(&st, i) & 0xFFu;
            p.scale = in->getScale(&st, i);
        }
        in->release();
        st.check();
        wire_.assign(nIn, Wire{});

        outMeta_ = stmt_->getOutputMetadata(&st);
        st.check();
        const unsigned nOut = outMeta_->getCount(&st);
        if (nOut == 0) {
            outMeta_->release();
            outMeta_ = nullptr;
            return;
        }
        out_.resize(nOut);
        for (unsigned i = 0; i < nOut; ++i) {
            OutCol& c = out_[i];
            c.type = outMeta_->getType(&st, i) & ~1u;
            c.subType = outMeta_->getSubType(&st, i);
            c.length = outMeta_->getLength(&st, i);
            c.charset = outMeta_->getCharSet(&st, i) & 0xFFu; // the high byte names the collation
            c.scale = outMeta_->getScale(&st, i);
            c.offset = outMeta_->getOffset(&st, i);
            c.nullOffset = outMeta_->getNullOffset(&st, i);
            Column col;
            const char* alias = outMeta_->getAlias(&st, i);
            col.name = QString::fromUtf8(alias ? alias : "");
            const char* field = outMeta_->getField(&st, i);
            if (col.name.isEmpty()) col.name = QString::fromUtf8(field ? field : "");
            const char* relation = outMeta_->getRelation(&st, i);
            col.relation = QString::fromUtf8(relation ? relation : "").trimmed();
            if (!col.relation.isEmpty()) col.field = QString::fromUtf8(field ? field : "").trimmed();
            col.scale = c.scale;
            switch (c.type) {
            case SQL_TEXT:
            case SQL_VARYING:
                col.type = ColType::Text;
                c.declaredChars = int(c.length) / bytesPerChar(c.charset);
                col.length = c.declaredChars;
                break;
            case SQL_SHORT: col.type = c.scale ? ColType::Float : ColType::Int16; break;
            case SQL_LONG: col.type = c.scale ? ColType::Float : ColType::Int32; break;
            case SQL_INT64: col.type = c.scale ? ColType::Float : ColType::Int64; break;
            case SQL_FLOAT: case SQL_DOUBLE: case SQL_D_FLOAT: col.type = ColType::Float; break;
            case SQL_BOOLEAN: col.type = ColType::Boolean; break;
            case SQL_BLOB: col.type = c.subType == 1 ? ColType::LongText : ColType::Unknown; break;
            case SQL_TYPE_DATE: col.type = ColType::Date; break;
            case SQL_TYPE_TIME: col.type = ColType::Time; break;
            case SQL_TIMESTAMP: col.type = ColType::Timestamp; break;
            default: col.type = ColType::Unknown; break;
            }
            cols_.append(col);
        }
        st.check();
        outBuf_.assign(outMeta_->getMessageLength(&st), 0);
        st.check();
    }

    // Chooses how each value travels, rebuilds the input message when that
    // changed, and writes the values into it.
    void ready()
    {
        if (!stmt_)
            throw DbError(QStringLiteral("Az adatbázis-kapcsolat le van zárva."));
        if (!tx_->tra)
            throw DbError(QStringLiteral("A tranzakció már lezárult."));
        const size_t n = server_.size();
        if (n == 0)
            return;
        for (size_t k = 0; k < bound_.size(); ++k)
            if (!bound_[k])
                throw DbError(QStringLiteral("A(z) :%1 paraméternek nincs értéke.").arg(parsed_.names.at(int(k))));
        scratch_.resize(n);
        direct_.resize(n);
        bool changed = inMeta_ == nullptr;
        for (size_t i = 0; i < n; ++i) {
            const Wire w = wireFor(i);
            if (!(w == wire_[i])) {
                wire_[i] = w;
                changed = true;
            }
        }
        if (changed)
            rebuildInput();
        for (size_t i = 0; i < n; ++i)
            writeValue(i);
    }

    Wire wireFor(size_t i)
    {
        const InParam& p = server_[i];
        const QVariant& v = values_[size_t(parsed_.markers[i])];
        Wire w;
        auto asServer = [&] {
            w.type = p.type; w.subType = p.subType; w.length = p.length; w.charset = p.charset; w.scale = p.scale;
        };
        auto asText = [&](const QByteArray& bytes) {
            w.type = SQL_VARYING;
            w.charset = isTextType(p.type) ? p.charset : kCharsetUtf8;
            unsigned len = isTextType(p.type) ? p.length : 64u;
            // A value longer than the parameter still travels whole, so the server
            // reports the truncation in its own words.
            while (len < unsigned(bytes.size()))
                len = len < 64 ? 64 : len * 2;
            w.length = qMin(len, 32765u);
        };
        scratch_[i].clear();
        direct_[i] = false;
        if (v.isNull()) {
            asServer();
            return w;
        }
        if (p.type == SQL_BLOB) {
            w.type = SQL_BLOB;
            w.subType = p.subType;
            w.length = sizeof(ISC_QUAD);
            w.charset = p.charset;
            scratch_[i] = v.typeId() == QMetaType::QByteArray ? v.toByteArray() : textFor(v).toUtf8();
            return w;
        }
        const int t = v.typeId();
        if (t == QMetaType::QString && isTextType(p.type)
            && qsizetype(p.length) >= 3 * static_cast<const QString*>(v.constData())->size()) {
            // fits whatever its letters: written straight into the message
            asServer();
            w.type = SQL_VARYING;
            direct_[i] = true;
            return w;
        }
        if (isTextType(p.type) || t == QMetaType::QString || t == QMetaType::QByteArray) {
            scratch_[i] = t == QMetaType::QByteArray ? v.toByteArray() : textFor(v).toUtf8();
            asText(scratch_[i]);
            return w;
        }
        if (t == QMetaType::Bool) {
            if (p.type == SQL_BOOLEAN) { w.type = SQL_BOOLEAN; w.length = 1; }
            else { w.type = SQL_INT64; w.length = 8; }
            return w;
        }
        if (isIntegerVariant(t)) {
            if (p.type == SQL_BOOLEAN) { w.type = SQL_BOOLEAN; w.length = 1; }
            else { w.type = SQL_INT64; w.length = 8; }
            return w;
        }
        if (t == QMetaType::Double || t == QMetaType::Float) {
            if ((p.type == SQL_SHORT || p.type == SQL_LONG || p.type == SQL_INT64) && p.scale < 0) {
                // an exact numeric: scale it here, so 99.99 lands as 9999
                w.type = SQL_INT64; w.length = 8; w.scale = p.scale;
            } else {
                w.type = SQL_DOUBLE; w.length = 8;
            }
            return w;
        }
        if (t == QMetaType::QDate) { w.type = SQL_TYPE_DATE; w.length = sizeof(ISC_DATE); return w; }
        if (t == QMetaType::QTime) { w.type = SQL_TYPE_TIME; w.length = sizeof(ISC_TIME); return w; }
        if (t == QMetaType::QDateTime) { w.type = SQL_TIMESTAMP; w.length = sizeof(ISC_TIMESTAMP); return w; }
        scratch_[i] = v.toString().toUtf8();
        asText(scratch_[i]);
        return w;
    }

    void rebuildInput()
    {
        Status st;
        const unsigned n = unsigned(wire_.size());
        IMetadataBuilder* b = master()->getMetadataBuilder(&st, n);
        st.check();
        for (unsigned i = 0; i < n; ++i) {
            const Wire& w = wire_[i];
            b->setType(&st, i, w.type | 1u);
            b->setSubType(&st, i, w.subType);
            b->setLength(&st, i, w.length);
            b->setCharSet(&st, i, w.charset);
            b->setScale(&st, i, w.scale);
        }
        IMessageMetadata* meta = b->getMetadata(&st);
        b->release();
        if (st.failed())
            throw st.error();
        if (inMeta_)
            inMeta_->release();
        inMeta_ = meta;
        inOffset_.resize(n);
        inNullOffset_.resize(n);
        for (unsigned i = 0; i < n; ++i) {
            inOffset_[i] = meta->getOffset(&st, i);
            inNullOffset_[i] = meta->getNullOffset(&st, i);
        }
        inBuf_.assign(meta->getMessageLength(&st), 0);
        st.check();
    }

    void writeValue(size_t i)
    {
        const QVariant& v = values_[size_t(parsed_.markers[i])];
        unsigned char* base = inBuf_.data();
        short nullFlag = v.isNull() ? -1 : 0;
        std::memcpy(base + inNullOffset_[i], &nullFlag, sizeof nullFlag);
        if (nullFlag)
            return;
        unsigned char* dst = base + inOffset_[i];
        const Wire& w = wire_[i];
        switch (w.type) {
        case SQL_VARYING: {
            if (direct_[i]) {
                char* text = reinterpret_cast<char*>(dst) + sizeof(unsigned short);
                char* end = utf8_.appendToBuffer(text, *static_cast<const QString*>(v.constData()));
                const unsigned short len = static_cast<unsigned short>(end - text);
                std::memcpy(dst, &len, sizeof len);
                break;
            }
            const QByteArray& b = scratch_[i];
            if (unsigned(b.size()) > w.length)
                throw DbError(QStringLiteral("Túl hosszú szöveg a(z) :%1 paraméterben (%2 bájt).")
                                  .arg(parsed_.names.at(parsed_.markers[i])).arg(b.size()),
                              -802);
            const unsigned short len = static_cast<unsigned short>(b.size());
            std::memcpy(dst, &len, sizeof len);
            std::memcpy(dst + sizeof len, b.constData(), size_t(b.size()));
            break;
        }
        case SQL_INT64: {
            qint64 x = 0;
            if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                const double d = v.toDouble() * pow10(-w.scale);
                if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
                    throw DbError(QStringLiteral("A(z) :%1 paraméter értéke nem fér el.")
                                      .arg(parsed_.names.at(parsed_.markers[i])), -802);
                x = std::llround(d);
            } else if (v.typeId() == QMetaType::Bool) {
                x = v.toBool() ? 1 : 0;
            } else if (v.typeId() == QMetaType::ULongLong) {
                const qulonglong u = v.toULongLong();
                if (u > qulonglong(std::numeric_limits<qint64>::max()))
                    throw DbError(QStringLiteral("A(z) :%1 paraméter értéke nem fér el.")
                                      .arg(parsed_.names.at(parsed_.markers[i])), -802);
                x = qint64(u);
            } else {
                x = v.toLongLong();
            }
            std::memcpy(dst, &x, sizeof x);
            break;
        }
        case SQL_DOUBLE: {
            const double d = v.toDouble();
            std::memcpy(dst, &d, sizeof d);
            break;
        }
        case SQL_BOOLEAN: {
            const unsigned char b = v.toBool() ? 1 : 0;
            *dst = b;
            break;
        }
        case SQL_TYPE_DATE: {
            const QDate d = v.toDate();
            const ISC_DATE x = util()->encodeDate(unsigned(d.year()), unsigned(d.month()), unsigned(d.day()));
            std::memcpy(dst, &x, sizeof x);
            break;
        }
        case SQL_TYPE_TIME: {
            const QTime t = v.toTime();
            const ISC_TIME x = util()->encodeTime(unsigned(t.hour()), unsigned(t.minute()), unsigned(t.second()),
                                                  unsigned(t.msec()) * 10u);
            std::memcpy(dst, &x, sizeof x);
            break;
        }
        case SQL_TIMESTAMP: {
            const QDateTime dt = v.toDateTime();
            ISC_TIMESTAMP x;
            x.timestamp_date = util()->encodeDate(unsigned(dt.date().year()), unsigned(dt.date().month()),
                                                  unsigned(dt.date().day()));
            x.timestamp_time = util()->encodeTime(unsigned(dt.time().hour()), unsigned(dt.time().minute()),
                                                  unsigned(dt.time().second()), unsigned(dt.time().msec()) * 10u);
            std::memcpy(dst, &x, sizeof x);
            break;
        }
        case SQL_BLOB: {
            ISC_QUAD id{};
            writeBlob(scratch_[i], &id);
            std::memcpy(dst, &id, sizeof id);
            break;
        }
        default:
            // the server's own type for a value it converts (only NULLs get here)
            break;
        }
    }

    void writeBlob(const QByteArray& data, ISC_QUAD* id)
    {
        Status st;
        IBlob* blob = session_->att->createBlob(&st, tx_->tra, id, 0, nullptr);
        st.check();
        const qsizetype chunk = 32 * 1024;
        for (qsizetype pos = 0; pos < data.size(); pos += chunk) {
            const qsizetype len = qMin(chunk, data.size() - pos);
            blob->putSegment(&st, unsigned(len), data.constData() + pos);
            if (st.failed()) {
                DbError e = st.error();
                Status st2;
                blob->cancel(&st2);
                if (st2.failed())
                    blob->release();
                throw e;
            }
        }
        blob->close(&st);
        if (st.failed()) {
            DbError e = st.error();
            blob->release();
            throw e;
        }
    }

    QByteArray readBlob(ISC_QUAD* id)
    {
        Status st;
        IBlob* blob = session_->att->openBlob(&st, tx_->tra, id, 0, nullptr);
        st.check();
        QByteArray data;
        char buf[32 * 1024];
        for (;;) {
            unsigned len = 0;
            const int r = blob->getSegment(&st, sizeof buf, buf, &len);
            if (st.failed()) {
                DbError e = st.error();
                blob->release();
                throw e;
            }
            if (r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT)
                data.append(buf, qsizetype(len));
            else
                break;
        }
        blob->close(&st);
        if (st.failed())
            blob->release();
        return data;
    }

    QVariantList decodeRow()
    {
        QVariantList row;
        row.reserve(qsizetype(out_.size()));
        const unsigned char* base = outBuf_.data();
        for (const OutCol& c : out_) {
            short nullFlag = 0;
            std::memcpy(&nullFlag, base + c.nullOffset, sizeof nullFlag);
            if (nullFlag) {
                row.append(QVariant());
                continue;
            }
            const unsigned char* p = base + c.offset;
            switch (c.type) {
            case SQL_VARYING: {
                unsigned short len = 0;
                std::memcpy(&len, p, sizeof len);
                const char* s = reinterpret_cast<const char*>(p + sizeof len);
                if (c.charset == 1)
                    row.append(QByteArray(s, len));
                else
                    row.append(QString::fromUtf8(s, len));
                break;
            }
            case SQL_TEXT: {
                const char* s = reinterpret_cast<const char*>(p);
                if (c.charset == 1) {
                    row.append(QByteArray(s, qsizetype(c.length)));
                    break;
                }
                QString text = QString::fromUtf8(s, qsizetype(c.length));
                // The server pads to the byte length; keep the declared width only.
                qsizetype k = text.size();
                while (k > c.declaredChars && text.at(k - 1) == u' ')
                    --k;
                text.truncate(k);
                row.append(text);
                break;
            }
            case SQL_SHORT: {
                qint16 x; std::memcpy(&x, p, sizeof x);
                row.append(c.scale ? QVariant(double(x) / pow10(-c.scale)) : QVariant(qint64(x)));
                break;
            }
            case SQL_LONG: {
                qint32 x; std::memcpy(&x, p, sizeof x);
                row.append(c.scale ? QVariant(double(x) / pow10(-c.scale)) : QVariant(qint64(x)));
                break;
            }
            case SQL_INT64: {
                qint64 x; std::memcpy(&x, p, sizeof x);
                row.append(c.scale ? QVariant(double(x) / pow10(-c.scale)) : QVariant(x));
                break;
            }
            case SQL_FLOAT: {
                float x; std::memcpy(&x, p, sizeof x);
                // the shortest text of the float, so 1.1 stays 1.1
                char txt[32];
                const auto r = std::to_chars(txt, txt + sizeof txt, x);
                row.append(std::strtod(std::string(txt, r.ptr).c_str(), nullptr));
                break;
            }
            case SQL_DOUBLE: case SQL_D_FLOAT: {
                double x; std::memcpy(&x, p, sizeof x);
                row.append(x);
                break;
            }
            case SQL_BOOLEAN:
                row.append(*p != 0);
                break;
            case SQL_TYPE_DATE: {
                ISC_DATE x; std::memcpy(&x, p, sizeof x);
                unsigned y = 0, m = 0, d = 0;
                util()->decodeDate(x, &y, &m, &d);
                row.append(QDate(int(y), int(m), int(d)));
                break;
            }
            case SQL_TYPE_TIME: {
                ISC_TIME x; std::memcpy(&x, p, sizeof x);
                unsigned h = 0, mi = 0, s = 0, f = 0;
                util()->decodeTime(x, &h, &mi, &s, &f);
                row.append(QTime(int(h), int(mi), int(s), int(f / 10)));
                break;
            }
            case SQL_TIMESTAMP: {
                ISC_TIMESTAMP x; std::memcpy(&x, p, sizeof x);
                unsigned y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0, f = 0;
                util()->decodeDate(x.timestamp_date, &y, &m, &d);
                util()->decodeTime(x.timestamp_time, &h, &mi, &s, &f);
                row.append(QDateTime(QDate(int(y), int(m), int(d)), QTime(int(h), int(mi), int(s), int(f / 10))));
                break;
            }
            case SQL_BLOB: {
                ISC_QUAD id; std::memcpy(&id, p, sizeof id);
                const QByteArray data = readBlob(&id);
                if (c.subType == 1)
                    row.append(QString::fromUtf8(data));
                else
                    row.append(data);
                break;
            }
            default:
                row.append(QVariant());
                break;
            }
        }
        return row;
    }
};

void FbSession::close()
{
    if (!att) {
        guard.reset();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(sessionsMutex());
        openSessions().erase(this);
    }
    for (FbStatementCore* s : std::set<FbStatementCore*>(statements))
        s->freeStatement();
    for (TxCore* t : std::set<TxCore*>(txs))
        t->rollbackQuietly();
    Status st;
    att->detach(&st);
    if (st.failed())
        att->release();
    att = nullptr;
    guard.reset();
}

class FbStatement final : public Statement {
public:
    explicit FbStatement(std::unique_ptr<FbStatementCore> core) : core_(std::move(core)) {}
    QStringList parameterNames() const override { return core_->names(); }
    void bind(const QString& name, const QVariant& value) override { core_->bind(name, value); }
    qint64 execute() override { return core_->execute(); }
    RowSet open() override { return core_->open(); }

private:
    std::unique_ptr<FbStatementCore> core_;
};

class FbTransaction final : public Transaction {
public:
    explicit FbTransaction(std::shared_ptr<TxCore> core) : core_(std::move(core)) {}
    ~FbTransaction() override { core_->rollbackQuietly(); }

    qint64 exec(const QString& sql, const Params& params) override
    {
        FbStatementCore s(core_, sql);
        for (const auto& p : params)
            s.bind(p.first, p.second);
        return s.execute();
    }
    RowSet query(const QString& sql, const Params& params) override
    {
        FbStatementCore s(core_, sql);
        for (const auto& p : params)
            s.bind(p.first, p.second);
        return s.open();
    }
    void queryEach(const QString& sql, const Params& params,
                   const std::function<void(const QVariantList&)>& row) override
    {
        FbStatementCore s(core_, sql);
        for (const auto& p : params)
            s.bind(p.first, p.second);
        s.openEach(row);
    }
    std::unique_ptr<Statement> prepare(const QString& sql) override
    {
        return std::make_unique<FbStatement>(std::make_unique<FbStatementCore>(core_, sql));
    }
    void commit() override
    {
        if (!core_->tra)
            throw DbError(QStringLiteral("A tranzakció már lezárult."));
        Status st;
        Busy busy(*core_->session);
        core_->tra->commit(&st);
        if (st.failed()) {
            // A failed commit leaves the transaction open on the server: end it.
            DbError e = st.error();
            core_->rollbackQuietly();
            throw e;
        }
        core_->tra = nullptr;
    }
    void rollback() override
    {
        if (!core_->tra)
            return;
        Status st;
        core_->tra->rollback(&st);
        if (st.failed()) {
            DbError e = st.error();
            core_->tra->release();
            core_->tra = nullptr;
            throw e;
        }
        core_->tra = nullptr;
    }
    bool isActive() const override { return core_->tra != nullptr && core_->session->att != nullptr; }

private:
    std::shared_ptr<TxCore> core_;
};

class FbConnection final : public Connection {
public:
    explicit FbConnection(std::shared_ptr<FbSession> s) : s_(std::move(s)) {}
    ~FbConnection() override { s_->close(); }

    QString driverName() const override { return QStringLiteral("INTRBASE"); }
    QString databaseName() const override { return s_->database; }
    std::unique_ptr<Transaction> begin(TxMode mode) override
    {
        s_->ensureOpen();
        auto core = std::make_shared<TxCore>();
        const auto& tpb = mode == TxMode::ReadOnly ? s_->tpbRead : s_->tpbWrite;
        Status st;
        Busy busy(*s_);
        core->tra = s_->att->startTransaction(&st, unsigned(tpb.size()), tpb.data());
        if (st.failed()) {
            core->tra = nullptr;
            throw st.error();
        }
        core->session = s_;
        s_->txs.insert(core.get());
        return std::make_unique<FbTransaction>(std::move(core));
    }
    void close() override { s_->close(); }
    bool isOpen() const override { return s_->att != nullptr; }

private:
    std::shared_ptr<FbSession> s_;
};

std::vector<unsigned char> buildDpb(const ConnectParams& params, bool create)
{
    Status st;
    IXpbBuilder* b = util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check();
    QByteArray user = params.user.toUtf8();
    if (user.isEmpty() && !isRemoteFirebirdName(params.database))
        user = "SYSDBA"; // embedded: the engine trusts the name, no password needed
    if (!user.isEmpty())
        b->insertString(&st, isc_dpb_user_name, user.constData());
    if (!params.password.isEmpty())
        b->insertString(&st, isc_dpb_password, params.password.toUtf8().constData());
    b->insertString(&st, isc_dpb_lc_ctype, "UTF8");
    if (isRemoteFirebirdName(params.database) && params.connectTimeoutSeconds > 0)
        b->insertInt(&st, isc_dpb_connect_timeout, params.connectTimeoutSeconds);
    if (create) {
        b->insertInt(&st, isc_dpb_sql_dialect, int(kDialect));
        b->insertInt(&st, isc_dpb_page_size, 8192);
        b->insertString(&st, isc_dpb_set_db_charset, "UTF8");
        b->insertInt(&st, isc_dpb_force_write, 1);
    }
    const unsigned char* p = b->getBuffer(&st);
    std::vector<unsigned char> out(p, p + b->getBufferLength(&st));
    st.check();
    b->dispose();
    return out;
}

std::shared_ptr<FbSession> newSession(IAttachment* att, const QString& database,
                                      std::unique_ptr<EmbeddedFileGuard> guard)
{
    auto s = std::make_shared<FbSession>();
    s->att = att;
    s->database = database;
    s->guard = std::move(guard);
    s->tpbWrite = buildTpb(false);
    s->tpbRead = buildTpb(true);
    {
        std::lock_guard<std::mutex> lock(sessionsMutex());
        openSessions().insert(s.get());
    }
    // The engine puts its own signal handlers in place when it starts.
    reinstallSignalHandlers();
    return s;
}

// Refuses new work once the process is stopping.
void checkNotStopping()
{
    if (databaseWorkStopped())
        throw DbError(cancelledText(), 0, DbError::Kind::Cancelled);
}

} // namespace

bool isRemoteFirebirdName(const QString& database)
{
    const QString d = database.trimmed();
    if (d.startsWith(QStringLiteral("inet"), Qt::CaseInsensitive) && d.contains(QStringLiteral("://")))
        return true;
    if (d.startsWith(QStringLiteral("xnet://"), Qt::CaseInsensitive) || d.startsWith(u'\\'))
        return true;
    if (d.startsWith(u'/'))
        return false;
    const qsizetype colon = d.indexOf(u':');
    return colon > 1; // "host:..." (a single letter would be a Windows drive)
}

void cancelFirebirdOperations(bool onlyBusy)
{
    std::lock_guard<std::mutex> lock(sessionsMutex());
    for (FbSession* s : openSessions()) {
        if (!s->att || (onlyBusy && s->busy.load() == 0))
            continue;
        Status st;
        s->att->cancelOperation(&st, fb_cancel_raise);
    }
}

void shutdownFirebirdEngine()
{
    Status st;
    IProvider* prov = master()->getDispatcher();
    prov->shutdown(&st, 5000, fb_shutrsn_app_stopped);
    prov->release();
}

std::unique_ptr<Connection> openFirebird(const ConnectParams& params)
{
    prepareEmbeddedEngine();
    if (!isRemoteFirebirdName(params.database) && !params.database.trimmed().isEmpty())
        prepareEmbeddedEngineFor(embeddedFilePath(params.database));
    checkNotStopping();
    if (params.database.trimmed().isEmpty())
        throw DbError(QStringLiteral("Nincs megadva az adatbázis."));
    auto guard = guardEmbeddedFile(params.database, false);
    const std::vector<unsigned char> dpb = buildDpb(params, false);
    const QByteArray name = params.database.trimmed().toUtf8();
    Status st;
    TerminationSignalsBlocked quiet;
    IProvider* prov = master()->getDispatcher();
    IAttachment* att = prov->attachDatabase(&st, name.constData(), unsigned(dpb.size()), dpb.data());
    prov->release();
    st.check();
    return std::make_unique<FbConnection>(newSession(att, params.database.trimmed(), std::move(guard)));
}

std::unique_ptr<Connection> createFirebird(const ConnectParams& params)
{
    prepareEmbeddedEngine();
    const QString database = params.database.trimmed();
    if (database.isEmpty())
        throw DbError(QStringLiteral("Nincs megadva az adatbázis."));
    if (!isRemoteFirebirdName(database))
        prepareEmbeddedEngineFor(embeddedFilePath(database));
    checkNotStopping();
    if (!isRemoteFirebirdName(database) && QFileInfo::exists(database))
        throw DbError(QStringLiteral("Az adatbázis már létezik, nem hozom létre újra: %1").arg(database));
    auto guard = guardEmbeddedFile(database, true);
    const std::vector<unsigned char> dpb = buildDpb(params, true);
    const QByteArray name = database.toUtf8();
    Status st;
    TerminationSignalsBlocked quiet;
    IProvider* prov = master()->getDispatcher();
    IAttachment* att = prov->createDatabase(&st, name.constData(), unsigned(dpb.size()), dpb.data());
    prov->release();
    if (st.failed()) {
        if (guard)
            guard->discard();
        throw st.error(QStringLiteral("Az adatbázis nem hozható létre: %1").arg(database));
    }
    if (!isRemoteFirebirdName(database)) {
        // In a folder its group shares (set-group-ID), the group may write
        // the new file as well; elsewhere it stays as the engine made it.
        const QString file = embeddedFilePath(database);
        struct stat fs {};
        if (::stat(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), &fs) == 0 && (fs.st_mode & S_ISGID))
            ::chmod(QFile::encodeName(file).constData(), 0660);
    }
    auto session = newSession(att, database, std::move(guard));
    auto conn = std::make_unique<FbConnection>(session);
    try {
        conn->exec(QStringLiteral("CREATE COLLATION HU FOR UTF8 FROM UNICODE 'LOCALE=hu_HU'"));
        conn->exec(QStringLiteral("ALTER CHARACTER SET UTF8 SET DEFAULT COLLATION HU"));
    } catch (const DbError& e) {
        // Leave no half-made database behind.
        Status st2;
        for (TxCore* t : std::set<TxCore*>(session->txs))
            t->rollbackQuietly();
        {
            std::lock_guard<std::mutex> lock(sessionsMutex());
            openSessions().erase(session.get());
        }
        session->att->dropDatabase(&st2);
        if (st2.failed()) {
            session->close();
        } else {
            session->att = nullptr;
            if (session->guard)
                session->guard->discard();
        }
        throw DbError(QStringLiteral("Az adatbázis nem hozható létre: %1\n%2").arg(database, e.text()), e.sqlCode());
    }
    return conn;
}

} // namespace vl::db::detail
