#pragma once
// The one check of a command's arguments, made before the command connects or
// writes anything: a whole number within the range of the column it goes to,
// a key or code no longer than its column, a date that is a real day in the
// years the program works with, an input file that is a regular file. Each
// check prints "<command>: <what is wrong, naming the argument>" on standard
// error and returns false; the command then exits non-zero (2) and nothing is
// written. So no value reaches the database that the server would refuse with
// its own error and the statement's text.
#include "AdminCommand.h"
#include "exchange/CsvReader.h"
#include "util/Dates.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sys/stat.h>
#include <vector>
#include <utility>
#include <algorithm>

namespace vl::admin::argcheck {

// INTEGER columns: contract, line, item, activity and payment numbers.
constexpr qint64 MaxInteger = 2147483647;
// Key columns: customer, site and product keys VARCHAR(20); drivers, types,
// statuses and the other dictionary codes VARCHAR(10).
constexpr int KeyLength = 20;
constexpr int CodeLength = 10;
// The days the program works with.
inline QString FirstDay() { return QStringLiteral("1900.01.01"); }
inline QString LastDay() { return QStringLiteral("2099.12.31"); }

// A value as a message shows it: at most 40 characters.
inline QString shown(const QString& v) { return v.size() > 40 ? v.left(40) + QStringLiteral("…") : v; }

// A whole number in [min, max] (blanks around it allowed).
inline bool wholeNumber(const QString& cmd, const QString& what, const QString& text, qint64 min, qint64 max,
                        qint64* out) {
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]{1,18}$"));
    const QString t = text.trimmed();
    bool ok = digits.match(t).hasMatch();
    const qint64 v = ok ? t.toLongLong(&ok) : 0;
    if (!ok || v < min || v > max) {
        err(QStringLiteral("%1: hibás %2: \"%3\" (%4 és %5 közötti egész szám kell).")
                .arg(cmd, what, shown(text))
                .arg(min)
                .arg(max));
        return false;
    }
    if (out) *out = v;
    return true;
}
// A positive number of an INTEGER column (a contract, line, item, activity number).
inline bool number(const QString& cmd, const QString& what, const QString& text, qint64* out) {
    return wholeNumber(cmd, what, text, 1, MaxInteger, out);
}

// A key or code: trimmed, at most maxLength characters; empty only when allowed.
inline bool key(const QString& cmd, const QString& what, const QString& text, int maxLength, QString* out,
                bool emptyAllowed = false) {
    const QString t = text.trimmed();
    if (t.isEmpty() && !emptyAllowed) {
        err(QStringLiteral("%1: hiányzik: %2.").arg(cmd, what));
        return false;
    }
    if (t.size() > maxLength) {
        err(QStringLiteral("%1: hibás %2: \"%3\" (legfeljebb %4 karakter lehet, ez %5).")
                .arg(cmd, what, shown(t))
                .arg(maxLength)
                .arg(t.size()));
        return false;
    }
    if (out) *out = t;
    return true;
}

