#include "Docs.h"

#include "AdminCommand.h"

#include <QRegularExpression>
#include <algorithm>

namespace vl::admin {

namespace {

QList<AdminCommand> sortedCommands()
{
    QList<AdminCommand> list = commands();
    std::sort(list.begin(), list.end(), [](const AdminCommand& a, const AdminCommand& b) { return a.name < b.name; });
    return list;
}

// Text for roff: backslashes and hyphens escaped, no line starting a request.
QString roff(const QString& text)
{
    QString s = text;
    s.replace(u'\\', QStringLiteral("\\e"));
    s.replace(u'-', QStringLiteral("\\-"));
    QStringList lines = s.split(u'\n');
    for (QString& l : lines)
        if (l.startsWith(u'.') || l.startsWith(u'\'')) l.prepend(QStringLiteral("\\&"));
    return lines.join(u'\n');
}

// A synopsis with its options in bold and the rest in italics where it is a
// placeholder (upper-case words).
QString roffSynopsis(const QString& synopsis)
{
    static const QRegularExpression token(QStringLiteral("(--?[a-z][a-z0-9-]*)|([A-ZÁÉÍÓÖŐÚÜŰ][A-ZÁÉÍÓÖŐÚÜŰ0-9.]*[A-ZÁÉÍÓÖŐÚÜŰ0-9])"));
    QString out;
    qsizetype at = 0;
    auto it = token.globalMatch(synopsis);
    while (it.hasNext()) {
        const auto m = it.next();
        out += roff(synopsis.mid(at, m.capturedStart() - at));
        if (m.capturedLength(1) > 0) out += QStringLiteral("\\fB") + roff(m.captured(1)) + QStringLiteral("\\fR");
        else out += QStringLiteral("\\fI") + roff(m.captured(2)) + QStringLiteral("\\fR");
        at = m.capturedEnd();
    }
    out += roff(synopsis.mid(at));
    return out;
}

QString header(const QString& name, const QString& summary)
{
    QString s;
    s += QStringLiteral(".\\\" Made by vorlanda-admin --man %1; do not edit.\n").arg(name);
    s += QStringLiteral(".TH %1 1 \"\" \"Vorlanda %2\" \"Vorlanda\"\n").arg(name.toUpper(), QStringLiteral(VORLANDA_VERSION));
    // Option and command names are never hyphenated nor stretched.
    s += QStringLiteral(".nh\n.ad l\n");
    s += QStringLiteral(".SH NÉV\n%1 \\- %2\n").arg(roff(name), roff(summary));
    return s;
}

// Where the programs find their settings and keep their data: the same for both.
QString filesSection()
{
    return QStringLiteral(
        ".SH FÁJLOK\n"
        ".TP\n.I PKR.INI\n"
        "A beállítások fájlja. A munkakönyvtárban lévő PKR.INI az elsődleges; ha ott nincs, a program a "
        "felhasználó adatkönyvtárában dolgozik (lásd lent).\n"
        ".TP\n.I $XDG_DATA_HOME/vorlanda\n"
        "A felhasználó adatkönyvtára (alapértelmezés: \\fI~/.local/share/vorlanda\\fR). Az első indítás hozza "
        "létre csak a tulajdonosa számára olvasható PKR.INI fájllal, amely a mellette lévő \\fIpkr.fdb\\fR "
        "beágyazott adatbázist nevezi meg. Itt van az UPDATES.SQL frissítő parancsfájl, a sikertelen tárolások "
        "naplói (NEMSIKERULT_*) és a mentések is.\n"
        ".TP\n.I firebird\\-lock\n"
        "Az adatbázis-motor zárolási könyvtára. A csomagból telepített program (a /usr alatt) a beágyazott "
        "adatbázis mellett tartja, és maga hozza létre; egy saját könyvtárba kicsomagolt vagy forrásból fordított "
        "program a programok mellett.\n"
        ".TP\n.I /usr/lib/vorlanda/firebird\n"
        "A beágyazott adatbázis-motor beállításai (firebird.conf, databases.conf).\n"
        ".SH KÖRNYEZET\n"
        ".TP\n.B XDG_DATA_HOME\n"
        "Az adatkönyvtár helye (ha nincs megadva: \\fI$HOME/.local/share\\fR).\n");
}

} // namespace

const QList<GlobalOption>& globalOptions()
{
    static const QList<GlobalOption> o{
        {QStringLiteral("--ini FÁJL"),
         QStringLiteral("a beállítások fájlja (alapértelmezés: a munkakönyvtár PKR.INI fájlja, ha nincs, a "
                        "felhasználó adatkönyvtárában lévő)")},
        {QStringLiteral("--yes"), QStringLiteral("a parancs kérdéseire az \"Igen\" a válasz")},
        {QStringLiteral("--help"), QStringLiteral("a parancsok listája")},
        {QStringLiteral("--man vorlanda-admin|vorlanda"), QStringLiteral("a kézikönyv oldal (roff) kiírása")},
        {QStringLiteral("--completion"), QStringLiteral("a bash kiegészítő parancsfájl kiírása")},
    };
    return o;
}

QString usageLine() { return QStringLiteral("Használat: vorlanda-admin [--ini FÁJL] [--yes] PARANCS [argumentumok]"); }

UsageParts splitUsage(const QString& usage)
{
    static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
    const QString u = usage.trimmed();
    const auto m = gap.match(u);
    if (!m.hasMatch()) return {u, QString()};
    return {u.left(m.capturedStart()).trimmed(), u.mid(m.capturedEnd()).trimmed()};
}

QStringList usageOptions(const QString& usage)
{
    static const QRegularExpression opt(QStringLiteral("(?<![A-Za-z0-9])--[a-z][a-z0-9-]*"));
    QStringList l;
    auto it = opt.globalMatch(splitUsage(usage).synopsis);
    while (it.hasNext()) {
        const QString o = it.next().captured(0);
        if (!l.contains(o)) l << o;
    }
    return l;
}

QString manPage(const QString& program)
{
    QString s;
    if (program == QLatin1String("vorlanda-admin")) {
        s += header(program, QStringLiteral("a Vorlanda parancssori eszköze"));
        s += QStringLiteral(".SH ÁTTEKINTÉS\n.B vorlanda\\-admin\n");
        s += QStringLiteral("[\\fB\\-\\-ini\\fR \\fIFÁJL\\fR] [\\fB\\-\\-yes\\fR] \\fIPARANCS\\fR [\\fIargumentumok\\fR]\n");
        s += QStringLiteral(".SH LEÍRÁS\n");
        s += roff(QStringLiteral("A vorlanda-admin a Vorlanda program szabályait futtatja ablak nélkül: adatbázis "
                                 "létrehozása és frissítése, mentés, szerződések és fizetések kezelése, listák PDF-be. "
                                 "A parancs hibánál és elutasításnál nem nulla kóddal áll meg, és nem változtat semmit."))
             + u'\n';
        s += QStringLiteral(".SH KAPCSOLÓK\n");
        for (const GlobalOption& o : globalOptions())
            s += QStringLiteral(".TP\n") + roffSynopsis(o.synopsis) + u'\n' + roff(o.description) + u'\n';
        s += QStringLiteral(".SH PARANCSOK\n");
        for (const AdminCommand& c : sortedCommands()) {
            const UsageParts u = splitUsage(c.usage);
            s += QStringLiteral(".TP\n") + roffSynopsis(u.synopsis) + u'\n' + roff(u.description) + u'\n';
        }
        s += filesSection();
        s += QStringLiteral(".SH KILÉPÉSI KÓD\n");
        s += roff(QStringLiteral("0: a parancs lefutott; 1: hiba vagy elutasítás; 2: hibás parancssor; 128 + a jelzés "
                                 "száma: a parancsot jelzés szakította meg.")) + u'\n';
        s += QStringLiteral(".SH LÁSD MÉG\n.BR vorlanda (1)\n");
        return s;
    }
    if (program == QLatin1String("vorlanda")) {
        s += header(program, QStringLiteral("mobil WC kabinok bérbeadásának nyilvántartása"));
        s += QStringLiteral(".SH ÁTTEKINTÉS\n.B vorlanda\n[\\fIQt\\-kapcsolók\\fR]\n");
        s += QStringLiteral(".SH LEÍRÁS\n");
        s += roff(QStringLiteral("A Vorlanda a bérbeadó cég programja: ügyfelek, szerződések, termékek, a napi "
                                 "tevékenységek és a számlázás. Saját kapcsolója nincs; a Qt szokásos kapcsolóit "
                                 "(például -platform) elfogadja."))
             + u'\n';
        s += QStringLiteral(".PP\n");
        s += roff(QStringLiteral("Az első indításkor, ha a beállítások által megnevezett beágyazott adatbázis még "
                                 "nem létezik, a program felajánlja az \"Új cég létrehozása\" lehetőséget (a cég neve, "
                                 "címe, adószáma, telefonszáma, az ÁFA kulcs, az első felhasználó és jelszava; üres "
                                 "adatbázis bemutató adatok nélkül), vagy a \"Bemutató adatbázis\" létrehozását. "
                                 "Ugyanezt parancssorból a vorlanda-admin init-db --company FÁJL.json végzi."))
             + u'\n';
        s += QStringLiteral(".PP\n");
        s += roff(QStringLiteral("Egy gép több felhasználója egy beágyazott adatbázison: az adatbázis egy közös "
                                 "csoport könyvtárában legyen (a csoporté, set-group-ID, mások nem írhatják, "
                                 "például chgrp iroda /srv/vorlanda; chmod 2770 /srv/vorlanda), és mindegyikük "
                                 "PKR.INI fájljában a DBSERVER ezt a fájlt nevezze meg."))
             + u'\n';
        s += filesSection();
        s += QStringLiteral(".SH LÁSD MÉG\n.BR vorlanda\\-admin (1)\n");
        return s;
    }
    return {};
}

QString bashCompletion()
{
    QStringList names;
    QString cases;
    for (const AdminCommand& c : sortedCommands()) {
        names << c.name;
        const QStringList opts = usageOptions(c.usage);
        if (!opts.isEmpty())
            cases += QStringLiteral("        %1) opts=\"%2\" ;;\n").arg(c.name, opts.join(u' '));
    }
    QString s;
    s += QStringLiteral("# bash completion for vorlanda-admin; made by vorlanda-admin --completion, do not edit.\n");
    s += QStringLiteral("_vorlanda_admin()\n{\n");
    s += QStringLiteral("    local cur prev words cword\n    _init_completion || return\n");
    s += QStringLiteral("    case $prev in\n        --ini) _filedir; return ;;\n"
                        "        --man) COMPREPLY=($(compgen -W \"vorlanda-admin vorlanda\" -- \"$cur\")); return ;;\n"
                        "    esac\n");
    s += QStringLiteral("    local i cmd=\n    for ((i = 1; i < cword; i++)); do\n"
                        "        case ${words[i]} in\n            --ini) ((i++)) ;;\n            -*) ;;\n"
                        "            *) cmd=${words[i]}; break ;;\n        esac\n    done\n");
    s += QStringLiteral("    if [[ -z $cmd ]]; then\n"
                        "        COMPREPLY=($(compgen -W \"--ini --yes --help --man --completion %1\" -- \"$cur\"))\n"
                        "        return\n    fi\n").arg(names.join(u' '));
    s += QStringLiteral("    local opts=\n    case $cmd in\n") + cases + QStringLiteral("    esac\n");
    s += QStringLiteral("    if [[ $cur == -* ]]; then\n"
                        "        COMPREPLY=($(compgen -W \"$opts --ini --yes\" -- \"$cur\"))\n"
                        "    else\n        _filedir\n    fi\n}\n");
    s += QStringLiteral("complete -F _vorlanda_admin vorlanda-admin\n");
    return s;
}

} // namespace vl::admin
