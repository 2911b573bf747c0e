# -*- coding: utf-8 -*-
# Copyright: The Farlight developers
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
#
# What the farlight.fleet modules share: running farlight-cli on the site host, reading its JSON,
# and a private folder for the files (plan, lists, passwords) that must never reach its arguments.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import re
import shutil
import tempfile

# The notations farlight-cli takes: 00-0A-1B-2C-3D-4E, 00:0a:1b:2c:3d:4e, 000a.1b2c.3d4e, 000A1B2C3D4E.
_MAC_FORMS = (
    re.compile(r'^[0-9A-Fa-f]{2}([-:])[0-9A-Fa-f]{2}(\1[0-9A-Fa-f]{2}){4}$'),
    re.compile(r'^[0-9A-Fa-f]{4}\.[0-9A-Fa-f]{4}\.[0-9A-Fa-f]{4}$'),
    re.compile(r'^[0-9A-Fa-f]{12}$'),
)

# farlight-cli: 1 when a device failed or was not found, 2 when it refused before asking any.
EXIT_DEVICE_FAILED = 1
EXIT_REFUSED = 2


def common_argument_spec():
    """Options every module of the collection takes."""
    return dict(
        cli=dict(type='str', default='farlight-cli'),
        search_time=dict(type='float'),
        adapter=dict(type='str'),
    )


def mac_text(value):
    """The MAC as farlight-cli prints it (00-0A-1B-2C-3D-4E), or None when it is none."""
    text = str(value).strip()
    if not any(form.match(text) for form in _MAC_FORMS):
        return None
    digits = re.sub(r'[-:.]', '', text).upper()
    return '-'.join(digits[i:i + 2] for i in range(0, 12, 2))


def search_arguments(params):
    """The arguments of farlight-cli's search options, from the module parameters."""
    args = []
    if params.get('adapter'):
        args += ['--adapter', params['adapter']]
    if params.get('search_time') is not None:
        args += ['--search-time', '%g' % params['search_time']]
    return args


def find_cli(module):
    """The path of farlight-cli on the host; fails the task when it is not there."""
    cli = module.params['cli']
    if os.path.sep in cli:
        if not (os.path.isfile(cli) and os.access(cli, os.X_OK)):
            module.fail_json(msg='farlight-cli not found at %s' % cli)
        return cli
    found = module.get_bin_path(cli)
    if not found:
        module.fail_json(msg='%s is not installed on this host (install the farlight package)' % cli)
    return found


def run_cli(module, argv):
    """Runs farlight-cli without a terminal; returns (exit status, standard output, standard error)."""
    # A password in the environment would stand in for every device the credentials leave out;
    # only what the task gave may be used. (An empty value would count as a password too.)
    os.environ.pop('FARLIGHT_PASSWORD', None)
    # Qt wants a UTF-8 locale, and the results carry non-ASCII text (the plan's arrows).
    return module.run_command(argv, environ_update={'LC_ALL': 'C.UTF-8'})


def parse_json(module, argv, rc, out, err):
    """farlight-cli's JSON result; fails the task when there is none."""
    try:
        return json.loads(out)
    except ValueError:
        module.fail_json(msg=first_line(err) or 'farlight-cli printed no result', rc=rc,
                         cmd=' '.join(argv), stderr=err)


def run_results(module, argv, refusal=None):
    """Runs a farlight-cli command that reports per device; returns (exit status, device_results).
    Fails the task when farlight-cli refused the command or printed no result, with @p refusal's
    wording of its messages (which then stand in for standard error), else their first line."""
    rc, out, err = run_cli(module, argv)
    if rc == EXIT_REFUSED or not out.strip():
        msg = (refusal or first_line)(err) or 'farlight-cli %s exited %d' % (argv[1], rc)
        module.fail_json(msg=msg, rc=rc, **({} if refusal else dict(stderr=err)))
    return rc, device_results(parse_json(module, argv, rc, out, err))


def finish(module, argv, rc, results, failed, **outcome):
    """Ends the task with the @p results: failed, naming each of @p failed with its reason, when
    any device failed or farlight-cli @p argv exited with an error; changed when any row changed."""
    outcome.update(changed=any(r['changed'] for r in results), results=results, rc=rc)
    msg = summary(results)
    if failed:
        msg += '; ' + '; '.join('%s: %s' % (r['device'], r['reason'] or r['result']) for r in failed)
        module.fail_json(msg=msg, **outcome)
    if rc != 0:
        module.fail_json(msg='%s; farlight-cli %s exited %d' % (msg, argv[1], rc), **outcome)
    module.exit_json(msg=msg, **outcome)


class PrivateFolder(object):
    """A folder only the remote user can enter (0700), removed with all it holds afterwards."""

    def __init__(self, parent=None):
        self.parent = parent
        self.path = None

    def __enter__(self):
        # mkdtemp creates it 0700, so nothing written into it is ever readable by others.
        self.path = tempfile.mkdtemp(prefix='farlight-', dir=self.parent)
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)
        return False

    def write(self, name, text):
        """Writes a file readable by its owner only (farlight-cli refuses credentials others can read)."""
        path = os.path.join(self.path, name)
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(fd, 'w', encoding='utf-8') as handle:
            handle.write(text)
        return path


def first_line(text):
    """The first non-empty line of farlight-cli's messages, for a task's msg."""
    for line in (text or '').splitlines():
        if line.strip():
            return line.strip()
    return ''


def device_results(rows):
    """farlight-cli's result rows as the modules return them, with the host name on its own."""
    results = []
    for row in rows:
        label = row.get('device') or ''
        mac = row.get('mac')
        host_name = None
        if mac and label.endswith(' (%s)' % mac):
            host_name = label[:-len(mac) - 3]
        results.append(dict(
            mac=mac,
            host_name=host_name,
            device=label,
            address=row.get('address'),
            result=row.get('result'),
            reason=row.get('reason'),
            seconds=row.get('seconds'),
        ))
    return results


def summary(results):
    """'3 devices: 2 changed, 1 failed' in the order the results came."""
    counts = []
    for row in results:
        for entry in counts:
            if entry[0] == row['result']:
                entry[1] += 1
                break
        else:
            counts.append([row['result'], 1])
    n = len(results)
    head = '1 device' if n == 1 else '%d devices' % n
    return head + (': ' + ', '.join('%d %s' % (c, r) for r, c in counts) if counts else '')
