// The contract entry form's payments page and its store button on a
// demonstration database, controls found by objectName: a payment typed,
// refused, moved and deleted in the copies only; the store with its question,
// summary and handover question; a contract changed elsewhere meanwhile.
#include "FormRegistry.h"
#include "Tszerzfelfm.h"
#include "db/Database.h"
#include "db/RowSetModel.h"
#include "rental/DemoData.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using vl::rental::Tszerzfelfm;
using vl::shell::dm;

namespace {

const QString kThisYear = QDate::currentDate().toString(QStringLiteral("yyyy"));

qint64 count(const QString& sql, const vl::db::Params& params = {}) {
    return dm().d_alap().query(sql, params).at(0, 0).toLongLong();
}

QStringList stored(qint64 b) {
    QStringList rows;
    for (const char* t : {"FORGFEJ", "FORGSOR", "FORGKABIN", "FORGTEV", "FORGFIZ"}) {
        auto rs = dm().d_alap().query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b ORDER BY 1, 2, 3")
                                          .arg(QString::fromLatin1(t)), {{QStringLiteral("b"), b}});
        while (rs.next()) {
            QStringList r;
            for (int c = 0; c < rs.columnCount(); ++c) r << rs.value(c).toString();
            rows << QString::fromLatin1(t) + QLatin1Char(' ') + r.join(u'|');
        }
    }
    return rows;
}

template <class T> T* the(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

void click(QWidget& f, const char* name) { QTest::mouseClick(the<QPushButton>(f, name), Qt::LeftButton); }
void typeInto(QWidget& f, const char* name, const QString& text) {
    auto* e = the<QLineEdit>(f, name);
    e->setFocus();
    e->clear();
    e->insert(text);   // as typed (accents included)
}

} // namespace

class TstContractStoreForm : public QObject {
    Q_OBJECT
    QString oldCwd_;
    QTemporaryDir demo_;
    vl::RecordingSink sink_;
    std::unique_ptr<vl::ScopedSink> use_;
    QList<QVariantMap> printed_;

    qint64 runningCashContract() {
        auto rs = dm().d_alap().query(QStringLiteral(
            "SELECT FIRST 1 F.BIZONYLAT FROM FORGFEJ F JOIN SZ_FIZMOD M ON M.KOD = F.FIZMOD JOIN SZ_BERMOD B"
            " ON B.KOD = F.BERMOD WHERE F.STATUS = 'FO' AND M.KP = 'I' AND B.KOTNAP = 'N' AND EXISTS (SELECT 1"
            " FROM FORGSOR S WHERE S.BIZONYLAT = F.BIZONYLAT) ORDER BY F.BIZONYLAT"));
        return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
    }

