#!/usr/bin/env python3
"""Forms use no access layer.

A form collects fields, calls one rules session or service and shows what it
returns. This check reads every source under src/*/forms/ and names, as
"file:line: what", each use of the database access layer there:

  - an SQL statement text (a string literal that begins with a statement
    keyword, a clause such as WHERE / ORDER BY, or binds a ":name" value),
  - a query( / exec( call on a connection or a transaction,
  - Transaction, TxScope, TxMode, beginTransaction, begin( on a connection,
  - FillCodeCombo with a connection and an SQL text (the overload of six or
    seven arguments; the callback overload takes five).

Allowed: row sets a rules call returns (vl::db::RowSet), RowSetModel,
vl::db::DbError in a catch, a vl::db::Connection& handed to a session.
Comments are not read; texts only as string literals.

  forms_use_no_access_layer.py [--root DIR]   fails (exit 1) on any finding
  forms_use_no_access_layer.py --list [--root DIR]   lists findings, counts per file, exit 0
  forms_use_no_access_layer.py --self-test FIXTURES   checks the check on its fixtures
"""

import os
import re
import sys

SOURCE_SUFFIXES = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".hxx")

# A literal that is (the start of) an SQL statement.
STATEMENT = re.compile(
    r"^\s*\(?\s*(SELECT|INSERT\s+INTO|UPDATE\s+\w+\s+SET|UPDATE\s+OR\s+INSERT|DELETE\s+FROM|MERGE\s+INTO|"
    r"EXECUTE\s+(PROCEDURE|BLOCK|STATEMENT)|(CREATE|ALTER|DROP|RECREATE|CREATE\s+OR\s+ALTER)\s+"
    r"(TABLE|INDEX|VIEW|TRIGGER|PROCEDURE|GENERATOR|SEQUENCE|EXCEPTION|DOMAIN|ROLE|USER|UNIQUE|DESCENDING)|"
    r"GRANT|REVOKE|COMMIT|ROLLBACK|SET\s+(TRANSACTION|GENERATOR|STATISTICS)|WITH\s+(RECURSIVE\s+)?\w+\s+AS\s*\()\b"
)
# A literal that is a piece of one: a clause, or a bound value compared.
CLAUSE = re.compile(r"^\s*(WHERE|FROM|ORDER\s+BY|GROUP\s+BY|HAVING|(LEFT\s+|RIGHT\s+|INNER\s+|OUTER\s+)*JOIN|VALUES|UNION)\s")
BOUND = re.compile(r"(=|<>|<|>|\bLIKE|\bIN\s*\()\s*:[A-Za-z_]\w*")

CODE_RULES = [
    (re.compile(r"\bbeginTransaction\b"), "beginTransaction"),
    (re.compile(r"\bTxScope\b"), "TxScope"),
    (re.compile(r"\bTransaction\b"), "Transaction"),
    (re.compile(r"\bTxMode\b"), "TxMode (a transaction started)"),
    # query( / exec( / begin( on something that is a connection or a transaction.
    (re.compile(r"(\b(tx\w*|trans\w*|conn|conn_|connection\w*|db|db_|database\w*|scope\w*)|\bd_alap\s*\(\s*\))"
                r"\s*(\.|->)\s*(query|exec|begin)\s*\("), "query/exec/begin on a connection or transaction"),
    # query( / exec( whose first argument is a statement text.
    (re.compile(r"(\.|->)\s*(query|exec)\s*\(\s*(QStringLiteral|QLatin1String|QString\s*\(|u8?\"|\"|R\"|\w*[Ss]ql\w*|k[A-Z]\w*)"),
     "query/exec with a statement"),
    (re.compile(r"(\.|->)\s*query\s*\(\s*[^)\s]"), "query( call"),
]


