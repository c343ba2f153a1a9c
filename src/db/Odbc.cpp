// The ODBC backend through Qt's QODBC driver.
#include "db/Backends.h"
#include "db/NamedParams.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#ifdef VL_HAVE_ODBC_INFO
// From the ODBC driver manager (libodbc); declared here so no ODBC headers are needed.
extern "C" short SQLGetInfo(void* connectionHandle, unsigned short infoType, void* infoValue,
                            short bufferLength, short* stringLength);
#endif

namespace vl::db::detail {

namespace {

DbError errorOf(const QSqlError& e, const QString& fallback = QString())
{
    QString text = e.databaseText().trimmed();
    const QString drv = e.driverText().trimmed();
    if (text.isEmpty())
        text = drv;
    else if (!drv.isEmpty() && !text.contains(drv))
        text = drv + u'\n' + text;
    if (text.isEmpty())
        text = fallback;
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return DbError(text, ok ? code : 0);
}

QVariant normalized(const QVariant& v)
{
    if (v.isNull())
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return QVariant(v.toLongLong());
    case QMetaType::Float:
        return QVariant(v.toDouble());
    default:
        return v;
    }
}

ColType colTypeOf(const QSqlField& f)
{
    switch (f.metaType().id()) {
    case QMetaType::Short: case QMetaType::UShort: return ColType::Int16;
    case QMetaType::Int: case QMetaType::UInt: return ColType::Int32;
    case QMetaType::LongLong: case QMetaType::ULongLong: return ColType::Int64;
    case QMetaType::Bool: return ColType::Boolean;
    case QMetaType::Double: case QMetaType::Float: return ColType::Float;
    case QMetaType::QDate: return ColType::Date;
    case QMetaType::QTime: return ColType::Time;
    case QMetaType::QDateTime: return ColType::Timestamp;
    case QMetaType::QString:
        // SQL_LONGVARCHAR (-1) and SQL_WLONGVARCHAR (-10) are long texts
        return (f.typeID() == -1 || f.typeID() == -10) ? ColType::LongText : ColType::Text;
    default: return ColType::Unknown;
    }
}

struct OdbcSession {
    QString connName;
    QString database;
    bool inTransaction = false;
    quint64 txSerial = 0;

    QSqlDatabase db() const { return QSqlDatabase::database(connName, false); }
    bool isOpen() const { return !connName.isEmpty() && db().isOpen(); }
    void ensureOpen() const
    {
        if (!isOpen())
            throw DbError(QStringLiteral("Az adatbázis-kapcsolat le van zárva."));
    }
    void close()
    {
        if (connName.isEmpty())
            return;
        {
            QSqlDatabase d = db();
            if (inTransaction)
                d.rollback();
            d.close();
        }
        inTransaction = false;
        ++txSerial;
        QSqlDatabase::removeDatabase(connName);
        connName.clear();
    }
    ~OdbcSession() { close(); }
};

struct OdbcTxCore {
    std::shared_ptr<OdbcSession> s;
    quint64 serial = 0;
    bool active() const { return s->isOpen() && s->inTransaction && s->txSerial == serial; }
};

class OdbcStatement final : public Statement {
public:
    // Every DbError raised while the statement is prepared, bound or run names it.
    OdbcStatement(std::shared_ptr<OdbcTxCore> tx, const QString& sql)
    try : tx_(std::move(tx)), text_(sql), parsed_(parseNamedParams(sql))
    {
        tx_->s->ensureOpen();
        query_ = std::make_unique<QSqlQuery>(tx_->s->db());
        query_->setForwardOnly(true);
        if (!query_->prepare(parsed_.sql))
            throw errorOf(query_->lastError(), QStringLiteral("Az utasítás nem készíthető elő."));
        values_.resize(size_t(parsed_.names.size()));
        bound_.assign(size_t(parsed_.names.size()), false);
    } catch (DbError& e) {
        e.setStatement(sql);
    }

    QStringList parameterNames() const override { return parsed_.names; }

