#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: The Farlight developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: farlight_search
short_description: List the wireless access points on the site host's LAN segment
version_added: "1.0.0"
description:
  - Runs C(farlight-cli search --format json) on the site host and returns every device that
    answered the broadcast search, with its MAC, host name, address, SSID, channel and WEP state.
  - It only asks, so it never reports C(changed) and runs in check mode too.
author:
  - The Farlight developers (!UNKNOWN)
extends_documentation_fragment:
  - farlight.fleet.farlight
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: The search changes nothing on the devices, so it also runs in check mode.
  diff_mode:
    support: none
  platform:
    platforms: posix
seealso:
  - module: farlight.fleet.farlight_apply
  - module: farlight.fleet.farlight_upgrade
'''

EXAMPLES = r'''
- name: See which access points answer at each site
  farlight.fleet.farlight_search:
    search_time: 2
  register: found

- name: Show them
  ansible.builtin.debug:
    msg: "{{ found.devices | map(attribute='host_name') | list }}"

- name: Only the segment behind eth1, with farlight-cli from a build tree
  farlight.fleet.farlight_search:
    adapter: eth1
    cli: /opt/farlight/bin/farlight-cli
'''

RETURN = r'''
devices:
  description: The devices that answered, in the order they answered.
  returned: success
  type: list
  elements: dict
  contains:
    mac:
      description: The device's MAC address, as C(00-0A-1B-2C-3D-4E).
      type: str
      sample: 00-0A-1B-2C-3D-4E
    host_name:
      description: The device's host name.
      type: str
      sample: AP-Lobby
    ip:
      description: The address the device answers from.
      type: str
      sample: 192.168.1.20
    ssid:
      description: The wireless network name.
      type: str
      sample: lobby
    channel:
      description: The radio channel.
      type: int
      sample: 6
    wep:
      description: Whether WEP is on.
      type: bool
      sample: false
    adapter:
      description: The site host's interface through which the device answered.
      type: str
      sample: eth0
count:
  description: How many devices answered.
  returned: success
  type: int
  sample: 2
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.farlight.fleet.plugins.module_utils.farlight_cli import (
    common_argument_spec, find_cli, first_line, parse_json, run_cli, search_arguments)


def main():
    module = AnsibleModule(argument_spec=common_argument_spec(), supports_check_mode=True)

    argv = [find_cli(module), 'search', '--format', 'json'] + search_arguments(module.params)
    rc, out, err = run_cli(module, argv)
    if rc != 0:
        module.fail_json(msg=first_line(err) or 'farlight-cli search exited %d' % rc, rc=rc, stderr=err)
    devices = parse_json(module, argv, rc, out, err)
    module.exit_json(changed=False, devices=devices, count=len(devices))


if __name__ == '__main__':
    main()
