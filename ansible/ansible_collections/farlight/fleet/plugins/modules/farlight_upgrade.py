#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: The Farlight developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: farlight_upgrade
short_description: Upload a firmware image to a site's access points
version_added: "1.0.0"
description:
  - Runs C(farlight-cli upgrade --format json) on the site host, which checks the image, searches
    for the devices, uploads the image to them by TFTP, several at a time, and with I(wait) waits
    until each answers a search again after its restart.
  - An upload goes to an address; a device whose address other found devices share is refused
    unless I(force).
  - Every upload that succeeds counts as a change, since a device does not report its firmware.
  - In check mode nothing is sent at all, not even a search; the task only checks that the image
    is there and reports each target as C(would upload).
author:
  - The Farlight developers (!UNKNOWN)
options:
  image:
    description: The firmware image (C(.bin)) on the site host.
    type: path
    required: true
  targets:
    description:
      - The devices to upgrade, each a MAC address, an IP address or a host name.
      - Give either I(targets) or I(all_devices).
    type: list
    elements: str
  all_devices:
    description: Upgrade every device the search finds.
    type: bool
    default: false
  jobs:
    description: How many uploads run at once (1 to 64).
    type: int
    default: 4
  retries:
    description: How many times a failed upload starts again from the beginning (0 to 10).
    type: int
    default: 0
  wait:
    description: A device has succeeded only once it answers a search again after its upload.
    type: bool
    default: false
  wait_timeout:
    description: How long I(wait) waits for each device, in seconds (1 to 3600).
    type: int
    default: 180
  force:
    description: Upload also to an address that several found devices share; whichever answers gets it.
    type: bool
    default: false
extends_documentation_fragment:
  - farlight.fleet.farlight
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: partial
    details: Sends nothing and cannot tell which targets would be found; each is reported as C(would upload).
  diff_mode:
    support: none
  platform:
    platforms: posix
seealso:
  - module: farlight.fleet.farlight_search
  - module: farlight.fleet.farlight_apply
'''

EXAMPLES = r'''
- name: Put the image on each site host
  ansible.builtin.copy:
    src: firmware/ap-2.1.bin
    dest: /var/tmp/ap-2.1.bin
    mode: "0644"

- name: Upgrade two access points and wait until they are back
  farlight.fleet.farlight_upgrade:
    image: /var/tmp/ap-2.1.bin
    targets:
      - 00-0A-1B-2C-3D-4E
      - AP-Office
    retries: 2
    wait: true

- name: Upgrade every access point of the site, eight at a time
  farlight.fleet.farlight_upgrade:
    image: /var/tmp/ap-2.1.bin
    all_devices: true
    jobs: 8
'''

RETURN = r'''
results:
  description: One entry per target (with I(all_devices), per device found).
  returned: always, once farlight-cli has run; in check mode one per target
  type: list
  elements: dict
  contains:
    mac:
      description: The device's MAC, as C(00-0A-1B-2C-3D-4E); null when the target was not found.
      type: str
      sample: 00-0A-1B-2C-3D-4E
    host_name:
      description: The device's host name; null when it was not found.
      type: str
      sample: AP-Lobby
    device:
      description: The device as farlight-cli names it, or the target as given when not found.
      type: str
      sample: AP-Lobby (00-0A-1B-2C-3D-4E)
    address:
      description: The address the image was sent to.
      type: str
      sample: 192.168.1.20
    result:
      description: C(ok), C(failed) or C(not found); in check mode C(would upload).
      type: str
      sample: ok
    reason:
      description: How the upload ended, or why it failed.
      type: str
      sample: Upload complete; back after 41 s
    seconds:
      description: How long the upload (and the wait) took.
      type: float
      sample: 12.5
    changed:
      description: Whether the device took the image (in check mode, would be sent it).
      type: bool
      sample: true
msg:
  description: The results counted, and the devices that failed with their reasons.
  returned: always
  type: str
  sample: "2 devices: 2 ok"
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.farlight.fleet.plugins.module_utils.farlight_cli import (
    common_argument_spec, find_cli, finish, run_results, search_arguments, summary)


def main():
    argument_spec = common_argument_spec()
    argument_spec.update(
        image=dict(type='path', required=True),
        targets=dict(type='list', elements='str'),
        all_devices=dict(type='bool', default=False),
        jobs=dict(type='int', default=4),
        retries=dict(type='int', default=0),
        wait=dict(type='bool', default=False),
        wait_timeout=dict(type='int', default=180),
        force=dict(type='bool', default=False),
    )
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    params = module.params
    targets = params['targets'] or []
    if bool(targets) == params['all_devices']:
        module.fail_json(msg='give either targets or all_devices')
    image = params['image']
    if not (os.path.isfile(image) and os.access(image, os.R_OK)):
        module.fail_json(msg='%s: no readable firmware image on this host' % image)
    cli = find_cli(module)

    if module.check_mode:
        results = [dict(mac=None, host_name=None, device=t, address=None, result='would upload', reason=None,
                        seconds=None, changed=True) for t in (targets or ['all devices'])]
        module.exit_json(changed=True, results=results, msg=summary(results))

    argv = [cli, 'upgrade', '--format', 'json', '--jobs', str(params['jobs']), '--retries', str(params['retries'])]
    if params['wait']:
        argv += ['--wait', '--wait-timeout', str(params['wait_timeout'])]
    if params['force']:
        argv.append('--force')
    if params['all_devices']:
        argv.append('--all')
    # After "--" a target that starts with a dash is still a target.
    argv += search_arguments(params) + ['--'] + targets + [image]
    rc, results = run_results(module, argv)
    for row in results:
        row['changed'] = row['result'] == 'ok'
    finish(module, argv, rc, results, [r for r in results if r['result'] != 'ok'])


if __name__ == '__main__':
    main()