    void bind(const QString& name, const QVariant& value) override
    {
        QString key = name.startsWith(u':') ? name.mid(1) : name;
        const qsizetype idx = parsed_.names.indexOf(key.toLower());
        if (idx < 0)
            throw DbError(QStringLiteral("A(z) :%1 paraméter nem szerepel az utasításban.").arg(name), 0,
                          DbError::Kind::General, text_);
        // An untyped null travels as a text null, which every driver accepts.
        values_[size_t(idx)] = value.isValid() ? value : QVariant(QMetaType::fromType<QString>());
        bound_[size_t(idx)] = true;
    }

    qint64 execute() override
    {
        namingStatement(text_, [this] { run(); });
        const int n = query_->numRowsAffected();
        query_->finish();
        return n;
    }

    RowSet open() override
    {
        return namingStatement(text_, [this] { return openUnnamed(); });
    }

private:
    RowSet openUnnamed()
    {
        run();
        QList<Column> cols;
        const QSqlRecord rec = query_->record();
        for (int i = 0; i < rec.count(); ++i) {
            const QSqlField f = rec.field(i);
            Column c;
            c.name = f.name();
            c.type = colTypeOf(f);
            c.length = c.type == ColType::Text ? qMax(0, f.length()) : 0;
            c.scale = f.precision() > 0 && c.type == ColType::Float ? -f.precision() : 0;
            cols.append(c);
        }
        std::vector<QVariantList> rows;
        while (query_->next()) {
            QVariantList row;
            row.reserve(rec.count());
            for (int i = 0; i < rec.count(); ++i)
                row.append(normalized(query_->value(i)));
            rows.push_back(std::move(row));
        }
        if (query_->lastError().isValid())
            throw errorOf(query_->lastError());
        query_->finish();
        return RowSet(std::move(cols), std::move(rows));
    }

    std::shared_ptr<OdbcTxCore> tx_;
    QString text_; // the statement as the caller wrote it (with its :names)
    ParsedSql parsed_;
    std::unique_ptr<QSqlQuery> query_;
    std::vector<QVariant> values_;
    std::vector<bool> bound_;

