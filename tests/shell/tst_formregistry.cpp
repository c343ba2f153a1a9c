// Forms open each other through the registry: by name, with parameters, and
// the caller reads the answer.
#include "FormRegistry.h"
#include "util/MessageSink.h"

#include <QTest>

using namespace vl::shell;

class TstFormRegistry : public QObject {
    Q_OBJECT
private slots:
    void opensByNameAndReturnsTheAnswer()
    {
        FormRegistry& r = FormRegistry::instance();
        QVariantMap seen;
        r.registerForm(QStringLiteral("Tugyfelfm"), [&seen](QWidget* parent, const QVariantMap& p) {
            Q_UNUSED(parent);
            seen = p;
            FormResult res;
            res.accepted = true;
            res.values.insert(QStringLiteral("Selected"), QStringLiteral("42"));
            return res;
        });
        QVERIFY(r.has(QStringLiteral("Tugyfelfm")));
        const FormResult got = openForm(QStringLiteral("Tugyfelfm"),
                                        {{QStringLiteral("SelectAllowed"), true},
                                         {QStringLiteral("StartCustomerKey"), QStringLiteral("7")}});
        QVERIFY(got.accepted);
        QCOMPARE(got.values.value(QStringLiteral("Selected")).toString(), QStringLiteral("42"));
        QCOMPARE(seen.value(QStringLiteral("StartCustomerKey")).toString(), QStringLiteral("7"));
        QCOMPARE(seen.value(QStringLiteral("SelectAllowed")).toBool(), true);

        // a later registration replaces the earlier one
        r.registerForm(QStringLiteral("Tugyfelfm"), [](QWidget*, const QVariantMap&) { return FormResult{}; });
        QVERIFY(!openForm(QStringLiteral("Tugyfelfm")).accepted);
        r.unregisterForm(QStringLiteral("Tugyfelfm"));
        QVERIFY(!r.has(QStringLiteral("Tugyfelfm")));
    }

    void anUnknownFormSaysItIsNotReady()
    {
        vl::RecordingSink sink;
        vl::ScopedSink guard(&sink);
        const FormResult got = openForm(QStringLiteral("ShowDocPrint"), {{QStringLiteral("bizonylat"), -1}});
        QVERIFY(!got.accepted);
        QCOMPARE(sink.last(), QStringLiteral("A(z) \"ShowDocPrint\" menüpont még nincs kész."));
    }
};

QTEST_MAIN(TstFormRegistry)
#include "tst_formregistry.moc"
