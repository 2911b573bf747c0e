#!/bin/bash
# Checks apsim's command line where it opens no socket: configuration errors end with status 2
# and a message, and in the machine's own network namespace it refuses to run. Only a private,
# empty namespace (unshare) lets it start. Usage: apsim_cli.sh APSIM
set -u
apsim=${1:?usage: apsim_cli.sh APSIM}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect STATUS TEXT -- COMMAND...: the command ends with STATUS and its error output holds TEXT.
expect() {
    status=$1 text=$2
    shift 3
    out=$("$@" 2>&1 >/dev/null)
    got=$?
    [ "$got" = "$status" ] || fail "$* ended with $got, expected $status ($out)"
    case $out in *"$text"*) ;; *) fail "$*: message lacks \"$text\": $out" ;; esac
}

# 192.0.2.0/24 is reserved for documentation: no machine has it, so even a broken guard could not
# make this device answer anything.
cat >"$work/ok.json" <<'JSON'
{"devices": [{"host_name": "AP-Doc", "mac": "00-0A-1B-2C-3D-4E", "ip": "192.0.2.1"}]}
JSON
echo '{"devices": [' >"$work/broken.json"
echo '{"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "192.0.2.1", "colour": "red"}]}' \
    >"$work/unknown.json"
echo '{"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "192.0.2.1", "channel": 300}]}' \
    >"$work/range.json"

expect 2 "--config FILE is required" -- "$apsim"
expect 2 "Unknown option" -- "$apsim" --config "$work/ok.json" --colour
expect 2 "cannot read" -- "$apsim" --config "$work/missing.json"
expect 2 "not valid JSON" -- "$apsim" --config "$work/broken.json"
expect 2 'unknown key "colour"' -- "$apsim" --config "$work/unknown.json"
expect 2 "devices[0].channel" -- "$apsim" --config "$work/range.json"
expect 2 "refusing to run" -- timeout 10 "$apsim" --config "$work/ok.json" --state "$work/root-state.json"
[ -e "$work/root-state.json" ] && fail "apsim wrote a state in the machine's own namespace"

listing=$("$apsim" --config "$work/ok.json" --print-addresses)
[ "$listing" = "1 192.0.2.1/24 00-0A-1B-2C-3D-4E" ] || fail "--print-addresses gave: $listing"

# In a namespace of its own it starts (and, lacking its address there, keeps the device silent).
timeout 3 unshare --net "$apsim" --config "$work/ok.json" --state "$work/ns-state.json" 2>"$work/ns.err"
[ $? = 124 ] || fail "apsim did not keep running in a private namespace: $(cat "$work/ns.err")"
grep -q '"mac": "00-0A-1B-2C-3D-4E"' "$work/ns-state.json" 2>/dev/null || fail "no state written in the namespace"
grep -q "stays silent" "$work/ns.err" || fail "no warning about the missing address: $(cat "$work/ns.err")"

[ "$failures" = 0 ] && echo "ok: apsim command line" && exit 0
exit 1
