// A second process for the tests: attaches to an embedded database that the
// test holds open and writes a row in it.
//   db_peer <database> <id> <text>
// Prints "OK <rows in PEER>" or the error text; exit status 0 on success.
#include "db/Database.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        out << "usage: db_peer <database> <id> <text>\n";
        return 2;
    }
    try {
        vl::db::prepareEmbeddedEngine();
        vl::db::ConnectParams p;
        p.database = args.at(1);
        auto conn = vl::db::connect(p);
        auto tx = conn->begin();
        tx->exec(QStringLiteral("INSERT INTO PEER (ID, NEV) VALUES (:id, :nev)"),
                 {{QStringLiteral("id"), args.at(2).toLongLong()}, {QStringLiteral("nev"), args.at(3)}});
        tx->commit();
        const vl::db::RowSet rs = conn->query(QStringLiteral("SELECT COUNT(*) AS N FROM PEER"));
        out << "OK " << rs.at(0, 0).toLongLong() << "\n";
        return 0;
    } catch (const vl::db::DbError& e) {
        out << e.text() << "\n";
        return 1;
    }
}
