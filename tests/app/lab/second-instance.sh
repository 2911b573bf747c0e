#!/bin/sh
# A second copy of the program ends at once and silently while the first one runs.
# Usage: second-instance.sh FARLIGHT
set -u
farlight=$1
runtime=$(mktemp -d)
trap 'kill "$first" 2>/dev/null; wait "$first" 2>/dev/null; rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen

# The program runs as the user who started the tests with sudo, as it would on their desktop.
as_user=
if [ "$(id -u)" = 0 ] && [ "${SUDO_UID:-0}" != 0 ]; then
    as_user="setpriv --reuid=$SUDO_UID --regid=$SUDO_GID --init-groups env HOME=$(getent passwd "$SUDO_UID" | cut -d: -f6)"
    chown "$SUDO_UID:$SUDO_GID" "$runtime"
fi

$as_user "$farlight" >"$runtime/first.out" 2>&1 &
first=$!
# The first copy is running once it holds its lock (read from /proc/locks: taking the lock to
# try it could make the first copy believe another one runs); a copy that ends before fails.
lock=$runtime/farlight.lock
held() { [ -e "$lock" ] && grep -Eq "FLOCK +ADVISORY +WRITE +[0-9]+ [0-9a-f]+:[0-9a-f]+:$(stat -c %i "$lock") " /proc/locks; }
for _ in $(seq 200); do
    kill -0 "$first" 2>/dev/null || { echo "FAIL: the first copy did not keep running"; cat "$runtime/first.out"; exit 1; }
    held && break
    sleep 0.1
done
held || { echo "FAIL: the first copy took no lock in 20 s"; exit 1; }

timeout 20 $as_user "$farlight" >"$runtime/second.out" 2>&1
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the second copy ended with status $status"; exit 1; }
if grep -v -e 'XDG_RUNTIME_DIR' -e 'propagateSizeHints' "$runtime/second.out" | grep -q .; then
    echo "FAIL: the second copy printed:"; cat "$runtime/second.out"; exit 1
fi
kill -0 "$first" 2>/dev/null || { echo "FAIL: the first copy ended"; exit 1; }
echo "second copy ended silently while the first ran"
echo "1 passed, 0 failed"
