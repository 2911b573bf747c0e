#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: The Farlight developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: farlight_apply
short_description: Bring a site's access points to a plan, changing only what differs
version_added: "1.0.0"
description:
  - Writes the site's rows as a C(farlight-cli apply) plan, with each MAC filter list in a file of
    its own and the passwords in a credentials file, all in a private folder (mode 0700) that is
    removed afterwards, and runs C(farlight-cli apply --yes --format json) on the site host.
  - C(farlight-cli) searches for the devices, reads the filter lists of the rows that name one,
    changes only what differs (per device the list first, the address last) and then checks with
    a search of its own that every changed device answers where it should.
  - In check mode it runs C(farlight-cli apply --dry-run), which reads but sends no changing request.
  - The task is C(changed) only when a device was changed, and fails when a row failed, its
    device was not found, or a changed device was not seen again where the plan puts it.
  - A password never reaches the arguments or the environment of C(farlight-cli), a result or a log.
author:
  - The Farlight developers (!UNKNOWN)
options:
  devices:
    description:
      - The site's rows, one per device.
      - A row with C(ip) and C(mask) gives the device that static address, one with
        C(dhcp=true) lets it take one by DHCP, and one with neither keeps its address.
      - A row needs an address, DHCP or a filter list, or both.
    type: list
    elements: dict
    required: true
    suboptions:
      mac:
        description:
          - The device's MAC address, as C(00-0A-1B-2C-3D-4E), C(00:0a:1b:2c:3d:4e),
            C(000a.1b2c.3d4e) or C(000A1B2C3D4E).
        type: str
        required: true
      ip:
        description: The static address to give the device; needs C(mask).
        type: str
      mask:
        description: The subnet mask of the static address, for example C(255.255.255.0).
        type: str
      gateway:
        description: The default gateway of the static address; none when left out.
        type: str
      dhcp:
        description: Let the device take its address by DHCP (takes no ip, mask or gateway).
        type: bool
        default: false
      filter:
        description:
          - The MAC filter list the device should hold, each address in any of the notations of
            C(mac). An empty list empties the device's list; left out, the list is not touched.
        type: list
        elements: str
  credentials:
    description:
      - Passwords by device, a mapping of device to password; a device is a MAC, an address, a host
        name or C(*) for every device not named. The most specific entry wins.
      - Passwords are at most 12 characters of a single-byte (Latin-1) code, without line breaks
        or blanks at either end. Quote them in YAML so that they stay text.
      - Keep them in Ansible Vault.
    type: dict
  credentials_file:
    description:
      - A credentials file on the site host instead of I(credentials), with lines C(DEVICE,PASSWORD).
      - It must not be readable by group or others, or C(farlight-cli) refuses it.
    type: path
  jobs:
    description: How many devices are worked on at once (1 to 64).
    type: int
    default: 4
extends_documentation_fragment:
  - farlight.fleet.farlight
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: Runs C(farlight-cli apply --dry-run); the devices' lists are read, nothing is changed.
  diff_mode:
    support: full
    details:
      - Shows each device to change with its address and filter list before and after.
      - To show the lists before, each list that changes is read once more (C(farlight-cli filter
        get)), and outside check mode a dry run comes first.
  platform:
    platforms: posix
notes:
  - C(farlight-cli) records the mask, gateway and mode it applied per MAC in
    C($XDG_STATE_HOME/farlight/applied.json) of the remote user, since a device reports only its
    address. Run the task as the same user every time, or the settings show as not reported and
    are set again.
  - C(man farlight-cli) describes C(apply) and its plan.
seealso:
  - module: farlight.fleet.farlight_search
'''

EXAMPLES = r'''
- name: Apply the site's plan (devices and credentials from host_vars, passwords in Vault)
  farlight.fleet.farlight_apply:
    devices: "{{ farlight_devices }}"
    credentials: "{{ farlight_credentials }}"
    jobs: 8
  register: applied

- name: Number one access point, let another use DHCP, and give both the lobby list
  farlight.fleet.farlight_apply:
    devices:
      - mac: 00:0a:1b:2c:3d:4e
        ip: 192.168.1.20
        mask: 255.255.255.0
        gateway: 192.168.1.1
        filter: "{{ lobby_macs }}"
      - mac: 000a.1b2c.3d4f
        dhcp: true
        filter:
          - 00-11-22-33-44-55
          - 0011.2233.4466
    credentials:
      "*": "{{ vault_ap_password }}"
      AP-Lobby: "{{ vault_lobby_password }}"

- name: Only see what would change, with the passwords in a file on the site host
  farlight.fleet.farlight_apply:
    devices: "{{ farlight_devices }}"
    credentials_file: /etc/farlight/credentials
  check_mode: true
  diff: true
