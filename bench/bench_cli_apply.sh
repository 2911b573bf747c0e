#!/usr/bin/env bash
# How long `farlight-cli apply` takes to give 50 simulated devices a new MAC filter list and a new
# address each, with --jobs 8 against the named reference: the same plan size with --jobs 1 (one
# device after the other), in the same lab and run. Each device answers set-IP and filter requests
# after 20 ms, as a device writing its settings to flash does; without that delay the lab's veth
# link answers in microseconds and the run measures only the two processes' CPU. The first plan
# moves every device to a spare address, the second to another, so both change everything. The
# lab's folder (apsim's state file, rewritten and synced on every change) is put in /dev/shm: on a
# disk those syncs, one after the other, would be what is measured. Both runs include their
# searches (each ends once the 50 devices have answered) and the 1 s pause before the check.
# Prints the times and the ratio; it never fails.
#
# Needs root for the lab:  sudo bench/bench_cli_apply.sh build/src/cli/farlight-cli build/tools/apsim/apsim
set -eu
cli=$(realpath "${1:-build/src/cli/farlight-cli}")
apsim=$(realpath "${2:-build/tools/apsim/apsim}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
devices = [{"host_name": f"AP-{i:02}", "mac": f"00-0A-00-00-04-{i:02X}", "ip": f"192.168.77.{100 + i}",
            "password": "admin", "spare_ips": [f"192.168.77.{150 + i}", f"192.168.77.{200 + i}"]} for i in range(50)]
json.dump({"comment": "50 devices for the apply benchmark", "devices": devices,
           "faults": {"delay_ms": 20, "requests": ["setip", "filter"]}}, open(f"{work}/fleet.json", "w"))
for n, first in ((1, 150), (2, 200)):
    with open(f"{work}/list{n}.MAC", "w", newline="") as f:
        f.writelines(f"00112233{n:02X}{k:02X}\r\n" for k in range(20))
    with open(f"{work}/plan{n}.csv", "w") as f:
        f.write("mac,ip,mask,gateway,filter\n")
        f.writelines(f"{d['mac']},192.168.77.{first + i},255.255.255.0,192.168.77.1,list{n}.MAC\n"
                     for i, d in enumerate(devices))
PY
printf 'admin\n' >"$work/pw"
chmod 600 "$work/pw"

# Runs inside the lab: seconds each command took, then the table.
cat >"$work/inner.py" <<'PY'
import os, subprocess, sys, time
cli, work = sys.argv[1], sys.argv[2]
os.environ["XDG_STATE_HOME"] = f"{work}/state"
def timed(*args):
    start = time.monotonic()
    status = subprocess.run([cli, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    if status:
        print(f"  ({' '.join(args)} exited {status})")
    return time.monotonic() - start
reference = timed("apply", f"{work}/plan1.csv", "--yes", "--jobs", "1", "--password-file", f"{work}/pw")
parallel = timed("apply", f"{work}/plan2.csv", "--yes", "--jobs", "8", "--password-file", f"{work}/pw")
print(f"--jobs 1 (reference)  {reference:6.2f} s (search, lists read, written and read back, addresses set, check)")
print(f"--jobs 8              {parallel:6.2f} s, {reference / parallel:4.1f}x faster than the reference")
PY
echo "50 devices answering after 20 ms, a list of 20 addresses and a new address each, one lab:"
[ -d /dev/shm ] && export TMPDIR=/dev/shm
"$here/../lab/with-lab.sh" --config "$work/fleet.json" --apsim "$apsim" -- python3 "$work/inner.py" "$cli" "$work"
