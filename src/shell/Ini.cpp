#include "shell/Ini.h"
#include "shell/Cp1250.h"
#include "util/MessageSink.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

namespace vl::shell {

namespace {

struct IniState {
    TAIniValues lines;   // the line table; its first IniMaxKeys rows are the key table
    QString fileName;    // the file loaded last
    QStringList problems; // files the last load could not read
};

IniState& state() {
    static IniState s;
    return s;
}

QString normKey(const QString& key) { return key.trimmed().toUpper(); }

int keyTableSize() { return qMin(int(state().lines.size()), IniMaxKeys); }

// A file's text split into lines; remembers its encoding and the line end it uses.
struct TextFile {
    enum Encoding { Cp1250, Utf8Bom, Utf16LeBom, Utf16BeBom };
    QStringList lines;
    Encoding encoding = Cp1250;
    bool crlf = true;
    bool finalNewline = true;
};

// The text of a file: windows-1250, unless it starts with a byte-order mark
// (an editor that saved it as UTF-8 or UTF-16); the mark is not part of the text.
QString decodeText(const QByteArray& bytes, TextFile::Encoding* encoding) {
    struct Bom { QByteArray mark; TextFile::Encoding enc; QStringConverter::Encoding qt; };
    const Bom boms[] = {
        {QByteArray("\xEF\xBB\xBF"), TextFile::Utf8Bom, QStringConverter::Utf8},
        {QByteArray("\xFF\xFE"), TextFile::Utf16LeBom, QStringConverter::Utf16LE},
        {QByteArray("\xFE\xFF"), TextFile::Utf16BeBom, QStringConverter::Utf16BE},
    };
    for (const Bom& b : boms) {
        if (!bytes.startsWith(b.mark)) continue;
        *encoding = b.enc;
        QStringDecoder dec(b.qt, QStringConverter::Flag::Stateless);
        return dec.decode(bytes.mid(b.mark.size()));
    }
    *encoding = TextFile::Cp1250;
    return fromCp1250(bytes);
}

QByteArray encodeText(const QString& text, TextFile::Encoding encoding, bool* lossy) {
    *lossy = false;
    switch (encoding) {
    case TextFile::Utf8Bom: return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TextFile::Utf16LeBom: {
        QStringEncoder enc(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(enc.encode(text));
    }
    case TextFile::Utf16BeBom: {
        QStringEncoder enc(QStringConverter::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(enc.encode(text));
    }
    case TextFile::Cp1250: break;
    }
    return toCp1250(text, lossy);
}

bool readTextFile(const QString& path, TextFile* out, QString* why = nullptr) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why) *why = f.errorString();
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (why) *why = f.errorString();
        return false;
    }
    QString text = decodeText(bytes, &out->encoding);
    out->crlf = text.contains(QStringLiteral("\r\n")) || !text.contains(QLatin1Char('\n'));
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

// A file that holds a password (DBPASSWORD, ...) and that others may read or
// write is made readable and writable by its owner only, with a notice.
void keepSecretFileToOwner(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || (st.st_mode & 077) == 0) return;
    if (::chmod(name.constData(), st.st_mode & 07700) == 0) {
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("A(z) %1 fájl jelszót tartalmaz, de mások is olvashatták: mostantól csak a "
                                  "tulajdonosa olvashatja és írhatja.").arg(path));
    } else {
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("A(z) %1 fájl jelszót tartalmaz, és mások is olvashatják; a jogosultsága nem "
                                  "szűkíthető (hibakód: %2). Kérem, állítsa be, hogy csak a tulajdonosa olvashassa.")
                       .arg(path)
                       .arg(errno));
    }
}

