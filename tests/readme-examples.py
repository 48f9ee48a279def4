#!/usr/bin/env python3
"""Runs the README's and the guides' command-line examples and compares what they print.

Every ```console block of README.md, then of docs/compatibility.md and docs/user-guide.md (the
order the examples build on one another), is a session: lines starting with "$ " are commands, the lines
after each, up to the next command, what it prints (standard output and standard error, as a
terminal shows them). The blocks run one after another in one fresh HOME with the tests' small
site list, "build/" standing for the build folder. Usage: readme-examples.py SOURCE_DIR BUILD_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

source, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
blocks = []
for page in ("README.md", "docs/compatibility.md", "docs/user-guide.md", "docs/secrets.md", "docs/development.md"):
    with open(os.path.join(source, page), encoding="utf-8") as text:
        blocks += re.findall(r"```console\n(.*?)```", text.read(), re.S)
if not blocks:
    sys.exit("readme-examples: the README has no console examples")

failures = 0
commands = 0
with tempfile.TemporaryDirectory() as home:
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(source, "tests", "data", "sites"), LC_ALL="C.UTF-8")
    for block in blocks:
        steps = []
        for line in block.splitlines():
            if line.startswith("$ "):
                steps.append([line[2:], []])
            elif steps:
                steps[-1][1].append(line)
        for command, expected in steps:
            commands += 1
            shell = re.sub(r"(?<![\w/.])build/", build + "/", command)
            run = subprocess.run(["sh", "-c", "{ %s\n} 2>&1" % shell], env=env, cwd=home, capture_output=True, text=True)
            printed = run.stdout.rstrip("\n").split("\n") if run.stdout.strip() else []
            if printed != expected:
                failures += 1
                print("README example: $ %s\n  prints:\n    %s\n  the README says:\n    %s" %
                      (command, "\n    ".join(printed), "\n    ".join(expected)))
print("readme-examples: %d commands, %d differ" % (commands, failures))
sys.exit(1 if failures else 0)
