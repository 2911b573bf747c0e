#!/usr/bin/env bash
# Sets up, builds, creates the network lab with simulated access points and runs Farlight in it.
# The lab needs root for its network namespaces (it re-runs itself with sudo when it has to).
# Without a display it starts a virtual one (Xvfb) so the program can still be watched with a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,PATH "$0" "$@"
fi
"$root/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ]; then
    echo "No DISPLAY: running on a virtual display (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$root/lab/run-farlight.sh" "$root/build/src/app/farlight" "$@"
fi
exec "$root/lab/run-farlight.sh" "$root/build/src/app/farlight" "$@"
