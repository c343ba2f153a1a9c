// The console sink of vorlanda-admin: with --yes a question is answered with
// the button that goes ahead ("Igen"), wherever the question puts it; without
// --yes every question is refused and counted. And the error base that the
// utilities' conversion errors share with the rest of the program.
#include "util/ConversionError.h"
#include "util/Dates.h"
#include "util/MessageSink.h"
#include "util/Numbers.h"

#include <QtTest>

class TstMessageSink : public QObject {
    Q_OBJECT
private slots:
    void consoleAnswers_data() {
        QTest::addColumn<bool>("assumeYes");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("answer");
        const QStringList yesNo{QStringLiteral("Igen"), QStringLiteral("Nem")};
        const QStringList noYes{QStringLiteral("Nem"), QStringLiteral("Igen")};
        QTest::newRow("--yes, Igen first") << true << yesNo << 0;
        QTest::newRow("--yes, Nem first") << true << noYes << 1;
        QTest::newRow("--yes, Igen third") << true
                                           << QStringList{QStringLiteral("Mégsem"), QStringLiteral("Nem"), QStringLiteral("&Igen")}
                                           << 2;
        QTest::newRow("--yes, no Igen to give") << true << QStringList{QStringLiteral("Nem"), QStringLiteral("Mégsem")} << -1;
        QTest::newRow("without --yes, Igen first") << false << yesNo << -1;
        QTest::newRow("without --yes, Nem first") << false << noYes << -1;
    }
    void consoleAnswers() {
        QFETCH(bool, assumeYes);
        QFETCH(QStringList, buttons);
        QFETCH(int, answer);
        vl::ConsoleSink sink;
        sink.assumeYes = assumeYes;
        QCOMPARE(sink.ask(QStringLiteral("Biztos, hogy folytatja?"), vl::MsgKind::Question, buttons), answer);
        // A question with "Nem" under Enter is answered the same way.
        QCOMPARE(sink.askWithDefault(QStringLiteral("Biztos, hogy törli?"), vl::MsgKind::Question, buttons, 0), answer);
        QCOMPARE(sink.refused, answer < 0 ? 2 : 0);
    }

    // Through the installed sink, as a command asks.
    void askDefaultNoThroughTheConsole() {
        vl::ConsoleSink sink;
        vl::ScopedSink scoped(&sink);
        QCOMPARE(vl::askDefaultNo(QStringLiteral("Biztos, hogy törölni akarja ?")), -1);
        sink.assumeYes = true;
        QCOMPARE(vl::askDefaultNo(QStringLiteral("Biztos, hogy törölni akarja ?")), 0);
        QCOMPARE(vl::ask(QStringLiteral("Másik évet nyit?"), vl::MsgKind::Question,
                         {QStringLiteral("Nem"), QStringLiteral("Igen")}, 0),
                 1);
        QCOMPARE(sink.refused, 1);
    }

    // A conversion error is a vl::Error: the sentence for the user, and the
    // routine that refused the text.
    void conversionErrorIsAnError_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("text"); // the start of the text
        QTest::addColumn<QString>("routine");
        QTest::newRow("date") << 0 << "'2024.13.01' nem érvényes dátum" << "StrToDateYMD";
        QTest::newRow("rounding") << 1 << "Túl nagy érték: " << "RoundHalfAway";
        QTest::newRow("period") << 2 << "Hibás időszak: 2024" << "AddMonths";
    }
    void conversionErrorIsAnError() {
        QFETCH(int, which);
        QFETCH(QString, text);
        QFETCH(QString, routine);
        try {
            if (which == 0) vl::util::StrToDateYMD(QStringLiteral("2024.13.01"));
            else if (which == 1) vl::util::RoundHalfAway(1e16);
            else vl::util::AddMonths(QStringLiteral("2024"), 1);
            QFAIL("no error raised");
        } catch (const vl::Error& e) {
            QCOMPARE(e.kind(), vl::Error::Kind::Conversion);
            QVERIFY2(e.text().startsWith(text), qPrintable(e.text()));
            QCOMPARE(e.context(), routine);
            QCOMPARE(QString::fromUtf8(e.what()), e.text());
        }
    }
};

QTEST_GUILESS_MAIN(TstMessageSink)
#include "tst_messagesink.moc"
