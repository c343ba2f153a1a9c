#include "rental/ActivityImages.h"

#include "shell/Ini.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QImageReader>

namespace vl::rental {

namespace {

using vl::db::Params;

const QString kKeyWhere = QStringLiteral(
    "BIZONYLAT = :bizonylat AND VERZIO = :verzio AND TETELSOR = :tetelsor AND SORSZAM = :sorszam"
    " AND DATUM = :datum AND TEVSORSZAM = :tevsorszam");

const QString kColumns = QStringLiteral(
    "ID, BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, FAJTA, ATVEVO, TIPUS, MERET, SZELES, MAGAS,"
    " SOFORKOD, JUZER, MIKOR");

Params keyParams(const ActivityImageKey& k) {
    return {{QStringLiteral("bizonylat"), k.bizonylat}, {QStringLiteral("verzio"), k.verzio},
            {QStringLiteral("tetelsor"), k.tetelsor},   {QStringLiteral("sorszam"), k.sorszam},
            {QStringLiteral("datum"), k.datum},         {QStringLiteral("tevsorszam"), k.tevsorszam}};
}

// The activity key of the current row.
ActivityImageKey keyOf(const vl::db::RowSet& rs) {
    ActivityImageKey k;
    k.bizonylat = rs.integer(QStringLiteral("BIZONYLAT"));
    k.verzio = rs.integer(QStringLiteral("VERZIO"));
    k.tetelsor = rs.integer(QStringLiteral("TETELSOR"));
    k.sorszam = rs.integer(QStringLiteral("SORSZAM"));
    k.datum = rs.text(QStringLiteral("DATUM")).trimmed();
    k.tevsorszam = rs.integer(QStringLiteral("TEVSORSZAM"));
    return k;
}

QList<ActivityImageInfo> readInfos(vl::db::RowSet rs) {
    QList<ActivityImageInfo> out;
    while (rs.next()) {
        ActivityImageInfo i;
        i.id = rs.integer(QStringLiteral("ID"));
        i.key = keyOf(rs);
        i.kind = rs.text(QStringLiteral("FAJTA")).trimmed() == QLatin1String("A") ? ActivityImageKind::Signature
                                                                                  : ActivityImageKind::Photo;
        i.receiver = rs.text(QStringLiteral("ATVEVO")).trimmed();
        i.mime = rs.text(QStringLiteral("TIPUS")).trimmed();
        i.size = rs.integer(QStringLiteral("MERET"));
        i.width = int(rs.integer(QStringLiteral("SZELES")));
        i.height = int(rs.integer(QStringLiteral("MAGAS")));
        i.driverCode = rs.text(QStringLiteral("SOFORKOD")).trimmed();
        i.user = rs.text(QStringLiteral("JUZER")).trimmed();
        i.when = rs.text(QStringLiteral("MIKOR")).trimmed();
        out.append(i);
    }
    return out;
}

int countOf(vl::db::Transaction& tx, const ActivityImageKey& k) {
    vl::db::RowSet rs = tx.query(QStringLiteral("SELECT COUNT(*) AS N FROM FORGKEP WHERE ") + kKeyWhere, keyParams(k));
    return rs.next() ? int(rs.integer(QStringLiteral("N"))) : 0;
}

QString sizeText(qint64 bytes) {
    if (bytes % (1024 * 1024) == 0) return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes % 1024 == 0) return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bájt").arg(bytes);
}

} // namespace

QString ActivityImageKey::text() const {
    return QStringLiteral("%1.%2.%3.%4.%5.%6").arg(bizonylat).arg(verzio).arg(tetelsor).arg(sorszam).arg(datum).arg(
        tevsorszam);
}

QString ActivityImageKindCode(ActivityImageKind k) {
    return k == ActivityImageKind::Signature ? QStringLiteral("A") : QStringLiteral("F");
}

QString ActivityImageKindName(ActivityImageKind k) {
    return k == ActivityImageKind::Signature ? QStringLiteral("Aláírás") : QStringLiteral("Fénykép");
}

qint64 ParseByteSize(const QString& text) {
    QString t = text.trimmed().toUpper();
    qint64 unit = 1;
    if (t.endsWith(QLatin1Char('K'))) unit = 1024;
    else if (t.endsWith(QLatin1Char('M'))) unit = 1024 * 1024;
    if (unit != 1) t.chop(1);
    bool ok = false;
    const qint64 n = t.trimmed().toLongLong(&ok);
    if (!ok || n <= 0 || n > (qint64(1) << 40) / unit) return 0;
    return n * unit;
}

ActivityImageLimits ReadActivityImageLimits() {
    ActivityImageLimits l;
    if (const qint64 b = ParseByteSize(vl::shell::IniValue(QStringLiteral("KEPMAX"))); b > 0) l.maxBytes = b;
    bool ok = false;
    const int n = vl::shell::IniValue(QStringLiteral("KEPDB")).trimmed().toInt(&ok);
    if (ok && n > 0) l.perActivity = n;
    return l;
}

