// The failed-store log: its file and its message, with and without TRACE.
#include "shell/Queries.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace vl::shell;

class TstStoreError : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString oldCwd;
private slots:
    void initTestCase() {
        oldCwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }
    void cleanup() {
        IniClear();
        for (const QString& f : QDir(dir.path()).entryList({QStringLiteral("NEMSIKERULT_*")})) QFile::remove(dir.filePath(f));
    }

    void fileAndMessage_data() {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<bool>("listed");
        QTest::newRow("no TRACE key") << QString() << false;
        QTest::newRow("TRACE=i") << "i" << true;
        QTest::newRow("TRACE=I") << "I" << true;
        QTest::newRow("TRACE=N") << "N" << false;
    }
    void fileAndMessage() {
        QFETCH(QString, trace);
        QFETCH(bool, listed);
        if (!trace.isNull()) IniWrite(QStringLiteral("TRACE"), trace);
        TQuery q;
        q.name = QStringLiteral("qi_forgsor");
        q.params = {{QStringLiteral("bizonylat"), 12}, {QStringLiteral("nev"), QStringLiteral("O'Brien Őrség")},
                    {QStringLiteral("datum"), QVariant()}};
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const QString path = ReportStoreError(q, QStringLiteral("szerzfel"));

        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(dir.path()).canonicalFilePath());
        QVERIFY2(QRegularExpression(QStringLiteral("^NEMSIKERULT_szerzfel_qi_forgsor_\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d\\.TXT$"))
                     .match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
        QStringDecoder dec("windows-1250");
        const QString text = dec.decode(shelltest::readFile(path));
        QCOMPARE(text, QStringLiteral("Hiba történt tárolás közben. Kérem értesítse a programozót!\n\n"
                                      "Verzió=") + ProgramVersion() + QStringLiteral(",Modul=szerzfel, Query=qi_forgsor\n"
                                      "Paraméterek:\nbizonylat=12\nnev=O'Brien Őrség\ndatum=\n"));
        QString expected = QStringLiteral("Hiba történt tárolás közben. Kérem értesítse a programozót!\n\n"
                                          "Modul=szerzfel, Query=qi_forgsor\n");
        if (listed) expected += QStringLiteral("bizonylat=12\nnev=O'Brien Őrség\ndatum=\n");
        expected += QStringLiteral("\nA hibát letároltuk a ") + path + QStringLiteral(" fájlba");
        QCOMPARE(sink.texts(), QStringList{expected});
    }

    // A character windows-1250 cannot hold is replaced in the file, and the message says so.
    void unrepresentableCharacterIsReported() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        const QString path = ReportStoreError(QStringLiteral("qu_ugyfel"), QStringLiteral("ugyfel"),
                                              {{QStringLiteral("nev"), QStringLiteral("Łódź 日本")}});
        QStringDecoder dec("windows-1250");
        const QString text = dec.decode(shelltest::readFile(path));
        QVERIFY2(text.contains(QStringLiteral("nev=Łódź ??")), qPrintable(text));
        QVERIFY2(sink.last().endsWith(QStringLiteral("fájlba\n(A windows-1250 kódlapon nem ábrázolható karaktereket '?' jelre cseréltük.)")),
                 qPrintable(sink.last()));
    }

    void versionComesFromTheBuild() {
        QVERIFY(!ProgramVersion().isEmpty());
        QCOMPARE(ProgramVersion(), QStringLiteral(VORLANDA_VERSION));
        QVERIFY(AppDir().endsWith(QLatin1Char('/')));
        QCOMPARE(QFileInfo(AppDir()).canonicalFilePath(), QFileInfo(dir.path()).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(TstStoreError)
#include "tst_storeerror.moc"
