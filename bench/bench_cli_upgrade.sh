#!/usr/bin/env bash
# How long `farlight-cli upgrade --all` takes for 50 simulated devices with several uploads at a
# time, against the named reference: the same tool with --jobs 1 (one device after the other),
# measured in the same lab and run. Each upgrade includes its 4.5 s search, which is measured
# apart and taken off. The simulated devices answer each TFTP datagram after 2 ms, as a device
# writing flash does; without that delay the lab's veth link answers in microseconds and the
# run measures only the two processes' CPU. Prints the times and the ratios; it never fails. It also
# times a command naming one device, whose search ends once the device has answered.
#
# Needs root for the lab:  sudo bench/bench_cli_upgrade.sh build/src/cli/farlight-cli build/tools/apsim/apsim
set -eu
cli=$(realpath "${1:-build/src/cli/farlight-cli}")
apsim=$(realpath "${2:-build/tools/apsim/apsim}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/fleet.json" <<'PY'
import json, sys
devices = [{"host_name": f"AP-{i:02}", "mac": f"00-0A-00-00-02-{i:02X}", "ip": f"192.168.77.{100 + i}",
            "ssid": "fleet", "channel": 1 + i % 11, "password": "admin", "reply": "unicast",
            "tftp": "ephemeral" if i % 2 else "fixed"} for i in range(50)]
json.dump({"comment": "50 devices for the upgrade benchmark", "devices": devices,
           "faults": {"delay_ms": 2, "requests": ["tftp"]}}, open(sys.argv[1], "w"))
PY
python3 -c 'import os, sys; sys.stdout.buffer.write(os.urandom(100000) + b"Brightway QM735XL" + os.urandom(100000))' >"$work/fw.bin"

# Runs inside the lab: seconds each command took, then the table.
cat >"$work/inner.py" <<'PY'
import os, subprocess, sys, time
cli, image = sys.argv[1], sys.argv[2]
def timed(*args):
    start = time.monotonic()
    status = subprocess.run([cli, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    if status:
        print(f"  ({' '.join(args)} exited {status})")
    return time.monotonic() - start
search = timed("search")
# A command that names its device stops searching once it has answered.
os.environ["FARLIGHT_PASSWORD"] = "admin"
by_mac = timed("filter", "get", "00-0A-00-00-02-07")
by_name = timed("filter", "get", "AP-07")
reference = timed("upgrade", "--all", image, "--jobs", "1") - search
print(f"search alone            {search:6.1f} s (the full search)")
print(f"filter get by MAC       {by_mac:6.2f} s, search included")
print(f"filter get by host name {by_name:6.2f} s, search included (0.5 s grace)")
print(f"reference --jobs 1      {reference:6.1f} s of uploads")
for jobs in (4, 16, 50):
    uploads = timed("upgrade", "--all", image, "--jobs", str(jobs)) - search
    print(f"--jobs {jobs:<3}              {uploads:6.1f} s of uploads, {reference / uploads:5.1f}x faster than the reference")
PY
echo "50 devices answering after 2 ms, a 200 kB image each, one lab:"
"$here/../lab/with-lab.sh" --config "$work/fleet.json" --apsim "$apsim" -- python3 "$work/inner.py" "$cli" "$work/fw.bin"