def lex(text):
    """Returns (code, literals): the code with comments and the insides of
    literals blanked (line breaks kept), and the string literals as
    (offset, end, content)."""
    out = []
    literals = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_") or
                                                       text[i - 1] in "u8LU"):
            m = re.compile(r'R"([^(\s]{0,16})\(').match(text, i)
            if not m:
                out.append(c)
                i += 1
                continue
            close = ")" + m.group(1) + '"'
            j = text.find(close, m.end())
            j = n if j < 0 else j
            literals.append((i, j + len(close), text[m.end():j]))
            out.append('"' + re.sub(r"[^\n]", " ", text[i + 1:j + len(close) - 1]) + '"')
            i = j + len(close)
        elif c == '"' or c == "'":
            j = i + 1
            buf = []
            while j < n and text[j] != c and text[j] != "\n":
                if text[j] == "\\" and j + 1 < n:
                    buf.append(text[j:j + 2])
                    j += 2
                else:
                    buf.append(text[j])
                    j += 1
            if c == '"':
                literals.append((i, j + 1, "".join(buf)))
            out.append(c + " " * (j - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out), literals


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def split_args(code, start):
    """The top-level arguments of the call whose "(" is at code[start]."""
    depth, args, cur = 0, [], []
    for k in range(start, len(code)):
        ch = code[k]
        if ch in "([{":
            depth += 1
            if depth == 1:
                continue
        elif ch in ")]}":
            depth -= 1
            if depth == 0:
                args.append("".join(cur).strip())
                return args
        elif ch == "," and depth == 1:
            args.append("".join(cur).strip())
            cur = []
            continue
        cur.append(ch)
    return args


def scan_file(path, text):
    findings = []
    code, literals = lex(text)
    # Adjacent literals ("SELECT ..." "FROM ...") are one text.
    merged = []
    for lit in literals:
        if merged and code[merged[-1][1]:lit[0]].strip() == "":
            start, _, content = merged[-1]
            merged[-1] = (start, lit[1], content + lit[2])
        else:
            merged.append(lit)
    for start, _, content in merged:
        if STATEMENT.search(content) or CLAUSE.search(content) or BOUND.search(content):
            snippet = content.strip().replace("\\n", " ")
            findings.append((line_of(text, start), "SQL text: \"%s\"" % (snippet[:60] + ("..." if len(snippet) > 60 else ""))))
    for rx, what in CODE_RULES:
        for m in rx.finditer(code):
            findings.append((line_of(code, m.start()), what))
    for m in re.finditer(r"\bFillCodeCombo\s*\(", code):
        args = split_args(code, m.end() - 1)
        if len(args) >= 6:
            findings.append((line_of(code, m.start()), "FillCodeCombo with a connection and an SQL text"))
    # One finding per line and kind of rule.
    seen, result = set(), []
    for line, what in sorted(findings):
        key = (line, what.split(":")[0])
        if key in seen:
            continue
        seen.add(key)
        result.append((path, line, what))
    # query/exec reported once per line even when two rules name it.
    final, lines_with_call = [], set()
    for path_, line, what in result:
        if what.startswith("query"):
            if line in lines_with_call:
                continue
            lines_with_call.add(line)
        final.append((path_, line, what))
    return final


def form_sources(root):
    src = os.path.join(root, "src")
    if not os.path.isdir(src):
        return
    for lib in sorted(os.listdir(src)):
        forms = os.path.join(src, lib, "forms")
        if not os.path.isdir(forms):
            continue
        for dirpath, dirnames, filenames in os.walk(forms):
            dirnames.sort()
            for f in sorted(filenames):
                if f.endswith(SOURCE_SUFFIXES):
                    yield os.path.join(dirpath, f)


def scan(root):
    findings = []
    for path in form_sources(root):
        with open(path, encoding="utf-8", errors="replace") as fh:
            text = fh.read()
        findings.extend(scan_file(os.path.relpath(path, root), text))
    return findings


def print_findings(findings, out):
    for path, line, what in findings:
        out.write("%s:%d: %s\n" % (path, line, what))


def self_test(fixtures):
    import io
    failures = []
    dirty_root = os.path.join(fixtures, "dirty")
    clean_root = os.path.join(fixtures, "clean")
    expected = []
    # The dirty fixture marks every line that must be found with "// FINDING".
    for path in form_sources(dirty_root):
        with open(path, encoding="utf-8") as fh:
            for no, line in enumerate(fh, 1):
                if "// FINDING" in line:
                    expected.append((os.path.relpath(path, dirty_root), no))
    got = sorted(set((p, l) for p, l, _ in scan(dirty_root)))
    if not expected:
        failures.append("the dirty fixture marks no finding")
    if got != sorted(expected):
        failures.append("dirty fixture: expected %s, found %s" % (sorted(expected), got))
    # Outside a forms folder nothing is read.
    if any(not os.path.normpath(p).split(os.sep)[2] == "forms" for p, _ in got):
        failures.append("a file outside a forms folder was read")
    buf = io.StringIO()
    print_findings(scan(dirty_root), buf)
    if not re.search(r"^src/\w+/forms/\S+\.(cpp|h):\d+: ", buf.getvalue(), re.M):
        failures.append("findings are not written as file:line: " + buf.getvalue()[:200])
    clean = scan(clean_root)
    if clean:
        buf = io.StringIO()
        print_findings(clean, buf)
        failures.append("clean fixture has findings:\n" + buf.getvalue())
    if not list(form_sources(clean_root)):
        failures.append("the clean fixture has no forms source")
    for f in failures:
        sys.stdout.write("FAIL: %s\n" % f)
    if not failures:
        sys.stdout.write("self-test passed: %d findings in the dirty fixture, none in the clean one\n" % len(expected))
    return 1 if failures else 0


def main(argv):
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    listing = False
    i = 0
    while i < len(argv):
        a = argv[i]
        if a == "--root" and i + 1 < len(argv):
            root = argv[i + 1]
            i += 2
            continue
        if a == "--list":
            listing = True
        elif a == "--self-test" and i + 1 < len(argv):
            return self_test(argv[i + 1])
        else:
            sys.stderr.write(__doc__)
            return 2
        i += 1
    findings = scan(root)
    print_findings(findings, sys.stdout)
    if listing:
        counts = {}
        for path, _, _ in findings:
            counts[path] = counts.get(path, 0) + 1
        for path in sorted(counts):
            sys.stdout.write("%5d  %s\n" % (counts[path], path))
        sys.stdout.write("%d findings in %d files\n" % (len(findings), len(counts)))
        return 0
    if findings:
        sys.stdout.write("%d uses of the access layer in forms (see above)\n" % len(findings))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
