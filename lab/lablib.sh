# Shell functions that build and remove a Farlight network lab. Sourced by with-lab.sh,
# lab-clean.sh and check-clean.sh; not meant to be run on its own.
#
# A lab is two network namespaces joined by veth pairs:
#   farlight-ws-ID   the workstation: adapter 1 (flw1-ID, 192.168.77.10/24) and, with the second
#                    adapter, adapter 2 (flw2-ID, 192.168.88.10/24). No default route.
#   farlight-dev-ID  the devices: fld1-ID (segment 1) and fld2-ID (segment 2) carry the devices'
#                    addresses; the simulator runs here.
# ID is the PID of the script that owns the lab, so labs of parallel test runs never clash and a
# lab whose owner is gone can be recognised as stale.

LAB_PREFIX=farlight
LAB_OWNER_PATTERN='with-lab\.sh|run-farlight\.sh'

# Fixed, locally administered MACs, so that tests can predict what the workstation sends.
LAB_WS1_MAC=02:46:4c:00:01:0a
LAB_DEV1_MAC=02:46:4c:00:01:fe
LAB_WS2_MAC=02:46:4c:00:02:0a
LAB_DEV2_MAC=02:46:4c:00:02:fe
LAB_WS1_ADDR=192.168.77.10/24
LAB_WS2_ADDR=192.168.88.10/24
LAB_MASK=255.255.255.0

lab_log() { printf 'lab: %s\n' "$*" >&2; }
lab_die() { lab_log "$*"; exit 2; }

# The MAC in the form the program shows: upper case, groups joined by "-".
lab_mac_text() { printf '%s' "$1" | tr 'a-f:' 'A-F-'; }

lab_require_root() {
    [ "$(id -u)" = 0 ] || lab_die "must run as root: it creates network namespaces (try sudo)"
}

# Stops when Debian packages are missing: scripts/setup.sh installs them. A lab never installs
# anything itself, so a test run needs no network and changes nothing on the machine.
lab_require_packages() {
    command -v dpkg-query >/dev/null 2>&1 || return 0
    missing=
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $pkg"
    done
    [ -z "$missing" ] || lab_die "missing packages:$missing (scripts/setup.sh installs them)"
}

