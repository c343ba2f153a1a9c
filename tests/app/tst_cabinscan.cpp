// A hand scanner in every field where a cabin number is typed, on the
// demonstration database: the product register's quick search, contract
// entry's item cabin, the orders workspace's product number, the rental
// lookup's cabin filter and the activity log's product. A label's code
// ("VL:123") and its US-layout form on the Hungarian desk ("VLÉ12ö") act as
// typing the number and Enter; "VL:" and "VL:12a" are refused with the
// message and leave the field as it was.
#include "GuiTestSupport.h"
#include "ProductForms.h"
#include "Tbervisszfm.h"
#include "Tkabinfm.h"
#include "Tszerzfelfm.h"
#include "Ttevnaplo2fm.h"
#include "Tugyfelrendfm.h"
#include "CabinScanInput.h"
#include "rental/Numbering.h"
#include "util/CabinScan.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QtTest>

using vl::shell::dm;

namespace {

// A field, shown (its page in front), enabled, with the focus.
template <class W>
W* ready(QWidget* form, const char* name) {
    auto* w = form->findChild<W*>(QString::fromLatin1(name));
    if (!w) return nullptr;
    for (QWidget* p = w; p; p = p->parentWidget()) {
        p->setEnabled(true);
        if (auto* pages = qobject_cast<QStackedWidget*>(p->parentWidget())) pages->setCurrentWidget(p);
    }
    form->show();
    form->raise();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form)) return nullptr;
    QTest::qWait(20);   // a form may place its first focus just after showing
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    return w->hasFocus() ? w : nullptr;
}

// What the scanner sends, as a keyboard does: Shift pressed and let go around
// the capitals and ":", each character a key press with its text, then Enter.
void scan(QWidget* w, const QString& typed) {
    auto send = [w](QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text = QString()) {
        QKeyEvent e(type, key, mods, text);
        QApplication::sendEvent(w, &e);
    };
    for (const QChar c : typed) {
        const bool shift = c.isUpper() || c == QLatin1Char(':');
        const Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        const int key = c.isDigit() ? Qt::Key_0 + (c.unicode() - '0') : c.isLetter() && c.unicode() < 128 ? c.toUpper().unicode() : Qt::Key_unknown;
        if (shift) send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
        send(QEvent::KeyPress, key, mods, QString(c));
        send(QEvent::KeyRelease, key, mods, QString(c));
        if (shift) send(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    }
    QTest::keyClick(w, Qt::Key_Return);
    QApplication::processEvents();
}

} // namespace

