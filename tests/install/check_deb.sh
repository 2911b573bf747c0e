#!/usr/bin/env bash
# Builds the Debian package of a build with CPack and checks it: dependencies computed from the
# binaries, and the programs, help, menu entry, icons and metadata inside, without the
# development tools.
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

contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
has() { grep -qx -- "$1" <<<"$contents" || fail "not in the package: $1"; }
has ./usr/bin/farlight
[ ! -e "$build/src/cli/farlight-cli" ] || has ./usr/bin/farlight-cli
has ./usr/share/farlight/help/index.html
has './usr/share/man/man1/farlight.1.gz'
grep -qx '\./usr/share/applications/[^/]*\.desktop' <<<"$contents" || fail "no desktop entry in the package"
grep -qx '\./usr/share/metainfo/[^/]*\.metainfo\.xml' <<<"$contents" || fail "no AppStream metadata in the package"
grep -qx '\./usr/share/icons/hicolor/scalable/apps/[^/]*\.svg' <<<"$contents" || fail "no scalable icon in the package"
for size in 16 22 24 32 48 64 128 256; do
    grep -qx "\./usr/share/icons/hicolor/${size}x${size}/apps/[^/]*\.png" <<<"$contents" \
        || fail "no ${size}x${size} icon in the package"
done
programs=$(grep '^\./usr/bin/.' <<<"$contents" | sed 's|^\./usr/bin/||' | tr '\n' ' ')
echo "Programs: $programs"
if grep -q '^\./usr/bin/\(apsim\|bench_\|test_\)' <<<"$contents"; then
    fail "development tools in the package: $programs"
fi

summary=$(grep -c -v '/$' <<<"$contents")
echo "Files in the package: $summary"
if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) of the package failed"
    exit 1
fi
echo "The package is complete"