'''

RETURN = r'''
results:
  description: One entry per row of the plan, in its order.
  returned: always, once farlight-cli has run
  type: list
  elements: dict
  contains:
    mac:
      description: The row's MAC, as C(00-0A-1B-2C-3D-4E).
      type: str
      sample: 00-0A-1B-2C-3D-4E
    host_name:
      description: The device's host name; null when it was not found.
      type: str
      sample: AP-Lobby
    device:
      description: The device as farlight-cli names it.
      type: str
      sample: AP-Lobby (00-0A-1B-2C-3D-4E)
    address:
      description: Where the device answers now (after a change, at its new static address).
      type: str
      sample: 192.168.1.20
    result:
      description:
        - C(changed), C(unchanged), C(failed), C(not verified) or C(not found);
          in check mode C(would change), C(unchanged) or C(not found).
      type: str
      sample: changed
    reason:
      description: What the device said to each change, why it failed, or (check mode) what would change.
      type: str
      sample: list Pass; verified, Set IP OK
    seconds:
      description: How long its changes took; null when nothing was sent to it.
      type: float
      sample: 0.42
    changed:
      description: Whether this device was (in check mode, would be) changed.
      type: bool
      sample: true
msg:
  description: The results counted, and the devices that failed with their reasons.
  returned: always
  type: str
  sample: "3 devices: 2 changed, 1 unchanged"