bool loadFile(const QString& fileName, bool silent, const QString& baseDir, QStringList& stack) {
    QString path = fileName;
    if (QFileInfo(path).isRelative() && !baseDir.isEmpty()) path = QDir(baseDir).filePath(path);
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile()) {
        // A folder, a FIFO or a device is there, but it is not a file to read
        // (a FIFO would hold the program up until someone writes into it).
        const bool there = fi.exists() || fi.isSymLink();
        state().problems << (fi.isDir() ? QStringLiteral("a(z) %1 nem fájl, hanem mappa")
                             : there    ? QStringLiteral("a(z) %1 nem közönséges fájl (csővezeték, eszköz vagy socket)")
                                        : QStringLiteral("a(z) %1 fájl nem található"))
                                .arg(fi.absoluteFilePath());
        if (!silent)
            vl::notify(vl::MsgKind::Warning, QStringLiteral("Ini file: ") + fileName +
                                                 (there ? QStringLiteral(" nem közönséges fájl, nem olvasható be.")
                                                        : QStringLiteral(" not found.")));
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
    QString why;
    if (!readTextFile(abs, &tf, &why)) {
        state().problems << QStringLiteral("a(z) %1 fájl nem olvasható: %2").arg(abs, why);
        if (!silent)
            vl::notify(vl::MsgKind::Warning, QStringLiteral("Ini file: ") + fileName + QStringLiteral(" nem olvasható: ") + why);
        return false;
    }
    stack.append(abs);
    bool holdsSecret = false;
    for (int i = 0; i < tf.lines.size(); ++i) {
        const ParsedLine p = parseLine(tf.lines.at(i));
        if (p.kind == ParsedLine::Setting && IniIsSecretKey(p.key) && !p.rawValue.isEmpty()) holdsSecret = true;
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
    if (holdsSecret) keepSecretFileToOwner(abs);
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
    state().problems.clear();
}

QStringList IniLoadProblems() { return state().problems; }

bool IniIsSecretKey(const QString& key) {
    const QString k = normKey(key);
    return k.contains(QStringLiteral("PASSWORD")) || k.contains(QStringLiteral("JELSZO"));
}

namespace {

bool hasLineBreak(const QString& s) { return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')); }

// Why a row cannot be written as a line that the loader reads back as the
// same key, value and comment; empty when it can.
QString unstorableReason(const TInivalue& r) {
    const QString k = r.key;
    const QString named = QStringLiteral("A(z) ") + QString(k).replace(QLatin1Char('\r'), QStringLiteral("\\r"))
                                                          .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    if (hasLineBreak(k)) return named + QStringLiteral(" beállításnév sortörést tartalmaz, nem tárolható.");
    if (k.contains(QLatin1Char('=')))
        return named + QStringLiteral(" beállításnév nem tartalmazhat \"=\" jelet, nem tárolható.");
    if (k.contains(QStringLiteral("//")))
        return named + QStringLiteral(" beállításnév nem tartalmazhat \"//\" jelet (megjegyzést kezd), nem tárolható.");
    if (k.startsWith(QLatin1Char('*')))
        return named + QStringLiteral(" beállításnév nem kezdődhet \"*\" jellel (megjegyzéssor lenne), nem tárolható.");
    if (k.startsWith(QLatin1Char('@')))
        return named + QStringLiteral(" beállításnév nem kezdődhet \"@\" jellel (fájlbeillesztés lenne), nem tárolható.");
    if (k == QStringLiteral("COMMAND"))
        return named + QStringLiteral(" beállításnevet a betöltés kihagyja, nem tárolható.");
    if (hasLineBreak(r.value))
        return named + QStringLiteral(" beállítás értéke sortörést tartalmaz, nem tárolható.");
    if (r.value.contains(QStringLiteral("//")))
        return named + QStringLiteral(" beállítás értéke nem tartalmazhat \"//\" jelet: a fájlban ott megjegyzés "
                                      "kezdődik, az érték csonkán olvasódna vissza.");
    if (hasLineBreak(r.comment))
        return named + QStringLiteral(" beállítás megjegyzése sortörést tartalmaz, nem tárolható.");
    return QString();
}

QString renderRow(const TInivalue& r) {
    QString s = r.key + QStringLiteral("=") + r.value;
    if (!r.comment.isEmpty()) s += QStringLiteral("  //") + r.comment;
    return s;
}

// One file the store is about to write.
struct PendingFile {
    QString path;
    TextFile text;
    QList<QPair<int, int>> placed; // (row index, line number) of the rows written into it
    bool secret = false;           // holds a secret value: owner only
};

bool writeWhole(const PendingFile& pf, QString* error) {
    const TextFile& tf = pf.text;
    const QString eol = tf.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text = tf.lines.join(eol);
    if (!tf.lines.isEmpty() && tf.finalNewline) text += eol;
    bool lossy = false;
    const QByteArray bytes = encodeText(text, tf.encoding, &lossy);
    if (lossy) {
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("A windows-1250 kódlapon nem ábrázolható karaktereket '?' jelre cseréltük: ") + pf.path);
    }
    // A temporary file in the same folder, renamed over the old one when it
    // is complete; QSaveFile gives it the old file's permissions.
    // Unbuffered, so that a failed or short write shows at write() and is not
    // lost in the flush that commit() does.
    QSaveFile out(pf.path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error) *error = QStringLiteral("A fájl nem írható: ") + pf.path + QStringLiteral(" (") + out.errorString() + QStringLiteral(")");
        return false;
    }
    if (pf.secret && !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        out.cancelWriting();
        if (error) *error = QStringLiteral("A fájl jogosultsága nem állítható: ") + pf.path;
        return false;
    }
    if (out.write(bytes) != bytes.size() || !out.flush() || out.error() != QFileDevice::NoError || !out.commit()) {
        const QString why = out.errorString();
        out.cancelWriting();
        if (error) *error = QStringLiteral("A fájl nem írható: ") + pf.path + QStringLiteral(" (") + why + QStringLiteral(")");
        return false;
    }
    return true;
}

} // namespace

