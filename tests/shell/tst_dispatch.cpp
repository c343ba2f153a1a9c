// The main window's dispatcher: whatever a tree node's handler throws is shown
// through the message sink and the program goes on; nothing reaches Qt's event
// loop.
#include "Tmain_pkrfm.h"
#include "db/Database.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QtTest>
#include <stdexcept>

using vl::shell::Tmain_pkrfm;

class TstDispatch : public QObject {
    Q_OBJECT
private slots:
    void errorsOfAHandlerAreShown_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("kind");      // vl::MsgKind
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details"); // "" when the notice has none
        QTest::newRow("refusal of a rule")
            << 0 << int(vl::MsgKind::Warning) << "A szerződés lezárt, nem módosítható." << "ContractStore::close";
        QTest::newRow("refusal without a rule") << 1 << int(vl::MsgKind::Warning) << "Nincs kijelölt sor." << "";
        QTest::newRow("database error with its statement")
            << 2 << int(vl::MsgKind::Error) << "Adatbázis-hiba történt: a(z) \"Partnerek\" megnyitása."
            << "lock conflict on no wait transaction\n\nUtasítás:\nUPDATE UGYFEL SET NEV = :nev";
        QTest::newRow("anything else") << 3 << int(vl::MsgKind::Error)
                                       << "Váratlan hiba történt: a(z) \"Partnerek\" megnyitása." << "vector::at";
    }
    void errorsOfAHandlerAreShown() {
        QFETCH(int, which);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, details);
        vl::RecordingSink sink;
        vl::ScopedSink scoped(&sink);
        Tmain_pkrfm w;
        w.setAutoStart(false);
        int opened = 0;
        w.registerNode(12, [which](Tmain_pkrfm&) {
            switch (which) {
            case 0: throw vl::RuleRefusal(QStringLiteral("A szerződés lezárt, nem módosítható."),
                                          QStringLiteral("ContractStore::close"));
            case 1: throw vl::RuleRefusal(QStringLiteral("Nincs kijelölt sor."));
            case 2: throw vl::db::DbError(QStringLiteral("lock conflict on no wait transaction"), -901,
                                          vl::db::DbError::Kind::General, QStringLiteral("UPDATE UGYFEL SET NEV = :nev"));
            default: throw std::out_of_range("vector::at");
            }
        });
        w.registerNode(13, [&opened](Tmain_pkrfm&) { ++opened; });
        w.dispatch(12);
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(int(sink.messages.first().first), kind);
        QCOMPARE(sink.messages.first().second, text);
        QCOMPARE(sink.details, details.isEmpty() ? QStringList() : QStringList{details});
        // The program goes on: the next node opens, the failing one can be tried again.
        w.dispatch(13);
        QCOMPARE(opened, 1);
        w.dispatch(12);
        QCOMPARE(sink.messages.size(), 2);
    }
};

QTEST_MAIN(TstDispatch)
#include "tst_dispatch.moc"