ImageCheck CheckImageBytes(const QByteArray& bytes, const QString& declaredMime, const ActivityImageLimits& limits) {
    ImageCheck c;
    static const QByteArray pngMagic("\x89PNG\r\n\x1a\n", 8);
    const bool isPng = bytes.startsWith(pngMagic);
    const bool isJpeg = bytes.size() > 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
    const QString declared = declaredMime.trimmed().toLower();
    if (bytes.isEmpty()) {
        c.text = QStringLiteral("A kép üres.");
        return c;
    }
    if (bytes.size() > limits.maxBytes) {
        c.text = QStringLiteral("A kép nagyobb a megengedettnél (%1).").arg(sizeText(limits.maxBytes));
        return c;
    }
    if (!isPng && !isJpeg) {
        c.text = QStringLiteral("Ez nem JPEG vagy PNG kép.");
        return c;
    }
    c.mime = isPng ? QStringLiteral("image/png") : QStringLiteral("image/jpeg");
    if (declared != c.mime) {
        c.text = QStringLiteral("A kép tartalma (%1) nem egyezik a megadott típussal (%2).").arg(c.mime, declared.left(40));
        return c;
    }
    // A whole file ends as its format says: a JPEG with its end marker, a PNG
    // with its end chunk (a cut-off upload decodes partly, so the decode alone
    // does not tell).
    const bool whole = isPng ? bytes.right(12).startsWith(QByteArray("\0\0\0\0IEND", 8))
                             : bytes.endsWith(QByteArray("\xFF\xD9", 2));
    if (!whole) {
        c.text = QStringLiteral("A kép nem olvasható (sérült %1).").arg(isPng ? QStringLiteral("PNG") : QStringLiteral("JPEG"));
        return c;
    }
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, isPng ? "png" : "jpeg");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) {
        c.text = QStringLiteral("A kép nem olvasható (sérült %1).").arg(isPng ? QStringLiteral("PNG") : QStringLiteral("JPEG"));
        return c;
    }
    if (size.width() > limits.maxSide || size.height() > limits.maxSide) {
        c.text = QStringLiteral("A kép mérete (%1 × %2 képpont) nagyobb a megengedettnél (%3 képpont).")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(limits.maxSide);
        return c;
    }
    const QImage img = reader.read();
    if (img.isNull()) {
        c.text = QStringLiteral("A kép nem olvasható (sérült %1).").arg(isPng ? QStringLiteral("PNG") : QStringLiteral("JPEG"));
        return c;
    }
    c.ok = true;
    c.width = img.width();
    c.height = img.height();
    return c;
}

StoredActivityImage StoreActivityImage(vl::db::Transaction& tx, const vl::shell::Session& session,
                                       const NewActivityImage& image, const ActivityImageLimits& limits,
                                       const QString& now) {
    StoredActivityImage r;
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(image.bytes, QCryptographicHash::Sha256).toHex());
    if (!image.requestId.isEmpty()) {
        vl::db::RowSet rs = tx.query(
            QStringLiteral("SELECT ID, HASH, BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM FROM FORGKEP"
                           " WHERE SOFORKOD = :sofor AND KERES = :keres"),
            {{QStringLiteral("sofor"), image.driverCode}, {QStringLiteral("keres"), image.requestId}});
        if (rs.next()) {
            const ActivityImageKey k = keyOf(rs);
            if (rs.text(QStringLiteral("HASH")).trimmed() != hash || !(k == image.key)) {
                r.text = QStringLiteral("Ezzel az azonosítóval (%1) már egy másik kép érkezett.").arg(image.requestId);
                return r;
            }
            r.kind = StoredActivityImage::Kind::Repeated;
            r.id = rs.integer(QStringLiteral("ID"));
            r.count = countOf(tx, image.key);
            return r;
        }
    }
    {
        vl::db::RowSet rs =
            tx.query(QStringLiteral("SELECT COUNT(*) AS N FROM FORGTEV WHERE ") + kKeyWhere, keyParams(image.key));
        if (!rs.next() || rs.integer(QStringLiteral("N")) == 0) {
            r.text = QStringLiteral("Ez a tevékenység már nincs meg: az iroda közben módosította.");
            return r;
        }
    }
    if (image.receiver.size() > 60) {
        r.text = QStringLiteral("Az átvevő neve legfeljebb 60 karakter lehet.");
        return r;
    }
    if (image.kind == ActivityImageKind::Signature && image.receiver.trimmed().isEmpty()) {
        r.text = QStringLiteral("Az aláíráshoz meg kell adni az átvevő nevét.");
        return r;
    }
    const int count = countOf(tx, image.key);
    if (count >= limits.perActivity) {
        r.text = QStringLiteral("Ehhez a tevékenységhez már %1 kép tartozik, többet nem lehet csatolni.").arg(count);
        return r;
    }
    vl::db::RowSet idRs = tx.query(QStringLiteral("SELECT NEXT VALUE FOR GEN_FORGKEP_ID AS ID FROM RDB$DATABASE"));
    idRs.next();
    const qint64 id = idRs.integer(QStringLiteral("ID"));
    Params p = keyParams(image.key);
    p.push_back({QStringLiteral("id"), id});
    p.push_back({QStringLiteral("fajta"), ActivityImageKindCode(image.kind)});
    p.push_back({QStringLiteral("atvevo"), image.receiver.trimmed().isEmpty() ? QVariant() : QVariant(image.receiver.trimmed())});
    p.push_back({QStringLiteral("tipus"), image.mime});
    p.push_back({QStringLiteral("kep"), image.bytes});
    p.push_back({QStringLiteral("meret"), qint64(image.bytes.size())});
    p.push_back({QStringLiteral("szeles"), image.width});
    p.push_back({QStringLiteral("magas"), image.height});
    p.push_back({QStringLiteral("hash"), hash});
    p.push_back({QStringLiteral("sofor"), image.driverCode.isEmpty() ? QVariant() : QVariant(image.driverCode)});
    p.push_back({QStringLiteral("keres"), image.requestId.isEmpty() ? QVariant() : QVariant(image.requestId)});
    p.push_back({QStringLiteral("juzer"), session.userCode});
    p.push_back({QStringLiteral("mikor"), now.isEmpty() ? QDateTime::currentDateTime().toString(
                                                               QStringLiteral("yyyy.MM.dd hh:mm:ss"))
                                                         : now});
    tx.exec(QStringLiteral("INSERT INTO FORGKEP (ID, BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, FAJTA,"
                           " ATVEVO, TIPUS, KEP, MERET, SZELES, MAGAS, HASH, SOFORKOD, KERES, JUZER, MIKOR)"
                           " VALUES (:id, :bizonylat, :verzio, :tetelsor, :sorszam, :datum, :tevsorszam, :fajta,"
                           " :atvevo, :tipus, :kep, :meret, :szeles, :magas, :hash, :sofor, :keres, :juzer, :mikor)"),
            p);
    r.kind = StoredActivityImage::Kind::Stored;
    r.id = id;
    r.count = count + 1;
    return r;
}

