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
#     remark holds the reason and the remark typed;
#  5. without signal (driver_page.test.mjs, VL_MODE=offline): the service
#     stopped and started again on the same port and database, the browser
#     closed and opened again on its profile; the database then holds each
#     mark once in the order made, the refused one refused, the photo and the
#     signature in FORGKEP;
#  6. over TLS (VL_MODE=tls): `serve --make-cert --name vorlanda.test`, the CA
#     trusted in a temporary HOME's NSS database, the name mapped to loopback:
#     the page loads without certificate errors and its worker registers.
# Fails (never skips) when node, npm, /usr/bin/chromium, convert or certutil is missing.
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
  if [ -f "$T/serve.pid" ]; then kill -TERM "$(cat "$T/serve.pid")" 2>/dev/null || true; sleep 1; fi
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

# ---- 5. without signal: the service stopped and started again by service.sh
# (same database, same port), the browser closed and opened again on its profile
command -v convert >/dev/null || fail "missing tool: convert (ImageMagick; scripts/install-deps.sh --test installs it)"
convert -size 2400x1800 gradient:'#2a6f97-#f4d35e' -quality 92 "$T/photo.jpg" || fail "the test photo"
cat > "$T/service.sh" <<SH
#!/usr/bin/env bash
# service.sh start|stop: the service on $PORT in the background, its pid in serve.pid
set -euo pipefail
cd "$T"
case "\$1" in
start)
  $(printf '%q' "$ADMIN") serve --listen "127.0.0.1:$PORT" >>"$T/serve.out" 2>&1 </dev/null &
  echo \$! > "$T/serve.pid"
  for _ in \$(seq 1 120); do
    kill -0 "\$(cat "$T/serve.pid")" 2>/dev/null || { echo "serve ended" >&2; exit 1; }
    node -e 'fetch(process.argv[1]).then(r=>process.exit(r.status===200?0:1),()=>process.exit(1))' "$URL" && exit 0
    sleep 0.5
  done
  echo "serve does not answer" >&2; exit 1 ;;
stop)
  pid=\$(cat "$T/serve.pid"); rm -f "$T/serve.pid"
  kill -TERM "\$pid"
  for _ in \$(seq 1 100); do kill -0 "\$pid" 2>/dev/null || exit 0; sleep 0.2; done
  echo "serve does not end" >&2; exit 1 ;;
esac
SH
chmod +x "$T/service.sh"
"$T/service.sh" start || { cat "$T/serve.out"; fail "serve for the offline scenario"; }
rm -f "$OUT/offline.json"
# Cabin 103's visit gets a photo, the take-back of cabin 136 the receiver's
# signature; the office marks cabin 137's visit done while the service is down.
VL_MODE=offline VL_URL="$URL" VL_DRIVER=S01 VL_PIN=1234 VL_OUT="$OUT" VL_ADMIN="$ADMIN" \
VL_PROFILE="$T/profile" VL_SERVICE_STOP="$T/service.sh stop" VL_SERVICE_START="$T/service.sh start" \
VL_PHOTO="$T/photo.jpg" VL_MAINT_CODE=KA VL_PHOTO_CABIN=103 VL_CHANGED_CABIN=137 \
VL_TAKEBACK_CODE=VSZ VL_TAKEBACK_CABIN=136 \
  node "$HERE/driver_page.test.mjs" || { echo "--- serve:"; cat "$T/serve.out"; fail "the page's offline test"; }
[ -f "$OUT/offline.json" ] || fail "the offline test wrote no offline.json"
"$T/service.sh" stop || fail "serve did not end after the offline scenario"

# Each mark once, in the order made; the refused one refused; the images stored once each.
jq_() { node -e 'const j=JSON.parse(require("fs").readFileSync(process.argv[1],"utf8"));process.stdout.write(String(eval(process.argv[2])))' "$OUT/offline.json" "$1"; }
IDS=$(jq_ 'j.marks.map(m=>"'"'"'"+m.id+"'"'"'").join(",")')
admin export "SELECT AZONOSITO, MUVELET, EREDMENY FROM TELEFONJEL WHERE SOFORKOD = 'S01' AND AZONOSITO IN ($IDS) ORDER BY MIKOR, AZONOSITO" "$T/phonemarks.csv" >/dev/null ||
  fail "export of the phone's marks"
