#!/usr/bin/env bash
# Builds the Debian package of a build with CPack and checks what is the package's own: the
# dependencies computed from the binaries. Its contents, unpacked, must pass the installed
# layout check (install_layout.sh, with the arguments the build gave its install_layout test).
# Usage: tests/install/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)

rm -f "$build"/farlight_*.deb
if ! (cd "$build" && cpack -G DEB) >"$build/cpack-deb.log" 2>&1; then
    cat "$build/cpack-deb.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
debs=("$build"/farlight_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made no single farlight_*.deb"; exit 1; }
deb=${debs[0]}
echo "Package: $deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
# dpkg-shlibdeps names the libraries' packages; without it the field would be empty.
for library in libc6 libqt6core6 libqt6network6 libqt6widgets6; do
    [[ "$depends" == *"$library "* || "$depends" == *"$library," || "$depends" == *"$library" ]] \
        || fail "Depends lacks $library: $depends"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
mapfile -t layout < <(ctest --test-dir "$build" -R '^install_layout$' --show-only=json-v1 \
    | python3 -c 'import json, sys; print(*json.load(sys.stdin)["tests"][0]["command"], sep="\n")')
[ ${#layout[@]} = 6 ] || { echo "FAIL: the build has no install_layout test to take the arguments from"; exit 1; }
"${layout[@]}" "$work/root" || fail "the package's contents"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) of the package failed"
    exit 1
fi
echo "The package is complete"
