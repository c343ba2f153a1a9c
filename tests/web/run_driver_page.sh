#!/usr/bin/env bash
# The drivers' page against the real service, in a real Chromium:
#  1. a demo database in a temporary folder with the service's user;
#     driver S01 gets a maintenance visit and a take-back today (store-line: a daily pattern on one line,
#     the take-back date on another line of the same contract) and PIN 1234;
#  2. `vorlanda-admin serve` on a free loopback port;
#  3. driver_page.test.mjs logs in on a 360x740 touch screen, marks one
#     maintenance visit "Elvégezve" and the take-back "Nem végezhető el"
#     with a reason, and writes the keys it marked;
#  4. the database: the visit is done, the take-back still planned and its
#     remark holds the reason and the remark typed.
# Fails (never skips) when node, npm or /usr/bin/chromium is missing.
#   run_driver_page.sh VORLANDA_ADMIN [OUT_DIR]
set -euo pipefail
ADMIN=$(readlink -f "$1")
HERE=$(dirname "$(readlink -f "$0")")
OUT=${2:-$HERE/../../out/driver-page}
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$ADMIN" ] || fail "no vorlanda-admin at $1"
for t in node npm; do
  command -v "$t" >/dev/null || fail "missing tool: $t (scripts/install-deps.sh --test installs it)"
done
[ -x /usr/bin/chromium ] || fail "missing /usr/bin/chromium (scripts/install-deps.sh --test installs it)"

if [ ! -d "$HERE/node_modules/puppeteer-core" ]; then
  # puppeteer-core never downloads a browser: the system's Chromium is used.
  (cd "$HERE" && npm ci --no-audit --no-fund >/dev/null) || fail "npm ci in $HERE failed"
fi

T=$(mktemp -d /tmp/vorlanda-driver-page.XXXXXX)
SERVE_PID=
cleanup() {
  if [ -n "$SERVE_PID" ] && kill -0 "$SERVE_PID" 2>/dev/null; then
    kill -TERM "$SERVE_PID" 2>/dev/null || true
    wait "$SERVE_PID" 2>/dev/null || true
  fi
  rm -rf "$T"
}
trap cleanup EXIT
export XDG_DATA_HOME="$T/xdg"
cd "$T"
printf 'DBSERVER=%s\r\nSERVICEUSER=SOFSZ\r\nSERVICELOG=%s\r\n' "$T/var/pkr.fdb" "$T/serve.log" > PKR.INI
admin() { "$ADMIN" "$@"; }

# ---- 1. the database, the day, the PIN
admin init-db --demo >"$T/init.log" 2>&1 || { cat "$T/init.log"; fail "init-db --demo"; }
# The service's own user (no one logs in with it: its password hash matches no password);
# an update script is plain ASCII or windows-1250.
cat > user.sql <<'SQL'
INSERT INTO SZ_JUZER (KOD, NEV, JELSZO, JOGOK, AKTIV) VALUES ('SOFSZ', 'Telefonos szolgaltatas', '$argon2id$v=19$m=65536,t=2,p=1$bmluY3M$bmluY3MgamVsc3rDsw', 'W', 'I');
SQL
admin run-script user.sql >"$T/user.log" 2>&1 || { cat "$T/user.log"; fail "the service's user"; }
DAY=$(date +%Y.%m.%d)
# Contract 1 of the demo (customer 1, site 1, driver S01): line 1 visited every
# day, line 2 taken back today.
admin --yes store-line 1 1 1 1 --hkszcspszv 1111111 --karbar 4500,4500,4500,4500,4500,4500,4500 >"$T/line1.log" 2>&1 ||
  { cat "$T/line1.log"; fail "store-line 1 1 1 1 (daily visits)"; }
admin --yes store-line 1 1 1 2 --vszall "$DAY" >"$T/line2.log" 2>&1 ||
  { cat "$T/line2.log"; fail "store-line 1 1 1 2 (take-back today)"; }

rows() {   # rows() FILE WHERE: the day's activities of S01 as BIZONYLAT;VERZIO;TETELSOR;SORSZAM;TEVSORSZAM;TEVKOD;TEVALLAPOT;KOMMENT
  admin export "SELECT BIZONYLAT, VERZIO, TETELSOR, SORSZAM, TEVSORSZAM, TEVKOD, TEVALLAPOT, KOMMENT FROM FORGTEV WHERE DATUM = '$DAY' AND SOFORKOD = 'S01' $2 ORDER BY BIZONYLAT, TETELSOR, SORSZAM, TEVSORSZAM" "$1" >/dev/null ||
    fail "export of the day's activities"
  sed -i '1s/^\xEF\xBB\xBF//' "$1"
}
rows "$T/before.csv" ""
grep -q ';KA;T;' "$T/before.csv" || { cat "$T/before.csv"; fail "S01 has no planned maintenance visit on $DAY"; }
grep -q ';VSZ;T;' "$T/before.csv" || { cat "$T/before.csv"; fail "S01 has no planned take-back on $DAY"; }

echo 1234 | admin driver-pin S01 >"$T/pin.log" 2>&1 || { cat "$T/pin.log"; fail "driver-pin S01"; }

