#!/usr/bin/env bash
# farlight-cli set-ip and filter set on two devices with --jobs 2 (run by lab/with-lab.sh): each
# device gets its own request, both go out before the first answer (the devices answer 800 ms
# late), and each device is left with what was asked. Then upgrade --wait: two devices come back
# after their restart, one never does. Usage: cli_jobs_lab.sh FARLIGHT-CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/clicheck.sh"
export FARLIGHT_PASSWORD=admin

# overlap KIND: both devices' requests of KIND arrived within the answer delay of each other,
# each naming its own device, and each got its own verdict.
overlap() {
    python3 - "$FARLIGHT_LAB_LOG" "$1" <<'PY'
import json, sys
from datetime import datetime
seen = {}
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["kind"] == sys.argv[2]:
        seen[e["target"]] = datetime.fromisoformat(e["time"].replace("Z", "+00:00"))
t = list(seen.values())
sys.exit(0 if len(t) == 2 and abs((t[0] - t[1]).total_seconds()) < 0.6 else 1)
PY
}

printf '001122334455\r\n' >"$work/in.MAC"
run 0 filter set AP-One AP-Two "$work/in.MAC" --jobs 2
overlap filter-write || fail "the filter writes did not overlap: $(cat "$FARLIGHT_LAB_LOG")"
run 0 set-ip AP-One AP-Two --dhcp --jobs 2
overlap setip-dhcp || fail "the set-IP requests did not overlap"
python3 - "$FARLIGHT_LAB_STATE" <<'PY' || fail "devices not left as asked: $(cat "$FARLIGHT_LAB_STATE")"
import json, sys
d = json.load(open(sys.argv[1]))["devices"][:2]
sys.exit(0 if all(x["dhcp"] and x["filter"] == ["001122334455"] and x["confirmations"] == 1 for x in d) else 1)
PY

# upgrade --wait: the image arrives at all three; two answer again after their restart, the third
# never does and fails the run. While they restart, the searches stay few.
python3 -c 'import os, sys; sys.stdout.buffer.write(os.urandom(40000) + b"Brightway QM735XL")' >"$work/fw.bin"
sum=$(sha256sum "$work/fw.bin" | cut -d' ' -f1)
run 1 upgrade AP-One AP-Two AP-Gone "$work/fw.bin" --wait --wait-timeout 5
for name in AP-One AP-Two; do
    grep -Eq "^$name .*  Data transmit finish; back after [2-4] s  " "$work/out" || fail "$name not back: $(cat "$work/out")"
done
grep -Eq '^AP-Gone .*  Data transmit finish; did not come back within 5 s  ' "$work/out" || fail "AP-Gone: $(cat "$work/out")"
python3 - "$FARLIGHT_LAB_STATE" "$FARLIGHT_LAB_LOG" "$sum" <<'PY' || fail "images or searches: $(tail -n 20 "$FARLIGHT_LAB_LOG")"
import json, sys
d = json.load(open(sys.argv[1]))["devices"]
log = [json.loads(line) for line in open(sys.argv[2])]
first = min(i for i, e in enumerate(log) if e["kind"] == "tftp-complete")
searches = sum(1 for e in log[first:] if e["kind"] == "search")
sys.exit(0 if all(x["firmware"]["sha256"] == sys.argv[3] for x in d) and 1 <= searches <= 3 else 1)
PY

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