sed -i '1s/^\xEF\xBB\xBF//' "$T/phonemarks.csv"
GOT=$(tail -n +2 "$T/phonemarks.csv" | tr -d '\r' | tr '\n' ' ')
WANT=$(jq_ 'j.marks.map(m=>m.id+";"+m.action+";"+(m.id===j.refused?"refused":"ok")).join(" ")+" "')
expect "each offline mark is in TELEFONJEL once, in the order made ($GOT)" '[ "$GOT" = "$WANT" ]'
admin export "SELECT FAJTA, ATVEVO, TIPUS, MERET, KERES FROM FORGKEP WHERE SOFORKOD = 'S01' ORDER BY ID" "$T/images.csv" >/dev/null ||
  fail "export of the activities' images (FORGKEP holds none of S01)"
sed -i '1s/^\xEF\xBB\xBF//' "$T/images.csv"
IMG=$(tail -n +2 "$T/images.csv" | tr -d '\r')
P_ID=$(jq_ 'j.images[0].id'); S_ID=$(jq_ 'j.images[1].id'); RECEIVER=$(jq_ 'j.images[1].receiver')
expect "two images stored, once each ($(tr '\n' ' ' <<<"$IMG"))" '[ "$(wc -l <<<"$IMG")" -eq 2 ]'
expect "the photo: a JPEG, not empty, by its request id" '[[ "$(sed -n 1p <<<"$IMG")" =~ ^F\;\;image/jpeg\;[1-9][0-9]*\;$P_ID$ ]]'
expect "the signature: a PNG with the receiver's name, by its request id" '[[ "$(sed -n 2p <<<"$IMG")" =~ ^A\;$RECEIVER\;image/png\;[1-9][0-9]*\;$S_ID$ ]]'
PHOTO_KEY=$(jq_ 'j.images[0].key'); SIGN_KEY=$(jq_ 'j.images[1].key')
rows "$T/photo_act.csv" "$(where_of "$PHOTO_KEY")"
rows "$T/sign_act.csv" "$(where_of "$SIGN_KEY")"
expect "the visit with the photo is done" '[[ "$(tail -n 1 "$T/photo_act.csv")" == *";KA;E;"* ]]'
expect "the take-back with the signature is done" '[[ "$(tail -n 1 "$T/sign_act.csv")" == *";VSZ;E;"* ]]'

# ---- 6. over TLS: the office's own certificate for a made-up name, its CA
# trusted in a temporary HOME's NSS database
command -v certutil >/dev/null || fail "missing tool: certutil (libnss3-tools; scripts/install-deps.sh --test installs it)"
admin serve --make-cert "$T/cert" --name vorlanda.test >"$T/cert.log" 2>&1 || { cat "$T/cert.log"; fail "serve --make-cert"; }
mkdir -p "$T/home/.pki/nssdb"
certutil -d "sql:$T/home/.pki/nssdb" -N --empty-password || fail "certutil: the NSS database"
certutil -d "sql:$T/home/.pki/nssdb" -A -t "C,," -n vorlanda -i "$T/cert/ca.crt" || fail "certutil: the office's CA"
TLS_PORT=$(node -e 'const s=require("net").createServer();s.listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close();})')
"$ADMIN" serve --listen "127.0.0.1:$TLS_PORT" --cert "$T/cert/server.crt" --key "$T/cert/server.key" >"$T/serve-tls.out" 2>&1 &
SERVE_PID=$!
up=no
for _ in $(seq 1 120); do
  kill -0 "$SERVE_PID" 2>/dev/null || { cat "$T/serve-tls.out"; fail "serve over TLS ended before it answered"; }
  if (exec 3<>"/dev/tcp/127.0.0.1/$TLS_PORT") 2>/dev/null; then up=yes; break; fi
  sleep 0.5
done
[ "$up" = yes ] || { cat "$T/serve-tls.out"; fail "serve over TLS does not listen on $TLS_PORT"; }
VL_MODE=tls VL_URL="https://vorlanda.test:$TLS_PORT/" VL_DRIVER=S01 VL_PIN=1234 VL_OUT="$OUT" \
VL_TLS_HOME="$T/home" VL_RESOLVER_RULES="MAP vorlanda.test 127.0.0.1" \
  node "$HERE/driver_page.test.mjs" || { echo "--- serve:"; cat "$T/serve-tls.out"; fail "the page over TLS"; }
kill -TERM "$SERVE_PID"; wait "$SERVE_PID" || true
SERVE_PID=

echo "$ok passed, $bad failed"
[ "$bad" -eq 0 ]
