#!/usr/bin/env bash
# bench/run-all.sh [--quick] [--sizes "CABINS:YEARS ..."] [--only "screen ..."] [--bin DIR] [--out DIR] [--table-only]
#
# Runs the screens' benches on generated companies and prints one table: each
# screen's rows shown, its time at each size, and its floor and ratio at the
# first size. Builds nothing: it expects build/bin/bench_* (and
# build/bin/vorlanda-admin for admin_check). Sizes: 10,000 cabins with one and
# three years of history and 100,000 cabins with one; --quick: 2,500 cabins
# with one year (a smoke check). Each bench's output is kept in --out (a new
# temporary folder by default); a bench that is missing or prints no RESULT
# line shows "-" in the table. --table-only runs nothing and prints the table
# of the logs already in --out (runs of several sizes put together).
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bin="$here/../build/bin"
out=""
sizes="10000:1 10000:3 100000:1"
only=""
tableOnly=0
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) sizes="2500:1" ;;
        --sizes) sizes="$2"; shift ;;
        --only) only="$2"; shift ;;
        --bin) bin="$2"; shift ;;
        --out) out="$2"; shift ;;
        --table-only) tableOnly=1 ;;
        -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
        *) echo "run-all.sh: unknown argument: $1" >&2; exit 2 ;;
    esac
    shift
done
if [ "$tableOnly" = 1 ] && [ -z "$out" ]; then echo "run-all.sh: --table-only needs --out" >&2; exit 2; fi
[ -n "$out" ] || out="$(mktemp -d "${TMPDIR:-/tmp}/vl-bench-XXXXXX")"
mkdir -p "$out"

# screen | bench | extra arguments | what the table calls it
screens=(
    "orders_workspace|bench_orders_workspace||Orders workspace, one customer"
    "rental_lookup|bench_rental_lookup|--rounds 3|Rental lookup by prefix"
    "customer_search|bench_customers_register|--rounds 1|Customer search keystroke"
    "product_register|bench_product_register|--rounds 3|Product register list"
    "today|bench_today|--runs 3|Mai nap"
    "day_sheet|bench_day_sheet|--runs 3|Day sheet"
    "appendix|bench_appendix||Appendix"
    "year_opening|bench_year_opening||Year opening"
    "export|bench_export||XLSX/CSV export"
    "admin_check|bench_admin_start|--runs 5|vorlanda-admin check vs connect"
    "program_start|bench_admin_start|--runs 5|vorlanda to its login"
)

declare -A secs rows floor ratio ran
# RESULT screen=<name> rows=<n> seconds=<s> floor=<s> ratio=<r>
parse() {
    local screen="$1" size="$2" log="$3" _ kv pair key
    while read -r _ kv; do
        declare -A f=()
        for pair in $kv; do f["${pair%%=*}"]="${pair#*=}"; done
        key="${f[screen]:-$screen}|$size"
        secs["$key"]="${f[seconds]:-}"; rows["$key"]="${f[rows]:-}"
        floor["$key"]="${f[floor]:-}"; ratio["$key"]="${f[ratio]:-}"
    done < <(grep '^RESULT ' "$log")
}
for size in $sizes; do
    cabins="${size%%:*}"; years="${size##*:}"
    for entry in "${screens[@]}"; do
        IFS='|' read -r screen bench extra label <<<"$entry"
        if [ -n "$only" ] && [[ " $only " != *" $screen "* ]]; then continue; fi
        log="$out/$bench-${cabins}c-${years}y.log"
        if [ "$tableOnly" = 1 ]; then
            [ -f "$log" ] && grep -q '^RESULT ' "$log" && parse "$screen" "$size" "$log"
            continue
        fi
        # A bench that measures several screens runs once per size.
        if [ -n "${ran["$bench|$size"]:-}" ]; then parse "$screen" "$size" "$log"; continue; fi
        ran["$bench|$size"]=1
        [ -x "$bin/$bench" ] || { echo "-- $bench: not built" >&2; continue; }
        echo "-- $bench --cabins $cabins --years $years $extra" >&2
        start=$(date +%s)
        # shellcheck disable=SC2086
        (cd "$out" && "$bin/$bench" --cabins "$cabins" --years "$years" $extra >"$log" 2>&1)
        rc=$?
        echo "   $(( $(date +%s) - start )) s, exit $rc, log $log" >&2
        parse "$screen" "$size" "$log"
    done
done

first="${sizes%% *}"
header="| Screen | Rows shown"
rule="|---|---:"
for size in $sizes; do
    c="${size%%:*}"; y="${size##*:}"
    if [ "$c" -ge 1000 ] && [ $((c % 1000)) -eq 0 ]; then c="$((c / 1000))k"; fi
    header="$header | ${c}/${y}y s"; rule="$rule|---:"
done
c="${first%%:*}"; y="${first##*:}"
[ "$c" -ge 1000 ] && [ $((c % 1000)) -eq 0 ] && c="$((c / 1000))k"
header="$header | Floor s (${c}/${y}y) | Ratio (${c}/${y}y) |"; rule="$rule|---:|---:|"
echo "$header"
echo "$rule"
for entry in "${screens[@]}"; do
    IFS='|' read -r screen bench extra label <<<"$entry"
    if [ -n "$only" ] && [[ " $only " != *" $screen "* ]]; then continue; fi
    line="| $label | ${rows["$screen|$first"]:--}"
    for size in $sizes; do line="$line | ${secs["$screen|$size"]:--}"; done
    line="$line | ${floor["$screen|$first"]:--} | ${ratio["$screen|$first"]:--} |"
    echo "$line"
done
echo "(logs: $out)" >&2