bool IniStore(QString* error) {
    const QString mainFile = state().fileName.isEmpty() ? QString()
                                                          : QFileInfo(state().fileName).absoluteFilePath();
    if (mainFile.isEmpty()) {
        if (error) *error = QStringLiteral("Nincs betöltött beállítási fájl.");
        return false;
    }
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

    // First every file's new text, nothing written: a row that cannot be
    // stored stops the store before any file changes.
    QList<PendingFile> pending;
    for (const QString& f : files) {
        PendingFile pf;
        pf.path = f;
        QString why;
        if (QFileInfo::exists(f) && !readTextFile(f, &pf.text, &why)) {
            if (error) *error = QStringLiteral("A fájl nem olvasható: ") + f + QStringLiteral(" (") + why + QStringLiteral(")");
            return false;
        }
        bool changed = !QFileInfo::exists(f);
        QList<int> appended;
        for (int i : rowsOf.value(f)) {
            const TInivalue& r = state().lines.at(i);
            if (IniIsSecretKey(r.key)) pf.secret = true;
            if (r.file.isEmpty() || r.line < 0 || r.line >= pf.text.lines.size()) {
                appended << i;
                continue;
            }
            const ParsedLine p = parseLine(pf.text.lines.at(r.line));
            const bool same = p.kind == ParsedLine::Setting && p.key == r.key
                              && IniExpandMacros(p.rawValue) == r.value && p.comment == r.comment;
            if (same) continue;
            if (p.kind != ParsedLine::Setting || p.key != r.key) {
                appended << i; // the file changed under us: do not overwrite another line
                continue;
            }
            const QString reason = unstorableReason(r);
            if (!reason.isEmpty()) {
                if (error) *error = reason;
                return false;
            }
            pf.text.lines[r.line] = renderRow(r);
            pf.placed.append({i, r.line});
            changed = true;
        }
        for (int i : appended) {
            const TInivalue& r = state().lines.at(i);
            const QString reason = unstorableReason(r);
            if (!reason.isEmpty()) {
                if (error) *error = reason;
                return false;
            }
            pf.text.lines.append(renderRow(r));
            pf.placed.append({i, int(pf.text.lines.size()) - 1});
            changed = true;
        }
        if (changed) pending.append(pf);
    }

    // Then each file whole, or not at all.
    for (const PendingFile& pf : pending) {
        if (!writeWhole(pf, error)) return false;
        for (const auto& [i, line] : pf.placed) {
            TInivalue& r = state().lines[i];
            r.file = pf.path;
            r.line = line;
            r.rawValue = r.value;
        }
    }
    return true;
}

} // namespace vl::shell
