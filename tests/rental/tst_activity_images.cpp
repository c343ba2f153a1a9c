// The pictures of an activity: what counts as a real JPEG or PNG, storing once
// per request id, the per-activity limit, the lists the office reads.
#include "RentalTestDb.h"
#include "rental/ActivityImages.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace vl::rental;

namespace {

QByteArray encoded(int w, int h, const char* format, QColor colour = Qt::darkBlue) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(QRect(w / 4, h / 4, w / 2, h / 2), colour);
    p.end();
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format);
    return out;
}

ActivityImageKey key(int tetelsor, const char* datum = "2026.12.10") {
    ActivityImageKey k;
    k.bizonylat = 7;
    k.tetelsor = tetelsor;
    k.sorszam = 1;
    k.datum = QString::fromLatin1(datum);
    k.tevsorszam = 1;
    return k;
}

vl::shell::Session service() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("SOFSZ");
    return s;
}

} // namespace

class TestActivityImages : public QObject {
    Q_OBJECT
    vl::rental::test::TestDb db;

    NewActivityImage photo(int tetelsor, const QByteArray& bytes, const QString& id) {
        NewActivityImage n;
        n.key = key(tetelsor);
        n.mime = QStringLiteral("image/jpeg");
        n.bytes = bytes;
        n.driverCode = QStringLiteral("S01");
        n.requestId = id;
        return n;
    }

private slots:
    void initTestCase() {
        db.create(false);
        auto tx = db.conn->begin();
        // Two activities of contract 7 (a visit and a take-back) on 2026.12.10.
        for (int line : {1, 2})
            tx->exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM,"
                                    " TEVKOD, TEVALLAPOT, SOFORKOD) VALUES (7, 1, :t, 1, '2026.12.10', 1, :kod, 'T', 'S01')"),
                     {{QStringLiteral("t"), line}, {QStringLiteral("kod"), line == 1 ? QStringLiteral("KAR") : QStringLiteral("VSZ")}});
        tx->commit();
    }

    void checkBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("declared");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        const QByteArray jpeg = encoded(640, 480, "JPG");
        const QByteArray png = encoded(300, 120, "PNG");
        QTest::newRow("jpeg") << jpeg << "image/jpeg" << true << "";
        QTest::newRow("png, type in capitals") << png << "IMAGE/PNG" << true << "";
        QTest::newRow("png named jpeg") << png << "image/jpeg" << false
                                        << "A kép tartalma (image/png) nem egyezik a megadott típussal (image/jpeg).";
        QTest::newRow("gif") << QByteArray("GIF89a\x01\x00\x01\x00", 10) << "image/gif" << false << "Ez nem JPEG vagy PNG kép.";
        QTest::newRow("text with a jpeg name") << QByteArray("<script>alert(1)</script>") << "image/jpeg" << false
                                               << "Ez nem JPEG vagy PNG kép.";
        QTest::newRow("png signature, then nothing") << png.left(40) << "image/png" << false << "A kép nem olvasható (sérült PNG).";
        QTest::newRow("jpeg signature, then garbage") << (jpeg.left(3) + QByteArray(500, 'x')) << "image/jpeg" << false
                                                      << "A kép nem olvasható (sérült JPEG).";
        QTest::newRow("jpeg cut short") << jpeg.left(jpeg.size() - 200) << "image/jpeg" << false
                                        << "A kép nem olvasható (sérült JPEG).";
        QTest::newRow("png without its end") << png.left(png.size() - 12) << "image/png" << false
                                             << "A kép nem olvasható (sérült PNG).";
        QTest::newRow("png with its end, broken inside") << (png.left(33) + QByteArray(100, 'z') + png.right(12))
                                                         << "image/png" << false << "A kép nem olvasható (sérült PNG).";
        QTest::newRow("empty") << QByteArray() << "image/png" << false << "A kép üres.";
        QTest::newRow("over the side limit") << encoded(4100, 10, "PNG") << "image/png" << false
                                             << "A kép mérete (4100 × 10 képpont) nagyobb a megengedettnél (4096 képpont).";
    }
    void checkBytes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, declared);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        const ImageCheck c = CheckImageBytes(bytes, declared, ActivityImageLimits{});
        QCOMPARE(c.text, text);
        QCOMPARE(c.ok, ok);
        if (ok) QVERIFY(c.width > 0 && c.height > 0);
    }

    void byteLimitAndSizes() {
        ActivityImageLimits small;
        small.maxBytes = 100;
        QCOMPARE(CheckImageBytes(encoded(64, 64, "PNG"), QStringLiteral("image/png"), small).text,
                 QStringLiteral("A kép nagyobb a megengedettnél (100 bájt)."));
        QCOMPARE(ParseByteSize(QStringLiteral("2M")), qint64(2 * 1024 * 1024));
        QCOMPARE(ParseByteSize(QStringLiteral(" 512k ")), qint64(512 * 1024));
        QCOMPARE(ParseByteSize(QStringLiteral("3000")), qint64(3000));
        QCOMPARE(ParseByteSize(QStringLiteral("-1")), qint64(0));
        QCOMPARE(ParseByteSize(QStringLiteral("sok")), qint64(0));
    }

    void storedOncePerRequestId() {
        const QByteArray a = encoded(200, 100, "JPG", Qt::red), b = encoded(200, 100, "JPG", Qt::green);
        auto tx = db.conn->begin();
        const StoredActivityImage first = StoreActivityImage(*tx, service(), photo(1, a, QStringLiteral("img-1")),
                                                             ActivityImageLimits{}, QStringLiteral("2026.12.10 09:00:00"));
        QCOMPARE(int(first.kind), int(StoredActivityImage::Kind::Stored));
        QCOMPARE(first.count, 1);
        const StoredActivityImage again = StoreActivityImage(*tx, service(), photo(1, a, QStringLiteral("img-1")),
                                                             ActivityImageLimits{});
        QCOMPARE(int(again.kind), int(StoredActivityImage::Kind::Repeated));
        QCOMPARE(again.id, first.id);
        QCOMPARE(again.count, 1);
        const StoredActivityImage other = StoreActivityImage(*tx, service(), photo(1, b, QStringLiteral("img-1")),
                                                             ActivityImageLimits{});
        QCOMPARE(int(other.kind), int(StoredActivityImage::Kind::Refused));
        QCOMPARE(other.text, QStringLiteral("Ezzel az azonosítóval (img-1) már egy másik kép érkezett."));
        // Another driver may use the same id.
        NewActivityImage s2 = photo(1, b, QStringLiteral("img-1"));
        s2.driverCode = QStringLiteral("S02");
        QCOMPARE(int(StoreActivityImage(*tx, service(), s2, ActivityImageLimits{}).kind), int(StoredActivityImage::Kind::Stored));
        tx->commit();

        auto rtx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const QList<ActivityImageInfo> list = ListActivityImages(*rtx, key(1));
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).driverCode, QStringLiteral("S01"));
        QCOMPARE(list.at(0).user, QStringLiteral("SOFSZ"));
        QCOMPARE(list.at(0).when, QStringLiteral("2026.12.10 09:00:00"));
        QCOMPARE(list.at(0).size, qint64(a.size()));
        QCOMPARE(list.at(0).width, 0);   // as the caller gave it
        QString mime;
        QCOMPARE(ReadActivityImage(*rtx, list.at(0).id, &mime), a);
        QCOMPARE(mime, QStringLiteral("image/jpeg"));
        QVERIFY(ReadActivityImage(*rtx, 999999).isEmpty());
    }

    void refusals() {
        auto tx = db.conn->begin();
        NewActivityImage gone = photo(1, encoded(10, 10, "JPG"), QStringLiteral("gone"));
        gone.key.datum = QStringLiteral("2026.12.11");
        QCOMPARE(StoreActivityImage(*tx, service(), gone, ActivityImageLimits{}).text,
                 QStringLiteral("Ez a tevékenység már nincs meg: az iroda közben módosította."));
        NewActivityImage sig = photo(2, encoded(10, 10, "PNG"), QStringLiteral("sig-0"));
        sig.kind = ActivityImageKind::Signature;
        sig.mime = QStringLiteral("image/png");
        QCOMPARE(StoreActivityImage(*tx, service(), sig, ActivityImageLimits{}).text,
                 QStringLiteral("Az aláíráshoz meg kell adni az átvevő nevét."));
        sig.receiver = QString(61, QLatin1Char('x'));
        QCOMPARE(StoreActivityImage(*tx, service(), sig, ActivityImageLimits{}).text,
                 QStringLiteral("Az átvevő neve legfeljebb 60 karakter lehet."));
        sig.receiver = QStringLiteral("  Nagy Éva ");
        QCOMPARE(int(StoreActivityImage(*tx, service(), sig, ActivityImageLimits{}).kind), int(StoredActivityImage::Kind::Stored));
        // The limit per activity: two allowed, the third refused, nothing written.
        ActivityImageLimits two;
        two.perActivity = 2;
        QCOMPARE(int(StoreActivityImage(*tx, service(), photo(2, encoded(11, 10, "JPG"), QStringLiteral("p-2")), two).kind),
                 int(StoredActivityImage::Kind::Stored));
        QCOMPARE(StoreActivityImage(*tx, service(), photo(2, encoded(12, 10, "JPG"), QStringLiteral("p-3")), two).text,
                 QStringLiteral("Ehhez a tevékenységhez már 2 kép tartozik, többet nem lehet csatolni."));
        tx->commit();
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM FORGKEP WHERE TETELSOR = 2")), qint64(2));

        auto rtx = db.conn->begin(vl::db::TxMode::ReadOnly);
        const QList<ActivityImageInfo> take = ListContractImages(*rtx, 7, 1, QStringLiteral("VSZ"), QStringLiteral("2026.12.01"),
                                                                 QStringLiteral("2026.12.31"));
        QCOMPARE(take.size(), 2);
        QCOMPARE(int(take.at(0).kind), int(ActivityImageKind::Signature));
        QCOMPARE(take.at(0).receiver, QStringLiteral("Nagy Éva"));
        QVERIFY(ListContractImages(*rtx, 7, 1, QStringLiteral("VSZ"), QStringLiteral("2026.12.11"), QStringLiteral("2026.12.31")).isEmpty());
        const QHash<QString, int> day = CountImagesOfDay(*rtx, QStringLiteral("2026.12.10"));
        QCOMPARE(day.value(key(1).text()), 2);
        QCOMPARE(day.value(key(2).text()), 2);
        QCOMPARE(key(2).text(), QStringLiteral("7.1.2.1.2026.12.10.1"));
        QVERIFY(CountImagesOfDay(*rtx, QStringLiteral("2026.12.11")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestActivityImages)
#include "tst_activity_images.moc"
