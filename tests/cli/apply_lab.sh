#!/usr/bin/env bash
# farlight-cli apply against simulated devices (run by lab/with-lab.sh): a plan applies, verifies
# and records what it did; the same plan again sends no changing request; a wrong password fails
# only its device and a missing device is "not found"; a bad plan sends nothing.
# Usage: apply_lab.sh FARLIGHT-CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/clicheck.sh"
export XDG_STATE_HOME=$work/state
umask 077
printf '# AP-Locked was given another password\n00-0A-00-00-03-04,wrong\n*,admin\n' >"$work/credentials"
printf '00:11:22:33:44:55\n00-11-22-33-44-cc  # new\n0011.2233.44dd\n' >"$work/lobby.txt"
printf '0011223344BB\r\n' >"$work/same.MAC"

# changes SINCE-LINE: the changing requests apsim logged after that many lines, as "kind target".
changes() {
    tail -n "+$(($1 + 1))" "$FARLIGHT_LAB_LOG" | python3 -c '
import json, sys
for line in sys.stdin:
    e = json.loads(line)
    if e["kind"] in ("setip-static", "setip-dhcp", "filter-write", "confirm"):
        print(e["kind"], e.get("target"))'
}
lines() { wc -l <"$FARLIGHT_LAB_LOG"; }
state() {
    python3 - "$FARLIGHT_LAB_STATE" "$1" <<'PY'
import json, sys
d = {x["host_name"]: x for x in json.load(open(sys.argv[1]))["devices"]}
sys.exit(0 if eval(sys.argv[2]) else 1)
PY
}

# One device renumbered, one list changed, one already as planned.
cat >"$work/plan.csv" <<'CSV'
mac,ip,mask,gateway,filter
00:0a:00:00:03:01,192.168.77.31,255.255.255.0,192.168.77.1,
00-0A-00-00-03-02,,,,lobby.txt
000a00000303,,,,same.MAC
CSV
mark=$(lines)
run 0 apply "$work/plan.csv" --dry-run --credentials "$work/credentials"
[ -z "$(changes "$mark")" ] || fail "the dry run changed something: $(changes "$mark")"
grep -q '+2 -1' "$work/out" || fail "dry run does not show the list difference: $(cat "$work/out")"

mark=$(lines)
run 0 apply "$work/plan.csv" --yes --credentials "$work/credentials" --jobs 2
[ "$(changes "$mark" | sort | tr '\n' ' ')" = "confirm 00-0A-00-00-03-01 filter-write 00-0A-00-00-03-02 setip-static 00-0A-00-00-03-01 " ] \
    || fail "not exactly the planned requests: $(changes "$mark")"
state '(d["AP-Static"]["ip"], d["AP-Static"]["gateway"]) == ("192.168.77.31", "192.168.77.1") and d["AP-Filter"]["filter"] == ["001122334455", "0011223344CC", "0011223344DD"]' \
    || fail "devices not left as planned: $(cat "$FARLIGHT_LAB_STATE")"
[ "$(grep -c ' changed ' "$work/out")" = 2 ] || fail "apply result: $(cat "$work/out")"

mark=$(lines)
run 0 apply "$work/plan.csv" --yes --credentials "$work/credentials"
[ -z "$(changes "$mark")" ] || fail "the second run sent changing requests: $(changes "$mark")"
[ "$(grep -c '^00-.*unchanged' "$work/out")" = 3 ] || fail "second run not all unchanged: $(cat "$work/out")"

# A wrong password fails only its device; a MAC nobody answers for is not found; a device that
# took its list and then refused its address fails, and its result still says the list went on.
cat >"$work/mixed.csv" <<'CSV'
mac,dhcp,filter
00-0A-00-00-03-04,,same.MAC
00-0A-00-00-03-09,yes,
00-0A-00-00-03-03,yes,
00-0A-00-00-03-05,yes,same.MAC
CSV
run 1 apply "$work/mixed.csv" --yes --credentials "$work/credentials" --search-time 1 --format json
python3 - "$work/out" <<'PY' || fail "wrong password, missing device, half applied: $(cat "$work/out")"
import json, sys
got = {r["mac"]: (r["result"], r["reason"]) for r in json.load(open(sys.argv[1]))}
sys.exit(0 if got == {"00-0A-00-00-03-04": ("failed", "filter: Invalid Password"),
                      "00-0A-00-00-03-09": ("not found", None),
                      "00-0A-00-00-03-03": ("changed", "Set DHCP OK"),
                      "00-0A-00-00-03-05": ("failed", "list Pass; verified, address: Set DHCP Failure")} else 1)
PY
state 'd["AP-Same"]["dhcp"] and d["AP-Locked"]["filter"] == []' || fail "mixed plan: $(cat "$FARLIGHT_LAB_STATE")"

# Nothing is sent for a plan with a bad row, nor without a terminal to ask on.
printf 'mac,ip\n00-0A-00-00-03-01,192.168.77.300\n' >"$work/bad.csv"
mark=$(lines)
run 2 apply "$work/bad.csv" --yes --credentials "$work/credentials"
grep -q 'bad.csv:2: ' "$work/err" || fail "bad row not reported with its line: $(cat "$work/err")"
run 2 apply "$work/plan.csv" --credentials "$work/credentials" </dev/null
[ "$(lines)" = "$mark" ] || fail "a refused plan sent requests"
# --adapter narrows apply as any command: one that is not there refuses the run after the search.
run 2 apply "$work/plan.csv" --yes --credentials "$work/credentials" --adapter nowhere0 --search-time 1
grep -q 'no adapter named nowhere0' "$work/err" || fail "--adapter nowhere0: $(cat "$work/err")"
[ -z "$(changes "$mark")" ] || fail "--adapter nowhere0 changed something: $(changes "$mark")"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
