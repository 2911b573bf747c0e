#!/bin/sh
# Runs a command in a fresh, private network namespace that has only the loopback interface,
# so a test that opens sockets can never reach this machine's real interfaces. The command sees
# FARLIGHT_IN_NETNS=1, so a test that builds links of its own can make sure it is inside.
# Root gets a plain network namespace. Anyone else gets one inside a user namespace of their own,
# where they count as root and may bring the loopback up: this needs unprivileged user namespaces
# (scripts/test.sh runs these tests with sudo where the machine forbids them).
# Usage: netns-run.sh COMMAND [ARGS...]
if [ "${1:-}" != --inside ]; then
    [ "$(id -u)" = 0 ] && exec unshare --net -- "$0" --inside "$@"
    exec unshare --user --map-root-user --net -- "$0" --inside "$@"
fi
shift
export FARLIGHT_IN_NETNS=1
ip link set lo up || exit 1
exec "$@"