class TstCabinScan : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    std::unique_ptr<vl::rental::Tkabinfm> register_;
    std::unique_ptr<vl::rental::Tszerzfelfm> contract_;
    std::unique_ptr<vl::rental::Tbervisszfm> lookup_;
    std::unique_ptr<vl::operations::Ttevnaplo2fm> log_;

    QWidget* form(const QString& name) {
        if (name == QLatin1String("Tkabinfm")) return register_.get();
        if (name == QLatin1String("Tszerzfelfm")) return contract_.get();
        if (name == QLatin1String("Tbervisszfm")) return lookup_.get();
        if (name == QLatin1String("Ttevnaplo2fm")) return log_.get();
        if (name == QLatin1String("Tugyfelrendfm")) return &vl::rental::OrdersWorkspaceForm();
        return nullptr;
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        QVERIFY(vltest::openDemo(demo_));
        {
            auto tx = dm().d_alap().begin(vl::db::TxMode::ReadOnly);
            vl::rental::Td::LoadStatusCodes(*tx);
            tx->commit();
        }
        register_ = std::make_unique<vl::rental::Tkabinfm>();
        register_->FormShow();
        contract_ = std::make_unique<vl::rental::Tszerzfelfm>();
        // A running contract, changed: its header is whole, so the item panel takes the focus.
        const qint64 running =
            dm().d_alap().query(QStringLiteral("SELECT MIN(BIZONYLAT) FROM FORGFEJ WHERE STATUS = 'FO'")).at(0, 0).toLongLong();
        QVERIFY(running > 0);
        QVERIFY(contract_->FormShow({{QStringLiteral("Mode"), QStringLiteral("modify")},
                                     {QStringLiteral("Contract"), running},
                                     {QStringLiteral("Version"), 1}}));
        lookup_ = std::make_unique<vl::rental::Tbervisszfm>();
        vl::rental::Tugyfelrendfm& orders = vl::rental::OrdersWorkspaceForm();
        orders.CustomerKey = dm().d_alap().query(QStringLiteral("SELECT MIN(UGYFELKOD) FROM FORGFEJ")).at(0, 0).toString();
        QVERIFY(orders.FormShow());
        log_ = std::make_unique<vl::operations::Ttevnaplo2fm>();
        QVERIFY(log_->FormShow());
        // The activity log lists the products placed at the chosen site.
        for (const char* p : {"12 Alap WC kabin", "120 Alap WC kabin", "123 Prémium WC kabin", "1230 Alap WC kabin"})
            log_->cbx_termek->addItem(QString::fromUtf8(p));
        log_->cbx_termek->setCurrentIndex(-1);
    }
    void cleanupTestCase() {
        register_.reset();
        contract_.reset();
        lookup_.reset();
        log_.reset();
        vl::rental::OrdersWorkspaceForm().close();
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
        use_.reset();
    }
    void init() { sink_.clear(); }

    void scanInEveryField_data() {
        QTest::addColumn<QString>("formName");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");   // the field's text after the scan ("" refused)
        const QList<QPair<const char*, const char*>> fields{{"Tkabinfm", "e_kodkeres"},
                                                            {"Tszerzfelfm", "e_arukod"},
                                                            {"Tugyfelrendfm", "e_arukod"},
                                                            {"Tbervisszfm", "e_kabin"},
                                                            {"Ttevnaplo2fm", "cbx_termek"}};
        for (const auto& [f, name] : fields) {
            const bool list = QByteArray(name).startsWith("cbx_");
            const QString tag = QStringLiteral("%1.%2: ").arg(QString::fromLatin1(f), QString::fromLatin1(name));
            QTest::newRow(qPrintable(tag + "VL:123")) << f << name << "VL:123"
                                                      << (list ? "123 Prémium WC kabin" : "123");
            QTest::newRow(qPrintable(tag + "US layout")) << f << name << QString::fromUtf8("VLÉ12ö")
                                                         << (list ? "120 Alap WC kabin" : "120");
            QTest::newRow(qPrintable(tag + "VL:")) << f << name << "VL:" << "";
            QTest::newRow(qPrintable(tag + "VL:12a")) << f << name << "VL:12a" << "";
        }
    }
    void scanInEveryField() {
        QFETCH(QString, formName);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QWidget* f = form(formName);
        QVERIFY(f);
        if (field.startsWith(QLatin1String("cbx_"))) {
            auto* box = ready<QComboBox>(f, qPrintable(field));
            QVERIFY2(box, qPrintable(field));
            box->setCurrentIndex(0);
            QSignalSpy chosen(box, &QComboBox::activated);
            scan(box, typed);
            if (expected.isEmpty()) {
                QCOMPARE(sink_.texts(), QStringList{vl::util::CabinScanRefusal(typed)});
                QCOMPARE(box->currentIndex(), 0);
                QCOMPARE(chosen.count(), 0);
            } else {
                QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
                QCOMPARE(box->currentText(), expected);
                QCOMPARE(chosen.count(), 1);
            }
            return;
        }
        auto* e = ready<QLineEdit>(f, qPrintable(field));
        QVERIFY2(e, qPrintable(field));
        e->setText(QStringLiteral("45"));
        QSignalSpy edited(e, &QLineEdit::textEdited);
        scan(e, typed);
        if (expected.isEmpty()) {
            QCOMPARE(sink_.texts(), QStringList{vl::util::CabinScanRefusal(typed)});
            QCOMPARE(e->text(), QStringLiteral("45"));
            QVERIFY(e->hasFocus());   // the Enter was used up
            QCOMPARE(edited.count(), 0);
        } else {
            QVERIFY2(sink_.messages.isEmpty(), qPrintable(sink_.texts().join(u'\n')));
            QCOMPARE(e->text(), expected);
            QCOMPARE(edited.count(), expected.size());   // typed digit by digit
            QVERIFY(!e->hasFocus());  // then Enter, which moves on
        }
    }

    // The register's quick search goes to the scanned cabin as typing it does.
    void quickSearchFindsTheScannedCabin() {
        auto* e = ready<QLineEdit>(register_.get(), "e_kodkeres");
        QVERIFY(e);
        e->clear();
        scan(e, QStringLiteral("VL:123"));
        QCOMPARE(register_->CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("123"));
        e->clear();
        scan(e, QString::fromUtf8("VLÉ14ö"));
        QCOMPARE(register_->CurrentValue(QStringLiteral("KOD")).toString(), QStringLiteral("140"));
    }

    // A number the field cannot hold is refused, not cut; a cabin the list
    // lacks is named; hand typing is untouched, Esc gives a code up.
    void edges() {
        auto* cabin = ready<QLineEdit>(lookup_.get(), "e_kabin");
        QVERIFY(cabin);
        cabin->clear();
        scan(cabin, QStringLiteral("VL:123456"));
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("A beolvasott kabinszám (123456) nem fér el ebben a mezőben.")});
        QCOMPARE(cabin->text(), QString());
        sink_.clear();
        cabin->setFocus();
        QTest::keyClicks(cabin, QStringLiteral("17"));
        QCOMPARE(cabin->text(), QStringLiteral("17"));
        QTest::keyClicks(cabin, QStringLiteral("VL:9"));
        QTest::keyClick(cabin, Qt::Key_Escape);
        QTest::keyClicks(cabin, QStringLiteral("5"));
        QCOMPARE(cabin->text(), QStringLiteral("175"));
        QVERIFY(sink_.messages.isEmpty());

        auto* box = ready<QComboBox>(log_.get(), "cbx_termek");
        QVERIFY(box);
        box->setCurrentIndex(1);
        scan(box, QStringLiteral("VL:124"));
        QCOMPARE(sink_.texts(), QStringList{vl::shell::CabinNotListedText(QStringLiteral("124"))});
        QCOMPARE(box->currentIndex(), 1);
        sink_.clear();
        scan(box, QStringLiteral("VL:12"));   // its own entry, not 120's or 123's
        QCOMPARE(box->currentText(), QStringLiteral("12 Alap WC kabin"));
    }
};

QTEST_MAIN(TstCabinScan)
#include "tst_cabinscan.moc"
