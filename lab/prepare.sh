#!/bin/bash
# Prepares a run of lab tests: checks that the packages the labs need are installed (setup.sh
# installs them), removes stale labs, and starts an empty record of the labs the run will create
# (check-clean.sh reads it afterwards).
#
# Usage: prepare.sh [--registry DIR]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lablib.sh
. "$here/lablib.sh"

registry=
[ "${1:-}" = --registry ] && registry=${2:-}

lab_require_root
lab_require_packages iproute2 procps util-linux
for id in $(lab_purge_stale); do
    lab_log "removed the stale lab $id"
done
if [ -n "$registry" ]; then
    rm -rf "$registry" && mkdir -p "$registry" || lab_die "cannot reset $registry"
fi
echo "lab prerequisites ready"
