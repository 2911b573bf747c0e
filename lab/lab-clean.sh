#!/bin/bash
# Removes Farlight labs that outlived their owner script (one killed with SIGKILL cannot clean up
# after itself), together with everything running inside them.
#
# Usage: lab-clean.sh                       remove every stale lab, print the ids removed
#        lab-clean.sh --after PID DIR [--keep]
#            wait until PID (a lab owner) has ended, then remove its lab and DIR; with-lab.sh
#            starts this in a session of its own, so the lab goes even if its owner is killed.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"
lab_require_root

if [ "${1:-}" = --after ]; then
    owner=${2:?owner pid}
    dir=${3:?lab folder}
    keep=${4:-}
    trap '' INT TERM HUP
    while kill -0 "$owner" 2>/dev/null; do sleep 0.5; done
    lab_remove_namespace "$LAB_PREFIX-ws-$owner"
    lab_remove_namespace "$LAB_PREFIX-dev-$owner"
    [ "$keep" = --keep ] || rm -rf "$dir"
    exit 0
fi

lab_purge_stale
