#pragma once
// The arguments the daysheet and daylist commands share: the day and the
// filter of the activity log, and what they open the sheet with.
#include "AdminCommand.h"
#include "AdminArgs.h"
#include "operations/DaySheet.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"

#include <memory>
#include <optional>

namespace vl::admin {

struct DaySheetArgs {
    QString day;
    vl::operations::DaySheetFilter filter;
    QString pdf;
};

// Reads "DATE [--driver CODE] [--customer KEY] [--nodriver] [--all]" (and
// "--pdf FILE" when allowPdf); prints the usage and returns false otherwise.
inline bool readDaySheetArgs(const QString& cmd, const QStringList& a, bool allowPdf, DaySheetArgs& out) {
    for (int i = 0; i < a.size(); ++i) {
        const QString& x = a[i];
        if (x == QStringLiteral("--driver") && i + 1 < a.size()) {
            out.filter.driverCode = a[++i].trimmed();
        } else if (x == QStringLiteral("--customer") && i + 1 < a.size()) {
            out.filter.customerKey = a[++i].trimmed();
        } else if (x == QStringLiteral("--nodriver")) {
            out.filter.noDriver = true;
        } else if (x == QStringLiteral("--all")) {
            out.filter.hideDeleted = false;
        } else if (allowPdf && x == QStringLiteral("--pdf") && i + 1 < a.size()) {
            out.pdf = a[++i];
        } else if (!x.startsWith(QStringLiteral("--")) && out.day.isEmpty()) {
            out.day = x.trimmed();
        } else {
            err(cmd + QStringLiteral(": ismeretlen argumentum: ") + x);
            return false;
        }
    }
    if (out.day.isEmpty() || (allowPdf && out.pdf.isEmpty())) {
        err(cmd + QStringLiteral(": használat: ") + cmd +
            QStringLiteral(" DÁTUM [--driver SOFŐRKÓD] [--customer ÜGYFÉLKÓD] [--nodriver] [--all]") +
            (allowPdf ? QStringLiteral(" --pdf FÁJL") : QString()));
        return false;
    }
    return argcheck::date(cmd, QStringLiteral("dátum"), out.day, &out.day) &&
           argcheck::key(cmd, QStringLiteral("sofőrkód (--driver)"), out.filter.driverCode, argcheck::CodeLength,
                     &out.filter.driverCode, true) &&
           argcheck::key(cmd, QStringLiteral("ügyfélkód (--customer)"), out.filter.customerKey, argcheck::KeyLength,
                     &out.filter.customerKey, true);
}

} // namespace vl::admin
