#!/usr/bin/env bash
# Runs the fuzz targets one after the other for SECONDS each (default 30), each from its seed
# corpus fuzz/corpus/<target>/, which stays untouched: new inputs go to a scratch copy. Fails
# when a target finds a crash, a leak, a hang (one input running over 10 s), memory use over
# 2 GB or a broken invariant; the input that did it is then kept in the scratch folder named in
# the table, to be added to the corpus as a regression input once the parser is fixed.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
#   FUZZ_BUILD     the fuzz build, default build-fuzz (cmake -DFARLIGHT_FUZZ=ON, see README.md)
#   FUZZ_COVERAGE  1: each log ends with the functions and edges covered (-print_coverage=1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
build=${FUZZ_BUILD:-$root/build-fuzz}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_search_reply fuzz_setip_reply fuzz_filter_reply fuzz_tftp_client
                                     fuzz_mac_file fuzz_apsim_config fuzz_apsim_request fuzz_nft_ruleset
                                     fuzz_firmware_scan fuzz_exchanges fuzz_proc_readers)
work=$(mktemp -d "${TMPDIR:-/tmp}/farlight-fuzz.XXXXXX")
# Short allocation stacks and a small quarantine trebled the runs of the allocating targets;
# for full stacks run the kept input again by hand: build-fuzz/fuzz/<target> <input>.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}malloc_context_size=2:quarantine_size_mb=32"

# The reply targets take one datagram, 0 to 1000 bytes; the others a file or a script.
max_len() {
    case $1 in
        fuzz_setip_reply | fuzz_filter_reply) echo 1000 ;;
        fuzz_mac_file | fuzz_apsim_config | fuzz_nft_ruleset) echo 8192 ;;
        fuzz_firmware_scan) echo 2048 ;;
        *) echo 4096 ;;
    esac
}

# With FUZZ_COVERAGE=1: covered and total edges per file of src/ and tools/ linked into the target.
coverage() {
    awk '/^(UN)?COVERED_FUNC:/ && $NF ~ /\/(src|tools)\// && $NF !~ /_autogen\// {
             split($5, edges, "/"); file = $NF; sub(/:[0-9]+$/, "", file); sub(/.*\/(src|tools)\//, "", file)
             covered[file] += edges[1]; total[file] += edges[2] }
         END { for (file in total) printf "    %-32s %5d / %-5d edges\n", file, covered[file], total[file] }' "$1" | sort
}

status=0
printf '%-20s %12s %8s %6s %7s  %s\n' target executions exec/s cov ft result
for t in "${targets[@]}"; do
    mkdir -p "$work/$t"
    cp "$root/fuzz/corpus/$t/"* "$work/$t/"
    args=(-max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix="$work/$t-")
    [ -f "$root/fuzz/$t.dict" ] && args+=(-dict="$root/fuzz/$t.dict")
    [ "${FUZZ_COVERAGE:-0}" = 1 ] && args+=(-print_coverage=1)
    if "$build/fuzz/$t" "${args[@]}" "$work/$t" >"$work/$t.log" 2>&1; then
        result=ok
    else
        result="FAILED: $work/$t.log, input $(ls "$work/$t"-* 2>/dev/null | head -1)"
        status=1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: //p' "$work/$t.log")
    read -r cov ft rate < <(sed -n 's/.*DONE *cov: \([0-9]*\) ft: \([0-9]*\).*exec\/s: \([0-9]*\).*/\1 \2 \3/p' "$work/$t.log") || true
    printf '%-20s %12s %8s %6s %7s  %s\n' "$t" "${execs:--}" "${rate:--}" "${cov:--}" "${ft:--}" "$result"
    [ "${FUZZ_COVERAGE:-0}" = 1 ] && coverage "$work/$t.log"
done
if [ $status = 0 ] && [ "${FUZZ_COVERAGE:-0}" != 1 ]; then
    rm -rf "$work"
else
    echo "Logs and inputs: $work"
fi
exit $status