    void run()
    {
        if (!tx_->active())
            throw DbError(QStringLiteral("A tranzakció már lezárult."));
        for (size_t k = 0; k < bound_.size(); ++k)
            if (!bound_[k])
                throw DbError(QStringLiteral("A(z) :%1 paraméternek nincs értéke.").arg(parsed_.names.at(int(k))));
        for (size_t i = 0; i < parsed_.markers.size(); ++i)
            query_->bindValue(int(i), values_[size_t(parsed_.markers[i])]);
        if (!query_->exec())
            throw errorOf(query_->lastError(), QStringLiteral("Az utasítás nem hajtható végre."));
    }
};

class OdbcTransaction final : public Transaction {
public:
    explicit OdbcTransaction(std::shared_ptr<OdbcTxCore> core) : core_(std::move(core)) {}
    ~OdbcTransaction() override
    {
        if (core_->active()) {
            QSqlDatabase d = core_->s->db();
            d.rollback();
            finish();
        }
    }
    qint64 exec(const QString& sql, const Params& params) override
    {
        OdbcStatement s(core_, sql);
        s.bindAll(params);
        return s.execute();
    }
    RowSet query(const QString& sql, const Params& params) override
    {
        OdbcStatement s(core_, sql);
        s.bindAll(params);
        return s.open();
    }
    std::unique_ptr<Statement> prepare(const QString& sql) override
    {
        return std::make_unique<OdbcStatement>(core_, sql);
    }
    void commit() override
    {
        if (!core_->active())
            throw DbError(QStringLiteral("A tranzakció már lezárult."));
        QSqlDatabase d = core_->s->db();
        if (!d.commit()) {
            const DbError e = errorOf(d.lastError(), QStringLiteral("A tranzakció nem zárható le."));
            d.rollback();
            finish();
            throw e;
        }
        finish();
    }
    void rollback() override
    {
        if (!core_->active())
            return;
        QSqlDatabase d = core_->s->db();
        const bool ok = d.rollback();
        finish();
        if (!ok)
            throw errorOf(d.lastError(), QStringLiteral("A tranzakció nem vonható vissza."));
    }
    bool isActive() const override { return core_->active(); }

private:
    std::shared_ptr<OdbcTxCore> core_;
    void finish()
    {
        core_->s->inTransaction = false;
        ++core_->s->txSerial;
    }
};

class OdbcConnection final : public Connection {
public:
    OdbcConnection(std::shared_ptr<OdbcSession> s, QString driverName)
        : s_(std::move(s)), driverName_(std::move(driverName)) {}
    ~OdbcConnection() override { s_->close(); }
    QString driverName() const override { return driverName_; }
    QString databaseName() const override { return s_->database; }
    std::unique_ptr<Transaction> begin(TxMode) override
    {
        s_->ensureOpen();
        if (s_->inTransaction)
            throw DbError(QStringLiteral("Az ODBC-kapcsolaton egyszerre csak egy tranzakció lehet nyitva."));
        QSqlDatabase d = s_->db();
        if (!d.transaction())
            throw errorOf(d.lastError(), QStringLiteral("A tranzakció nem indítható."));
        s_->inTransaction = true;
        auto core = std::make_shared<OdbcTxCore>();
        core->s = s_;
        core->serial = ++s_->txSerial;
        return std::make_unique<OdbcTransaction>(std::move(core));
    }
    void close() override { s_->close(); }
    bool isOpen() const override { return s_->isOpen(); }

private:
    std::shared_ptr<OdbcSession> s_;
    QString driverName_;
};

QString reportedDbmsName(const QSqlDatabase& db)
{
#ifdef VL_HAVE_ODBC_INFO
    const QVariant h = db.driver()->handle();
    // QODBC hands out its connection handle (SQLHDBC, a void*).
    if (h.isValid() && (qstrcmp(h.typeName(), "SQLHANDLE") == 0 || qstrcmp(h.typeName(), "void*") == 0)) {
        void* hdbc = *static_cast<void* const*>(h.constData());
        if (hdbc) {
            char buf[256] = {};
            short len = 0;
            const short rc = SQLGetInfo(hdbc, 17 /* SQL_DBMS_NAME */, buf, short(sizeof buf - 1), &len);
            if (rc == 0 || rc == 1) // SQL_SUCCESS, SQL_SUCCESS_WITH_INFO
                return QString::fromUtf8(buf).trimmed();
        }
    }
#else
    Q_UNUSED(db);
#endif
    return QString();
}

} // namespace

std::unique_ptr<Connection> openOdbc(const ConnectParams& params)
{
    static QAtomicInteger<quint64> counter;
    const QString name = QStringLiteral("vl_odbc_%1").arg(++counter);
    auto s = std::make_shared<OdbcSession>();
    s->database = params.database;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        s->connName = name;
        if (!d.isValid())
            throw DbError(QStringLiteral("Az ODBC-meghajtó nem érhető el."));
        d.setDatabaseName(params.database);
        if (!params.user.isEmpty())
            d.setUserName(params.user);
        if (!params.password.isEmpty())
            d.setPassword(params.password);
        if (!d.open())
            throw errorOf(d.lastError(), QStringLiteral("Az ODBC-adatforrás nem nyitható meg: %1").arg(params.database));
    }
    const QString dbms = odbcDriverName(reportedDbmsName(s->db()));
    return std::make_unique<OdbcConnection>(std::move(s), dbms);
}

QString odbcDriverName(const QString& reportedDbmsName)
{
    QString dbms = reportedDbmsName.trimmed().toUpper();
    if (dbms == u"MICROSOFT SQL SERVER")
        dbms = QStringLiteral("SQL SERVER");
    if (dbms.isEmpty())
        dbms = QStringLiteral("ODBC");
    return dbms;
}

} // namespace vl::db::detail
