#!/bin/sh
# Runs a command in a fresh, private network namespace that has only the loopback interface,
# so a test that opens sockets can never reach this machine's real interfaces.
# Usage: netns-run.sh COMMAND [ARGS...]
if [ "${FARLIGHT_IN_NETNS:-}" != 1 ]; then
    FARLIGHT_IN_NETNS=1 exec unshare --net --map-root-user -- "$0" "$@"
fi
ip link set lo up || exit 1
exec "$@"
