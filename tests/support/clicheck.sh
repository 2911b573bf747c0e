# What the command-line lab tests share (sourced): a count of failures, and a run of the tool
# whose output is kept for the checks that follow. The script sets cli and work first.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# sequences FROM-LINE: the changing requests the simulator logged from that line on, those of one
# run of the tool, each carry the next number of its counter (set IP, filter, confirmation) from 0.
sequences() {
    python3 - "$FARLIGHT_LAB_LOG" "$1" <<'PY'
import json, sys
counters = {"setip-static": "setip", "setip-dhcp": "setip", "filter-read": "filter", "filter-write": "filter",
            "confirm": "confirm"}
seen = {}
for line in open(sys.argv[1]).readlines()[int(sys.argv[2]):]:
    e = json.loads(line)
    if e.get("kind") in counters:
        seen.setdefault(counters[e["kind"]], []).append(e["seq"])
bad = {k: v for k, v in seen.items() if v != list(range(len(v)))}
sys.exit(f"request numbers not consecutive from 0: {bad}" if bad else 0)
PY
}

# run EXPECTED-STATUS ARGS...: runs $cli with its output in $work/out and $work/err, and checks the
# run's request numbers; with SHOW_OUTPUT set, the output is also printed for a look.
run() {
    local expected=$1; shift
    local from=0
    [ -n "${FARLIGHT_LAB_LOG:-}" ] && from=$(wc -l <"$FARLIGHT_LAB_LOG")
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ -z "${FARLIGHT_LAB_LOG:-}" ] || sequences "$from" || fail "'$*': its request numbers"
    if [ -n "${SHOW_OUTPUT:-}" ]; then
        echo "\$ farlight-cli $* (exit $status)"; cat "$work/out"; echo
    fi
    [ "$status" -eq "$expected" ] || fail "'$*' exited $status, not $expected: $(cat "$work/err")"
}
