#pragma once
// Helpers of the widget tests: a real Firebird database with the program's
// schema in a temporary directory, a PKR.INI next to it, and a way to act on
// a modal dialog while it is open.
#include "FormConventions.h"
#include "billing/BillingSchema.h"
#include "db/Database.h"
#include "operations/OperationsSchema.h"
#include "rental/DemoData.h"
#include "rental/Schema.h"
#include "rental/Seeds.h"
#include "shell/Dm.h"
#include "shell/Ini.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace vltest {

// Qt's own texts in Hungarian, as the program has them.
inline void installQtTranslations() { vl::shell::FormConventions::installQtTranslations(QCoreApplication::instance()); }
Q_COREAPP_STARTUP_FUNCTION(installQtTranslations)

// A database file with the schema and the seed rows (no users).
inline QString createDatabase(const QString& path) {
    vl::db::ConnectParams p;
    p.database = path;
    auto conn = vl::db::createFirebirdDatabase(p);
    // The program's modules: those handed in before (joinProgramSchema) too.
    vl::rental::Schema::upgrade(*conn);
    auto tx = conn->begin();
    vl::rental::Seeds::apply(*tx, QDate::currentDate().toString(QStringLiteral("yyyy")));
    tx->commit();
    conn->close();
    return path;
}

inline std::unique_ptr<vl::db::Connection> open(const QString& path) {
    vl::db::ConnectParams p;
    p.database = path;
    return vl::db::connect(p);
}


inline void writeText1250(const QString& path, const QString& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QStringEncoder enc("windows-1250");
    f.write(enc.encode(text));
}

inline QString readText1250(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringDecoder dec("windows-1250");
    return dec.decode(f.readAll());
}

// The demonstration database in a folder (the whole program's tables: the
// templates of billing and operations too), with its PKR.INI.
inline void createDemo(const QTemporaryDir& dir) {
    vl::billing::joinProgramSchema();
    vl::operations::joinProgramSchema();
    const QString path = createDatabase(dir.filePath(QStringLiteral("demo.fdb")));
    auto conn = open(path);
    vl::rental::DemoData::create(*conn, nullptr);
    conn->close();
    writeText1250(dir.filePath(QStringLiteral("PKR.INI")), QStringLiteral("DBSERVER=") + path + QStringLiteral("\r\nWPWD=NONE\r\n"));
}

// The demonstration in the folder, which becomes the working folder: its
// PKR.INI loaded and the program's connection open; false when that fails.
inline bool openDemo(const QTemporaryDir& dir) {
    createDemo(dir);
    QDir::setCurrent(dir.path());
    vl::shell::IniClear();
    return vl::shell::IniLoad(QStringLiteral("PKR.INI"), true) && vl::shell::dm().ConnectDatabase();
}

// Runs action on the first visible top-level widget with that object name as
// soon as it shows up (polling while a modal loop runs).
inline void whenShown(const QString& objectName, std::function<void(QWidget*)> action, int triesLeft = 3000) {
    QTimer::singleShot(10, [=]() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == objectName && w->isVisible()) {
                action(w);
                return;
            }
        }
        if (triesLeft > 0) whenShown(objectName, action, triesLeft - 1);
    });
}

} // namespace vltest
