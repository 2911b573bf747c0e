#!/usr/bin/env bash
# Installs a build under /usr into a temporary DESTDIR and checks the result as a package would
# hold it: the programs and nothing of the development tools, the help where the program looks
# for it, the menu entry, icons and AppStream metadata naming one another consistently and
# passing their validators, and the manual pages. With ROOT, checks that tree (a package's
# contents, unpacked) instead of installing.
# Usage: install_layout.sh BUILD_DIR APP_ID VERSION HELP_DIR_FROM_BIN HAS_CLI(0|1) [ROOT]
set -euo pipefail
build=$1 app_id=$2 version=$3 help_from_bin=$4 has_cli=$5 root=${6:-}

for tool in desktop-file-validate appstreamcli file; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dest=${root:-$work/root}
if [ -z "$root" ] && ! DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi
usr=$dest/usr

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() { [ -f "$usr/$1" ] || fail "not installed: /usr/$1"; }

# Only the programs meant for users: the simulator, benchmarks and test programs stay behind.
programs=(farlight)
[ "$has_cli" = 1 ] && programs+=(farlight-cli)
expected=$(printf '%s\n' "${programs[@]}" | sort)
actual=$(find "$usr/bin" -mindepth 1 -printf '%P\n' 2>/dev/null | sort)
[ "$actual" = "$expected" ] || fail "/usr/bin holds [$(echo $actual)], expected [$(echo $expected)]"
for program in "${programs[@]}"; do
    need "share/man/man1/$program.1.gz"
    [ -x "$usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done
[ "$has_cli" = 1 ] && { need share/bash-completion/completions/farlight-cli; bash -n "$usr/share/bash-completion/completions/farlight-cli" || fail "completion script: syntax"; }
# Nothing but programs and data: no libraries, headers or CMake packages of the build.
stray=$(find "$usr" -mindepth 1 -maxdepth 1 ! -name bin ! -name share -printf '/usr/%P ')
[ -z "$stray" ] || fail "unexpected folders: $stray"

# The program looks for its help relative to its own folder.
[ -f "$usr/bin/$help_from_bin/index.html" ] || fail "no help page at /usr/bin/$help_from_bin/index.html"

desktop=$usr/share/applications/$app_id.desktop
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
need "share/applications/$app_id.desktop"
need "share/metainfo/$app_id.metainfo.xml"
summary() {
    [ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
}
# The checks below read these two files.
[ -f "$desktop" ] && [ -f "$metainfo" ] || summary

# The menu entry names an icon and a program that the package installs.
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$app_id" ] || fail "desktop entry's Icon=$icon, expected $app_id"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$usr/bin/$exec_program" ] || fail "desktop entry runs '$exec_program', which is not in /usr/bin"

need "share/icons/hicolor/scalable/apps/$icon.svg"
for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "no ${size}x${size} icon"
    elif ! file -b "$png" | grep -q "^PNG image data, $size x $size,"; then
        fail "${size}x${size} icon is $(file -b "$png")"
    fi
done

# The metadata launches this desktop entry, and its newest release is the version being built.
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $app_id.desktop"
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] || fail "metainfo's newest release is '$newest', the project is $version"
for program in "${programs[@]}"; do
    grep -q "<binary>$program</binary>" "$metainfo" || fail "metainfo does not provide $program"
done

desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli validate"

summary
echo "The installed layout is complete and valid"
