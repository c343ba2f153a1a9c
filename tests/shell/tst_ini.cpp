// The configuration file loader, its tables and the store that keeps includes.
#include "shell/Ini.h"
#include "util/MessageSink.h"
#include "ShellTest.h"

#include <QDate>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace vl::shell;
using shelltest::cp1250;
using shelltest::readFile;
using shelltest::writeFile;

class TstIni : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString path(const QString& n) const { return dir.filePath(n); }
    QString y4() const { return QString::number(QDate::currentDate().year()); }
    QString ya4() const { return QString::number(QDate::currentDate().addDays(-365).year()); }
    static int mode(const QString& file) {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    static void setMode(const QString& file, int m) { QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(m)), 0); }
    // Names in a folder (to see that no temporary file is left behind).
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private slots:
    void cleanup() { IniClear(); }

    void lineCases_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("comment");
        QTest::newRow("plain") << "DBSERVER=/data/pkr.fdb" << "DBSERVER" << true << "/data/pkr.fdb" << "";
        QTest::newRow("blanks trimmed, comment keeps its blanks")
            << "  WPWD  =  NONE   //  no login " << "WPWD" << true << "NONE" << "  no login ";
        QTest::newRow("lower-case key found by upper-case name") << "trace=i" << "TRACE" << true << "i" << "";
        QTest::newRow("mixed-case lookup") << "WINDOWSTATE=MAXIMIZED" << "windowState" << true << "MAXIMIZED" << "";
        QTest::newRow("value keeps later equals signs") << "A = b=c" << "A" << true << "b=c" << "";
        QTest::newRow("empty value is present") << "WORK_PATH=" << "WORK_PATH" << true << "" << "";
        QTest::newRow("no equals sign: ignored") << "DBSERVER /data/pkr.fdb" << "DBSERVER" << false << "" << "";
        QTest::newRow("star line") << "*DBSERVER=/x" << "DBSERVER" << false << "" << "";
        QTest::newRow("star after blanks") << "   * DBSERVER=/x" << "DBSERVER" << false << "" << "";
        QTest::newRow("COMMAND never entered") << "COMMAND=rm -rf /" << "COMMAND" << false << "" << "";
        QTest::newRow("equals only inside the comment") << "// DBSERVER=/x" << "DBSERVER" << false << "" << "";
        QTest::newRow("double slash starts a comment") << "LOGO_KEP=http://host/a.jpg" << "LOGO_KEP" << true << "http:"
                                                       << "host/a.jpg";
        QTest::newRow("accented value (windows-1250)") << "CEGNEV = Árvíztűrő Tükörfúrógép Kft."
                                                       << "CEGNEV" << true << "Árvíztűrő Tükörfúrógép Kft." << "";
        QTest::newRow("lower-case unknown key stays absent") << "X=1" << "Y" << false << "" << "";
    }
    void lineCases() {
        QFETCH(QString, line);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        QFETCH(QString, comment);
        writeFile(path("case.ini"), cp1250(QStringLiteral("FIRST=1\r\n") + line + QStringLiteral("\r\nLAST=9\r\n")));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("case.ini"), false));
        QVERIFY(sink.messages.isEmpty());
        QString v = QStringLiteral("stale");
        const int idx = IniRead(key, &v);
        QCOMPARE(idx >= 0, found);
        QCOMPARE(v, value);
        if (found) {
            QCOMPARE(idx, 1);
            QCOMPARE(IniLines().at(idx).comment, comment);
            QCOMPARE(IniLines().at(idx).key, key.trimmed().toUpper());
        }
        QCOMPARE(IniValue(QStringLiteral("LAST")), QStringLiteral("9"));
    }

    void duplicateKeyKeepsFirstPositionTakesLaterValue() {
        writeFile(path("dup.ini"), "A=1\r\nB=2\r\na = 3 // later\r\n");
        QVERIFY(IniLoad(path("dup.ini"), true));
        QString v;
        QCOMPARE(IniRead(QStringLiteral("A"), &v), 0);
        QCOMPARE(v, QStringLiteral("3"));
        QCOMPARE(IniLines().size(), 2);
        QCOMPARE(IniLines().at(0).comment, QStringLiteral(" later"));
        QCOMPARE(IniLines().at(0).line, 2); // points at the line the value came from
    }

    void macros_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected");
        const QString y = y4(), ya = ya4();
        QTest::newRow("four digits") << "ARCH_%EEEE%" << "ARCH_" + y;
        QTest::newRow("two digits, blank after dropped") << "PKR%EE% .FDB" << "PKR" + y.right(2) + ".FDB";
        QTest::newRow("year 365 days ago") << "/data/%EEEM%/pkr.fdb" << "/data/" + ya + "/pkr.fdb";
        QTest::newRow("its two digits") << "x%EM%  y  " << "x" + ya.right(2) + "y";
        QTest::newRow("each macro once") << "%EE%-%EE%" << y.right(2) + "-%EE%";
        QTest::newRow("all four") << "%EEEE% %EE% %EEEM% %EM%" << y + y.right(2) + ya + ya.right(2);
        QTest::newRow("no macro") << "a %E% b" << "a %E% b";
    }
    void macros() {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        writeFile(path("macro.ini"), cp1250(QStringLiteral("M = ") + raw + QStringLiteral("\r\n")));
        QVERIFY(IniLoad(path("macro.ini"), true));
        QCOMPARE(IniValue(QStringLiteral("M")), expected);
        QCOMPARE(IniLines().at(0).rawValue, raw.trimmed());
    }

    // A file with LF line ends is read to its last line (also without a final line end).
    void lfFilesReadWhole_data() {
        QTest::addColumn<QByteArray>("eol");
        QTest::addColumn<bool>("finalEol");
        QTest::newRow("LF") << QByteArray("\n") << true;
        QTest::newRow("LF, no final") << QByteArray("\n") << false;
        QTest::newRow("CRLF") << QByteArray("\r\n") << true;
        QTest::newRow("CRLF, no final") << QByteArray("\r\n") << false;
    }
    void lfFilesReadWhole() {
        QFETCH(QByteArray, eol);
        QFETCH(bool, finalEol);
        QByteArray text;
        for (int i = 0; i < 40; ++i) text += "K" + QByteArray::number(i) + "=v" + QByteArray::number(i) + eol;
        text += "LASTKEY=end";
        if (finalEol) text += eol;
        writeFile(path("lf.ini"), text);
        QVERIFY(IniLoad(path("lf.ini"), true));
        QCOMPARE(IniLines().size(), 41);
        QCOMPARE(IniValue(QStringLiteral("LASTKEY")), QStringLiteral("end"));
        QCOMPARE(IniValue(QStringLiteral("K39")), QStringLiteral("v39"));
    }

    void missingFile() {
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(!IniLoad(path("nincs.ini"), true));
        QVERIFY(sink.messages.isEmpty());
        QVERIFY(!IniLoad(path("nincs.ini"), false));
        QCOMPARE(sink.texts(), QStringList{"Ini file: " + path("nincs.ini") + " not found."});
        QCOMPARE(IniRead(QStringLiteral("DBSERVER")), -1);
        QCOMPARE(IniFileName(), path("nincs.ini"));
    }

    void includes() {
        QDir(dir.path()).mkpath(QStringLiteral("sub"));
        writeFile(path("main.ini"), "A=1\r\nB=main // from main\r\n@ sub/inc.ini\r\nC=after\r\n@missing.ini\r\n");
        // The included file names its own include relative to itself.
        writeFile(path("sub/inc.ini"), "B=inc\nD=%EEEE%\n@ deeper.ini\n");
        writeFile(path("sub/deeper.ini"), "E=deep\n");
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("main.ini"), true));
        QCOMPARE(sink.texts(), QStringList{"Ini file: missing.ini not found."}); // includes are never silent
        QStringList keys;
        for (const auto& r : IniLines()) keys << r.key;
        QCOMPARE(keys, (QStringList{"A", "B", "D", "E", "C"})); // one line table, includes in place
        QCOMPARE(IniValue(QStringLiteral("B")), QStringLiteral("inc"));
        QCOMPARE(IniValue(QStringLiteral("D")), y4());
        QCOMPARE(IniValue(QStringLiteral("E")), QStringLiteral("deep"));
        QCOMPARE(IniValue(QStringLiteral("C")), QStringLiteral("after"));
        // key table and line table stay in step
        for (int i = 0; i < IniLines().size(); ++i) QCOMPARE(IniRead(IniLines().at(i).key), i);
        const auto& b = IniLines().at(1);
        QCOMPARE(QFileInfo(b.file).fileName(), QStringLiteral("inc.ini"));
        QCOMPARE(b.line, 0);
        QCOMPARE(IniFileName(), path("main.ini"));
        // Writing an earlier key after an include addresses its own row.
        QCOMPARE(IniWrite(QStringLiteral("a"), QStringLiteral("new"), QStringLiteral("c")), 1);
        QCOMPARE(IniLines().at(0).value, QStringLiteral("new"));
        QCOMPARE(IniLines().size(), 5);
    }

    void includeCycleIsReadOnce() {
        writeFile(path("c1.ini"), "A=1\r\n@c2.ini\r\n");
        writeFile(path("c2.ini"), "B=2\r\n@c1.ini\r\n");
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("c1.ini"), true));
        QCOMPARE(IniLines().size(), 2);
        QCOMPARE(sink.messages.size(), 1);
    }

    void keyLimit() {
        QByteArray text;
        for (int i = 1; i <= 257; ++i) text += "KEY" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\r\n";
        writeFile(path("many.ini"), text);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("many.ini"), false));
        QCOMPARE(sink.texts(), (QStringList{"Túl sok beállítási paraméter. KEY256=256",
                                            "Túl sok beállítási paraméter. KEY257=257"}));
        QCOMPARE(IniRead(QStringLiteral("KEY255")), 254);
        QCOMPARE(IniRead(QStringLiteral("KEY256")), -1);
        QCOMPARE(IniValue(QStringLiteral("KEY257"), QStringLiteral("none")), QStringLiteral("none"));
        // changing a key that is in the table still works; adding one does not
        QCOMPARE(IniWrite(QStringLiteral("KEY1"), QStringLiteral("x")), 1);
        sink.clear();
        QCOMPARE(IniWrite(QStringLiteral("wuserpenztar"), QStringLiteral("P1")), 0);
        QCOMPARE(sink.texts(), QStringList{"Túl sok beállítási paraméter. WUSERPENZTAR=P1"});
        QCOMPARE(IniRead(QStringLiteral("WUSERPENZTAR")), -1);
    }

    void writeAndFind() {
        IniClear();
        QCOMPARE(IniWrite(QStringLiteral(" wuserpenztar "), QStringLiteral("P1"), QString()), 0);
        QCOMPARE(IniWrite(QStringLiteral("WUSERPENZTAR"), QStringLiteral("P2"), QStringLiteral("c")), 1);
        QString v;
        QCOMPARE(IniRead(QStringLiteral("wUserPenztar"), &v), 0);
        QCOMPARE(v, QStringLiteral("P2"));
        TAIniValues other{{QStringLiteral("a "), QStringLiteral("1"), QString()},
                          {QStringLiteral("Bb"), QStringLiteral("2"), QString()},
                          {QStringLiteral("BB"), QStringLiteral("3"), QString()}};
        QCOMPARE(IniFind(QStringLiteral(" bb"), other, &v), 1);
        QCOMPARE(v, QStringLiteral("2"));
        QCOMPARE(IniFind(QStringLiteral("A"), other, &v), 0);
        QCOMPARE(IniFind(QStringLiteral("c"), other, &v), -1);
        QCOMPARE(v, QString());
    }

    // Storing the table keeps include lines, comment lines and macros of
    // unchanged values; a changed value is written where it came from.
    void storeKeepsIncludesAndMacros() {
        QDir(dir.path()).mkpath(QStringLiteral("st"));
        const QByteArray mainText = "* beállítások\r\nDBSERVER=/data/pkr.fdb\r\nARCH=/arch/%EEEE%  // archive\r\n"
                                    "@inc.ini\r\nWPWD=NONE\r\n";
        const QByteArray incText = "TRACE=N\nWORK_PATH=/w/\n";
        writeFile(path("st/main.ini"), cp1250(QString::fromUtf8(mainText)));
        writeFile(path("st/inc.ini"), incText);
        QVERIFY(IniLoad(path("st/main.ini"), true));
        IniWrite(QStringLiteral("TRACE"), QStringLiteral("I"), QString());
        IniWrite(QStringLiteral("CEGNEV"), QStringLiteral("Őrség Kft."), QString());
        QString err;
        QVERIFY2(IniStore(&err), qPrintable(err));
        QCOMPARE(readFile(path("st/main.ini")), cp1250(QString::fromUtf8(mainText) + QStringLiteral("CEGNEV=Őrség Kft.\r\n")));
        QCOMPARE(readFile(path("st/inc.ini")), QByteArray("TRACE=I\nWORK_PATH=/w/\n"));
        // and it reads back the same
        QVERIFY(IniLoad(path("st/main.ini"), true));
        QCOMPARE(IniValue(QStringLiteral("TRACE")), QStringLiteral("I"));
        QCOMPARE(IniValue(QStringLiteral("CEGNEV")), QStringLiteral("Őrség Kft."));
        QCOMPARE(IniValue(QStringLiteral("ARCH")), "/arch/" + y4());
    }

    // A value or comment that the loader would read back differently is
    // refused, naming its key, and no file is touched: a line break would add
    // settings of its own (WPWD=NONE, another DBSERVER), a "//" would cut the
    // value where a comment begins.
    void storeRefusesWhatWouldNotReadBack_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("reason"); // part of the message after the key
        QTest::newRow("CR LF adds a login switch") << "wuserpenztar" << "P1\r\nWPWD=NONE" << "" << "sortörést";
        QTest::newRow("LF adds a server") << "WUSERPENZTAR" << "P1\nDBSERVER=/masik.fdb" << "" << "sortörést";
        QTest::newRow("lone CR") << "WUSERPENZTAR" << "P1\rWPWD=NONE" << "" << "sortörést";
        QTest::newRow("line break in the comment") << "TRACE" << "N" << "x\r\nWPWD=NONE" << "sortörést";
        QTest::newRow("double slash would be cut") << "LOGO_KEP" << "http://host/logo.jpg" << "" << "//";
        QTest::newRow("equals sign in the key") << "WPWD=NONE" << "x" << "" << "=";
        QTest::newRow("key read as a comment line") << "*TRACE" << "I" << "" << "*";
        QTest::newRow("key read as an include") << "@/etc/passwd" << "=x" << "" << "@";
        QTest::newRow("key never entered") << "COMMAND" << "x" << "" << "COMMAND";
    }
    void storeRefusesWhatWouldNotReadBack() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, comment);
        QFETCH(QString, reason);
        QDir(dir.path()).mkpath(QStringLiteral("bad"));
        const QByteArray mainText = "DBSERVER=/data/pkr.fdb\r\nWPWD=\r\n@inc.ini\r\n";
        const QByteArray incText = "TRACE=N\r\n";
        writeFile(path("bad/PKR.INI"), mainText);
        writeFile(path("bad/inc.ini"), incText);
        QVERIFY(IniLoad(path("bad/PKR.INI"), true));
        IniWrite(QStringLiteral("WINDOWSTATE"), QStringLiteral("NORMAL")); // a good change goes nowhere either
        IniWrite(key, value, comment);
        QString err;
        QVERIFY(!IniStore(&err));
        QVERIFY2(err.contains(key.trimmed().toUpper()) && err.contains(reason), qPrintable(err));
        QCOMPARE(readFile(path("bad/PKR.INI")), mainText);
        QCOMPARE(readFile(path("bad/inc.ini")), incText);
        QCOMPARE(entries(path("bad")), (QStringList{"PKR.INI", "inc.ini"}));
        QVERIFY(IniLoad(path("bad/PKR.INI"), true));
        QCOMPARE(IniValue(QStringLiteral("WPWD")), QString());
        QCOMPARE(IniValue(QStringLiteral("DBSERVER")), QStringLiteral("/data/pkr.fdb"));
    }

    // The store writes a new file beside the old one and renames it when it
    // is complete: a write that fails half-way (here: the file size limit of
    // the process) leaves the old file whole, and no temporary file behind.
    void failedStoreLeavesTheOldFileWhole() {
        QDir(dir.path()).mkpath(QStringLiteral("full"));
        QByteArray text = "DBSERVER=/data/pkr.fdb\r\n";
        for (int i = 0; i < 200; ++i) text += "KEY" + QByteArray::number(i) + "=" + QByteArray(20, 'v') + "\r\n";
        writeFile(path("full/PKR.INI"), text);
        QVERIFY(IniLoad(path("full/PKR.INI"), true));
        IniWrite(QStringLiteral("DBSERVER"), QStringLiteral("/data/uj.fdb"));

        rlimit old {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 1000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        QString err;
        const bool stored = IniStore(&err);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!stored);
        QVERIFY2(err.contains(QStringLiteral("PKR.INI")), qPrintable(err));
        QCOMPARE(readFile(path("full/PKR.INI")), text);
        QCOMPARE(entries(path("full")), QStringList{"PKR.INI"});
        // Without the limit the same store goes through.
        QVERIFY2(IniStore(&err), qPrintable(err));
        QVERIFY(IniLoad(path("full/PKR.INI"), true));
        QCOMPARE(IniValue(QStringLiteral("DBSERVER")), QStringLiteral("/data/uj.fdb"));
        QCOMPARE(IniValue(QStringLiteral("KEY199")), QString(20, QLatin1Char('v')));
    }

    // A file keeps its permissions when it is stored; a file that holds the
    // database password is readable by its owner only once it is written.
    void storeKeepsOrTightensPermissions_data() {
        QTest::addColumn<QString>("key");        // the key changed before the store
        QTest::addColumn<QString>("passwordIn"); // where DBPASSWORD stands before: "", "main", "inc"
        QTest::addColumn<int>("mainBefore");
        QTest::addColumn<int>("mainAfter");
        QTest::addColumn<int>("incAfter");      // the include starts 0644
        QTest::newRow("ordinary key keeps 0640") << "WINDOWSTATE" << "" << 0640 << 0640 << 0644;
        QTest::newRow("ordinary key keeps 0604") << "WINDOWSTATE" << "" << 0604 << 0604 << 0644;
        QTest::newRow("password added: 0600") << "DBPASSWORD" << "" << 0644 << 0600 << 0644;
        QTest::newRow("file holding it, other key stored") << "WINDOWSTATE" << "main" << 0666 << 0600 << 0644;
        QTest::newRow("password in the include: only the include") << "DBPASSWORD" << "inc" << 0644 << 0644 << 0600;
    }
    void storeKeepsOrTightensPermissions() {
        QFETCH(QString, key);
        QFETCH(QString, passwordIn);
        QFETCH(int, mainBefore);
        QFETCH(int, mainAfter);
        QFETCH(int, incAfter);
        QDir(dir.path()).mkpath(QStringLiteral("perm"));
        const QString main = path("perm/PKR.INI"), inc = path("perm/inc.ini");
        QByteArray mainText = "DBSERVER=srv:/data/pkr.fdb\r\nWINDOWSTATE=NORMAL\r\n@inc.ini\r\n";
        QByteArray incText = "TRACE=N\r\n";
        if (passwordIn == QStringLiteral("main")) mainText += "DBPASSWORD=regi\r\n";
        if (passwordIn == QStringLiteral("inc")) incText += "DBPASSWORD=regi\r\n";
        writeFile(main, mainText);
        writeFile(inc, incText);
        setMode(main, mainBefore);
        setMode(inc, 0644);
        QVERIFY(IniLoad(main, true));
        const QString value = key == QStringLiteral("DBPASSWORD") ? QStringLiteral("titok") : QStringLiteral("MAXIMIZED");
        IniWrite(key, value);
        QString err;
        QVERIFY2(IniStore(&err), qPrintable(err));
        QCOMPARE(QString::number(mode(main), 8), QString::number(mainAfter, 8));
        QCOMPARE(QString::number(mode(inc), 8), QString::number(incAfter, 8));
        QVERIFY(IniLoad(main, true));
        QCOMPARE(IniValue(key), value);
        QCOMPARE(entries(path("perm")), (QStringList{"PKR.INI", "inc.ini"}));
    }

    // A file holding a password that others may read is made owner-only when
    // it is loaded, with a notice; an include holding it is tightened alone.
    void loadTightensAFileHoldingAPassword_data() {
        QTest::addColumn<QString>("passwordIn"); // "", "main", "inc", "empty" (the key without a value)
        QTest::addColumn<int>("mainBefore");
        QTest::addColumn<int>("mainAfter");
        QTest::addColumn<int>("incAfter");       // the include starts 0664
        QTest::addColumn<QString>("notice");     // the file named in the notice, "" when none
        QTest::newRow("readable by all") << "main" << 0644 << 0600 << 0664 << "main";
        QTest::newRow("readable by the group") << "main" << 0640 << 0600 << 0664 << "main";
        QTest::newRow("writable by others") << "main" << 0602 << 0600 << 0664 << "main";
        QTest::newRow("owner only already") << "main" << 0600 << 0600 << 0664 << "";
        QTest::newRow("no password") << "" << 0644 << 0644 << 0664 << "";
        QTest::newRow("empty password") << "empty" << 0644 << 0644 << 0664 << "";
        QTest::newRow("password in the include") << "inc" << 0644 << 0644 << 0600 << "inc";
    }
    void loadTightensAFileHoldingAPassword() {
        QFETCH(QString, passwordIn);
        QFETCH(int, mainBefore);
        QFETCH(int, mainAfter);
        QFETCH(int, incAfter);
        QFETCH(QString, notice);
        QDir(dir.path()).mkpath(QStringLiteral("load"));
        const QString main = path("load/PKR.INI"), inc = path("load/inc.ini");
        QByteArray mainText = "DBSERVER=srv:/data/pkr.fdb\r\n@inc.ini\r\n";
        QByteArray incText = "TRACE=N\r\n";
        if (passwordIn == QStringLiteral("main")) mainText += "DBPASSWORD=titok\r\n";
        if (passwordIn == QStringLiteral("empty")) mainText += "DBPASSWORD=\r\n";
        if (passwordIn == QStringLiteral("inc")) incText += "DBPASSWORD=titok\r\n";
        writeFile(main, mainText);
        writeFile(inc, incText);
        setMode(main, mainBefore);
        setMode(inc, 0664);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(main, true));
        QCOMPARE(QString::number(mode(main), 8), QString::number(mainAfter, 8));
        QCOMPARE(QString::number(mode(inc), 8), QString::number(incAfter, 8));
        if (notice.isEmpty()) {
            QCOMPARE(sink.texts(), QStringList());
        } else {
            const QString named = QFileInfo(notice == QStringLiteral("inc") ? inc : main).absoluteFilePath();
            QCOMPARE(sink.texts(), QStringList{QStringLiteral("A(z) %1 fájl jelszót tartalmaz, de mások is olvashatták: "
                                                              "mostantól csak a tulajdonosa olvashatja és írhatja.")
                                                   .arg(named)});
        }
        if (passwordIn == QStringLiteral("main") || passwordIn == QStringLiteral("inc"))
            QCOMPARE(IniValue(QStringLiteral("DBPASSWORD")), QStringLiteral("titok"));
    }

    // A byte-order mark at the start (a file saved by an editor as UTF-8 or
    // UTF-16) is read past, the file is read in that encoding, and a store
    // keeps both.
    void byteOrderMarkIsReadPast_data() {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("bom");
        QTest::newRow("UTF-8") << QByteArray("UTF-8") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("UTF-16LE") << QByteArray("UTF-16LE") << QByteArray("\xFF\xFE");
        QTest::newRow("UTF-16BE") << QByteArray("UTF-16BE") << QByteArray("\xFE\xFF");
    }
    void byteOrderMarkIsReadPast() {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, bom);
        auto encode = [&](const QString& t) {
            QStringEncoder enc(encoding.constData());
            return QByteArray(bom + QByteArray(enc.encode(t)));
        };
        const QString text = QStringLiteral("DBSERVER=/data/Győr/pkr.fdb\r\nWPWD=\r\nCEGNEV=Őrség Kft. // név\r\n");
        writeFile(path("bom.ini"), encode(text));
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("bom.ini"), false));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(IniRead(QStringLiteral("DBSERVER")), 0);
        QCOMPARE(IniValue(QStringLiteral("DBSERVER")), QStringLiteral("/data/Győr/pkr.fdb"));
        QCOMPARE(IniValue(QStringLiteral("CEGNEV")), QStringLiteral("Őrség Kft."));
        IniWrite(QStringLiteral("WPWD"), QStringLiteral("NONE"));
        QString err;
        QVERIFY2(IniStore(&err), qPrintable(err));
        QCOMPARE(readFile(path("bom.ini")), encode(QString(text).replace(QStringLiteral("WPWD=\r\n"), QStringLiteral("WPWD=NONE\r\n"))));
    }

    // What could not be read while loading is remembered, so a missing
    // setting can be explained.
    void loadProblemsAreRecorded() {
        QDir(dir.path()).mkpath(QStringLiteral("prob/folder.ini"));
        writeFile(path("prob/PKR.INI"), "WPWD=NONE\r\n@db.ini\r\n@folder.ini\r\n");
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        QVERIFY(IniLoad(path("prob/PKR.INI"), true));
        const QStringList problems = IniLoadProblems();
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems.at(0).contains(QStringLiteral("db.ini")), qPrintable(problems.join('|')));
        QVERIFY2(problems.at(1).contains(QStringLiteral("folder.ini")), qPrintable(problems.join('|')));
        QCOMPARE(sink.messages.size(), 2); // includes are never silent
        QVERIFY(!IniLoad(path("prob/nincs.ini"), true));
        QCOMPARE(IniLoadProblems().size(), 1);
        QVERIFY(IniLoadProblems().at(0).contains(QStringLiteral("nincs.ini")));
        writeFile(path("prob/ok.ini"), "A=1\r\n");
        QVERIFY(IniLoad(path("prob/ok.ini"), true));
        QVERIFY(IniLoadProblems().isEmpty());
    }

    void secretKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("secret");
        QTest::newRow("DBPASSWORD") << "DBPASSWORD" << true;
        QTest::newRow("lower case") << " dbpassword " << true;
        QTest::newRow("another password") << "FTPPASSWORD" << true;
        QTest::newRow("Hungarian") << "FTPJELSZO" << true;
        QTest::newRow("login switch") << "WPWD" << false;
        QTest::newRow("user name") << "DBUSERNAME" << false;
        QTest::newRow("server") << "DBSERVER" << false;
    }
    void secretKeys() {
        QFETCH(QString, key);
        QFETCH(bool, secret);
        QCOMPARE(IniIsSecretKey(key), secret);
    }
};

QTEST_GUILESS_MAIN(TstIni)
#include "tst_ini.moc"
