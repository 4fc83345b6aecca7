#!/usr/bin/python
# Copyright: (c) 2025, r550tool developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)
# Brings the R550 card readers of a host to one set of settings through `r550ctl apply`.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: r550_reader
short_description: Bring R550 card readers to one set of settings
description:
  - Runs C(r550ctl --json apply) on the managed host. Each reader is read back and compared, by
    name; only a reader that holds something else is programmed, then read back and checked.
  - A mapping in I(settings) changes the settings it names and nothing else (C(r550ctl apply
    --set)); every other setting keeps what each reader holds. A path means the whole file.
  - The operating mode and the COM port live on the PC, not in the reader, and are never compared.
  - Readers in the keyboard line cannot be read back and are not served by this module.
  - Needs the r550ctl package on the managed host; it needs no desktop.
version_added: "1.0.0"
author:
  - r550tool developers (@r550tool)
options:
  settings:
    description:
      - Either the path of a settings file (C(.cfg), 3060 bytes) on the managed host, whose
        every setting each reader is brought to,
      - or a mapping of setting names to values, laid over what each reader holds; only the
        named settings change (C(r550ctl names) lists the names and the values each takes).
        Flags take C(true) or C(false), numbers and choices their value, code lists their text
        (C(T1{13})) or a list of codes. C(main.operating_mode) and C(main.com_port) live on the
        PC, not in the reader, and are refused.
    type: raw
    required: true
  ports:
    description:
      - The readers' ports, each a number (C(3), C(COM3)) or a device path
        (C(/dev/serial/by-id/...)).
      - Exactly one of I(ports) and I(all) is needed.
    type: list
    elements: str
  all:
    description: Every port among COM1..COM9 where a reader answers.
    type: bool
    default: false
  usb:
    description: With I(all), also the USB serial adapters under C(/dev/serial/by-id).
    type: bool
    default: false
  backup:
    description:
      - Before writing to a reader, keep what it held as a settings file in I(backup_dir);
        each reader's result gives its path as C(backup_file). C(r550ctl program FILE --port
        PORT) puts it back.
    type: bool
    default: false
  backup_dir:
    description: Where the backups go; made (mode 0700) when missing.
    type: path
    default: /var/backups/r550tool
  state:
    description: C(applied) - every reader holds the settings.
    type: str
    choices: [applied]
    default: applied
  executable:
    description: The r550ctl to run; by default the one on the managed host's PATH.
    type: str
    default: r550ctl
attributes:
  check_mode:
    support: full
    description: Reads the readers back and tells which would change; writes nothing.
  diff_mode:
    support: full
    description: Each differing setting, per reader, as the reader holds it and as it would be.
notes:
  - The task fails when a reader could not be reached, failed or still differs after
    programming, with each such reader's port and reason.
"""

EXAMPLES = r"""
- name: New suffix at every till (every other setting stays as each reader holds it)
  r550.tool.r550_reader:
    settings:
      msr.suffix: "{13}"
      msr.send_suffix: true
    ports: [COM1]
    backup: true

- name: The head office's settings file, every reader found
  r550.tool.r550_reader:
    settings: /etc/r550/shop.cfg
    all: true
    usb: true
"""

RETURN = r"""
readers:
  description: One result per reader, as C(r550ctl --json apply) gives it.
  returned: always
  type: list
  elements: dict
  sample:
    - port: COM1
      device: /dev/ttyS0
      outcome: changed
      error: null
      reason: null
      ms: 160
      changed: true
      differences:
        - {name: msr.suffix, file: [13], reader: [13, 10], file_text: "{13}", reader_text: "{13}{10}"}
      backup_file: /var/backups/r550tool/COM1-2026-01-31T12:34:56.789+01:00.cfg
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule

FAILED = ("failed", "differs")


def setting_text(value):
    """A mapping's value as r550ctl set takes it."""
    if isinstance(value, bool):
        return "on" if value else "off"
    if isinstance(value, list):
        return "".join("{%d}" % int(code) for code in value)
    return str(value)


def what_to_apply(module):
    """apply's words for the settings: the whole file at a path, or --set for each name."""
    settings = module.params["settings"]
    if isinstance(settings, str):
        return [settings]
    if not isinstance(settings, dict) or not settings:
        module.fail_json(msg="settings: a .cfg path or a mapping of setting names to values")
    words = []
    for name, value in settings.items():
        words += ["--set", "%s=%s" % (name, setting_text(value))]
    return words


def reader_diff(reader):
    """One reader's differences as Ansible shows a diff."""
    before = "".join("%s: %s\n" % (d["name"], json.dumps(d["reader"])) for d in reader["differences"])
    after = "".join("%s: %s\n" % (d["name"], json.dumps(d["file"])) for d in reader["differences"])
    return {"before_header": reader["port"] + " (reader)", "after_header": reader["port"] + " (settings)",
            "before": before, "after": after}


def run_apply(module, ctl):
    command = [ctl, "--json", "--quiet", "apply"] + what_to_apply(module)
    for port in module.params["ports"] or []:
        command += ["--port", str(port)]
    if module.params["all"]:
        command.append("--all")
    if module.params["usb"]:
        command.append("--usb")
    if module.check_mode:
        command.append("--check")
    elif module.params["backup"]:
        folder = module.params["backup_dir"]
        if not os.path.isdir(folder):
            os.makedirs(folder, 0o700)
        command += ["--backup", folder]
    rc, out, err = module.run_command(command)
    readers = []
    for line in out.splitlines():
        try:
            readers.append(json.loads(line))
        except ValueError:
            module.fail_json(msg="r550ctl gave a line that is not JSON: " + line, rc=rc)
    return rc, readers, err.strip()


def main():
    module = AnsibleModule(
        argument_spec=dict(
            settings=dict(type="raw", required=True),
            ports=dict(type="list", elements="str"),
            all=dict(type="bool", default=False),
            usb=dict(type="bool", default=False),
            backup=dict(type="bool", default=False),
            backup_dir=dict(type="path", default="/var/backups/r550tool"),
            state=dict(type="str", choices=["applied"], default="applied"),
            executable=dict(type="str", default="r550ctl"),
        ),
        mutually_exclusive=[("ports", "all")],
        required_one_of=[("ports", "all")],
        supports_check_mode=True,
    )
    if module.params["usb"] and not module.params["all"]:
        module.fail_json(msg="usb: only with all")
    executable = module.params["executable"]
    ctl = executable if os.sep in executable else module.get_bin_path(executable, required=True)
    rc, readers, err = run_apply(module, ctl)

    # In check mode a reader that differs would change: apply --check says so with exit 1.
    would = module.check_mode and rc == 1
    changed = any(r.get("changed") or (module.check_mode and r.get("differences")) for r in readers)
    # No rc in a successful result: Ansible takes any rc but 0 as a failure, and exit 1 in check
    # mode only says that readers would change.
    result = dict(changed=changed, readers=readers)
    if module._diff:
        result["diff"] = [reader_diff(r) for r in readers if r.get("differences")]
    failed = [r for r in readers if r["outcome"] in FAILED]
    if failed or (rc != 0 and not would):
        reasons = ["%s: %s" % (r["port"], r["reason"]) for r in failed]
        module.fail_json(msg="; ".join(reasons) or err or "r550ctl ended with %d" % rc, rc=rc, **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
