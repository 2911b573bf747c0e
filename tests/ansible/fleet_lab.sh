#!/usr/bin/env bash
# The farlight.fleet collection driven by a real ansible-playbook over real SSH. A controller
# namespace reaches two site hosts only through an sshd each (key-only, run by this script); each
# site host sits on a LAN segment of its own with its own apsim devices, both on 192.168.77.0/24,
# and nothing routes between the sites:
#
#   flfleet-ctl-ID  192.0.2.1/30 --- 192.0.2.2/30  flfleet-site1-ID  192.168.77.10/24 --- flfleet-lan1-ID (apsim)
#                   192.0.2.5/30 --- 192.0.2.6/30  flfleet-site2-ID  192.168.77.10/24 --- flfleet-lan2-ID (apsim)
#
# Checked: a check run changes nothing and shows the diff; the first run changes both sites as
# planned (apsim's state), the second changes nothing and sends no changing request; a wrong
# password fails only its device at its site; an upgrade in check mode sends nothing, a real one
# stores the image; the recaps and the per-device results say so; no password reaches
# farlight-cli's arguments or environment, Ansible's output or its log.
#
# Usage: fleet_lab.sh FARLIGHT-CLI APSIM   (as root; ID is this script's PID)
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"
root=$(cd "$here/../.." && pwd)
# shellcheck source=../../lab/lablib.sh
. "$root/lab/lablib.sh"

PREFIX=flfleet
SITES="1 2"

# --reap OWNER DIR KEEP NAMESPACE...: run in a session of its own, so that the namespaces and the
# folder go even when the owner is killed outright (a test time-out).
if [ "${1:-}" = --reap ]; then
    owner=$2 dir=$3 keep=$4
    shift 4
    trap '' INT TERM HUP
    while kill -0 "$owner" 2>/dev/null; do sleep 0.5; done
    for ns in "$@"; do lab_remove_namespace "$ns"; done
    [ "$keep" = 1 ] || rm -rf "$dir"
    exit 0
fi

