#!/bin/bash
# Starts a lab with a handful of simulated access points and runs Farlight inside it, on the
# caller's display, to rehearse with the program before touching real devices. The lab is removed
# when Farlight exits (or when this script is interrupted).
#
# Usage: run-farlight.sh [--config FILE] [--second-adapter] [--apsim PATH] [FARLIGHT]
#   FARLIGHT  the program (default: build/src/app/farlight of this checkout)
#   --config  devices to simulate (default: lab/configs/demo.json)
# The lab needs root: started as a user, the script re-runs itself with sudo. Farlight runs as the
# user who called sudo (as root only when root started it), with the caller's display.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"

if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null 2>&1 || lab_die "needs root for the lab's network namespaces, and sudo is not installed"
    pass=()
    for name in DISPLAY XAUTHORITY WAYLAND_DISPLAY XDG_RUNTIME_DIR QT_QPA_PLATFORM; do
        [ -n "${!name:-}" ] && pass+=("$name=${!name}")
    done
    exec sudo env "${pass[@]}" "$here/run-farlight.sh" "$@"
fi

config=$here/configs/demo.json
farlight=
lab_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --config) config=${2:?--config needs a file}; shift 2 ;;
    --second-adapter) lab_args+=(--second-adapter); shift ;;
    --apsim) lab_args+=(--apsim "${2:?--apsim needs a path}"); shift 2 ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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

# The window belongs to the user who started the lab with sudo, not to root: it reads that user's
# display authority from the user's home, and its lock sits in the user's runtime folder.
program=("$farlight")
if [ "${SUDO_UID:-0}" != 0 ]; then
    user_home=$(getent passwd "$SUDO_UID" | cut -d: -f6)
    user_env=(HOME="$user_home" USER="$SUDO_USER" LOGNAME="$SUDO_USER")
    if [ -z "${XDG_RUNTIME_DIR:-}" ] && [ "$(stat -c %u "/run/user/$SUDO_UID" 2>/dev/null)" = "$SUDO_UID" ]; then
        user_env+=(XDG_RUNTIME_DIR="/run/user/$SUDO_UID")
    fi
    program=(setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups env "${user_env[@]}" "$farlight")
fi

lab_log "starting Farlight in a lab with the devices of $config"
exec "$here/with-lab.sh" "${lab_args[@]}" --config "$config" -- "${program[@]}"
