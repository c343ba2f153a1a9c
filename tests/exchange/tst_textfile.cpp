// Text files named in the database: line ends and windows-1250 bytes both
// ways, characters the code page cannot hold, saves that fail, stored paths,
// and the printout read back with pdftotext.
#include "exchange/TextFile.h"
#include "reporting/Engine.h"
#include "PdfTools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace vl::exchange;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Lowers the largest file this process may write for the life of the guard
// (the kernel refuses a longer write with EFBIG, also for root).
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit r = old;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

} // namespace

class TstTextFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // Bytes on disk -> lines -> bytes written: CR LF, CR and LF all end a line,
    // every written line ends with CR LF, Hungarian letters are windows-1250.
    void lineEndsAndBytes_data() {
        QTest::addColumn<QByteArray>("disk");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("empty") << QByteArray() << QStringList() << QByteArray();
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
        QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
        QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
        QTest::newRow("mixed, no end") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"}
                                       << QByteArray("a\r\nb\r\nc\r\nd\r\n");
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"}
                                           << QByteArray("a\r\n\r\nb\r\n");
        QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx\r\n\r\n") << QStringList{"", "", "x", ""}
                                          << QByteArray("\r\n\r\nx\r\n\r\n");
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{""} << QByteArray("\r\n");
        QTest::newRow("windows-1250") << QByteArray("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p\r\n\xD5\xDB\xC9")
                                      << QStringList{QStringLiteral("Árvíztűrő tükörfúrógép"), QStringLiteral("ŐŰÉ")}
                                      << QByteArray("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p\r\n\xD5\xDB\xC9\r\n");
        QTest::newRow("euro, quotes, tab") << QByteArray("\x80 \x84x\x94\tv\xE9ge")
                                           << QStringList{QStringLiteral("€ „x”\tvége")}
                                           << QByteArray("\x80 \x84x\x94\tv\xE9ge\r\n");
    }
    void lineEndsAndBytes() {
        QFETCH(QByteArray, disk);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, written);
        const QString path = dir.filePath(QStringLiteral("sorok.txt"));
        writeAll(path, disk);
        const TextLoad t = LoadTextFile(path);
        QVERIFY(t.exists);
        QVERIFY(t.error.isEmpty());
        QCOMPARE(t.lines, lines);
        const TextSave s = SaveTextFile(path, t.lines);
        QVERIFY2(s.ok, qPrintable(s.error));
        QVERIFY(s.unencodable.isEmpty());
        QCOMPARE(readAll(path), written);
        // The editor's text (LF only) gives back the same lines.
        QCOMPARE(EditTextLines(lines.join(QLatin1Char('\n'))), lines.size() == 1 && lines.first().isEmpty()
                                                                   ? QStringList() : lines);
    }

    // A character windows-1250 cannot hold is written as '?' and reported with
    // its place; the rest of the line is kept.
    void unencodableReplacedAndReported() {
        const QString path = dir.filePath(QStringLiteral("jelek.txt"));
        const QStringList lines{QStringLiteral("első sor"), QStringLiteral("Ár: 5 ✓ ok"), QStringLiteral("Ŵ és 😀 vége")};
        const TextSave s = SaveTextFile(path, lines);
        QVERIFY(s.ok);
        QCOMPARE(readAll(path), QByteArray("els\xF5 sor\r\n\xC1r: 5 ? ok\r\n? \xE9s ? v\xE9ge\r\n"));
        QCOMPARE(s.unencodable.size(), 3);
        QCOMPARE(s.unencodable.at(0).line, 2);
        QCOMPARE(s.unencodable.at(0).column, 7);
        QCOMPARE(s.unencodable.at(0).character, QStringLiteral("✓"));
        QCOMPARE(s.unencodable.at(1).line, 3);
        QCOMPARE(s.unencodable.at(1).column, 1);
        QCOMPARE(s.unencodable.at(2).column, 6);   // the pair counts as one character
        QCOMPARE(s.unencodable.at(2).character, QStringLiteral("😀"));
        const QString text = UnencodableText(s.unencodable);
        QVERIFY2(text.startsWith(QStringLiteral("A szöveg 3 karaktere nem írható le a fájl kódlapján (windows-1250)")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("2. sor 7. karakter: „✓” (U+2713)")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("3. sor 6. karakter: „😀” (U+1F600)")), qPrintable(text));
        // A real question mark is no replacement.
        QList<Unencodable> none;
        QCOMPARE(EncodeTextLines({QStringLiteral("Miért? Mert.")}, &none), QByteArray("Mi\xE9rt? Mert.\r\n"));
        QVERIFY(none.isEmpty());
        QVERIFY(UnencodableText(none).isEmpty());
    }

    // A save that cannot be completed leaves the old file as it was: the text
    // goes into a temporary file that replaces the old one only when whole.
    void failedSaveKeepsOldFile() {
        QTemporaryDir d;
        const QString path = d.filePath(QStringLiteral("level.txt"));
        const QByteArray old("r\xE9gi sz\xF6veg\r\n");
        writeAll(path, old);
        QStringList big;
        for (int i = 0; i < 400; ++i) big << QStringLiteral("Új sor %1, elég hosszú ahhoz, hogy ne férjen el").arg(i);
        TextSave s;
        {
            FileSizeLimit limit(4096);
            s = SaveTextFile(path, big);
        }
        QVERIFY(!s.ok);
        QVERIFY2(s.error.startsWith(QStringLiteral("A(z) \"") + path + QStringLiteral("\" fájl nem hozható létre: ")),
                 qPrintable(s.error));
        QCOMPARE(readAll(path), old);
        // No temporary file is left behind.
        QCOMPARE(QDir(d.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"level.txt"});
        // With room the same save lands whole.
        QVERIFY(SaveTextFile(path, big).ok);
        QCOMPARE(LoadTextFile(path).lines, big);
    }

    // Saves that cannot even start: the message names the path and the reason;
    // nothing is created.
    void refusedSaves_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");   // %D: the temporary folder
        QTest::newRow("missing folder") << "%D/nincs/level.txt"
                                        << "A(z) \"%D/nincs/level.txt\" fájl nem hozható létre: a mappa nem létezik: %D/nincs.";
        QTest::newRow("a folder of that name") << "%D/mappa"
                                               << "A(z) \"%D/mappa\" fájl nem hozható létre: ezen a néven mappa van.";
        QTest::newRow("empty path") << "" << "A fájl nem hozható létre: nincs megadva a fájl neve.";
        QTest::newRow("drive letter")
            << "C:\\ARLISTA\\level.txt"
            << "A(z) \"C:\\ARLISTA\\level.txt\" elérési út meghajtóbetűvel kezdődik, ilyen hely ezen a gépen nincs. "
               "Kérem, adja meg a fájl helyét meghajtóbetű nélkül (például /adat/levelek/level.txt).";
        QTest::newRow("network share")
            << "\\\\szerver\\adat\\level.txt"
            << "A(z) \"\\\\szerver\\adat\\level.txt\" hálózati megosztást nevez meg, amely ezen a gépen így nem "
               "nyitható meg. Kérem, adja meg a fájl helyi elérési útját.";
    }
    void refusedSaves() {
        QFETCH(QString, stored);
        QFETCH(QString, message);
        QTemporaryDir d;
        QDir(d.path()).mkdir(QStringLiteral("mappa"));
        stored.replace(QStringLiteral("%D"), d.path());
        message.replace(QStringLiteral("%D"), d.path());
        const TextSave s = SaveTextFile(stored, {QStringLiteral("x")});
        QVERIFY(!s.ok);
        QCOMPARE(s.error, message);
        QCOMPARE(QDir(d.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"mappa"});
        QVERIFY(QDir(d.path() + QStringLiteral("/mappa")).isEmpty());
        // Loading the same path opens nothing (a refusal is told, a missing file is no error).
        const TextLoad t = LoadTextFile(stored);
        QVERIFY(!t.exists);
        QVERIFY(t.lines.isEmpty());
    }

    // '\' in a stored path is a separator.
    void backslashIsSeparator() {
        QTemporaryDir d;
        QDir(d.path()).mkdir(QStringLiteral("arak"));
        const QString stored = d.path() + QStringLiteral("\\arak\\nyari.txt");
        QCOMPARE(LocalTextPath(stored), d.path() + QStringLiteral("/arak/nyari.txt"));
        QVERIFY(SaveTextFile(stored, {QStringLiteral("nyári árak")}).ok);
        QCOMPARE(readAll(d.path() + QStringLiteral("/arak/nyari.txt")), QByteArray("ny\xE1ri \xE1rak\r\n"));
        QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList());   // no file named with a backslash
        QCOMPARE(LoadTextFile(stored).lines, QStringList{QStringLiteral("nyári árak")});
        QCOMPARE(WithTextSuffix(QStringLiteral("/x/level")), QStringLiteral("/x/level.TXT"));
        QCOMPARE(WithTextSuffix(QStringLiteral("/x/level.txt")), QStringLiteral("/x/level.txt"));
        QCOMPARE(WithTextSuffix(QStringLiteral("/x.d/level")), QStringLiteral("/x.d/level.TXT"));
    }

    // The printout: every line on paper in order; a line longer than the page
    // is word-wrapped, not cut; an empty text still prints a page.
    void printout() {
        QStringList lines;
        for (int i = 1; i <= 70; ++i) lines << QStringLiteral("Sor %1: árvíztűrő tükörfúrógép").arg(i, 2, 10, QLatin1Char('0'));
        lines[4] = QStringLiteral("Hosszú ") + QStringLiteral("bérleti feltétel ").repeated(30) + QStringLiteral("VÉGE");
        const vl::reporting::Report r = TextPrintReport(lines, QStringLiteral("/adat/feltetelek.txt"));
        QCOMPARE(r.name, QStringLiteral("TqrTextNez"));
        QCOMPARE(r.orientation, QPageLayout::Portrait);
        QCOMPARE(r.margins, QMarginsF(10, 10, 10, 10));
        QCOMPARE(r.title.name, QStringLiteral("QRBand1"));
        QCOMPARE(r.title.fields.size(), 1);
        QCOMPARE(r.title.fields.at(0).name, QStringLiteral("QRMemo1"));
        QCOMPARE(r.title.fields.at(0).w, 190.0);
        QCOMPARE(r.title.fields.at(0).font.family, QStringLiteral("Arial"));
        QCOMPARE(r.title.fields.at(0).font.pointSize, 10.0);
        const vl::reporting::Document doc = vl::reporting::layout(r);
        QVERIFY(doc.pageCount() >= 2);
        const QString pdf = dir.filePath(QStringLiteral("szoveg.pdf"));
        QVERIFY(vl::reporting::writePdf(doc, pdf));
        vl::reporting::test::firstPagePng(pdf, QStringLiteral("tqrtextnez"));
        const QString raw = vl::reporting::test::pdfText(pdf, false);
        const QString all = raw.simplified();
        int last = -1;
        for (int i = 1; i <= 70; ++i) {
            if (i == 5) continue;
            const int at = all.indexOf(QStringLiteral("Sor %1: árvíztűrő tükörfúrógép").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY2(at > last, qPrintable(QString::number(i)));
            last = at;
        }
        QCOMPARE(all.count(QStringLiteral("bérleti feltétel")), 30);
        QVERIFY(all.contains(QStringLiteral("VÉGE")));
        // Wrapped: the long line takes several lines of the page.
        const QStringList pageLines = raw.split(QLatin1Char('\n'));
        int longParts = 0;
        for (const QString& l : pageLines)
            if (l.contains(QStringLiteral("bérleti feltétel"))) ++longParts;
        QVERIFY2(longParts >= 3, qPrintable(QString::number(longParts)));
        // An empty text prints one empty page.
        const vl::reporting::Document empty = vl::reporting::layout(TextPrintReport({}));
        QCOMPARE(empty.pageCount(), 1);
    }
};

QTEST_MAIN(TstTextFile)
#include "tst_textfile.moc"
