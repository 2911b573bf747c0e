#!/usr/bin/env bash
# Sets up, builds and runs every test: unit, widget (offscreen) and lab tests, then the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer. Needs root for the lab's
# network namespaces (it re-runs itself with sudo when it has to).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=PATH "$0" "$@"
fi

"$root/scripts/setup.sh" --asan

export QT_QPA_PLATFORM=offscreen
# Qt and fontconfig keep caches for the life of the process; leaks are still reported for our code.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
echo "== Tests (release build)"
ctest --test-dir "$root/build" --output-on-failure --timeout 600 || status=1
echo "== Tests (ASan + UBSan build)"
ctest --test-dir "$root/build-asan" --output-on-failure --timeout 900 || status=1

leftover=$(ip netns list 2>/dev/null | grep -E '^fl' || true)
if [ -n "$leftover" ]; then
    echo "Network namespaces left behind: $leftover"
    status=1
fi
exit $status
