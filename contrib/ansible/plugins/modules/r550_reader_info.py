#!/usr/bin/python
# Copyright: (c) 2025, r550tool developers
# GNU General Public License v3.0+ (see COPYING or https://www.gnu.org/licenses/gpl-3.0.txt)
# Tells what the R550 card readers of a host hold, through `r550ctl version` and `r550ctl read`.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: r550_reader_info
short_description: Tell what R550 card readers hold
description:
  - Runs C(r550ctl --json version) and C(r550ctl --json read) on the managed host and returns,
    for each port, whether a reader answered, its firmware version and every setting the reader
    itself holds, typed as C(r550ctl) gives them.
  - Never writes to a reader or a file.
  - The operating mode and the COM port live on the PC, not in the reader, and are not among the
    settings.
  - Needs the r550tool package (C(r550ctl)) on the managed host.
version_added: "1.0.0"
author:
  - r550tool developers (@r550tool)
options:
  ports:
    description:
      - The readers' ports, each a number (C(3), C(COM3)) or a device path
        (C(/dev/serial/by-id/...)).
    type: list
    elements: str
    required: true
  executable:
    description: The r550ctl to run; by default the one on the managed host's PATH.
    type: str
    default: r550ctl
attributes:
  check_mode:
    support: full
    description: Reads as it always does; it never writes.
  diff_mode:
    support: none
notes:
  - A reader that does not answer is returned with C(answered) false and the reason; the task
    does not fail for it.
"""

EXAMPLES = r"""
- name: What the till's reader holds
  r550.tool.r550_reader_info:
    ports: [COM1]
  register: info

- name: Its suffix
  ansible.builtin.debug:
    msg: "{{ info.readers[0].settings['msr.suffix'].text }}"
"""

RETURN = r"""
readers:
  description: One record per port, in the order given.
  returned: always
  type: list
  elements: dict
  sample:
    - port: COM1
      device: /dev/ttyS0
      answered: true
      error: null
      reason: null
      firmware: V1.00
      settings:
        main.buzzer: {kind: flag, value: true, text: "on"}
        msr.suffix: {kind: code_list, value: [13, 10], text: "{13}{10}"}
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule

# Kept on the PC, never read back from a reader.
PC_ONLY = ("main.operating_mode", "main.com_port")


def run_json(module, ctl, command):
    """One JSON object per reader, by port, from an r550ctl device command."""
    arguments = [ctl, "--json", "--quiet"] + command
    for port in module.params["ports"]:
        arguments += ["--port", str(port)]
    rc, out, err = module.run_command(arguments)
    objects = {}
    for line in out.splitlines():
        try:
            reader = json.loads(line)
        except ValueError:
            module.fail_json(msg="r550ctl gave a line that is not JSON: " + line, rc=rc)
        objects[reader["port"]] = reader
    if rc == 2 or (rc != 0 and not objects):
        module.fail_json(msg=err.strip() or "r550ctl ended with %d" % rc, rc=rc)
    return [objects[port] for port in objects]


def record(version, read):
    """A port's record from its version and its read-back."""
    answered = version["outcome"] == "ok" and read["outcome"] == "ok"
    failed = version if version["outcome"] != "ok" else read
    settings = {}
    for setting in read.get("settings") or []:
        if setting["name"] not in PC_ONLY:
            settings[setting["name"]] = {k: v for k, v in setting.items() if k != "name"}
    return dict(port=version["port"], device=version["device"], answered=answered,
                error=None if answered else failed["error"],
                reason=None if answered else failed["reason"],
                firmware=version.get("version"), settings=settings if answered else None)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            ports=dict(type="list", elements="str", required=True),
            executable=dict(type="str", default="r550ctl"),
        ),
        supports_check_mode=True,
    )
    executable = module.params["executable"]
    ctl = executable if os.sep in executable else module.get_bin_path(executable, required=True)
    versions = run_json(module, ctl, ["version"])
    reads = {r["port"]: r for r in run_json(module, ctl, ["read"])}
    readers = [record(v, reads.get(v["port"], v)) for v in versions]
    module.exit_json(changed=False, readers=readers)


if __name__ == "__main__":
    main()