'''

import csv
import io

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.farlight.fleet.plugins.module_utils.farlight_cli import (
    PrivateFolder, common_argument_spec, find_cli, finish, mac_text, run_cli, run_results, search_arguments)

PLAN_COLUMNS = ['mac', 'ip', 'mask', 'gateway', 'dhcp', 'filter']
PLAN_NAME = 'plan.csv'
CREDENTIALS_NAME = 'credentials'
ARROW = u' \u2192 '
# Rows whose results leave the task as it should be.
GOOD_RESULTS = ('changed', 'unchanged')
CHANGED_RESULTS = ('changed', 'not verified')  # not verified: the device took the change
WOULD_CHANGE = 'would change'


def rows_of(module):
    """The rows as the plan writes them, or the task fails naming the row that is wrong."""
    rows = []
    for i, device in enumerate(module.params['devices']):
        mac = mac_text(device['mac'])
        if not mac:
            module.fail_json(msg="devices[%d]: '%s' is not a MAC address" % (i, device['mac']))
        static = [device[key] for key in ('ip', 'mask', 'gateway') if device[key]]
        if device['dhcp'] and static:
            module.fail_json(msg='devices[%d] (%s): dhcp takes no ip, mask or gateway' % (i, mac))
        listed = None
        if device['filter'] is not None:
            listed = []
            for j, entry in enumerate(device['filter']):
                entry_mac = mac_text(entry)
                if not entry_mac:
                    module.fail_json(msg="devices[%d] (%s): filter[%d] '%s' is not a MAC address" % (i, mac, j, entry))
                listed.append(entry_mac)
        rows.append(dict(mac=mac, ip=device['ip'] or '', mask=device['mask'] or '', gateway=device['gateway'] or '',
                         dhcp=device['dhcp'], filter=listed))
    return rows


def write_plan(folder, rows):
    """The plan file, and a list file for each row that names a list."""
    text = io.StringIO()
    writer = csv.writer(text, lineterminator='\n')
    writer.writerow(PLAN_COLUMNS)
    for n, row in enumerate(rows):
        list_name = ''
        if row['filter'] is not None:
            list_name = 'list-%d.txt' % n
            folder.write(list_name, ''.join(mac.replace('-', '') + '\n' for mac in row['filter']))
        writer.writerow([row['mac'], row['ip'], row['mask'], row['gateway'], 'yes' if row['dhcp'] else '', list_name])
    return folder.write(PLAN_NAME, text.getvalue())


def write_credentials(module, folder):
    """The credentials mapping as farlight-cli's file; the devices in its line order."""
    lines, devices = [], []
    for device, password in module.params['credentials'].items():
        device = str(device).strip()
        password = '' if password is None else str(password)
        if not device or ',' in device or '\n' in device or device.startswith('#'):
            module.fail_json(msg="credentials: '%s' cannot name a device" % device)
        # The password itself never goes into a message.
        if '\n' in password or '\r' in password or password != password.strip():
            module.fail_json(msg='credentials for %s: a password cannot hold a line break, nor begin or end '
                                 'with a blank' % device)
        lines.append('%s,%s\n' % (device, password))
        devices.append(device)
    return folder.write(CREDENTIALS_NAME, ''.join(lines)), devices


def explain(err, folder, rows, credential_devices):
    """farlight-cli's refusal with the private files named as the task gave them."""
    messages = []
    for line in err.splitlines():
        line = line.strip()
        if not line:
            continue
        for name, what in ((PLAN_NAME, 'plan'), (CREDENTIALS_NAME, 'credentials')):
            prefix = '%s/%s:' % (folder.path, name)
            if not line.startswith(prefix):
                continue
            number, dummy, reason = line[len(prefix):].partition(':')
            if not number.isdigit():
                break
            n = int(number)
            if what == 'plan' and 2 <= n <= len(rows) + 1:
                line = 'devices[%d] (%s):%s' % (n - 2, rows[n - 2]['mac'], reason)
            elif what == 'credentials' and 1 <= n <= len(credential_devices):
                line = 'credentials for %s:%s' % (credential_devices[n - 1], reason)
            break
        for n in range(len(rows)):
            line = line.replace('filter list-%d.txt: ' % n, 'filter: ')
        messages.append(line.replace(folder.path + '/', ''))
    return '; '.join(messages)


def took_part(row):
    """Whether a failed row's device took one of its changes before another failed: farlight-cli
    lists what was done first ('list Pass; verified, address: Invalid Password')."""
    parts = (row['reason'] or '').split(', ')
    return row['result'] == 'failed' and any(p and not p.startswith(('filter: ', 'address: ')) for p in parts)


def planned_parts(reason):
    """A dry run's 'address A -> B; filter C' as {'address': ..., 'filter': ...}."""
    parts = {}
    for part in (reason or '').split('; '):
        kind, dummy, text = part.partition(' ')
        if kind in ('address', 'filter'):
            parts[kind] = text
    return parts


def before_after(text):
    """('A', 'B') from 'A -> B', and (A, A) from 'unchanged (A)'."""
    if ARROW in text:
        before, after = text.split(ARROW, 1)
        return before, after
    if text.startswith('unchanged (') and text.endswith(')'):
        text = text[len('unchanged ('):-1]
    return text, text


def list_text(macs):
    return 'filter:\n' + ''.join('  %s\n' % mac for mac in macs) if macs else 'filter: (empty)\n'


def read_list(module, cli, mac, credentials):
    """The device's MAC filter list now, or None when it cannot be read."""
    argv = [cli, 'filter', 'get', mac, '--credentials', credentials] + search_arguments(module.params)
    rc, out, err = run_cli(module, argv)
    if rc != 0:
        return None
    return [m for m in (mac_text(line) for line in out.splitlines()) if m]


def device_diff(module, cli, credentials, row, planned):
    """The before and after of one device the dry run says would change."""
    parts = planned_parts(planned['reason'])
    before, after = '', ''
    if 'address' in parts:
        was, will = before_after(parts['address'])
        before += 'address: %s\n' % was
        after += 'address: %s\n' % will
    if row['filter'] is not None:
        now = None
        if not parts.get('filter', '').startswith('unchanged'):
            now = read_list(module, cli, row['mac'], credentials)
        else:
            now = row['filter']
        before += list_text(now) if now is not None else 'filter: %s\n' % before_after(parts.get('filter', ''))[0]
        after += list_text(row['filter'])
    header = planned['device'] or row['mac']
    return dict(before_header=header, after_header=header, before=before, after=after)


def main():
    argument_spec = common_argument_spec()
    argument_spec.update(
        devices=dict(type='list', elements='dict', required=True, options=dict(
            mac=dict(type='str', required=True),
            ip=dict(type='str'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            dhcp=dict(type='bool', default=False),
            filter=dict(type='list', elements='str'),
        )),
        credentials=dict(type='dict', no_log=True),
        credentials_file=dict(type='path'),
        jobs=dict(type='int', default=4),
    )
    module = AnsibleModule(
        argument_spec=argument_spec,
        supports_check_mode=True,
        mutually_exclusive=[('credentials', 'credentials_file')],
        # Without a terminal to prompt on, farlight-cli takes passwords only from a file.
        required_one_of=[('credentials', 'credentials_file')],
    )
    if not module.params['devices']:
        module.fail_json(msg='devices: no device planned')
    cli = find_cli(module)
    rows = rows_of(module)

    with PrivateFolder(module.tmpdir) as folder:
        plan = write_plan(folder, rows)
        credential_devices = []
        if module.params['credentials'] is not None:
            credentials, credential_devices = write_credentials(module, folder)
        else:
            credentials = module.params['credentials_file']
        base = [cli, 'apply', plan, '--format', 'json', '--jobs', str(module.params['jobs']),
                '--credentials', credentials] + search_arguments(module.params)

        def run(extra):
            return run_results(module, base + extra, lambda err: explain(err, folder, rows, credential_devices))

        rc, planned, diffs = 0, [], {}
        if module.check_mode or module._diff:
            rc, planned = run(['--dry-run'])
        # What the devices have now, which the diff shows as "before", is read before any change.
        if module._diff:
            for row, device in zip(rows, planned):
                if device['result'] == WOULD_CHANGE:
                    diffs[row['mac']] = device_diff(module, cli, credentials, row, device)
        if module.check_mode:
            results = planned
            for row in results:
                row['changed'] = row['result'] == WOULD_CHANGE
            failed = [r for r in results
                      if r['result'] == 'not found' or planned_parts(r['reason']).get('filter', '').startswith('not read')]
        else:
            rc, results = run(['--yes'])
            for row in results:
                row['changed'] = row['result'] in CHANGED_RESULTS or took_part(row)
            failed = [r for r in results if r['result'] not in GOOD_RESULTS]

    outcome = {}
    if module._diff:
        outcome['diff'] = [diffs[r['mac']] for r in results if r['changed'] and r['mac'] in diffs]
    finish(module, base, rc, results, failed, **outcome)


if __name__ == '__main__':
    main()
