# -*- coding: utf-8 -*-
# Copyright: The Farlight developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    # The options of every farlight.fleet module: which farlight-cli to run, and how and where it searches.
    DOCUMENTATION = r'''
options:
  adapter:
    description:
      - Only the devices found through this network interface of the site host (for example C(eth0)).
    type: str
  cli:
    description:
      - The C(farlight-cli) program on the site host, as a name looked up in C(PATH) or as a path.
    type: str
    default: farlight-cli
  search_time:
    description:
      - How long the search for the devices may take, in seconds (0.5 to 60).
      - A search for named devices ends as soon as they have all answered; a full search, or one
        for a device that does not answer, takes this long (4.5 seconds when not given).
    type: float
requirements:
  - C(farlight-cli) (the C(farlight) package) on the site host, on a LAN segment of the devices.
notes:
  - C(farlight-cli) finds the devices by a UDP broadcast, which ends at the router, so each
    task runs on a host of the devices' own segment; one inventory host per site or VLAN.
  - Passwords are scrambled, not encrypted, on the wire; keep the devices on a management network.
'''
