#!/bin/bash
# kill -9 during the store of a 100-cabin contract line, ROUNDS times, each
# followed by gfix -v -full on the embedded database; then the same number of
# kills of a bare client write (isql-fb) of the same rows. Prints per round
# what gfix said and a summary; exit 0 (it measures, it does not judge).
#
#   bench/engine_kill/kill_loop.sh [BUILD_DIR=build] [ROUNDS=50]
#
# Each round starts from the same copy of the demonstration database; the kill
# falls at a random moment within the time an unkilled run takes.
set -u
BUILD=$(cd "${1:-build}" && pwd)
ROUNDS=${2:-50}
ADMIN=$BUILD/bin/vorlanda-admin
HELPER=$BUILD/bin/bench_engine_kill
export FIREBIRD=$BUILD/bin/firebird FIREBIRD_LOCK=$BUILD/bin/firebird-lock
export QT_QPA_PLATFORM=offscreen
W=$(mktemp -d /tmp/engine-kill.XXXXXX)
trap 'rm -rf "$W"' EXIT
printf 'DBSERVER=%s/pkr.fdb\r\nWPWD=NONE\r\n' "$W" > "$W/PKR.INI"
cd "$W"
"$ADMIN" init-db --demo >/dev/null || { echo "init-db failed"; exit 1; }
ISQL() { isql-fb -q -user SYSDBA "$@"; }
# A site with an open contract whose lines may be changed: the newest contract of the demo.
read -r CUST SITE <<<"$(echo "SET LIST OFF; SET HEADING OFF; SELECT FIRST 1 TRIM(UGYFELKOD) || ' ' || TRIM(UGYFELCIM) FROM FORGFEJ WHERE VERZIO = 1 AND COALESCE(STATUSZ, '') <> 'L' ORDER BY BIZONYLAT DESC;" | ISQL "$W/pkr.fdb" | tr -s ' \n' ' ' | sed 's/^ //')"
[ -n "${CUST:-}" ] || { echo "no open contract in the demo"; exit 1; }
cp "$W/pkr.fdb" "$W/pristine.fdb"
STORE=("$ADMIN" store-line "$CUST" "$SITE" --mennyiseg 100 --bermenny 1 --nettoar 1000 --yes)

# One unkilled store: its time, and the rows it wrote (for the bare writer).
t0=$(date +%s%N)
"${STORE[@]}" > "$W/store.out" 2>&1 || { echo "store-line failed:"; cat "$W/store.out"; exit 1; }
t1=$(date +%s%N)
STORE_MS=$(( (t1 - t0) / 1000000 ))
read -r BIZ TET <<<"$(echo "SET HEADING OFF; SELECT FIRST 1 BIZONYLAT || ' ' || TETELSOR FROM FORGTETEL ORDER BY BIZONYLAT DESC, TETELSOR DESC;" | ISQL "$W/pkr.fdb" | tr -s ' \n' ' ' | sed 's/^ //')"
"$HELPER" "$W/pkr.fdb" "$BIZ" "$TET" "$W/rows.sql" > "$W/rows.count" || exit 1
cp "$W/pkr.fdb" "$W/stored.fdb"
t0=$(date +%s%N)
cp "$W/pristine.fdb" "$W/bare.fdb"
# The bare writer writes the rows a store wrote into a database without them.
ISQL "$W/bare.fdb" -i "$W/rows.sql" >/dev/null 2>&1
t1=$(date +%s%N)
BARE_MS=$(( (t1 - t0) / 1000000 ))
echo "store of line $BIZ/$TET for $CUST/$SITE: ${STORE_MS} ms; bare write: ${BARE_MS} ms; rows: $(tr '\n' ' ' < "$W/rows.count")"

gfix_check() {
    # gfix -v -full: exit status and the lines it printed (nothing when clean)
    local out
    out=$(gfix -v -full -user SYSDBA "$1" 2>&1)
    local rc=$?
    if [ $rc -eq 0 ] && [ -z "$out" ]; then echo clean; else echo "rc=$rc $(echo "$out" | tr '\n' ' ' | cut -c1-300)"; fi
}

run_rounds() { # $1 label, $2 max ms, then the command (run with $W/round.fdb as the database)
    local label=$1 max=$2
    shift 2
    local clean=0 bad=0 done=0 killed=0
    for i in $(seq 1 "$ROUNDS"); do
        cp "$W/pristine.fdb" "$W/round.fdb"
        rm -f "$W/round.fdb.lock"
        local delay=$(( (RANDOM * 32768 + RANDOM) % (max > 20 ? max : 20) ))
        "$@" >/dev/null 2>&1 &
        local pid=$!
        sleep "$(printf '0.%03d' $((delay % 1000)))"
        [ $delay -ge 1000 ] && sleep $((delay / 1000))
        if kill -9 $pid 2>/dev/null; then killed=$((killed + 1)); else done=$((done + 1)); fi
        wait $pid 2>/dev/null
        local g
        g=$(gfix_check "$W/round.fdb")
        if [ "$g" = clean ]; then clean=$((clean + 1)); else bad=$((bad + 1)); echo "$label round $i (kill at ${delay} ms): $g"; fi
    done
    echo "$label: $ROUNDS rounds, $killed killed, $done finished before the kill; gfix clean $clean, with errors $bad"
}

printf 'DBSERVER=%s/round.fdb\r\nWPWD=NONE\r\n' "$W" > "$W/PKR.INI"
run_rounds "store-line" "$STORE_MS" "${STORE[@]}"
run_rounds "bare isql write" "$BARE_MS" isql-fb -q -user SYSDBA "$W/round.fdb" -i "$W/rows.sql"