// A date as 'yyyy.mm.dd' or 'yyyymmdd', a real day between FirstDay() and
// LastDay(); *out gets it as 'yyyy.mm.dd'. Empty only when allowed (then "").
inline bool date(const QString& cmd, const QString& what, const QString& text, QString* out,
                 bool emptyAllowed = false) {
    const QString t = text.trimmed();
    if (t.isEmpty() && emptyAllowed) {
        if (out) out->clear();
        return true;
    }
    static const QRegularExpression form(QStringLiteral("^([0-9]{4}\\.[0-9]{2}\\.[0-9]{2}|[0-9]{8})$"));
    const QString d = form.match(t).hasMatch() ? vl::util::NormalizeDateText(t) : QString();
    if (d.isEmpty() || d < FirstDay() || d > LastDay()) {
        err(QStringLiteral("%1: Hibás dátum: %2 (%3: valós nap kell éééé.hh.nn alakban, %4 és %5 között).")
                .arg(cmd, shown(t), what, FirstDay(), LastDay()));
        return false;
    }
    if (out) *out = d;
    return true;
}
// A date value that a rule checks itself (with its own message for a text
// that is no day): refused here only when it is a real day outside
// FirstDay()..LastDay(), or longer than a date can be; *out untouched.
inline bool dateInRange(const QString& cmd, const QString& what, const QString& text) {
    const QString t = text.trimmed();
    const QString d = vl::util::NormalizeDateText(t);
    if (t.size() > 10 || (!d.isEmpty() && (d < FirstDay() || d > LastDay()))) {
        err(QStringLiteral("%1: Hibás dátum: %2 (%3: valós nap kell éééé.hh.nn alakban, %4 és %5 között).")
                .arg(cmd, shown(t), what, FirstDay(), LastDay()));
        return false;
    }
    return true;
}

// What a path is when it is not a regular file ("" when it is one).
inline QString notRegularFileText(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return QStringLiteral("nem található");
    if (S_ISREG(st.st_mode)) return QString();
    if (S_ISDIR(st.st_mode)) return QStringLiteral("nem közönséges fájl, hanem mappa");
    if (S_ISFIFO(st.st_mode)) return QStringLiteral("nem közönséges fájl, hanem csővezeték (FIFO)");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return QStringLiteral("nem közönséges fájl, hanem eszköz");
    if (S_ISSOCK(st.st_mode)) return QStringLiteral("nem közönséges fájl, hanem socket");
    return QStringLiteral("nem közönséges fájl");
}
// An input file that must be a regular file (a FIFO, folder or device is refused).
inline bool regularFile(const QString& cmd, const QString& what, const QString& path) {
    const QString problem = notRegularFileText(path);
    if (problem.isEmpty()) return true;
    err(QStringLiteral("%1: a(z) %2 (%3) %4.").arg(cmd, what, path, problem));
    return false;
}

// The whole of an importer's input file: a regular file, readable, within
// `maxBytes` (checked before it is read). 0 when read; otherwise the exit code
// (2: not a regular file, 1: unreadable or too large), the reason printed.
inline int importFile(const QString& cmd, const QString& path, qint64 maxBytes, QByteArray* bytes) {
    if (!regularFile(cmd, QStringLiteral("CSV fájl"), path)) return 2;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("%1: a fájl nem olvasható: %2 (%3)").arg(cmd, path, f.errorString()));
        return 1;
    }
    if (f.size() > maxBytes) {
        err(cmd + QStringLiteral(": ") + vl::exchange::csvTooLargeText(f.size(), maxBytes) +
            QStringLiteral(" Semmi nem került tárolásra."));
        return 1;
    }
    *bytes = f.readAll();
    return 0;
}

// An importer's command line: one FILE and the switches `flags` names (each
// sets its bool), the file then read through importFile. 0 when read;
// otherwise the exit code (2: an unknown argument or no file), the reason printed.
inline int importCommandLine(const QString& cmd, const QStringList& args,
                             const std::vector<std::pair<QString, bool*>>& flags, qint64 maxBytes,
                             QByteArray* bytes) {
    QString file;
    for (const QString& a : args) {
        const auto flag = std::find_if(flags.begin(), flags.end(), [&](const auto& f) { return f.first == a; });
        if (flag != flags.end()) *flag->second = true;
        else if (file.isEmpty() && !a.startsWith(QStringLiteral("--"))) file = fromStartDir(a);
        else {
            err(cmd + QStringLiteral(": ismeretlen argumentum: ") + a);
            return 2;
        }
    }
    if (file.isEmpty()) {
        err(cmd + QStringLiteral(": adja meg a CSV fájlt."));
        return 2;
    }
    return importFile(cmd, file, maxBytes, bytes);
}

} // namespace vl::admin::argcheck
