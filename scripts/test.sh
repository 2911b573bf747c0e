#!/usr/bin/env bash
# Sets up, builds and runs every test: unit and widget tests (offscreen), socket tests in private
# network namespaces, and lab tests; then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Builds and tests run as the invoking user; only the lab tests, which
# create network namespaces, run as root (through sudo), and the socket tests too where this
# machine allows no unprivileged user namespaces.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/common.sh"
fl_back_to_invoker "$0" "$@"

"$root/scripts/setup.sh" --asan

# Qt and fontconfig keep caches for the life of the process; leaks are still reported for our code.
test_env=(
    QT_QPA_PLATFORM=offscreen
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    "LSAN_OPTIONS=suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
)
export "${test_env[@]}"

# Labels of the tests that run as root. Socket tests (netns) enter a private network namespace,
# which without root takes an unprivileged user namespace.
root_labels='^lab$'
if [ "$(id -u)" != 0 ] && ! unshare --user --map-root-user --net true 2>/dev/null; then
    echo "Unprivileged user namespaces are not allowed here: the socket tests run with sudo."
    root_labels='^(lab|netns)$'
fi

status=0
# run_tests TITLE BUILD_DIR TIMEOUT
run_tests() {
    echo "== Tests ($1)"
    ctest --test-dir "$2" --output-on-failure --timeout "$3" -LE "$root_labels" || status=1
    echo "== Tests as root ($1, labels $root_labels)"
    fl_as_root env "${test_env[@]}" ctest --test-dir "$2" --output-on-failure --timeout "$3" -L "$root_labels" \
        || status=1
    # Root's run leaves its logs and the lab record in the build tree: hand them back.
    [ "$(id -u)" = 0 ] || fl_as_root chown -R --from=0 "$(id -u):$(id -g)" "$2"
}
run_tests "release build" "$root/build" 600
echo "== Debian package (release build)"
"$root/tests/install/check_deb.sh" "$root/build" || status=1
run_tests "ASan + UBSan build" "$root/build-asan" 900

# The fuzz targets (fuzz/README.md): their clang build, then 10 s of fuzzing each from the seeds
# (longer runs are for fuzz/run.sh by hand; the suite has a time budget).
echo "== Fuzzing (fuzz/run.sh 10)"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFARLIGHT_FUZZ=ON -DFARLIGHT_BUILD_TESTS=OFF >/dev/null \
    && cmake --build "$root/build-fuzz" --target fuzz -j "$(nproc)" \
    && FUZZ_BUILD="$root/build-fuzz" "$root/fuzz/run.sh" 10 \
    || status=1

# lab_leaves_nothing checked each run's labs; this also catches a lab of any earlier run whose
# owner is gone, and a lab link that reached the machine's own network.
# shellcheck source=../lab/lablib.sh
. "$root/lab/lablib.sh"
for id in $(lab_existing_ids); do
    lab_owner_alive "$id" || { echo "Lab $id left behind: $(lab_namespaces "$id")"; status=1; }
done
links=$(lab_machine_links)
if [ -n "$links" ]; then
    echo "Lab links on the machine's own network: $links"
    status=1
fi
exit $status
