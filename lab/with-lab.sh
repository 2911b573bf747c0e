#!/bin/bash
# Runs one command inside a fresh Farlight network lab with simulated access points, then
# removes the lab whatever happened, and exits with the command's status.
#
# Usage: with-lab.sh --config FILE [--second-adapter] [--apsim PATH] [--require PKG]... -- COMMAND [ARGS...]
#
# The simulator (apsim) runs in the device namespace; COMMAND runs in the workstation namespace
# with the FARLIGHT_LAB_* variables described in lab/README.md. Needs root.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"

usage() {
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

config=
second=0
apsim=${FARLIGHT_APSIM:-}
packages="iproute2 procps util-linux"
while [ $# -gt 0 ]; do
    case $1 in
    --config) config=${2:-}; shift 2 || usage ;;
    --second-adapter) second=1; shift ;;
    --apsim) apsim=${2:-}; shift 2 || usage ;;
    --require) packages="$packages ${2:-}"; shift 2 || usage ;;
    --) shift; break ;;
    -h | --help) usage ;;
    *) lab_log "unknown option $1"; usage ;;
    esac
done
[ $# -gt 0 ] || { lab_log "no command given"; usage; }
[ -n "$config" ] || { lab_log "--config FILE is required"; usage; }
[ -r "$config" ] || lab_die "cannot read the configuration $config"
if [ -z "$apsim" ]; then
    for candidate in "$here/../build/tools/apsim/apsim" "$here"/../build*/tools/apsim/apsim; do
        [ -x "$candidate" ] && { apsim=$candidate; break; }
    done
fi
[ -n "$apsim" ] && [ -x "$apsim" ] || lab_die "apsim not found: build it or pass --apsim PATH"

lab_require_root
lab_require_packages $packages

# The configuration is checked before anything is created; this also lists the device addresses.
addresses=$("$apsim" --config "$config" --print-addresses) || exit 2

LAB_CHILD_PID=
on_signal() {
    trap - INT TERM HUP
    [ -n "$LAB_CHILD_PID" ] && kill -TERM "$LAB_CHILD_PID" 2>/dev/null
    exit $((128 + $1))
}
trap lab_destroy EXIT
trap 'on_signal 1' HUP
trap 'on_signal 2' INT
trap 'on_signal 15' TERM

LAB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/farlight-lab.XXXXXX") || lab_die "cannot create a temporary folder"
# The reaper removes the lab even when this script is killed outright (a test timeout, SIGKILL).
keep=
[ "${FARLIGHT_LAB_KEEP:-0}" = 1 ] && keep=--keep
setsid "$here/lab-clean.sh" --after "$$" "$LAB_DIR" $keep </dev/null >/dev/null 2>&1 &
lab_create "$$" "$second" "$addresses" || lab_die "cannot create the lab"
lab_export "$second"
export FARLIGHT_LAB_DIR="$LAB_DIR"
export FARLIGHT_LAB_CONFIG="$config"
export FARLIGHT_LAB_STATE="$LAB_DIR/state.json"
export FARLIGHT_LAB_LOG="$LAB_DIR/requests.log"
export FARLIGHT_LAB_FIRMWARE_DIR="$LAB_DIR/firmware"

ip netns exec "$LAB_DEV_NS" "$apsim" --config "$config" --state "$FARLIGHT_LAB_STATE" --log "$FARLIGHT_LAB_LOG" \
    --firmware-dir "$FARLIGHT_LAB_FIRMWARE_DIR" --exit-with-parent >"$LAB_DIR/apsim.out" 2>&1 &
LAB_APSIM_PID=$!
[ -n "${FARLIGHT_LAB_REGISTRY:-}" ] && printf 'apsim %s\ndir %s\n' "$LAB_APSIM_PID" "$LAB_DIR" >>"$FARLIGHT_LAB_REGISTRY/$LAB_ID"

# The simulator writes its first state once every socket is open: from then on it answers.
for _ in $(seq 100); do
    [ -s "$FARLIGHT_LAB_STATE" ] && break
    kill -0 "$LAB_APSIM_PID" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$FARLIGHT_LAB_STATE" ]; then
    lab_log "the simulator did not start:"
    cat "$LAB_DIR/apsim.out" >&2
    exit 2
fi

# Stdin stays the caller's, so an interactive shell works as COMMAND.
ip netns exec "$LAB_WS_NS" "$@" 0<&0 &
LAB_CHILD_PID=$!
wait "$LAB_CHILD_PID"
status=$?
LAB_CHILD_PID=

if [ "$status" != 0 ]; then
    lab_log "command ended with status $status; simulator output and last requests follow"
    sed 's/^/  apsim: /' "$LAB_DIR/apsim.out" >&2
    tail -n 20 "$FARLIGHT_LAB_LOG" 2>/dev/null | sed 's/^/  log: /' >&2
fi
exit "$status"
