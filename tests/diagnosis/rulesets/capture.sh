#!/usr/bin/env bash
# Regenerates NAME.json, the output of `nft -j list ruleset` (re-indented), from each NAME.nft here. Each ruleset
# is loaded in a throwaway network namespace, so the machine's own firewall is never touched.
# Usage (root): tests/diagnosis/rulesets/capture.sh
set -euo pipefail
cd "$(dirname "$0")"
ns=farlight-nft-$$
trap 'ip netns del "$ns" 2>/dev/null || true' EXIT
for rules in *.nft; do
    ip netns add "$ns"
    ip netns exec "$ns" nft -f "$rules"
    ip netns exec "$ns" nft -j list ruleset | python3 -m json.tool --indent 1 >"${rules%.nft}.json"
    ip netns del "$ns"
done