    void openModify(Tszerzfelfm& f, qint64 b) {
        QVERIFY(f.FormShow({{QStringLiteral("Mode"), QStringLiteral("modify")},
                            {QStringLiteral("Contract"), b},
                            {QStringLiteral("Version"), 1}}));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
    }

private slots:
    void initTestCase() {
        vl::db::prepareEmbeddedEngine();
        oldCwd_ = QDir::currentPath();
        QVERIFY(demo_.isValid());
        vl::db::ConnectParams p;
        p.database = demo_.filePath(QStringLiteral("demo.fdb"));
        auto conn = vl::db::createFirebirdDatabase(p);
        vl::rental::Schema::upgrade(*conn);
        {
            auto tx = conn->begin();
            vl::rental::Seeds::apply(*tx, kThisYear);
            tx->commit();
        }
        vl::rental::DemoData::create(*conn, nullptr);
        conn->close();
        QFile ini(demo_.filePath(QStringLiteral("PKR.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QStringEncoder enc("windows-1250");
        ini.write(enc.encode(QStringLiteral("DBSERVER=") + p.database + QStringLiteral("\r\nWPWD=NONE\r\n")));
        ini.close();
        use_ = std::make_unique<vl::ScopedSink>(&sink_);
        vl::shell::FormRegistry::instance().registerForm(
            QStringLiteral("ShowDocPrint"), [this](QWidget*, const QVariantMap& params) {
                printed_ << params;
                return vl::shell::FormResult();
            });
    }
    void init() {
        QDir::setCurrent(demo_.path());
        vl::shell::IniClear();
        QVERIFY(vl::shell::IniLoad(QStringLiteral("PKR.INI"), true));
        QVERIFY(dm().ConnectDatabase());
        dm().CurrentUserCode = QStringLiteral("TESZT");
        dm().BusinessYear = kThisYear.toInt();
        sink_.clear();
        sink_.answers.clear();
        printed_.clear();
    }
    void cleanup() {
        if (dm().isConnected()) dm().disconnect();
        QDir::setCurrent(oldCwd_);
    }
    void cleanupTestCase() {
        vl::shell::FormRegistry::instance().unregisterForm(QStringLiteral("ShowDocPrint"));
        use_.reset();
    }

    // Payments are typed into the copy only: refused with the checks' texts,
    // added marked as entered by hand, moved to another day, deleted.
    void paymentsPage() {
        const qint64 b = runningCashContract();
        QVERIFY(b > 0);
        const QStringList before = stored(b);
        Tszerzfelfm f;
        openModify(f, b);
        const QString copy = f.session()->workCopyNames().at(3);
        const qint64 rows = count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(copy));

        typeInto(f, "e_fiz", QStringLiteral("0"));
        typeInto(f, "e_fiznap", QStringLiteral("%1.11.05").arg(kThisYear));
        typeInto(f, "e_fizerv", QStringLiteral("%1.11.01").arg(kThisYear));
        click(f, "b_ujfiz");
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Hibás dátum intervallum\rAz összeg értelmetlen\r")});
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(copy)), rows);

        sink_.clear();
        typeInto(f, "e_fiz", QStringLiteral("25000"));
        typeInto(f, "e_fizerv", QStringLiteral("%1.11.20").arg(kThisYear));
        click(f, "b_ujfiz");
        QVERIFY2(sink_.texts().isEmpty(), qPrintable(sink_.texts().join('|')));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE KEZI = 'I' AND DATUM = :d AND NETTO = 25000")
                           .arg(copy), {{QStringLiteral("d"), kThisYear + QStringLiteral(".11.05")}}), 1);
        // The grid shows it; choosing it fills the panel, a new day moves it.
        auto* grid = the<QTableView>(f, "dbg_fiz");
        auto* model = qobject_cast<vl::db::RowSetModel*>(grid->model());
        int row = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString().contains(QStringLiteral(".11.05"))) row = r;
        QVERIFY(row >= 0);
        grid->setCurrentIndex(model->index(row, 0));
        QCOMPARE(the<QLineEdit>(f, "e_fiz")->text(), QStringLiteral("25000"));
        typeInto(f, "e_fiznap", QStringLiteral("%1.11.06").arg(kThisYear));
        click(f, "b_modfiz");
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE KEZI = 'I'").arg(copy)), 1);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE KEZI = 'I' AND DATUM = :d").arg(copy),
                       {{QStringLiteral("d"), kThisYear + QStringLiteral(".11.06")}}), 1);
        row = -1;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString().contains(QStringLiteral(".11.06"))) row = r;
        QVERIFY(row >= 0);
        grid->setCurrentIndex(model->index(row, 0));
        click(f, "b_torfiz");
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE KEZI = 'I'").arg(copy)), 0);
        QCOMPARE(stored(b), before);
        sink_.answers << 0;   // leaving: "Igen"
        f.b_kilepClick();
    }

    // "Befejezés, tárolás": the question, the store, its summary, the handover
    // question opening the print for the contract; the form closes as stored.
    void storeButton() {
        const qint64 b = runningCashContract();
        QVERIFY(b > 0);
        Tszerzfelfm f;
        openModify(f, b);
        typeInto(f, "e_komment", QStringLiteral("Új kapukód: 'C' épület"));
        sink_.answers << 1;   // "Nem": nothing stored
        const QStringList before = stored(b);
        click(f, "b_tarol");
        QCOMPARE(sink_.texts(), QStringList{QStringLiteral("Befejezi és tárolja a bizonylatot?")});
        QCOMPARE(stored(b), before);
        QVERIFY(f.isVisible());

        sink_.clear();
        sink_.answers << 0 << 0;   // store: "Igen"; print: "Igen"
        click(f, "b_tarol");
        const QStringList t = sink_.texts();
        QCOMPARE(t.size(), 3);
        QCOMPARE(t.at(0), QStringLiteral("Befejezi és tárolja a bizonylatot?"));
        QVERIFY2(t.at(1).startsWith(QStringLiteral("A(z) %1. sz. szerződés tárolva:").arg(b)), qPrintable(t.at(1)));
        QCOMPARE(t.at(2), QStringLiteral("Nyomtatja az átadás - átvételi bizonylatot?"));
        QCOMPARE(printed_.size(), 1);
        QCOMPARE(printed_.first().value(QStringLiteral("Contract")).toLongLong(), b);
        QCOMPARE(printed_.first().value(QStringLiteral("ActivityCode")).toString(), QStringLiteral("KIH"));
        QVERIFY(f.stored());
        QVERIFY(!f.isVisible());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM FORGFEJ WHERE BIZONYLAT = :b AND KOMMENT = :k"),
                       {{QStringLiteral("b"), b}, {QStringLiteral("k"), QStringLiteral("Új kapukód: 'C' épület")}}),
                 1);
    }

    // Changed elsewhere after the form loaded it: nothing written, the ruling's
    // message, the header and lists loaded again, the form stays open.
    void changedElsewhere() {
        const qint64 b = runningCashContract();
        QVERIFY(b > 0);
        Tszerzfelfm f;
        openModify(f, b);
        typeInto(f, "e_komment", QStringLiteral("Ezt nem tárolja"));
        dm().d_alap().exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = 'MÁSIK', KOMMENT = 'Máshol írva' WHERE BIZONYLAT = :b"),
                           {{QStringLiteral("b"), b}});
        const QStringList before = stored(b);
        sink_.answers << 0;
        click(f, "b_tarol");
        QCOMPARE(sink_.texts(), (QStringList{QStringLiteral("Befejezi és tárolja a bizonylatot?"),
                                             QStringLiteral("A szerződést közben máshol módosították. Az adatok "
                                                            "frissültek, kérem, ismételje meg a műveletet.")}));
        QCOMPARE(stored(b), before);
        QVERIFY(f.isVisible());
        QVERIFY(!f.stored());
        QCOMPARE(the<QLineEdit>(f, "e_komment")->text(), QStringLiteral("Máshol írva"));
        sink_.answers << 0;
        f.b_kilepClick();
    }
};

QTEST_MAIN(TstContractStoreForm)
#include "tst_contractstore_form.moc"
