#!/bin/bash
# kill -9 during the store of a 100-cabin contract line, ROUNDS times, each
# followed by gfix -v -full on the embedded database; then the same number of
# kills of a bare client write (isql-fb, nothing of this program) of the same
# rows. Prints what gfix said per round and a summary; exit 0 (it measures).
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
cp "$W/pkr.fdb" "$W/pristine.fdb"
DAY=$(date -d tomorrow +%Y.%m.%d)
LINE=(--arucsoport ALAP --mennyiseg 100 --bermenny 1 --bermegyseg Hét --nettoar 12000 --minimalar 6000 --kiszall "$DAY"
      --hkszcspszv 1000100 --karbar 4500,0,0,0,4500,0,0 --periodus 1 --soforkod S01 --yes)

# One unkilled store on the first site (newest contract first) that takes a new
# line: its time, and the rows it wrote (for the bare writer).
STORE=()
while read -r CUST SITE; do
    [ -n "$CUST" ] || continue
    cp "$W/pristine.fdb" "$W/pkr.fdb"
    t0=$(date +%s%N)
    if "$ADMIN" store-line "$CUST" "$SITE" "${LINE[@]}" > "$W/store.out" 2>&1; then
        t1=$(date +%s%N)
        STORE=("$ADMIN" store-line "$CUST" "$SITE" "${LINE[@]}")
        break
    fi
done < <(echo "SET HEADING OFF; SELECT TRIM(UGYFELKOD) || ' ' || TRIM(UGYFELCIM) FROM FORGFEJ WHERE VERZIO = 1 ORDER BY BIZONYLAT DESC;" | ISQL "$W/pkr.fdb" | sed '/^ *$/d')
[ ${#STORE[@]} -gt 0 ] || { echo "no site takes a new line:"; cat "$W/store.out"; exit 1; }
STORE_MS=$(( (t1 - t0) / 1000000 ))
read -r BIZ TET <<<"$(echo "SET HEADING OFF; SELECT FIRST 1 BIZONYLAT || ' ' || TETELSOR FROM FORGSOR ORDER BY BIZONYLAT DESC, TETELSOR DESC;" | ISQL "$W/pkr.fdb" | tr -s ' \n' ' ' | sed 's/^ //')"
"$HELPER" "$W/pkr.fdb" "$BIZ" "$TET" "$W/rows.sql" > "$W/rows.count" || exit 1
cp "$W/pristine.fdb" "$W/bare.fdb"
t0=$(date +%s%N)
ISQL "$W/bare.fdb" -i "$W/rows.sql" >/dev/null 2>&1
t1=$(date +%s%N)
BARE_MS=$(( (t1 - t0) / 1000000 ))
echo "store of line $BIZ/$TET for $CUST/$SITE: ${STORE_MS} ms; bare write of its rows: ${BARE_MS} ms; rows: $(tr '\n' ' ' < "$W/rows.count")"

gfix_check() {
    # gfix -v -full: "clean" (nothing printed), "warnings" (only "Number of ...
    # warnings" lines), or "errors" with what it printed
    local out rc
    out=$(gfix -v -full -user SYSDBA "$1" 2>&1)
    rc=$?
    if [ $rc -eq 0 ] && [ -z "$out" ]; then
        echo clean
    elif [ $rc -eq 0 ] && ! echo "$out" | grep -q 'errors[[:space:]]*:'; then
        echo "warnings $(echo "$out" | grep 'Number of' | tr -s '\t\n ' ' ' | cut -c1-200)"
    else
        echo "errors rc=$rc $(echo "$out" | tr -s '\t\n ' ' ' | cut -c1-300)"
    fi
}

run_rounds() { # LABEL MAX_MS COMMAND...  (the command writes $W/round.fdb)
    local label=$1 max=$2
    shift 2
    local clean=0 warned=0 bad=0 finished=0 killed=0 i delay pid g
    for i in $(seq 1 "$ROUNDS"); do
        cp "$W/pristine.fdb" "$W/round.fdb"
        rm -f "$W/round.fdb.lock"
        delay=$(( (RANDOM * 32768 + RANDOM) % (max > 20 ? max : 20) ))
        "$@" >/dev/null 2>&1 &
        pid=$!
        sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
        if kill -9 $pid 2>/dev/null; then killed=$((killed + 1)); else finished=$((finished + 1)); fi
        wait $pid 2>/dev/null
        g=$(gfix_check "$W/round.fdb")
        case "$g" in
            clean) clean=$((clean + 1)) ;;
            warnings*) warned=$((warned + 1)); echo "$label round $i (kill at ${delay} ms): $g" ;;
            *) bad=$((bad + 1)); echo "$label round $i (kill at ${delay} ms): $g" ;;
        esac
    done
    echo "$label: $ROUNDS rounds, $killed killed, $finished finished before the kill; gfix: clean $clean, warnings only $warned, errors $bad"
}

printf 'DBSERVER=%s/round.fdb\r\nWPWD=NONE\r\n' "$W" > "$W/PKR.INI"
run_rounds "store-line" "$STORE_MS" "${STORE[@]}"
run_rounds "bare isql write" "$BARE_MS" isql-fb -q -user SYSDBA "$W/round.fdb" -i "$W/rows.sql"
