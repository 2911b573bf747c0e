# What the command-line lab tests share (sourced): a count of failures, and a run of the tool
# whose output is kept for the checks that follow. The script sets cli and work first.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run EXPECTED-STATUS ARGS...: runs $cli with its output in $work/out and $work/err; with
# SHOW_OUTPUT set, the output is also printed for a look.
run() {
    local expected=$1; shift
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if [ -n "${SHOW_OUTPUT:-}" ]; then
        echo "\$ farlight-cli $* (exit $status)"; cat "$work/out"; echo
    fi
    [ "$status" -eq "$expected" ] || fail "'$*' exited $status, not $expected: $(cat "$work/err")"
}
