#!/bin/bash
# Checks the lab scripts themselves: the command's status is passed on, names carry the lab id,
# the simulator runs only in the device namespace, and the lab is removed when the command ends,
# when the owner is terminated, and even when the owner is killed outright.
# Usage: lab_lifecycle.sh APSIM CONFIG
set -u
apsim=${1:?usage: lab_lifecycle.sh APSIM CONFIG}
config=${2:?usage: lab_lifecycle.sh APSIM CONFIG}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
withlab=$here/../../lab/with-lab.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

lab_present() { ip netns list | grep -Eq "^farlight-(ws|dev)-$1( |$)"; }

# Waits (bounded) until lab $1 is gone; fails the check if it stays.
expect_gone() {
    for _ in $(seq 50); do
        lab_present "$1" || return 0
        sleep 0.2
    done
    fail "lab $1 is still there ($2)"
}

# 1. Status passed on, lab removed afterwards, names and placement as documented.
"$withlab" --apsim "$apsim" --config "$config" -- sh -c '
    echo "$FARLIGHT_LAB_ID" >'"$work"'/id1
    echo "$FARLIGHT_LAB_DIR" >'"$work"'/dir1
    ip netns identify $$ >'"$work"'/ns1
    ip -o link show | grep -o "flw1-$FARLIGHT_LAB_ID" >'"$work"'/link1
    ip link show "$FARLIGHT_LAB_ADAPTER1_IFACE" | grep -o "link/ether [0-9a-f:]*" >'"$work"'/mac1
    for pid in $(ip netns pids "$FARLIGHT_LAB_DEV_NETNS"); do cat /proc/$pid/comm; done >'"$work"'/devprocs
    exit 7'
status=$?
[ "$status" = 7 ] || fail "status 7 of the command came back as $status"
id=$(cat "$work/id1")
[ "$(cat "$work/ns1")" = "farlight-ws-$id" ] || fail "command ran in '$(cat "$work/ns1")', not farlight-ws-$id"
[ "$(cat "$work/link1")" = "flw1-$id" ] || fail "no adapter flw1-$id in the workstation namespace"
[ "$(cat "$work/mac1")" = "link/ether 02:46:4c:00:01:0a" ] || fail "adapter MAC is $(cat "$work/mac1")"
grep -qx apsim "$work/devprocs" || fail "apsim does not run in the device namespace"
lab_present "$id" && fail "lab $id still present after the command ended"
[ -e "$(cat "$work/dir1")" ] && fail "lab folder $(cat "$work/dir1") still present"

"$withlab" --apsim "$apsim" --config "$config" -- true || fail "a command ending with 0 gave $?"

# 2. A configuration error ends before anything is created.
echo '{"devices": []}' >"$work/empty.json"
"$withlab" --apsim "$apsim" --config "$work/empty.json" -- true 2>/dev/null &
pid=$!
wait "$pid"
status=$?
[ "$status" = 2 ] || fail "an empty device list gave status $status, expected 2"
lab_present "$pid" && fail "a lab was created for a bad configuration"

# 3. Terminating the owner removes the lab and ends the command.
"$withlab" --apsim "$apsim" --config "$config" -- sh -c 'echo $FARLIGHT_LAB_ID >'"$work"'/id3; exec sleep 60' &
owner=$!
for _ in $(seq 100); do [ -s "$work/id3" ] && break; sleep 0.1; done
[ -s "$work/id3" ] || fail "the lab for the TERM check did not start"
kill -TERM "$owner"
wait "$owner"
status=$?
[ "$status" = 143 ] || fail "terminated owner ended with $status, expected 143"
expect_gone "$owner" "after SIGTERM"

# 4. Killing the owner outright (as a test timeout does): the reaper removes the lab, and the
#    simulator ends with its parent.
"$withlab" --apsim "$apsim" --config "$config" -- sh -c '
    echo $FARLIGHT_LAB_ID >'"$work"'/id4
    ip netns pids "$FARLIGHT_LAB_DEV_NETNS" >'"$work"'/pids4
    exec sleep 60' &
owner=$!
for _ in $(seq 100); do [ -s "$work/id4" ] && break; sleep 0.1; done
[ -s "$work/id4" ] || fail "the lab for the KILL check did not start"
kill -KILL "$owner"
wait "$owner" 2>/dev/null
expect_gone "$owner" "after SIGKILL"
for pid in $(cat "$work/pids4"); do
    for _ in $(seq 25); do [ -e "/proc/$pid" ] || break; sleep 0.2; done
    [ -e "/proc/$pid" ] && fail "process $pid of the killed lab still runs"
done

[ "$failures" = 0 ] && echo "ok: lab lifecycle" && exit 0
exit 1
