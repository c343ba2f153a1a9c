#include "shell/Ini.h"
#include "shell/Cp1250.h"
#include "util/MessageSink.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

namespace vl::shell {

namespace {

struct IniState {
    TAIniValues lines;   // the line table; its first IniMaxKeys rows are the key table
    QString fileName;    // the file loaded last
};

IniState& state() {
    static IniState s;
    return s;
}

QString normKey(const QString& key) { return key.trimmed().toUpper(); }

int keyTableSize() { return qMin(int(state().lines.size()), IniMaxKeys); }

// A file's text split into lines; remembers the line end it uses.
struct TextFile {
    QStringList lines;
    bool crlf = true;
    bool finalNewline = true;
};

bool readTextFile(const QString& path, TextFile* out) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = f.readAll();
    QString text = fromCp1250(bytes);
    out->crlf = bytes.contains("\r\n") || !bytes.contains('\n');
    out->finalNewline = text.isEmpty() || text.endsWith(QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (out->finalNewline && !lines.isEmpty()) lines.removeLast();
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    out->lines = lines;
    return true;
}

// The parts of one line as the loader sees them.
struct ParsedLine {
    enum Kind { Skip, Include, Setting } kind = Skip;
    QString key;       // Setting
    QString rawValue;  // Setting: value as written, trimmed
    QString comment;   // text after "//"
    QString include;   // Include: the file name
};

ParsedLine parseLine(const QString& raw) {
    ParsedLine p;
    if (raw.isEmpty()) return p;
    QString line = raw;
    const int slash = line.indexOf(QStringLiteral("//"));
    if (slash >= 0) {
        p.comment = line.mid(slash + 2);
        line = line.left(slash);
    }
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('*'))) return p;
    if (t.startsWith(QLatin1Char('@'))) {
        // An include line needs no "=".
        p.include = t.mid(1).trimmed();
        if (!p.include.isEmpty()) p.kind = ParsedLine::Include;
        return p;
    }
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) return p; // no "=" (or only inside the comment): ignored
    p.key = normKey(line.left(eq));
    p.rawValue = line.mid(eq + 1).trimmed();
    if (p.key == QStringLiteral("COMMAND")) return p;
    p.kind = ParsedLine::Setting;
    return p;
}

bool loadFile(const QString& fileName, bool silent, const QString& baseDir, QStringList& stack) {
    QString path = fileName;
    if (QFileInfo(path).isRelative() && !baseDir.isEmpty()) path = QDir(baseDir).filePath(path);
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile()) {
        if (!silent) vl::notify(vl::MsgKind::Warning, QStringLiteral("Ini file: ") + fileName + QStringLiteral(" not found."));
        return false;
    }
    const QString abs = fi.absoluteFilePath();
    if (stack.contains(abs)) {
        // A file that includes itself (directly or through others) is read once.
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Ini file: ") + fileName
                       + QStringLiteral(" önmagát tölti be, a beillesztést kihagytuk."));
        return true;
    }
    TextFile tf;
    if (!readTextFile(abs, &tf)) {
        if (!silent) vl::notify(vl::MsgKind::Warning, QStringLiteral("Ini file: ") + fileName + QStringLiteral(" not found."));
        return false;
    }
    stack.append(abs);
    for (int i = 0; i < tf.lines.size(); ++i) {
        const ParsedLine p = parseLine(tf.lines.at(i));
        if (p.kind == ParsedLine::Include) {
            loadFile(p.include, false, fi.absolutePath(), stack);
        } else if (p.kind == ParsedLine::Setting) {
            const QString value = IniExpandMacros(p.rawValue);
            IniWrite(p.key, value, p.comment);
            // Remember where this value came from.
            for (TInivalue& row : state().lines) {
                if (row.key == p.key) {
                    row.file = abs;
                    row.line = i;
                    row.rawValue = p.rawValue;
                    break;
                }
            }
        }
    }
    stack.removeLast();
    return true;
}

} // namespace

QString IniExpandMacros(const QString& text) {
    const QDate today = QDate::currentDate();
    const QString y = QString::number(today.year()).rightJustified(4, QLatin1Char('0'));
    const QString ya = QString::number(today.addDays(-365).year()).rightJustified(4, QLatin1Char('0'));
    const std::pair<QString, QString> macros[] = {
        {QStringLiteral("%EEEE%"), y},
        {QStringLiteral("%EE%"), y.right(2)},
        {QStringLiteral("%EEEM%"), ya},
        {QStringLiteral("%EM%"), ya.right(2)},
    };
    QString s = text;
    for (const auto& m : macros) {
        const int p = s.indexOf(m.first);
        if (p >= 0) s = s.left(p) + m.second + s.mid(p + m.first.size()).trimmed();
    }
    return s;
}

bool IniLoad(const QString& fileName, bool silent) {
    IniClear();
    state().fileName = fileName;
    QStringList stack;
    return loadFile(fileName, silent, QString(), stack);
}