# True when PID $1 is alive and is a lab owner script.
lab_owner_alive() {
    [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" | grep -Eq "$LAB_OWNER_PATTERN"
}

# Lab ids for which a namespace exists.
lab_existing_ids() {
    ip netns list 2>/dev/null | sed -nE "s/^$LAB_PREFIX-(ws|dev)-([0-9]+)( .*)?$/\2/p" | sort -u
}

# The namespaces of lab $1 that exist, on one line.
lab_namespaces() {
    ip netns list 2>/dev/null | sed -nE "s/^($LAB_PREFIX-(ws|dev)-$1)( .*)?$/\1/p" | tr '\n' ' '
}

# Links named like a lab's veth ends (flw1-ID, fld2-ID...) in the caller's network namespace.
# A lab creates them inside its namespaces only, so in the machine's own namespace there are none.
lab_machine_links() {
    ip -o link show 2>/dev/null | sed -nE 's/^[0-9]+: (fl[wd][12]-[0-9]+)[@:].*/\1/p' | tr '\n' ' '
}

# Ends every process inside namespace $1 (they all belong to the lab) and removes the namespace.
lab_remove_namespace() {
    ns=$1
    ip netns list 2>/dev/null | grep -Eq "^$ns( |$)" || return 0
    pids=$(ip netns pids "$ns" 2>/dev/null)
    if [ -n "$pids" ]; then
        # shellcheck disable=SC2086
        kill -TERM $pids 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            pids=$(ip netns pids "$ns" 2>/dev/null)
            [ -z "$pids" ] && break
            sleep 0.2
        done
        # shellcheck disable=SC2086
        [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
    fi
    # Deleting the namespace also deletes the veth ends inside it, and with them their peers.
    ip netns delete "$ns" 2>/dev/null || lab_log "cannot delete namespace $ns"
}

# Removes labs whose owner is gone (a lab killed with SIGKILL cannot clean up after itself).
# Prints the ids it removed.
lab_purge_stale() {
    for id in $(lab_existing_ids); do
        lab_owner_alive "$id" && continue
        lab_remove_namespace "$LAB_PREFIX-ws-$id"
        lab_remove_namespace "$LAB_PREFIX-dev-$id"
        echo "$id"
    done
}

# lab_create ID SECOND_ADAPTER(0|1) ADDRESSES
# ADDRESSES: lines "segment address/prefix MAC" as apsim --print-addresses writes them.
lab_create() {
    LAB_ID=$1
    second=$2
    addresses=$3
    LAB_WS_NS=$LAB_PREFIX-ws-$LAB_ID
    LAB_DEV_NS=$LAB_PREFIX-dev-$LAB_ID
    LAB_WS1_IF=flw1-$LAB_ID
    LAB_DEV1_IF=fld1-$LAB_ID
    LAB_WS2_IF=flw2-$LAB_ID
    LAB_DEV2_IF=fld2-$LAB_ID

    # A namespace of this id can only be left over from an earlier owner with the same PID.
    lab_remove_namespace "$LAB_WS_NS"
    lab_remove_namespace "$LAB_DEV_NS"

    ip netns add "$LAB_WS_NS" || return 1
    ip netns add "$LAB_DEV_NS" || return 1
    if [ -n "${FARLIGHT_LAB_REGISTRY:-}" ]; then
        mkdir -p "$FARLIGHT_LAB_REGISTRY" && echo "namespaces $LAB_WS_NS $LAB_DEV_NS" >"$FARLIGHT_LAB_REGISTRY/$LAB_ID"
    fi
    for ns in "$LAB_WS_NS" "$LAB_DEV_NS"; do
        ip -n "$ns" link set lo up || return 1
        # Quiet links: no IPv6 chatter on the segments.
        ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 \
            >/dev/null 2>&1
        # Replies from a foreign subnet have no route back; strict reverse-path filtering would drop them.
        ip netns exec "$ns" sysctl -q -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 \
            >/dev/null || return 1
    done

    segments=1
    [ "$second" = 1 ] && segments="1 2"
    for seg in $segments; do
        eval "ws_if=\$LAB_WS${seg}_IF dev_if=\$LAB_DEV${seg}_IF ws_mac=\$LAB_WS${seg}_MAC"
        eval "dev_mac=\$LAB_DEV${seg}_MAC ws_addr=\$LAB_WS${seg}_ADDR"
        # Created inside the namespaces, so no link ever appears on the machine's own network.
        # shellcheck disable=SC2154
        ip -n "$LAB_WS_NS" link add "$ws_if" address "$ws_mac" type veth \
            peer name "$dev_if" address "$dev_mac" netns "$LAB_DEV_NS" || return 1
        ip -n "$LAB_WS_NS" addr add "$ws_addr" dev "$ws_if" || return 1
        ip netns exec "$LAB_WS_NS" sysctl -q -w "net.ipv4.conf.$ws_if.rp_filter=0" >/dev/null || return 1
        ip netns exec "$LAB_DEV_NS" sysctl -q -w "net.ipv4.conf.$dev_if.rp_filter=0" >/dev/null || return 1
        ip -n "$LAB_WS_NS" link set "$ws_if" up || return 1
        ip -n "$LAB_DEV_NS" link set "$dev_if" up || return 1
    done

    printf '%s\n' "$addresses" | while read -r seg address mac; do
        [ -n "$seg" ] || continue
        if [ "$seg" = 2 ] && [ "$second" != 1 ]; then
            lab_log "device $mac ($address) sits on segment 2, which needs --second-adapter; left out"
            continue
        fi
        eval "dev_if=\$LAB_DEV${seg}_IF"
        ip -n "$LAB_DEV_NS" addr add "$address" dev "$dev_if" || exit 1
    done || return 1
    return 0
}

# Exports what a command inside the lab needs to know about it.
lab_export() {
    export FARLIGHT_LAB_ID="$LAB_ID"
    export FARLIGHT_LAB_WS_NETNS="$LAB_WS_NS"
    export FARLIGHT_LAB_DEV_NETNS="$LAB_DEV_NS"
    export FARLIGHT_LAB_ADAPTER_COUNT=1
    export FARLIGHT_LAB_ADAPTER1_IFACE="$LAB_WS1_IF"
    export FARLIGHT_LAB_ADAPTER1_IP="${LAB_WS1_ADDR%/*}"
    export FARLIGHT_LAB_ADAPTER1_MASK="$LAB_MASK"
    FARLIGHT_LAB_ADAPTER1_MAC=$(lab_mac_text "$LAB_WS1_MAC")
    export FARLIGHT_LAB_ADAPTER1_MAC
    if [ "$1" = 1 ]; then
        export FARLIGHT_LAB_ADAPTER_COUNT=2
        export FARLIGHT_LAB_ADAPTER2_IFACE="$LAB_WS2_IF"
        export FARLIGHT_LAB_ADAPTER2_IP="${LAB_WS2_ADDR%/*}"
        export FARLIGHT_LAB_ADAPTER2_MASK="$LAB_MASK"
        FARLIGHT_LAB_ADAPTER2_MAC=$(lab_mac_text "$LAB_WS2_MAC")
        export FARLIGHT_LAB_ADAPTER2_MAC
    fi
}

# Removes the lab of this script: the simulator, everything else inside the namespaces, the
# namespaces with their links, and the temporary folder.
lab_destroy() {
    if [ -n "${LAB_APSIM_PID:-}" ] && kill -0 "$LAB_APSIM_PID" 2>/dev/null; then
        kill -TERM "$LAB_APSIM_PID" 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$LAB_APSIM_PID" 2>/dev/null || break
            sleep 0.2
        done
        kill -KILL "$LAB_APSIM_PID" 2>/dev/null
        wait "$LAB_APSIM_PID" 2>/dev/null
    fi
    [ -n "${LAB_WS_NS:-}" ] && lab_remove_namespace "$LAB_WS_NS"
    [ -n "${LAB_DEV_NS:-}" ] && lab_remove_namespace "$LAB_DEV_NS"
    if [ -n "${LAB_DIR:-}" ] && [ -d "$LAB_DIR" ]; then
        if [ "${FARLIGHT_LAB_KEEP:-0}" = 1 ]; then
            lab_log "kept $LAB_DIR"
        else
            rm -rf "$LAB_DIR"
        fi
    fi
    LAB_APSIM_PID= LAB_WS_NS= LAB_DEV_NS= LAB_DIR=
}
