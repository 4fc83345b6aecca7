#!/usr/bin/env python3
"""The r550.tool collection run by ansible-core against reader simulators.

Usage: ansible_test.py R550CTL R550SIM COLLECTION_FOLDER
Builds and installs the collection, checks its documentation, then runs playbooks with
`ansible-playbook -c local`: a first run changes the readers and keeps backups, a second one
changes nothing, --check --diff names only the settings the mapping names and writes nothing,
r550_reader_info tells what the readers hold, a missing port fails the task.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time

CTL, SIM, COLLECTION = (os.path.abspath(arg) for arg in sys.argv[1:4])
PLAY = """- hosts: localhost
  gather_facts: false
  environment: {{R550_PORTS_DIR: "{ports}"}}
  tasks:
    - r550.tool.r550_reader:
        settings: {settings}
        ports: {ports_list}
        executable: {ctl}
        backup: true
        backup_dir: {backups}
"""
INFO = """- hosts: localhost
  gather_facts: false
  environment: {{R550_PORTS_DIR: "{ports}"}}
  tasks:
    - r550.tool.r550_reader_info: {{ports: [1, 9], executable: {ctl}}}
      register: info
    - ansible.builtin.copy: {{content: "{{{{ info | to_json }}}}", dest: "{output}"}}
      check_mode: false
"""


def run(command, env, expect=0):
    done = subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)
    if done.returncode != expect:
        sys.exit("%s ended with %d, not %d:\n%s%s" % (command, done.returncode, expect, done.stdout, done.stderr))
    return done.stdout


def check(condition, what, output):
    if not condition:
        sys.exit("FAILED: %s\n%s" % (what, output))
    print("ok:", what)


def playbook(work, env, settings, ports, *options, expect=0):
    path = os.path.join(work, "play.yml")
    with open(path, "w") as play:
        play.write(PLAY.format(ports=os.path.join(work, "ports"), settings=settings, ports_list=ports, ctl=CTL,
                               backups=os.path.join(work, "backups")))
    return run(["ansible-playbook", "-c", "local", "-i", "localhost,", path, *options], env, expect)


def memories(work):
    return [open(os.path.join(work, "com%d.memory" % n), "rb").read() for n in (1, 2)]


def main():
    with tempfile.TemporaryDirectory(prefix="r550ansible-") as work:
        env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(work, "collections"),
                   ANSIBLE_LOCAL_TEMP=os.path.join(work, "tmp"), ANSIBLE_HOME=os.path.join(work, "home"),
                   ANSIBLE_NOCOLOR="1", ANSIBLE_RETRY_FILES_ENABLED="0", ANSIBLE_PYTHON_INTERPRETER=sys.executable)
        built = run(["ansible-galaxy", "collection", "build", COLLECTION, "--output-path", work], env)
        check(os.path.exists(os.path.join(work, "r550-tool-1.0.0.tar.gz")), "the collection builds", built)
        run(["ansible-galaxy", "collection", "install", os.path.join(work, "r550-tool-1.0.0.tar.gz"),
             "-p", env["ANSIBLE_COLLECTIONS_PATH"]], env)
        for module in ("r550_reader", "r550_reader_info"):
            doc = subprocess.run(["ansible-doc", "--json", "r550.tool." + module], env=env, capture_output=True,
                                 text=True)
            check(doc.returncode == 0 and "ports" in doc.stdout and not doc.stderr.strip(),
                  "ansible-doc shows " + module, doc.stdout + doc.stderr)
            authors = json.loads(doc.stdout)["r550.tool." + module]["doc"]["author"]
            check(all(re.fullmatch(r"[^()@]+ \(@[\w-]+\)", a) for a in authors),
                  module + "'s author in the form 'Name (@github_id)'", str(authors))

        os.mkdir(os.path.join(work, "ports"))
        sims = [subprocess.Popen([SIM, "--link", os.path.join(work, "ports", "com%d" % n),
                                  "--memory", os.path.join(work, "com%d.memory" % n)], stdout=subprocess.DEVNULL)
                for n in (1, 2)]
        try:
            for n in (1, 2):
                for _ in range(100):
                    if os.path.exists(os.path.join(work, "ports", "com%d" % n)):
                        break
                    time.sleep(0.05)
            settings = '{"main.buzzer": false, "msr.prefix": "AB", "msr.suffix": [13]}'
            first = playbook(work, env, settings, "[1, COM2]")
            check(re.search(r"changed=1 ", first), "the first run changes the readers", first)
            backups = sorted(os.listdir(os.path.join(work, "backups")))
            check(len(backups) == 2 and backups[0].startswith("COM1-"), "each reader's backup is kept", str(backups))
            second = playbook(work, env, settings, "[1, COM2]")
            check(re.search(r"ok=1 +changed=0 ", second), "the second run changes nothing", second)

            # The readers now hold a prefix and a suffix of their own: a mapping that names the
            # buzzer alone shows, and would change, the buzzer alone.
            before = memories(work)
            diff = playbook(work, env, '{"main.buzzer": true}', "[1, COM2]", "--check", "--diff")
            check(re.search(r"changed=1 ", diff) and "-main.buzzer: false" in diff and "+main.buzzer: true" in diff,
                  "--check --diff names the differing setting", diff)
            check("msr." not in diff, "--check --diff shows only the named setting", diff)
            check(memories(work) == before, "--check writes nothing", diff)

            with open(os.path.join(work, "info.yml"), "w") as play:
                play.write(INFO.format(ports=os.path.join(work, "ports"), ctl=CTL,
                                       output=os.path.join(work, "info.json")))
            info = run(["ansible-playbook", "-c", "local", "-i", "localhost,", os.path.join(work, "info.yml"),
                        "--check"], env)
            with open(os.path.join(work, "info.json")) as output:
                info_result = json.load(output)
            readers = info_result["readers"]
            check(readers[0]["answered"] and readers[0]["settings"]["msr.prefix"]["text"] == "AB"
                  and "main.operating_mode" not in readers[0]["settings"] and not readers[1]["answered"]
                  and info_result["changed"] is False, "r550_reader_info tells what each reader holds", info)
            check(memories(work) == before, "r550_reader_info writes nothing", info)

            missing = playbook(work, env, settings, "[1, 9]", expect=2)
            check("FAILED" in missing and "COM9: no device" in missing, "a missing port fails the task", missing)
        finally:
            for sim in sims:
                sim.terminate()
                sim.wait()


main()
