#pragma once
// The texts that describe vorlanda-admin and vorlanda, made from one place:
// the command registry's usage lines and the options below give the help
// text, the manual pages vorlanda-admin(1) and vorlanda(1) and the bash
// completion, so none of them can drift from the others.
#include <QList>
#include <QString>

namespace vl::admin {

struct GlobalOption {
    QString synopsis;     // "--ini FÁJL"
    QString description;
};

// The options before (or after) the command name.
const QList<GlobalOption>& globalOptions();
// "Használat: vorlanda-admin [--ini FÁJL] [--yes] PARANCS [argumentumok]"
QString usageLine();

// A command's usage line split into its synopsis and its description (the
// text after the first run of two or more spaces past the arguments).
struct UsageParts {
    QString synopsis, description;
};
UsageParts splitUsage(const QString& usage);
// The options a usage line names ("--pdf", "--yes", ...), in order, once each.
QStringList usageOptions(const QString& usage);

// The manual page (roff) of "vorlanda-admin" or "vorlanda"; empty for another name.
QString manPage(const QString& program);
// The bash completion script of vorlanda-admin.
QString bashCompletion();

} // namespace vl::admin
