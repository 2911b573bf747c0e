#!/bin/bash
# Checks that labs left nothing behind: no namespace, no simulator process, no temporary folder.
# Whatever is found is reported (the check fails) and then removed, so the next run starts clean.
#
# Usage: check-clean.sh [--registry DIR]
#   Without a registry: every lab namespace counts, and every simulator in a lab namespace; only
#   stale labs are removed, since a live lab may belong to a test run still going on.
#   With the registry of a test run: that run's labs must be gone entirely, and labs whose owner
#   is gone count as leftovers; live labs of other runs (parallel test runs) are left alone.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"

registry=
[ "${1:-}" = --registry ] && registry=${2:-}
lab_require_root

problems=0
report() { lab_log "left behind: $*"; problems=$((problems + 1)); }

# Give the reapers of labs that just ended their half second.
sleep 1

if [ -n "$registry" ] && [ -d "$registry" ]; then
    for record in "$registry"/*; do
        [ -f "$record" ] || continue
        id=$(basename "$record")
        while read -r kind a b; do
            case $kind in
            namespaces)
                for ns in $a $b; do
                    ip netns list | grep -Eq "^$ns( |$)" && report "namespace $ns"
                done
                ;;
            apsim)
                [ "$(cat "/proc/$a/comm" 2>/dev/null)" = apsim ] && report "simulator process $a of lab $id" \
                    && kill -KILL "$a" 2>/dev/null
                ;;
            dir)
                [ -e "$a" ] && report "folder $a" && rm -rf "$a"
                ;;
            esac
        done <"$record"
    done
fi

for id in $(lab_existing_ids); do
    if [ -z "$registry" ] || ! lab_owner_alive "$id"; then
        report "lab $id ($(ip netns list | grep -E -- "-$id( |$)" | cut -d' ' -f1 | tr '\n' ' '))"
    fi
done

# A simulator outside any namespace, or inside a lab whose owner is gone, is a leftover.
for pid in $(pgrep -x apsim); do
    ns=$(ip netns identify "$pid" 2>/dev/null)
    case $ns in
    "$LAB_PREFIX"-dev-*)
        owner=${ns##*-}
        if [ -z "$registry" ] || ! lab_owner_alive "$owner"; then
            report "simulator process $pid in $ns"
        fi
        ;;
    "")
        [ "$(readlink "/proc/$pid/ns/net")" = "$(readlink /proc/self/ns/net)" ] \
            && report "simulator process $pid in the machine's own namespace" && kill -KILL "$pid" 2>/dev/null
        ;;
    esac
done

for id in $(lab_purge_stale); do
    lab_log "removed the stale lab $id"
done

if [ "$problems" -gt 0 ]; then
    lab_log "$problems leftover(s) found"
    exit 1
fi
echo "no lab namespace, link or simulator left"
