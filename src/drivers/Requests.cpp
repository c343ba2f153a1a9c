#include "drivers/Requests.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

namespace vl::drivers {
namespace {

using vl::operations::PhoneAction;
using vl::operations::PhoneKey;
using vl::operations::PhoneMark;

QString parse(const QByteArray& body, QJsonDocument* doc) {
    QJsonParseError e;
    *doc = QJsonDocument::fromJson(body, &e);
    if (e.error != QJsonParseError::NoError) return QStringLiteral("A kérés nem érvényes JSON.");
    return QString();
}

QString unknownField(const QJsonObject& o, const QSet<QString>& allowed, const QString& where) {
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key())) return where + QStringLiteral("ismeretlen mező: ") + it.key().left(40);
    return QString();
}

QString wrongType(const QString& where, const QString& field, const QString& type) {
    return where + QStringLiteral("a(z) \"%1\" mező típusa hibás (%2 kell).").arg(field, type);
}

} // namespace

QString ReadLoginRequest(const QByteArray& body, LoginRequest* out) {
    QJsonDocument doc;
    if (QString e = parse(body, &doc); !e.isEmpty()) return e;
    if (!doc.isObject()) return QStringLiteral("A belépés adatai hiányoznak.");
    const QJsonObject o = doc.object();
    if (QString e = unknownField(o, {QStringLiteral("driver"), QStringLiteral("pin")}, QString()); !e.isEmpty())
        return e.left(1).toUpper() + e.mid(1);
    for (const char* f : {"driver", "pin"}) {
        const QString name = QString::fromLatin1(f);
        if (!o.contains(name)) return QStringLiteral("Hiányzik a(z) \"%1\" mező.").arg(name);
        if (!o.value(name).isString()) return wrongType(QStringLiteral("A belépésben "), name, QStringLiteral("szöveg"));
    }
    out->driver = o.value(QStringLiteral("driver")).toString().trimmed();
    out->pin = o.value(QStringLiteral("pin")).toString();
    return QString();
}

QString ReadMarksRequest(const QByteArray& body, const QString& driver, QList<PhoneMark>* out) {
    QJsonDocument doc;
    if (QString e = parse(body, &doc); !e.isEmpty()) return e;
    if (!doc.isArray()) return QStringLiteral("A jelölések listája hiányzik.");
    const QJsonArray list = doc.array();
    if (list.isEmpty()) return QStringLiteral("A jelölések listája üres.");
    if (list.size() > kMaxMarksPerRequest)
        return QStringLiteral("Egy kérésben legfeljebb %1 jelölés küldhető.").arg(kMaxMarksPerRequest);
    static const QSet<QString> allowed{QStringLiteral("id"),     QStringLiteral("key"),    QStringLiteral("action"),
                                       QStringLiteral("reason"), QStringLiteral("remark"), QStringLiteral("amount"),
                                       QStringLiteral("seen")};
    QList<PhoneMark> marks;
    QSet<QString> ids;
    for (int i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("%1. jelölés: ").arg(i + 1);
        if (!list.at(i).isObject()) return where + QStringLiteral("nem objektum.");
        const QJsonObject o = list.at(i).toObject();
        if (QString e = unknownField(o, allowed, where); !e.isEmpty()) return e;
        for (const char* f : {"id", "key", "action", "reason", "remark", "seen"}) {
            const QString name = QString::fromLatin1(f);
            if (o.contains(name) && !o.value(name).isString()) return wrongType(where, name, QStringLiteral("szöveg"));
        }
        for (const char* f : {"id", "key", "action", "seen"})
            if (!o.contains(QString::fromLatin1(f)))
                return where + QStringLiteral("hiányzik a(z) \"%1\" mező.").arg(QString::fromLatin1(f));
        PhoneMark m;
        m.driverCode = driver;
        m.requestId = o.value(QStringLiteral("id")).toString();
        if (!vl::operations::ValidRequestId(m.requestId))
            return where + QStringLiteral("az azonosító 1–64 betű, számjegy, _ vagy - lehet.");
        if (ids.contains(m.requestId)) return where + QStringLiteral("az azonosító kétszer szerepel a kérésben.");
        ids.insert(m.requestId);
        bool keyOk = false;
        m.key = PhoneKey::parse(o.value(QStringLiteral("key")).toString(), &keyOk);
        if (!keyOk) return where + QStringLiteral("a tevékenység kulcsa hibás.");
        const QString action = o.value(QStringLiteral("action")).toString();
        if (action == QStringLiteral("done")) m.action = PhoneAction::Done;
        else if (action == QStringLiteral("notdone")) m.action = PhoneAction::NotDone;
        else if (action == QStringLiteral("undone")) m.action = PhoneAction::Undone;
        else if (action == QStringLiteral("cash")) m.action = PhoneAction::Cash;
        else return where + QStringLiteral("ismeretlen művelet: ") + action.left(20);
        if ((m.action == PhoneAction::Cash) != m.key.payment)
            return where + (m.key.payment ? QStringLiteral("fizetési sorra csak \"cash\" küldhető.")
                                          : QStringLiteral("\"cash\" csak fizetési sorra küldhető."));
        m.seenState = o.value(QStringLiteral("seen")).toString();
        if (m.seenState.size() > 10) return where + QStringLiteral("a látott státusz hibás.");
        m.reason = o.value(QStringLiteral("reason")).toString();
        m.remark = o.value(QStringLiteral("remark")).toString();
        if (m.reason.size() > 10) return where + QStringLiteral("az ok kódja hibás.");
        if (m.remark.size() > 250) return where + QStringLiteral("a megjegyzés legfeljebb 250 karakter lehet.");
        if (m.action != PhoneAction::NotDone && o.contains(QStringLiteral("reason")))
            return where + QStringLiteral("ok csak \"notdone\" mellé adható.");
        if (m.action == PhoneAction::NotDone && m.reason.isEmpty())
            return where + QStringLiteral("a \"Nem végezhető el\" jelöléshez ok kell.");
        if (m.action == PhoneAction::Cash) {
            const QJsonValue a = o.value(QStringLiteral("amount"));
            if (!a.isDouble()) return wrongType(where, QStringLiteral("amount"), QStringLiteral("egész szám"));
            const double v = a.toDouble();
            if (!std::isfinite(v) || v != std::floor(v) || v < 0 || v > 1e12)
                return wrongType(where, QStringLiteral("amount"), QStringLiteral("egész szám"));
            m.amount = qint64(v);
        } else if (o.contains(QStringLiteral("amount"))) {
            return where + QStringLiteral("összeg csak \"cash\" mellé adható.");
        }
        marks.append(m);
    }
    *out = marks;
    return QString();
}

} // namespace vl::drivers
