#!/usr/bin/env bash
# farlight-cli doctor in the lab (run by lab/with-lab.sh, in the workstation namespace): a stateful
# firewall, a strict reverse-path filter and a program on the TFTP port, each made here, found by
# doctor, and shown to be what kept the devices away. The text reports are printed for a look.
# Usage: doctor_lab.sh FARLIGHT-CLI
set -u
cli=$1
adapter=$FARLIGHT_LAB_ADAPTER1_IFACE
work=$(mktemp -d)
holder=
trap 'rm -rf "$work"; nft delete table inet lab_guard 2>/dev/null; [ -n "$holder" ] && kill "$holder" 2>/dev/null' EXIT
SHOW_OUTPUT=1
. "$(dirname "$0")/../support/clicheck.sh"
# The lab's devices answer within milliseconds: every search here lasts 1 s.
# found NAMES...: the search lists exactly these host names.
found() {
    "$cli" search --search-time 1 --format json >"$work/found" 2>/dev/null
    local got
    got=$(python3 -c 'import json, sys; print(" ".join(sorted(d["host_name"] for d in json.load(open(sys.argv[1])))))' "$work/found")
    [ "$got" = "$*" ] || fail "search found '$got', not '$*'"
}
# verdict CHECK VERDICT [TEXT]: doctor's JSON output in $work/out has that verdict for CHECK, with TEXT in summary or fix.
verdict() {
    python3 - "$work/out" "$@" <<'PY' || fail "no $2 for $1 with '${3:-}'"
import json, sys
found = [f for f in json.load(open(sys.argv[1]))["findings"] if f["check"] == sys.argv[2] and f["verdict"] == sys.argv[3]]
text = sys.argv[4] if len(sys.argv) > 4 else ""
sys.exit(0 if any(text in f["summary"] + f["fix"] for f in found) else 1)
PY
}

# Nothing is wrong: every device answers and doctor says so.
run 0 doctor --search-time 1 --format json
verdict search ok "3 device(s)"

# 1. A firewall of the usual shape drops every answer; the rules doctor gives bring them back,
#    the TFTP one included (AP-Near acknowledges from a fresh port).
nft -f - <<'NFT'
table inet lab_guard {
    chain input {
        type filter hook input priority 0; policy drop;
        ct state established,related accept
        iif "lo" accept
    }
}
NFT
found ""
run 1 doctor --search-time 1 --format text
run 1 doctor --search-time 1 --format json
verdict firewall-search problem "nft insert rule inet lab_guard input udp sport 4000 accept"
verdict firewall-tftp problem "nft insert rule inet lab_guard input udp dport 14321 accept"
verdict search warning "No device answered"
python3 -c 'import json, sys
for f in json.load(open(sys.argv[1]))["findings"]:
    print("\n".join(l for l in f["fix"].splitlines() if l.startswith("nft ")))' "$work/out" >"$work/fix"
sh -e "$work/fix" || fail "the suggested rules failed: $(cat "$work/fix")"
found "AP-Also AP-Far AP-Near"
run 0 doctor --search-time 1 --format text
python3 -c 'import sys; sys.stdout.buffer.write(b"\0" * 70000 + b"Brightway QM735XL" + b"\0" * 70000)' >"$work/fw.bin"
"$cli" upgrade AP-Near "$work/fw.bin" >/dev/null 2>&1 || fail "upload through the amended firewall failed"
nft delete table inet lab_guard

# 2. A strict reverse-path filter on the adapter drops the foreign subnet's broadcast answer.
sysctl -qw "net.ipv4.conf.$adapter.rp_filter=1"
found "AP-Also AP-Near"
run 1 doctor --search-time 1 --format json
verdict rp_filter problem "sysctl -w net.ipv4.conf.$adapter.rp_filter=0"
verdict search ok "2 device(s)"
run 1 doctor --search-time 1 --format text --adapter "$adapter"
sysctl -qw "net.ipv4.conf.$adapter.rp_filter=0"

# 3. Another program holds the TFTP port.
python3 -c 'import socket, time; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("0.0.0.0", 14321)); time.sleep(60)' &
holder=$!
for _ in $(seq 50); do grep -qi ':37F1 ' /proc/net/udp && break; sleep 0.1; done
run 1 doctor --search-time 1 --format text
run 1 doctor --search-time 1 --format json
verdict tftp-port problem "python3 (process $holder)"
verdict search ok "3 device(s)"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
