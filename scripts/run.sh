#!/usr/bin/env bash
# Sets up and builds as the invoking user, then creates the network lab with simulated access
# points and runs Farlight in it, as that user; only the lab itself runs as root (through sudo).
# Without a display it starts a virtual one (Xvfb), which a screenshot shows.
# Usage: scripts/run.sh [lab/run-farlight.sh options, e.g. --second-adapter or --config FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/common.sh"
fl_back_to_invoker "$0" "$@"

# FARLIGHT_RUN_XVFB marks the second pass, inside the virtual display, where all is built already.
if [ -z "${FARLIGHT_RUN_XVFB:-}" ]; then
    "$root/scripts/setup.sh"
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: running on a virtual one (xvfb-run)."
        FARLIGHT_RUN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
    fi
else
    echo "Screenshot: DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY import -window root farlight.png"
fi
exec "$root/lab/run-farlight.sh" "$root/build/src/app/farlight" "$@"
