#!/bin/bash
# Checks that labs left nothing behind: no namespace (farlight-ws-ID, farlight-dev-ID), no veth
# link of theirs (flw1-ID...) in the machine's own namespace, no simulator or reaper process, no
# temporary folder.
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

# Reapers (lab-clean.sh --after OWNER) of labs that just ended get a few seconds to finish; one
# still waiting for an owner that is gone is a leftover itself.
reapers_of_ended_labs() {
    for pid in $(pgrep -f 'lab-clean\.sh --after '); do
        owner=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | sed -nE 's/.*lab-clean\.sh --after ([0-9]+) .*/\1/p')
        [ -n "$owner" ] && ! lab_owner_alive "$owner" && echo "$pid"
    done
}
for _ in $(seq 25); do
    [ -z "$(reapers_of_ended_labs)" ] && break
    sleep 0.2
done
for pid in $(reapers_of_ended_labs); do
    report "reaper process $pid of an ended lab"
done

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
        report "lab $id ($(lab_namespaces "$id"))"
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

for link in $(lab_machine_links); do
    report "link $link in the machine's own namespace"
    lab_owner_alive "${link#*-}" || ip link delete "$link" 2>/dev/null
done

for id in $(lab_purge_stale); do
    lab_log "removed the stale lab $id"
done

if [ "$problems" -gt 0 ]; then
    lab_log "$problems leftover(s) found"
    exit 1
fi
echo "no lab namespace, link, simulator or reaper left"
