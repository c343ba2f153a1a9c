#!/usr/bin/env bash
# The Debian package, as an office installs it:
#  1. built by CPack from the build tree; its contents, its dependencies;
#  2. unpacked with dpkg -x into a temporary root: the desktop entry
#     validates, both manual pages render without a warning and name every
#     command, the completion parses; vorlanda-admin started through its
#     /usr/bin link makes a new company (init-db --company) and checks it;
#  3. two system users of one machine, both through an unpacked copy they
#     cannot write (as /usr/lib/vorlanda), write one embedded file in their
#     group's folder at the same time: the engine's lock directory is made
#     beside the file, shared by the group, and gfix -v -full finds nothing.
# Needs root (it makes the two users and removes them again).
#   test-package.sh BUILD_DIR
set -euo pipefail
BUILD=$(readlink -f "$1")
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "the package test needs root: it makes two system users with useradd"
for t in cpack dpkg-deb desktop-file-validate man runuser useradd userdel groupadd groupdel gfix isql-fb gzip; do
  command -v "$t" >/dev/null || fail "missing tool: $t (scripts/install-deps.sh --test installs it)"
done

T=$(mktemp -d /tmp/vorlanda-package.XXXXXX)
chmod 755 "$T"
G=vlt$$g; UA=vlt$$a; UB=vlt$$b
cleanup() {
  userdel "$UA" 2>/dev/null || true
  userdel "$UB" 2>/dev/null || true
  groupdel "$G" 2>/dev/null || true
  rm -rf "$T"
}
trap cleanup EXIT
export XDG_DATA_HOME="$T/xdg-root"

# ---- 1. the package
DEB=$("$(dirname "$(readlink -f "$0")")/../../packaging/build-deb.sh" "$BUILD" "$T/pkg") || fail "the package could not be built"
[ -f "$DEB" ] || fail "no package: $DEB"
dpkg-deb -c "$DEB" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' | sed 's|^\./|/|' > "$T/contents"
for f in /usr/lib/vorlanda/vorlanda /usr/lib/vorlanda/vorlanda-admin \
         /usr/lib/vorlanda/firebird/firebird.conf /usr/lib/vorlanda/firebird/databases.conf \
         "/usr/bin/vorlanda -> ../lib/vorlanda/vorlanda" "/usr/bin/vorlanda-admin -> ../lib/vorlanda/vorlanda-admin" \
         /usr/share/applications/vorlanda.desktop /usr/share/icons/hicolor/scalable/apps/vorlanda.svg \
         /usr/share/icons/hicolor/48x48/apps/vorlanda.png /usr/share/icons/hicolor/256x256/apps/vorlanda.png \
         /usr/share/man/man1/vorlanda.1.gz /usr/share/man/man1/vorlanda-admin.1.gz \
         /usr/share/bash-completion/completions/vorlanda-admin \
         /usr/share/doc/vorlanda/copyright /usr/share/doc/vorlanda/changelog.gz; do
  grep -qxF -- "$f" "$T/contents" || fail "the package lacks $f"
done
grep -q '^/usr/lib/vorlanda/firebird/plugins -> /' "$T/contents" || fail "the engine's plugins are not linked in"
# Nothing of a run or of the tests.
if grep -E 'firebird-lock|\.fdb|\.log$|/tst_|/bench_|/db_tool|include ->|UDF ->' "$T/contents"; then
  fail "the package holds files of a run or of the tests"
fi
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for p in firebird3.0-server-core qt6-qpa-plugins libqt6widgets6 libqt6core6 libfbclient2 libsodium23 libqrencode4 libc6; do
  echo "$DEPENDS" | grep -Eq "(^|, )$p( |,|$)" || fail "Depends lacks $p: $DEPENDS"
done
[ "$(dpkg-deb -f "$DEB" Package)" = vorlanda ] || fail "package name"