# ---- 2. the service
PORT=$(node -e 'const s=require("net").createServer();s.listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close();})')
"$ADMIN" serve --listen "127.0.0.1:$PORT" >"$T/serve.out" 2>&1 &
SERVE_PID=$!
URL="http://127.0.0.1:$PORT/"
up=no
for _ in $(seq 1 120); do
  kill -0 "$SERVE_PID" 2>/dev/null || { cat "$T/serve.out"; fail "serve ended before it answered"; }
  if node -e 'fetch(process.argv[1]).then(r=>process.exit(r.status===200?0:1),()=>process.exit(1))' "$URL"; then
    up=yes; break
  fi
  sleep 0.5
done
[ "$up" = yes ] || { cat "$T/serve.out"; fail "serve does not answer at $URL"; }

# ---- 3. the page in Chromium
mkdir -p "$OUT"
rm -f "$OUT/marks.json"
# The visit of cabin 101 marked on the phone, the take-back of cabin 136; the
# office meanwhile marks cabin 102's visit done, and the phone's "Elvégezve"
# on it is refused.
VL_URL="$URL" VL_DRIVER=S01 VL_PIN=1234 VL_OUT="$OUT" \
VL_MAINT_CODE=KA VL_MAINT_CABIN=101 VL_TAKEBACK_CODE=VSZ VL_TAKEBACK_CABIN=136 \
VL_OFFICE_CHANGE="$(printf '%q' "$ADMIN") activity 1 1 2 $DAY 1 --done >/dev/null" \
VL_OFFICE_CABIN=102 \
  node "$HERE/driver_page.test.mjs" || { echo "--- serve:"; cat "$T/serve.out"; fail "the page's test"; }
[ -f "$OUT/marks.json" ] || fail "the page's test wrote no marks.json"

kill -TERM "$SERVE_PID"
rc=0; wait "$SERVE_PID" || rc=$?
SERVE_PID=
[ "$rc" -eq 0 ] || { cat "$T/serve.out"; fail "serve did not end cleanly on SIGTERM (exit status $rc)"; }

# ---- 4. the database
field() { node -e 'const j=JSON.parse(require("fs").readFileSync(process.argv[1],"utf8"));process.stdout.write(String(j[process.argv[2]]))' "$OUT/marks.json" "$1"; }
where_of() {   # T.<contract>.<version>.<line>.<item>.<yyyy.mm.dd>.<seq> -> a WHERE of plain numbers
  [[ "$1" =~ ^T\.([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]{4}\.[0-9]{2}\.[0-9]{2})\.([0-9]+)$ ]] || fail "not an activity's key: $1"
  [ "${BASH_REMATCH[5]}" = "$DAY" ] || fail "the key $1 is not of $DAY"
  echo "AND BIZONYLAT = ${BASH_REMATCH[1]} AND VERZIO = ${BASH_REMATCH[2]} AND TETELSOR = ${BASH_REMATCH[3]} AND SORSZAM = ${BASH_REMATCH[4]} AND TEVSORSZAM = ${BASH_REMATCH[6]}"
}
DONE_KEY=$(field done); NOTDONE_KEY=$(field notdone); REASON_NAME=$(field reasonName); REMARK=$(field remark)
rows "$T/done.csv" "$(where_of "$DONE_KEY")"
rows "$T/notdone.csv" "$(where_of "$NOTDONE_KEY")"
[ "$(tail -n +2 "$T/done.csv" | wc -l)" -eq 1 ] || { cat "$T/done.csv"; fail "the visit $DONE_KEY is not one row"; }
[ "$(tail -n +2 "$T/notdone.csv" | wc -l)" -eq 1 ] || { cat "$T/notdone.csv"; fail "the take-back $NOTDONE_KEY is not one row"; }
ok=0; bad=0
expect() { if eval "$2"; then echo "ok   $1"; ok=$((ok + 1)); else echo "FAIL $1"; bad=$((bad + 1)); fi; }
DONE_ROW=$(tail -n 1 "$T/done.csv"); NOTDONE_ROW=$(tail -n 1 "$T/notdone.csv")
expect "the visit is a maintenance visit, done in the database ($DONE_ROW)" '[[ "$DONE_ROW" == *";KA;E;"* ]]'
expect "the take-back is still planned in the database ($NOTDONE_ROW)" '[[ "$NOTDONE_ROW" == *";VSZ;T;"* ]]'
expect "the take-back's remark holds the reason \"$REASON_NAME\"" '[[ "$NOTDONE_ROW" == *"$REASON_NAME"* ]]'
expect "the take-back's remark holds the remark typed" '[[ "$NOTDONE_ROW" == *"$REMARK"* ]]'
# Nothing else of the driver's day changed state than the phone's visit and the office's.
rows "$T/after.csv" ""
CHANGED=$( (diff <(cut -d';' -f1-7 "$T/before.csv") <(cut -d';' -f1-7 "$T/after.csv") || true) | (grep '^>' || true) | cut -c3- | sort | tr '\n' ' ')
WANT=$(printf '%s\n' "$(cut -d';' -f1-5 <<<"$DONE_ROW");KA;E" "1;1;1;2;1;KA;E" | sort | tr '\n' ' ')
expect "only the phone's visit and the office's changed state ($CHANGED)" '[ "$CHANGED" = "$WANT" ]'
echo "$ok passed, $bad failed"
[ "$bad" -eq 0 ]
