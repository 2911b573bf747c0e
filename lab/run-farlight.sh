#!/bin/bash
# Starts a lab with a handful of simulated access points and runs Farlight inside it, on the
# caller's display, to rehearse with the program before touching real devices. The lab is removed
# when Farlight exits (or when this script is interrupted).
#
# Usage: run-farlight.sh [--config FILE] [--second-adapter] [--apsim PATH] [FARLIGHT]
#   FARLIGHT  the program (default: build/src/app/farlight of this checkout)
#   --config  devices to simulate (default: lab/configs/demo.json)
# Needs root (sudo keeps DISPLAY; XAUTHORITY is taken from the invoking user when unset).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"

config=$here/configs/demo.json
farlight=
lab_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --config) config=${2:?--config needs a file}; shift 2 ;;
    --second-adapter) lab_args+=(--second-adapter); shift ;;
    --apsim) lab_args+=(--apsim "${2:?--apsim needs a path}"); shift 2 ;;
    -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) lab_die "unknown option $1 (see --help)" ;;
    *) farlight=$1; shift ;;
    esac
done
[ -n "$farlight" ] || farlight=$here/../build/src/app/farlight
[ -x "$farlight" ] || lab_die "Farlight not found at $farlight: build it or give its path"
farlight=$(cd "$(dirname "$farlight")" && pwd)/$(basename "$farlight")

# The simulator of the same build, when the program sits in a build tree.
case " ${lab_args[*]-} " in
*" --apsim "*) ;;
*)
    sibling=$(dirname "$farlight")/../../tools/apsim/apsim
    [ -x "$sibling" ] && lab_args+=(--apsim "$sibling")
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    lab_die "no display: run it from a desktop session (DISPLAY or WAYLAND_DISPLAY must be set)"
fi
# The lab has a network of its own: a display reached over TCP (host:N, as with ssh -X) is not
# reachable from inside. A local display (:N) is reached through /tmp/.X11-unix, which works.
case ${DISPLAY:-} in
"" | :*) ;;
*) lab_log "warning: DISPLAY=$DISPLAY goes over the network, which the lab cannot reach; use a local display" ;;
esac
if [ -z "${XAUTHORITY:-}" ]; then
    user_home=$HOME
    [ -n "${SUDO_USER:-}" ] && user_home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
    [ -r "$user_home/.Xauthority" ] && export XAUTHORITY="$user_home/.Xauthority"
fi

lab_log "starting Farlight in a lab with the devices of $config"
exec "$here/with-lab.sh" "${lab_args[@]}" --config "$config" -- "$farlight"
