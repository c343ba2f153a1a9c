#pragma once
// Pictures kept with an activity (FORGKEP): photos taken on site and the
// receiver's signature with his name, each keyed by its activity (FORGTEV's
// key), with who sent it and when.
//
//   ActivityImageLimits lim = ReadActivityImageLimits();       // PKR.INI KEPMAX, KEPDB
//   ImageCheck c = CheckImageBytes(bytes, "image/jpeg", lim);  // a real JPEG/PNG?
//   NewActivityImage n{key, ActivityImageKind::Photo, "", c.mime, bytes, "S01", "img-1", c.width, c.height};
//   StoredActivityImage r = StoreActivityImage(tx, session, n, lim, now);
//
// An image is stored once: the same driver sending the same request id with
// the same bytes again changes nothing and gets the first row back; the same
// id with other bytes is refused. An activity holds at most `perActivity`
// images. The store writes in the caller's transaction and never commits.
#include "db/Database.h"
#include "shell/Session.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace vl::rental {

// FORGTEV's key.
struct ActivityImageKey {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString datum;          // 'yyyy.mm.dd'
    qint64 tevsorszam = 0;
    // "<bizonylat>.<verzio>.<tetelsor>.<sorszam>.<datum>.<tevsorszam>"
    QString text() const;
    bool operator==(const ActivityImageKey& o) const = default;
};

enum class ActivityImageKind { Photo, Signature };
// 'F' (fénykép) or 'A' (aláírás), as FORGKEP.FAJTA keeps it.
QString ActivityImageKindCode(ActivityImageKind k);
// "Fénykép" or "Aláírás".
QString ActivityImageKindName(ActivityImageKind k);

struct ActivityImageLimits {
    qint64 maxBytes = 2 * 1024 * 1024;   // KEPMAX: bytes, or with K / M after the number
    int perActivity = 10;                // KEPDB
    int maxSide = 4096;                  // pixels on either side (a phone sends at most 1600)
};
// The limits of the configuration file in use over the defaults; a value
// that is not a positive number leaves the default.
ActivityImageLimits ReadActivityImageLimits();
// Reads a KEPMAX value: "2097152", "2048K", "2M"; 0 when it is not such.
qint64 ParseByteSize(const QString& text);

struct ImageCheck {
    bool ok = false;
    QString mime;           // "image/jpeg" or "image/png" as the bytes are
    int width = 0, height = 0;
    QString text;           // why not (Hungarian), "" when ok
};
// Whether `bytes` are a whole JPEG or PNG of the declared type: the format's
// signature, the type named, a full decode, the side limit, the byte limit.
ImageCheck CheckImageBytes(const QByteArray& bytes, const QString& declaredMime, const ActivityImageLimits& limits);

struct NewActivityImage {
    ActivityImageKey key;
    ActivityImageKind kind = ActivityImageKind::Photo;
    QString receiver;       // the receiver's name (a signature), at most 60
    QString mime;           // "image/jpeg" or "image/png" (as CheckImageBytes found)
    QByteArray bytes;
    QString driverCode;     // who took it ("" from the desk)
    QString requestId;      // the phone's id of the upload ("" none)
    int width = 0, height = 0;
};

struct StoredActivityImage {
    enum class Kind { Stored, Repeated, Refused } kind = Kind::Refused;
    qint64 id = 0;          // the row (Stored, Repeated)
    int count = 0;          // the activity's images afterwards
    QString text;           // why refused (Hungarian)
};

// Stores one image under the activity in `tx` (which must exist: else refused).
// `now` is 'yyyy.MM.dd hh:mm:ss' (empty: the clock); the session's user is
// written as JUZER.
StoredActivityImage StoreActivityImage(vl::db::Transaction& tx, const vl::shell::Session& session,
                                       const NewActivityImage& image, const ActivityImageLimits& limits,
                                       const QString& now = QString());

struct ActivityImageInfo {
    qint64 id = 0;
    ActivityImageKey key;
    ActivityImageKind kind = ActivityImageKind::Photo;
    QString receiver, mime, driverCode, user, when;
    int width = 0, height = 0;
    qint64 size = 0;
};
// The images of one activity, in the order stored.
QList<ActivityImageInfo> ListActivityImages(vl::db::Transaction& tx, const ActivityImageKey& key);
// The images of a contract's activities of one kind (TEVKOD) on the days
// `from`..`to` (inclusive), in the order stored: the handover document's.
QList<ActivityImageInfo> ListContractImages(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio,
                                            const QString& tevkod, const QString& from, const QString& to);
// How many images each activity of a day has (key text -> count); activities
// without any are not listed.
QHash<QString, int> CountImagesOfDay(vl::db::Transaction& tx, const QString& datum);
// The image's bytes; empty when there is no such row. `mime` gets its type.
QByteArray ReadActivityImage(vl::db::Transaction& tx, qint64 id, QString* mime = nullptr);

} // namespace vl::rental