# ---- 2. an unpacked copy
R="$T/root"
dpkg-deb -x "$DEB" "$R"
desktop-file-validate "$R/usr/share/applications/vorlanda.desktop" || fail "desktop-file-validate"
grep -qx 'Categories=Office;' "$R/usr/share/applications/vorlanda.desktop" || fail "not in the Office menu"
grep -q '^Name\[hu\]=' "$R/usr/share/applications/vorlanda.desktop" || fail "no Hungarian name"
grep -q '^Comment\[hu\]=' "$R/usr/share/applications/vorlanda.desktop" || fail "no Hungarian comment"
ADMIN="$R/usr/bin/vorlanda-admin"
"$ADMIN" --help 2>"$T/help.txt" || true
COMMANDS=$(sed -n '/^Parancsok:/,$p' "$T/help.txt" | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p')
[ "$(echo "$COMMANDS" | wc -l)" -ge 20 ] || fail "vorlanda-admin --help lists too few commands"
for page in vorlanda vorlanda-admin; do
  LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -E UTF-8 -l "$R/usr/share/man/man1/$page.1.gz" >"$T/$page.txt" 2>"$T/$page.err" \
    || fail "man -l $page"
  [ ! -s "$T/$page.err" ] || { cat "$T/$page.err"; fail "man -l $page warns"; }
done
for c in $COMMANDS; do
  grep -Eq "^ {7}$c( |$)" "$T/vorlanda-admin.txt" || fail "vorlanda-admin(1) does not describe the command $c"
  grep -q " $c" "$R/usr/share/bash-completion/completions/vorlanda-admin" || fail "the completion lacks $c"
done
for o in --ini --yes --company --demo; do
  grep -q -- "$o" "$T/vorlanda-admin.txt" || fail "vorlanda-admin(1) does not name $o"
done
tr -s ' \n' '  ' <"$T/vorlanda.txt" | grep -q "Új cég létrehozása" || fail "vorlanda(1) does not describe the first start"
bash -n "$R/usr/share/bash-completion/completions/vorlanda-admin" || fail "the completion does not parse"

cat > "$T/ceg.json" <<'JSON'
{"NEV": "Próba Kabin Kft.", "IRSZAM": "2040", "VAROS": "Budaörs", "UTCA": "Szabadság út 1.",
 "ADOSZAM": "12345676-2-13", "TELEFON": "+36 23 555 000", "AFA": 27, "USER": "Admin", "PASSWORD": "Elso-Jelszo1"}
JSON
mkdir "$T/w1"
printf 'DBSERVER=%s/w1/pkr.fdb\r\nWPWD=\r\n' "$T" > "$T/w1/PKR.INI"
(cd "$T/w1" && "$ADMIN" init-db --company "$T/ceg.json") >"$T/init.log" 2>&1 || { cat "$T/init.log"; fail "init-db --company from the unpacked copy"; }
(cd "$T/w1" && "$ADMIN" check) >"$T/check.log" 2>&1 || { cat "$T/check.log"; fail "check from the unpacked copy"; }
for l in "Kapcsolat: DbServer:$T/w1/pkr.fdb" "UGYFEL: 0 sor" "FORGFEJ: 0 sor"; do
  grep -qF "$l" "$T/check.log" || { cat "$T/check.log"; fail "check does not say: $l"; }
done
# The copy found its own engine configuration and keeps its lock directory
# beside its programs (its folder is the runner's own).
[ -d "$R/usr/lib/vorlanda/firebird-lock" ] || fail "the unpacked copy's lock directory is not beside its programs"

# ---- 3. two users, one shared embedded file
S="$T/sys"
dpkg-deb -x "$DEB" "$S"
chown -R root:root "$S"; chmod -R go-w "$S"
groupadd "$G"
useradd -M -N -g "$G" -d "$T/$UA" -s /bin/sh "$UA"
useradd -M -N -g "$G" -d "$T/$UB" -s /bin/sh "$UB"
SHARED="$T/shared"
mkdir -m 2770 "$SHARED"; chgrp "$G" "$SHARED"; chmod 2770 "$SHARED"
for u in "$UA" "$UB"; do
  mkdir -m 700 "$T/$u"
  printf 'DBSERVER=%s/pkr.fdb\r\nWPWD=\r\n' "$SHARED" > "$T/$u/PKR.INI"
  chown -R "$u:$G" "$T/$u"
done
cp "$T/ceg.json" "$T/$UA/ceg.json"; chown "$UA:$G" "$T/$UA/ceg.json"
as() { local u=$1; shift; runuser -u "$u" -- env HOME="$T/$u" XDG_DATA_HOME="$T/$u/.local/share" "$@"; }
as "$UA" "$S/usr/bin/vorlanda-admin" --ini "$T/$UA/PKR.INI" init-db --company "$T/$UA/ceg.json" >"$T/init2.log" 2>&1 \
  || { cat "$T/init2.log"; fail "init-db by the first user"; }
printf 'CREATE TABLE PROBA (ID INTEGER NOT NULL PRIMARY KEY, KI VARCHAR(20));\r\n' > "$T/$UA/tabla.sql"
chown "$UA:$G" "$T/$UA/tabla.sql"
as "$UA" "$S/usr/bin/vorlanda-admin" --ini "$T/$UA/PKR.INI" run-script "$T/$UA/tabla.sql" >"$T/tabla.log" 2>&1 \
  || { cat "$T/tabla.log"; fail "the table of the test"; }
first=1
for u in "$UA" "$UB"; do
  for i in $(seq "$first" $((first + 299))); do printf "INSERT INTO PROBA (ID, KI) VALUES (%d, '%s');\r\n" "$i" "$u"; done > "$T/$u/sorok.sql"
  chown "$u:$G" "$T/$u/sorok.sql"
  first=$((first + 1000))
done
as "$UA" "$S/usr/bin/vorlanda-admin" --ini "$T/$UA/PKR.INI" run-script "$T/$UA/sorok.sql" >"$T/a.log" 2>&1 & PA=$!
as "$UB" "$S/usr/bin/vorlanda-admin" --ini "$T/$UB/PKR.INI" run-script "$T/$UB/sorok.sql" >"$T/b.log" 2>&1 & PB=$!
wait $PA || { cat "$T/a.log"; fail "the first user's writes"; }
wait $PB || { cat "$T/b.log"; fail "the second user's writes"; }
LOCK="$SHARED/firebird-lock"
[ -d "$LOCK" ] && [ ! -L "$LOCK" ] || fail "no lock directory beside the shared database"
[ "$(stat -c %G "$LOCK")" = "$G" ] || fail "the lock directory is not the group's: $(stat -c '%U:%G %a' "$LOCK")"
[ "$(stat -c %a "$LOCK")" = 2770 ] || fail "the lock directory's mode: $(stat -c %a "$LOCK")"
[ ! -e "$S/usr/lib/vorlanda/firebird-lock" ] || fail "a lock directory was made in the read-only installation"
[ "$(head -1 "$SHARED/pkr.fdb.lock")" = "$LOCK" ] || fail "the database's guard names another lock directory: $(cat "$SHARED/pkr.fdb.lock")"
[ -n "$(ls -A "$LOCK")" ] || fail "the engine kept no lock table in $LOCK"
export FIREBIRD="$S/usr/lib/vorlanda/firebird" FIREBIRD_LOCK="$LOCK"
n=$(as "$UA" env FIREBIRD="$FIREBIRD" FIREBIRD_LOCK="$LOCK" isql-fb -q -user SYSDBA "$SHARED/pkr.fdb" <<<"SET HEADING OFF; SELECT COUNT(*), COUNT(DISTINCT KI) FROM PROBA;" | tr -s ' \n' ' ')
[ "$n" = " 600 2 " ] || fail "rows written by the two users: '$n' (600 rows by 2 users expected)"
g=$(as "$UA" env FIREBIRD="$FIREBIRD" FIREBIRD_LOCK="$LOCK" gfix -v -full -n -user SYSDBA "$SHARED/pkr.fdb" 2>&1) \
  || fail "gfix -v -full: $g"
[ -z "$g" ] || fail "gfix -v -full: $g"
echo "PASS: $DEB"
