#!/bin/bash
# Lab test: uploads files with Debian's tftp-hpa client to a device whose TFTP server answers from
# port 69 and to one that answers from a fresh port, and checks size and SHA-256 in the state file
# and the image the simulator stored. Runs inside the workstation namespace (lab/with-lab.sh).
set -eu

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints size and sha256 of the firmware that the state file records for device MAC $1.
state_firmware() {
    python3 - "$FARLIGHT_LAB_STATE" "$1" <<'PY'
import json, sys
state = json.load(open(sys.argv[1]))
device = next(d for d in state["devices"] if d["mac"] == sys.argv[2])
print(device["firmware"]["size"], device["firmware"]["sha256"], device["firmware"]["file_name"])
PY
}

check_upload() {
    ip=$1 mac=$2 size=$3
    file=$work/image-$size.bin
    head -c "$size" /dev/urandom >"$file"
    # tftp-hpa takes its answers from whatever port the server uses, 69 or a fresh one.
    out=$(timeout 60 tftp -m binary "$ip" -c put "$file" / 2>&1) || fail "tftp to $ip ended with $?: $out"
    [ -z "$out" ] || fail "tftp to $ip reported: $out"
    want=$(sha256sum "$file" | cut -d' ' -f1)
    read -r got_size got_sha got_name < <(state_firmware "$mac")
    [ "$got_size" = "$size" ] || fail "$ip: state says $got_size bytes, sent $size"
    [ "$got_sha" = "$want" ] || fail "$ip: state says sha256 $got_sha, sent $want"
    [ "$got_name" = / ] || fail "$ip: file name $got_name, sent /"
    cmp -s "$file" "$FARLIGHT_LAB_FIRMWARE_DIR/$(echo "$mac" | tr -d -).bin" || fail "$ip: stored image differs"
    echo "ok: $size bytes to $ip arrived intact"
}

for size in 1000 1024; do
    check_upload 192.168.77.21 00-0A-1B-2C-3D-4E "$size" # fixed: answers from port 69
    check_upload 192.168.77.22 00-0A-1B-2C-3D-4F "$size" # ephemeral: answers from a fresh port
done

# The log shows which port each server answered from.
grep -q '"kind":"tftp-write".*"port":69' "$FARLIGHT_LAB_LOG" || fail "no transfer answered from port 69"
python3 - "$FARLIGHT_LAB_LOG" <<'PY' || fail "the ephemeral server did not answer from fresh ports"
import json, sys
ports = [e["port"] for e in map(json.loads, open(sys.argv[1]))
         if e.get("kind") == "tftp-write" and e.get("device") == "00-0A-1B-2C-3D-4F"]
sys.exit(0 if len(ports) == 2 and all(p not in (0, 69) for p in ports) else 1)
PY
echo "ok: both server modes"