QList<ActivityImageInfo> ListActivityImages(vl::db::Transaction& tx, const ActivityImageKey& key) {
    return readInfos(tx.query(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM FORGKEP WHERE ") + kKeyWhere +
                                  QStringLiteral(" ORDER BY ID"),
                              keyParams(key)));
}

QList<ActivityImageInfo> ListContractImages(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio,
                                            const QString& tevkod, const QString& from, const QString& to) {
    return readInfos(tx.query(
        QStringLiteral("SELECT K.ID, K.BIZONYLAT, K.VERZIO, K.TETELSOR, K.SORSZAM, K.DATUM, K.TEVSORSZAM, K.FAJTA,"
                       " K.ATVEVO, K.TIPUS, K.MERET, K.SZELES, K.MAGAS, K.SOFORKOD, K.JUZER, K.MIKOR"
                       " FROM FORGKEP K JOIN FORGTEV T ON T.BIZONYLAT = K.BIZONYLAT AND T.VERZIO = K.VERZIO"
                       " AND T.TETELSOR = K.TETELSOR AND T.SORSZAM = K.SORSZAM AND T.DATUM = K.DATUM"
                       " AND T.TEVSORSZAM = K.TEVSORSZAM"
                       " WHERE K.BIZONYLAT = :bizonylat AND K.VERZIO = :verzio AND T.TEVKOD = :tevkod"
                       " AND K.DATUM >= :tol AND K.DATUM <= :ig ORDER BY K.ID"),
        {{QStringLiteral("bizonylat"), bizonylat},
         {QStringLiteral("verzio"), verzio},
         {QStringLiteral("tevkod"), tevkod},
         {QStringLiteral("tol"), from},
         {QStringLiteral("ig"), to}}));
}

QHash<QString, int> CountImagesOfDay(vl::db::Transaction& tx, const QString& datum) {
    QHash<QString, int> out;
    vl::db::RowSet rs = tx.query(
        QStringLiteral("SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, COUNT(*) AS N FROM FORGKEP"
                       " WHERE DATUM = :datum GROUP BY BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM"),
        {{QStringLiteral("datum"), datum}});
    while (rs.next()) {
        const ActivityImageKey k = keyOf(rs);
        out.insert(k.text(), int(rs.integer(QStringLiteral("N"))));
    }
    return out;
}

QByteArray ReadActivityImage(vl::db::Transaction& tx, qint64 id, QString* mime) {
    vl::db::RowSet rs = tx.query(QStringLiteral("SELECT TIPUS, KEP FROM FORGKEP WHERE ID = :id"), {{QStringLiteral("id"), id}});
    if (!rs.next()) return {};
    if (mime) *mime = rs.text(QStringLiteral("TIPUS")).trimmed();
    return rs.value(QStringLiteral("KEP")).toByteArray();
}

} // namespace vl::rental