int IniRead(const QString& key, QString* value) {
    const QString k = normKey(key);
    const int n = keyTableSize();
    for (int i = 0; i < n; ++i) {
        if (state().lines.at(i).key == k) {
            if (value) *value = state().lines.at(i).value;
            return i;
        }
    }
    if (value) value->clear();
    return -1;
}

QString IniValue(const QString& key, const QString& def) {
    QString v;
    return IniRead(key, &v) >= 0 ? v : def;
}

int IniWrite(const QString& key, const QString& value, const QString& comment) {
    const QString k = normKey(key);
    TAIniValues& lines = state().lines;
    for (int i = 0; i < lines.size(); ++i) {
        TInivalue& row = lines[i];
        if (row.key != k) continue;
        row.value = value;
        row.comment = comment;
        row.rawValue = value;
        if (i >= IniMaxKeys) {
            vl::notify(vl::MsgKind::Warning, QStringLiteral("Túl sok beállítási paraméter. ") + k + QStringLiteral("=") + value);
            return 0;
        }
        return 1;
    }
    TInivalue row;
    row.key = k;
    row.value = value;
    row.comment = comment;
    row.rawValue = value;
    lines.append(row);
    if (lines.size() > IniMaxKeys)
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Túl sok beállítási paraméter. ") + k + QStringLiteral("=") + value);
    return 0;
}

int IniFind(const QString& key, const TAIniValues& values, QString* value) {
    const QString k = normKey(key);
    for (int i = 0; i < values.size(); ++i) {
        if (normKey(values.at(i).key) == k) {
            if (value) *value = values.at(i).value;
            return i;
        }
    }
    if (value) value->clear();
    return -1;
}

const TAIniValues& IniLines() { return state().lines; }
QString IniFileName() { return state().fileName; }

void IniClear() {
    state().lines.clear();
    state().fileName.clear();
}

bool IniStore(QString* error) {
    const QString mainFile = state().fileName.isEmpty() ? QString()
                                                          : QFileInfo(state().fileName).absoluteFilePath();
    if (mainFile.isEmpty()) {
        if (error) *error = QStringLiteral("Nincs betöltött beállítási fájl.");
        return false;
    }
    auto render = [](const TInivalue& r) {
        QString s = r.key + QStringLiteral("=") + r.value;
        if (!r.comment.isEmpty()) s += QStringLiteral("  //") + r.comment;
        return s;
    };
    // Rows grouped by the file they go to, in line-table order.
    QStringList files;
    QHash<QString, QList<int>> rowsOf;
    for (int i = 0; i < state().lines.size(); ++i) {
        const TInivalue& r = state().lines.at(i);
        const QString f = r.file.isEmpty() ? mainFile : r.file;
        if (!rowsOf.contains(f)) files << f;
        rowsOf[f].append(i);
    }
    if (!rowsOf.contains(mainFile)) { files << mainFile; rowsOf[mainFile]; }

    for (const QString& f : files) {
        TextFile tf;
        if (QFileInfo::exists(f) && !readTextFile(f, &tf)) {
            if (error) *error = QStringLiteral("A fájl nem olvasható: ") + f;
            return false;
        }
        bool changed = !QFileInfo::exists(f);
        QList<int> appended;
        for (int i : rowsOf.value(f)) {
            TInivalue& r = state().lines[i];
            if (r.file.isEmpty() || r.line < 0 || r.line >= tf.lines.size()) {
                appended << i;
                continue;
            }
            const ParsedLine p = parseLine(tf.lines.at(r.line));
            const bool same = p.kind == ParsedLine::Setting && p.key == r.key
                              && IniExpandMacros(p.rawValue) == r.value && p.comment == r.comment;
            if (same) continue;
            if (p.kind != ParsedLine::Setting || p.key != r.key) {
                appended << i; // the file changed under us: do not overwrite another line
                continue;
            }
            tf.lines[r.line] = render(r);
            r.rawValue = r.value;
            changed = true;
        }
        for (int i : appended) {
            TInivalue& r = state().lines[i];
            tf.lines.append(render(r));
            r.file = f;
            r.line = int(tf.lines.size()) - 1;
            r.rawValue = r.value;
            changed = true;
        }
        if (!changed) continue;
        const QString eol = tf.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
        QString text = tf.lines.join(eol);
        if (!tf.lines.isEmpty() && tf.finalNewline) text += eol;
        bool lossy = false;
        const QByteArray bytes = toCp1250(text, &lossy);
        if (lossy) {
            vl::notify(vl::MsgKind::Warning,
                       QStringLiteral("A windows-1250 kódlapon nem ábrázolható karaktereket '?' jelre cseréltük: ") + f);
        }
        QFile out(f);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()) {
            if (error) *error = QStringLiteral("A fájl nem írható: ") + f;
            return false;
        }
    }
    return true;
}

} // namespace vl::shell
