# shellcheck shell=bash
# Sourced by setup.sh, test.sh and run.sh (after they set $root to the checkout).
#
# Builds belong to the user: the scripts run as the invoking user and reach root through sudo
# only where it is needed (apt-get, the lab's network namespaces), so no root-owned file lands
# in the user's build trees. Started as root they work as root (CI); started with sudo by the
# owner of the checkout, they go back to that user first.

# fl_back_to_invoker SCRIPT [ARGS...]: re-runs SCRIPT as the user who called sudo, when that user
# owns the checkout; otherwise does nothing.
fl_back_to_invoker() {
    [ "$(id -u)" = 0 ] && [ -n "${SUDO_UID:-}" ] && [ "$SUDO_UID" != 0 ] || return 0
    [ "$(stat -c %u "$root")" = "$SUDO_UID" ] || return 0
    local home
    home=$(getent passwd "$SUDO_UID" | cut -d: -f6)
    echo "Started with sudo: going on as $SUDO_USER, who owns $root (sudo is used where root is needed)."
    exec setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups \
        env HOME="$home" USER="$SUDO_USER" LOGNAME="$SUDO_USER" "$@"
}

# fl_as_root COMMAND [ARGS...]: runs COMMAND as root, through sudo unless already root. sudo
# passes on no environment of its own accord: give variables with `env NAME=VALUE` in COMMAND.
fl_as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Needs root for: $*; sudo is not installed (as root: apt-get install sudo)." >&2
        return 1
    fi
}
