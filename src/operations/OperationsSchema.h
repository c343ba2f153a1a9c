#pragma once
// Field operations' tables as a schema module ("operations"): the template of
// the day sheet's work table (TEVNAPLO); the source columns of the drivers'
// phone marks on FORGTEV and FORGFIZ (FORRAS, FORRASSOFOR, FORRASMIKOR), the
// marks' log (TELEFONJEL), the reasons of a visit not done (SZ_OKOK), the
// days the drivers closed (SOFORNAPZAR) and the day sheet's temporary table
// of the day's contracts (NAPISZERZ). It
// stands on the rental module.
//
// Databases made before this module existed got the template from the rental
// module's steps; the first step of this module then finds it and only
// records its version.
#include "db/SchemaRegistry.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace vl::operations {

vl::db::SchemaModule schemaModule();
// The statement that makes TEVNAPLO as it is now (the first step runs it when
// the table is missing).
QStringList createStatements();
// The statements of version 2 (the phone marks' columns and tables).
QStringList phoneMarkStatements();
// The reasons (KOD, NEV) version 3 writes into an empty SZ_OKOK.
const QList<QPair<QString, QString>>& SeededReasons();
QString PhoneMarksTable();    // "TELEFONJEL"
QString PhoneReasonsTable();  // "SZ_OKOK"
QString ClosedDaysTable();    // "SOFORNAPZAR": the days the drivers closed on their phones
// The day of the row a TELEFONJEL line is about, from its key (KULCS), as the
// index IX_TELEFONJEL_NAP computes it: a read by the day spells exactly this.
QString PhoneMarkDayExpression();
// Registers the rental module with those it stands on, then the operations module.
void registerSchema(vl::db::SchemaRegistry& registry);
// Hands this registration to the program's registry (vl::rental::
// registerProgramSchema), once at start: the programs and the tests whose
// databases need these tables call it.
void joinProgramSchema();

} // namespace vl::operations
