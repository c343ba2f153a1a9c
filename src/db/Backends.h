#pragma once
// The backends behind Database.h; callers use vl::db::connect().
#include "db/Database.h"

namespace vl::db::detail {

std::unique_ptr<Connection> openFirebird(const ConnectParams& params);
std::unique_ptr<Connection> createFirebird(const ConnectParams& params);
std::unique_ptr<Connection> openOdbc(const ConnectParams& params);
void shutdownFirebirdEngine();

// True when a Firebird connection string names a server ("host:/path",
// "host/port:/path", "inet://..."), false for a local file or an alias.
bool isRemoteFirebirdName(const QString& database);

// The driver name of an ODBC source from the DBMS name it reports (SQL_DBMS_NAME):
// upper-cased, "Microsoft SQL Server" as "SQL SERVER", "ODBC" when it reports none.
QString odbcDriverName(const QString& reportedDbmsName);

} // namespace vl::db::detail