[ $# -eq 2 ] || { echo "usage: $0 FARLIGHT-CLI APSIM" >&2; exit 2; }
cli=$(readlink -f "$1")
apsim=$(readlink -f "$2")
[ -x "$cli" ] && [ -x "$apsim" ] || lab_die "farlight-cli or apsim not built: $cli $apsim"
lab_require_root
lab_require_packages iproute2 procps util-linux python3 ansible-core openssh-server openssh-client

id=$$
ctl=$PREFIX-ctl-$id
namespaces="$ctl"
for n in $SITES; do namespaces="$namespaces $PREFIX-site$n-$id $PREFIX-lan$n-$id"; done

# Namespaces of an earlier run whose script is gone (and whose reaper did not get to them).
for stale in $(ip netns list | sed -nE "s/^($PREFIX-[a-z0-9]+-([0-9]+))( .*)?$/\1:\2/p"); do
    owner=${stale#*:}
    tr '\0' ' ' <"/proc/$owner/cmdline" 2>/dev/null | grep -q 'fleet_lab\.sh' || lab_remove_namespace "${stale%:*}"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/farlight-fleet.XXXXXX") || lab_die "cannot create a temporary folder"
chmod 700 "$work"
keep=${FARLIGHT_LAB_KEEP:-0}
# shellcheck disable=SC2086
(setsid "$self" --reap "$id" "$work" "$keep" $namespaces </dev/null >/dev/null 2>&1 &)
pids=
cleanup() {
    # shellcheck disable=SC2086
    [ -n "$pids" ] && kill -TERM $pids 2>/dev/null
    # shellcheck disable=SC2086
    for ns in $namespaces; do lab_remove_namespace "$ns"; done
    if [ "$keep" = 1 ]; then lab_log "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# ---- The network: namespaces, links, addresses.
netns_up() {
    ip netns add "$1" || return 1
    ip -n "$1" link set lo up || return 1
    ip netns exec "$1" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 >/dev/null 2>&1
    return 0
}
# link NS-A IF-A ADDR-A NS-B IF-B [ADDR...]: a veth pair made inside the namespaces, never in the machine's own.
link() {
    local ns_a=$1 if_a=$2 addr_a=$3 ns_b=$4 if_b=$5
    shift 5
    ip -n "$ns_a" link add "$if_a" type veth peer name "$if_b" netns "$ns_b" || return 1
    ip -n "$ns_a" addr add "$addr_a" dev "$if_a" || return 1
    for addr in "$@"; do ip -n "$ns_b" addr add "$addr" dev "$if_b" || return 1; done
    ip -n "$ns_a" link set "$if_a" up && ip -n "$ns_b" link set "$if_b" up
}
build_network() {
    # lab_leaves_nothing (check-clean.sh) checks after the test run that all of this is gone.
    if [ -n "${FARLIGHT_LAB_REGISTRY:-}" ]; then
        mkdir -p "$FARLIGHT_LAB_REGISTRY" || return 1
        { for ns in $namespaces; do echo "namespaces $ns"; done; echo "dir $work"; } >"$FARLIGHT_LAB_REGISTRY/$id"
    fi
    for ns in $namespaces; do netns_up "$ns" || return 1; done
    for n in $SITES; do
        local site=$PREFIX-site$n-$id lan=$PREFIX-lan$n-$id config=$here/fleet_site$n.json addresses
        link "$ctl" "flfc$n-$id" "192.0.2.$((4 * n - 3))/30" "$site" "flfs$n-$id" "192.0.2.$((4 * n - 2))/30" || return 1
        addresses=$(ip netns exec "$lan" "$apsim" --config "$config" --print-addresses | cut -d' ' -f2) || return 1
        # shellcheck disable=SC2086
        link "$site" "flfh$n-$id" 192.168.77.10/24 "$lan" "flfd$n-$id" $addresses || return 1
    done
}
build_network || lab_die "cannot build the network"

# ---- The devices: one apsim per site LAN.
for n in $SITES; do
    mkdir -p "$work/site$n"
    ip netns exec "$PREFIX-lan$n-$id" "$apsim" --config "$here/fleet_site$n.json" --state "$work/site$n/apsim-state.json" \
        --log "$work/site$n/apsim.log" --firmware-dir "$work/site$n/firmware" --exit-with-parent \
        >"$work/site$n/apsim.out" 2>&1 &
    pids="$pids $!"
    [ -n "${FARLIGHT_LAB_REGISTRY:-}" ] && echo "apsim $!" >>"$FARLIGHT_LAB_REGISTRY/$id"
done

# ---- SSH: a key pair for the controller, a host key and an sshd per site.
mkdir -p "$work/ssh" "$work/cp"
ssh-keygen -q -t ed25519 -N '' -C fleet-lab -f "$work/ssh/id" || lab_die "ssh-keygen failed"
echo "restrict $(cat "$work/ssh/id.pub")" >"$work/ssh/authorized_keys"
: >"$work/ssh/known_hosts"
sanitizer_env=
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -n "${!name:-}" ] && sanitizer_env="$sanitizer_env \"$name=${!name}\""
done
# The privilege separation folder openssh-server's own service would create.
[ -d /run/sshd ] || mkdir -m 0755 /run/sshd
for n in $SITES; do
    address=192.0.2.$((4 * n - 2))
    ssh-keygen -q -t ed25519 -N '' -f "$work/site$n/host_key" || lab_die "ssh-keygen failed"
    echo "$address $(cut -d' ' -f1,2 "$work/site$n/host_key.pub")" >>"$work/ssh/known_hosts"
    mkdir -p "$work/site$n/state" "$work/site$n/tmp"
    cat >"$work/site$n/sshd_config" <<EOF
ListenAddress $address:22
HostKey $work/site$n/host_key
PidFile $work/site$n/sshd.pid
AuthorizedKeysFile $work/ssh/authorized_keys
# The keys sit below the temporary folder, whose parent others may write to (sticky /tmp).
StrictModes no
AllowUsers root
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
# Each site host keeps its own farlight-cli record of what it applied, as separate machines would;
# a sanitizer build of farlight-cli gets the suite's sanitizer options there too.
SetEnv "XDG_STATE_HOME=$work/site$n/state"$sanitizer_env
Subsystem sftp internal-sftp
EOF
    ip netns exec "$PREFIX-site$n-$id" /usr/sbin/sshd -D -e -f "$work/site$n/sshd_config" >"$work/site$n/sshd.log" 2>&1 &
    pids="$pids $!"
done
cat >"$work/ssh/config" <<EOF
Host *
    User root
    IdentityFile $work/ssh/id
    IdentitiesOnly yes
    UserKnownHostsFile $work/ssh/known_hosts
    GlobalKnownHostsFile /dev/null
    StrictHostKeyChecking yes
    BatchMode yes
    ConnectTimeout 5
EOF

# At site 2 farlight-cli runs through a stand-in that notes its arguments, its environment and
# the modes of the credentials file and its folder, so that the test can look for passwords there.
mkdir -p "$work/site2/calls"
cat >"$work/site2/farlight-cli" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$work/site2/calls/argv"
env >>"$work/site2/calls/env"
previous=
for argument in "\$@"; do
    if [ "\$previous" = --credentials ]; then
        stat -c '%a %n' "\$(dirname "\$argument")" "\$argument" >>"$work/site2/calls/modes"
    fi
    previous=\$argument
done
exec "$cli" "\$@"
EOF
chmod 755 "$work/site2/farlight-cli"

# ---- Ansible: configuration, inventory, the plans.
mkdir -p "$work/ansible/host_vars" "$work/ansible/home" "$work/ansible/tmp"
cat >"$work/ansible/ansible.cfg" <<EOF
[defaults]
inventory = $work/ansible/inventory.ini
collections_path = $root/ansible
home = $work/ansible/home
local_tmp = $work/ansible/tmp
log_path = $work/ansible/ansible.log
callbacks_enabled = tree
gathering = explicit
retry_files_enabled = false
interpreter_python = /usr/bin/python3
forks = 4
nocows = true

[callback_tree]
directory = $work/ansible/tree

[ssh_connection]
pipelining = true
ssh_args = -F $work/ssh/config -o ControlMaster=auto -o ControlPersist=60s
control_path_dir = $work/cp
EOF
cat >"$work/ansible/inventory.ini" <<EOF
[sites]
site1 ansible_host=192.0.2.2 ansible_remote_tmp=$work/site1/tmp farlight_cli=$cli
site2 ansible_host=192.0.2.6 ansible_remote_tmp=$work/site2/tmp farlight_cli=$work/site2/farlight-cli

[sites:vars]
ansible_user=root
ansible_python_interpreter=/usr/bin/python3
EOF
# Site 1 keeps its passwords in a file on its host; site 2 gets them from the inventory.
printf '# every device of the site\n*,N0rth-pw\n' >"$work/site1/credentials"
chmod 600 "$work/site1/credentials"
cat >"$work/ansible/host_vars/site1.yml" <<EOF
site_macs: [00-0A-00-00-07-01, 00-0A-00-00-07-02]
farlight_credentials_file: $work/site1/credentials
farlight_image: $work/site1/fw.bin
farlight_upgrade_targets: [AP-North-2]
farlight_devices:
  - {mac: "00:0a:00:00:07:01", ip: 192.168.77.31, mask: 255.255.255.0, gateway: 192.168.77.1}
  - {mac: 000a.0000.0702, filter: ["00:11:22:33:44:55", 00-11-22-33-44-cc, 0011.2233.44dd]}
EOF
# site2_vars PLAN-ROWS: site 2's host_vars with these rows.
site2_vars() {
    cat >"$work/ansible/host_vars/site2.yml" <<EOF
site_macs: [00-0A-00-00-08-01, 00-0A-00-00-08-02, 00-0A-00-00-08-03]
farlight_credentials:
  "*": S0uth-pw
  AP-South-3: Wr0ng-pw
farlight_devices:
$1
EOF
}
site2_vars '  - {mac: 00-0A-00-00-08-01, ip: 192.168.77.31, mask: 255.255.255.0, gateway: 192.168.77.1}
  - {mac: 000A00000802, filter: ["001122334455", "00:11:22:33:44:CC", 0011.2233.44dd]}'
python3 -c 'import os, sys; sys.stdout.buffer.write(os.urandom(20000) + b"Brightway QM735XL" + os.urandom(20000))' \
    >"$work/site1/fw.bin"

# ---- Waiting for the simulators and the sshds.
for n in $SITES; do
    for _ in $(seq 100); do [ -s "$work/site$n/apsim-state.json" ] && break; sleep 0.1; done
    [ -s "$work/site$n/apsim-state.json" ] || lab_die "apsim of site $n did not start: $(cat "$work/site$n/apsim.out")"
    for _ in $(seq 100); do
        [ -n "$(ip netns exec "$PREFIX-site$n-$id" ss -Hltn 'sport = :22')" ] && break
        sleep 0.1
    done
    [ -n "$(ip netns exec "$PREFIX-site$n-$id" ss -Hltn 'sport = :22')" ] \
        || lab_die "sshd of site $n did not start: $(cat "$work/site$n/sshd.log")"
done
# The sites reach neither each other nor the other site's controller link, and the controller no LAN.
ip netns exec "$PREFIX-site1-$id" ip route get 192.0.2.6 >/dev/null 2>&1 && fail "site 1 has a route to site 2"
ip netns exec "$ctl" ip route get 192.168.77.21 >/dev/null 2>&1 && fail "the controller has a route to a site LAN"

# ---- Helpers.
log_lines() { wc -l <"$work/site$1/apsim.log"; }
# requests SITE SINCE-LINE [changing]: the requests apsim logged after that line, as "kind target".
requests() {
    tail -n "+$(($2 + 1))" "$work/site$1/apsim.log" | python3 -c '
import json, sys
changing = sys.argv[1] == "changing"
for line in sys.stdin:
    e = json.loads(line)
    if not changing or e["kind"] in ("setip-static", "setip-dhcp", "filter-write", "confirm") or e["kind"].startswith("tftp"):
        print(e["kind"], e.get("target") or e.get("device") or "")' "${3:-all}" | sort | tr '\n' ' '
}
# state SITE EXPRESSION: the expression over d (apsim's devices by host name) holds.
state() {
    python3 - "$work/site$1/apsim-state.json" "$2" <<'PY'
import json, sys
d = {x["host_name"]: x for x in json.load(open(sys.argv[1]))["devices"]}
sys.exit(0 if eval(sys.argv[2]) else 1)
PY
}
# results SITE: the last task's per-device results at SITE (tree callback) as "MAC=result" words.
results() {
    python3 - "$work/ansible/tree/site$1" <<'PY'
import json, sys
print(" ".join("%s=%s" % (r["mac"], r["result"]) for r in json.load(open(sys.argv[1])).get("results", [])))
PY
}
recap() { sed -nE "s/^site$1 +: (ok=[0-9]+ +changed=[0-9]+ +unreachable=[0-9]+ +failed=[0-9]+).*/\1/p" "$out" | tr -s ' '; }
marks() { mark1=$(log_lines 1); mark2=$(log_lines 2); }
# play NAME EXPECTED-STATUS ARGS...: ansible-playbook from the controller, its output in $out.
round=0
play() {
    local name=$1 expected=$2 status
    shift 2
    round=$((round + 1))
    out=$work/play$round.out
    rm -rf "$work/ansible/tree"
    ip netns exec "$ctl" env -C "$work/ansible" ANSIBLE_CONFIG="$work/ansible/ansible.cfg" LC_ALL=C.UTF-8 \
        timeout 90 ansible-playbook "$here/fleet_lab.yml" "$@" >"$out" 2>&1
    status=$?
    printf '\n==== %s: ansible-playbook %s (exit %d)\n' "$name" "$*" "$status"
    cat "$out"
    [ "$status" -eq "$expected" ] || fail "$name: ansible-playbook exited $status, not $expected"
}
started=$SECONDS

# ---- 1. Check mode: what would change, shown as a diff, and nothing sent that changes a device.
marks
play "check run" 0 --check --diff --tags search,apply
[ "$(recap 1)" = "ok=3 changed=1 unreachable=0 failed=0" ] || fail "check run recap, site 1: $(recap 1)"
[ "$(recap 2)" = "ok=3 changed=1 unreachable=0 failed=0" ] || fail "check run recap, site 2: $(recap 2)"
[ -z "$(requests 1 "$mark1" changing)$(requests 2 "$mark2" changing)" ] \
    || fail "check mode sent changing requests: $(requests 1 "$mark1" changing) / $(requests 2 "$mark2" changing)"
[[ "$(requests 1 "$mark1")" == *"filter-read 00-0A-00-00-07-02"* ]] || fail "check run did not read site 1's list"
[ "$(results 1)" = "00-0A-00-00-07-01=would change 00-0A-00-00-07-02=would change" ] || fail "check run, site 1: $(results 1)"
grep -q '^+address: 192.168.77.31/24 via 192.168.77.1$' "$out" || fail "the diff does not show the new address"
grep -q '^-  00-11-22-33-44-AA$' "$out" && grep -q '^+  00-11-22-33-44-DD$' "$out" \
    || fail "the diff does not show the list's addresses before and after"

# ---- 2. The first run changes exactly what the plans say, at both sites; its diff shows the
# devices as they were before.
marks
play "first run" 0 -v --diff
grep -q '^-address: 192.168.77.21 (settings not reported)$' "$out" && grep -q '^-  00-11-22-33-44-AA$' "$out" \
    || fail "the first run's diff does not show the devices as they were"
for n in $SITES; do
    [ "$(recap "$n")" = "ok=1 changed=1 unreachable=0 failed=0" ] || fail "first run recap, site $n: $(recap "$n")"
done
[ "$(requests 1 "$mark1" changing)" = "confirm 00-0A-00-00-07-01 filter-write 00-0A-00-00-07-02 setip-static 00-0A-00-00-07-01 " ] \
    || fail "site 1 got not exactly the planned requests: $(requests 1 "$mark1" changing)"
[ "$(requests 2 "$mark2" changing)" = "confirm 00-0A-00-00-08-01 filter-write 00-0A-00-00-08-02 setip-static 00-0A-00-00-08-01 " ] \
    || fail "site 2 got not exactly the planned requests: $(requests 2 "$mark2" changing)"
list='["001122334455", "0011223344CC", "0011223344DD"]'
state 1 "(d['AP-North-1']['ip'], d['AP-North-1']['gateway']) == ('192.168.77.31', '192.168.77.1') and d['AP-North-2']['filter'] == $list" \
    || fail "site 1 not left as planned: $(cat "$work/site1/apsim-state.json")"
state 2 "(d['AP-South-1']['ip'], d['AP-South-1']['gateway']) == ('192.168.77.31', '192.168.77.1') and d['AP-South-2']['filter'] == $list and d['AP-South-3']['filter'] == []" \
    || fail "site 2 not left as planned: $(cat "$work/site2/apsim-state.json")"
[ "$(results 1)" = "00-0A-00-00-07-01=changed 00-0A-00-00-07-02=changed" ] || fail "first run, site 1: $(results 1)"
[ "$(results 2)" = "00-0A-00-00-08-01=changed 00-0A-00-00-08-02=changed" ] || fail "first run, site 2: $(results 2)"
for n in $SITES; do
    grep -q "00-0A-00-00-0$((n + 6))-01" "$work/site$n/state/farlight/applied.json" 2>/dev/null \
        || fail "site $n's host did not keep its own record of what it applied"
done

# ---- 3. The same plans again: nothing to change, nothing changing sent.
marks
play "second run" 0
for n in $SITES; do
    [ "$(recap "$n")" = "ok=1 changed=0 unreachable=0 failed=0" ] || fail "second run recap, site $n: $(recap "$n")"
done
[ -z "$(requests 1 "$mark1" changing)$(requests 2 "$mark2" changing)" ] \
    || fail "the second run sent changing requests: $(requests 1 "$mark1" changing) / $(requests 2 "$mark2" changing)"
[[ "$(requests 2 "$mark2")" == *"filter-read 00-0A-00-00-08-02"* ]] || fail "second run did not read site 2's list"
[ "$(results 2)" = "00-0A-00-00-08-01=unchanged 00-0A-00-00-08-02=unchanged" ] || fail "second run, site 2: $(results 2)"

# ---- 4. A wrong password at site 2 fails that device only; its other change goes through.
site2_vars '  - {mac: 00-0A-00-00-08-01, ip: 192.168.77.31, mask: 255.255.255.0, gateway: 192.168.77.1}
  - {mac: 000A00000802, filter: ["001122334455", "00:11:22:33:44:CC"]}
  - {mac: 00-0a-00-00-08-03, dhcp: true}'
marks
play "wrong password at site 2" 2 -v
[ "$(recap 1)" = "ok=1 changed=0 unreachable=0 failed=0" ] || fail "wrong password recap, site 1: $(recap 1)"
[ "$(recap 2)" = "ok=0 changed=0 unreachable=0 failed=1" ] || fail "wrong password recap, site 2: $(recap 2)"
[ "$(results 2)" = "00-0A-00-00-08-01=unchanged 00-0A-00-00-08-02=changed 00-0A-00-00-08-03=failed" ] \
    || fail "wrong password, site 2: $(results 2)"
grep -q '^fatal: \[site2\]: FAILED! .*AP-South-3 (00-0A-00-00-08-03): address: Invalid Password' "$out" \
    || fail "the failure does not name the device and its reason"
[ -z "$(requests 1 "$mark1" changing)" ] || fail "site 1 was sent changing requests: $(requests 1 "$mark1" changing)"
[ "$(requests 2 "$mark2" changing)" = "filter-write 00-0A-00-00-08-02 setip-dhcp 00-0A-00-00-08-03 " ] \
    || fail "site 2 got not exactly the planned requests: $(requests 2 "$mark2" changing)"
state 2 "d['AP-South-2']['filter'] == ['001122334455', '0011223344CC'] and not d['AP-South-3']['dhcp']" \
    || fail "site 2 after the wrong password: $(cat "$work/site2/apsim-state.json")"

# ---- 5. An upgrade in check mode sends nothing; a real one stores the image.
marks
play "upgrade, check mode" 0 --check --tags upgrade --limit site1
[ "$(recap 1)" = "ok=1 changed=1 unreachable=0 failed=0" ] || fail "upgrade check recap: $(recap 1)"
[ -z "$(requests 1 "$mark1")" ] || fail "the upgrade's check mode sent: $(requests 1 "$mark1")"
play "upgrade" 0 --tags upgrade --limit site1
[ "$(recap 1)" = "ok=1 changed=1 unreachable=0 failed=0" ] || fail "upgrade recap: $(recap 1)"
[ "$(results 1)" = "00-0A-00-00-07-02=ok" ] || fail "upgrade result: $(results 1)"
state 1 "d['AP-North-2']['firmware']['sha256'] == '$(sha256sum "$work/site1/fw.bin" | cut -d' ' -f1)' and d['AP-North-1']['firmware']['uploads'] == 0" \
    || fail "the image was not stored: $(cat "$work/site1/apsim-state.json")"

# ---- A bad row is refused with its place in the task, before anything is sent.
marks
out=$work/adhoc.out
ip netns exec "$ctl" env -C "$work/ansible" ANSIBLE_CONFIG="$work/ansible/ansible.cfg" LC_ALL=C.UTF-8 \
    timeout 60 ansible site1 -m farlight.fleet.farlight_apply -a "{\"cli\": \"$cli\", \"credentials_file\": \"$work/site1/credentials\",
        \"devices\": [{\"mac\": \"00-0A-00-00-07-02\", \"dhcp\": true},
                      {\"mac\": \"00:0a:00:00:07:01\", \"ip\": \"192.168.77.300\", \"mask\": \"255.255.255.0\"}]}" >"$out" 2>&1
status=$?
printf '\n==== a bad row: ansible site1 -m farlight.fleet.farlight_apply (exit %d)\n' "$status"
cat "$out"
[ "$status" -eq 2 ] || fail "a bad row: ansible exited $status, not 2"
grep -q '"msg": "devices\[1\] (00-0A-00-00-07-01): .*192.168.77.300' "$out" || fail "the bad row is not named as the task gave it"
grep -q 'farlight-[A-Za-z0-9_]\{8\}' "$out" && fail "the message names the private folder"
[ "$(log_lines 1)" = "$mark1" ] || fail "a refused plan sent: $(requests 1 "$mark1")"

# ---- Passwords: never in farlight-cli's arguments or environment, Ansible's output or log.
[ -s "$work/site2/calls/argv" ] || fail "site 2's farlight-cli was never run through its stand-in"
for password in N0rth-pw S0uth-pw Wr0ng-pw S0uth-3rd; do
    if grep -rlF -- "$password" "$work/site2/calls" "$work"/play*.out "$work/ansible/ansible.log" "$work/ansible/tree"; then
        fail "password $password appears in the files above"
    fi
done
# The credentials were a 0600 file in a 0700 folder, gone once the task ended.
if [ "$(awk '{print $1}' "$work/site2/calls/modes" | sort -u | tr '\n' ' ')" != "600 700 " ]; then
    fail "credentials not private: $(cat "$work/site2/calls/modes")"
fi
for folder in $(awk '$1 == 700 {print $2}' "$work/site2/calls/modes"); do
    [ -e "$folder" ] && fail "private folder $folder left behind"
done

echo "the playbook runs took $((SECONDS - started)) s"
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
