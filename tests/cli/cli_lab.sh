#!/usr/bin/env bash
# farlight-cli against the lab's simulated devices (run by lab/with-lab.sh): what each command
# prints, its exit status, and what the devices were left with (apsim's state file and log).
# Usage: cli_lab.sh FARLIGHT-CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/clicheck.sh"
# state PYTHON-EXPRESSION: true when the expression over the state's devices by host name holds.
state() {
    python3 - "$FARLIGHT_LAB_STATE" "$1" <<'PY'
import json, sys
d = {x["host_name"]: x for x in json.load(open(sys.argv[1]))["devices"]}
sys.exit(0 if eval(sys.argv[2]) else 1)
PY
}

adapter=$FARLIGHT_LAB_ADAPTER1_IFACE
umask 077 # password files others could read are refused
printf 'admin\n' >"$work/pw"
printf 'wrong\n' >"$work/bad"

# search: every device with the exact fields, the foreign-subnet one included.
run 0 search --format json
python3 - "$work/out" "$adapter" <<'PY' || fail "search --format json: $(cat "$work/out")"
import json, sys
adapter = sys.argv[2]
want = [("AP-One", "192.168.77.21", "one", 6, True, "00-0A-00-00-01-01"),
        ("AP-Two", "192.168.77.22", "two, too", 11, False, "00-0A-00-00-01-02"),
        ("AP-Far", "10.99.0.5", "far", 1, False, "00-0A-00-00-01-03"),
        ("AP-Flaky", "192.168.77.24", "flaky", 13, True, "00-0A-00-00-01-04")]
keys = ["host_name", "ip", "ssid", "channel", "wep", "mac"]
got = sorted(json.load(open(sys.argv[1])), key=lambda d: d["mac"])
sys.exit(0 if got == [dict(zip(keys, w), adapter=adapter) for w in want] else 1)
PY

# set-ip: static and DHCP change the device; a wrong password changes nothing and says why.
run 0 set-ip AP-One --ip 192.168.77.31 --mask 255.255.255.0 --gateway 192.168.77.1 --password-file "$work/pw"
state 'd["AP-One"]["ip"] == "192.168.77.31" and d["AP-One"]["gateway"] == "192.168.77.1" and d["AP-One"]["confirmations"] == 1' \
    || fail "static address not applied and confirmed"
# A named device ends the search once it has answered (a host name after a grace of 0.5 s for a
# second device of that name), not after the full 4.5 s.
python3 - "$FARLIGHT_LAB_LOG" <<'PY' || fail "set-ip AP-One: the search did not end within 1 s of the answer"
import json, sys
from datetime import datetime
log = [json.loads(line) for line in open(sys.argv[1])]
at = lambda e: datetime.fromisoformat(e["time"].replace("Z", "+00:00"))
setip = next(e for e in log if e["kind"] == "setip-static")
answered = [e for e in log if e["kind"] == "search" and at(e) <= at(setip)][-1]
gap = (at(setip) - at(answered)).total_seconds()
print(f"set-ip AP-One: request {gap:.2f} s after the search was answered (the full search: 4.5 s)")
sys.exit(0 if gap < 1 else 1)
PY
FARLIGHT_PASSWORD=admin run 0 set-ip 00:0a:00:00:01:03 --dhcp
state 'd["AP-Far"]["dhcp"]' || fail "DHCP not applied to the foreign-subnet device"
run 1 set-ip AP-Two --ip 192.168.77.32 --mask 255.255.255.0 --password-file "$work/bad"
grep -q 'Invalid Password' "$work/err" || fail "wrong password: $(cat "$work/err")"
state 'd["AP-Two"]["ip"] == "192.168.77.22"' || fail "a wrong password changed the address"

# upgrade: two devices at once store the exact image, their transfers overlapping in time.
python3 -c 'import os, sys; sys.stdout.buffer.write(os.urandom(300000) + b"Brightway QM735XL" + os.urandom(300000))' >"$work/fw.bin"
sum=$(sha256sum "$work/fw.bin" | cut -d' ' -f1)
run 0 upgrade AP-One AP-Two "$work/fw.bin" --jobs 2
state "all(d[n]['firmware']['sha256'] == '$sum' for n in ('AP-One', 'AP-Two'))" || fail "images not stored intact"
python3 - "$FARLIGHT_LAB_LOG" <<'PY' || fail "the two uploads did not overlap"
import json, sys
span = {}
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["kind"] in ("tftp-write", "tftp-complete"):
        span.setdefault(e["device"], {})[e["kind"]] = e["time"]
a, b = span["00-0A-00-00-01-01"], span["00-0A-00-00-01-02"]
sys.exit(0 if a["tftp-write"] < b["tftp-complete"] and b["tftp-write"] < a["tftp-complete"] else 1)
PY

# --retries: the first transfer is refused, the second stores the image.
run 0 upgrade AP-Flaky "$work/fw.bin" --retries 1
grep -q '(2 attempts)' "$work/out" || fail "retry not reported: $(cat "$work/out")"
state "d['AP-Flaky']['firmware']['sha256'] == '$sum'" || fail "image not stored after the retry"

# filter: a .MAC file written to a device comes back, in list order, into a new file.
printf '0a0b0c0d0e0f,desk\r\n001122334455\r\n' >"$work/in.MAC"
FARLIGHT_PASSWORD=admin run 0 filter set AP-One AP-Two "$work/in.MAC" --verify
grep -c "Pass; verified" "$work/out" | grep -qx 2 || fail "filter set --verify: $(cat "$work/out")"
state 'd["AP-One"]["filter"] == d["AP-Two"]["filter"] == ["001122334455", "0A0B0C0D0E0F"]' || fail "filter not stored"
FARLIGHT_PASSWORD=admin run 0 filter get AP-Two --out "$work/out.MAC"
[ "$(cat "$work/out.MAC")" = $'001122334455\r\n0A0B0C0D0E0F\r' ] || fail "filter get: $(od -c "$work/out.MAC")"

# An unknown device among several: the others are served, the run fails and the summary says so.
FARLIGHT_PASSWORD=admin run 1 filter set AP-One AP-Nowhere "$work/in.MAC"
grep -q '^AP-Nowhere  *not found' "$work/out" || fail "summary: $(cat "$work/out")"

# --credentials: each device its own password, so a wrong one fails that device alone; a CSV
# export with a header and notes is a MAC list too.
printf '# lab\nAP-Two,wrong\n*,admin\n' >"$work/creds"
printf 'mac,note\n"00:11:22:33:44:66",desk # hall\n' >"$work/list.csv"
run 1 filter set AP-One AP-Two "$work/list.csv" --credentials "$work/creds"
grep -q '^AP-One .*Pass' "$work/out" && grep -q '^AP-Two .*Invalid Password' "$work/out" || fail "credentials: $(cat "$work/out")"
state 'd["AP-One"]["filter"] == ["001122334466"] and d["AP-Two"]["filter"] == ["001122334455", "0A0B0C0D0E0F"]' \
    || fail "credentials: filters not as the passwords allow"
chmod 644 "$work/creds"
run 2 set-ip AP-One --dhcp --credentials "$work/creds"
grep -q 'too open' "$work/err" || fail "a readable credentials file: $(cat "$work/err")"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
