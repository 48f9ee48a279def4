#!/usr/bin/env python3
"""Checks the README and the guides: the README stays short (at most 250 lines), every guide in
docs/ is linked from it, and every relative link of README.md, docs/*.md and host/PROTOCOL.md
leads to a file of the tree, and to a heading of it where it names one (GitHub's anchors).
Usage: docs-check.py SOURCE_DIR"""
import os
import re
import sys

source = os.path.abspath(sys.argv[1])
problems = []


def anchors(path):
    found = set()
    with open(path, encoding="utf-8") as text:
        for line in text:
            heading = re.match(r"#+ (.*)", line)
            if heading:
                slug = re.sub(r"[^\w\- ]", "", heading.group(1).strip().lower()).replace(" ", "-")
                found.add(slug)
    return found


pages = ["README.md", "host/PROTOCOL.md"] + ["docs/" + name for name in sorted(os.listdir(os.path.join(source, "docs")))
                                             if name.endswith(".md")]
for page in pages:
    path = os.path.join(source, page)
    with open(path, encoding="utf-8") as text:
        body = text.read()
    # Code is no link: fenced blocks and `spans` are left out.
    prose = re.sub(r"```.*?```", "", body, flags=re.S)
    prose = re.sub(r"`[^`\n]*`", "", prose)
    for target in re.findall(r"\]\(([^)\s]+)\)", prose):
        if re.match(r"[a-z]+:", target):
            continue
        file, _, anchor = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
        if not os.path.exists(resolved):
            problems.append("%s links to %s, which does not exist" % (page, target))
        elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
            problems.append("%s links to %s, which has no heading #%s" % (page, file or page, anchor))

with open(os.path.join(source, "README.md"), encoding="utf-8") as text:
    readme = text.read()
length = readme.count("\n")
if length > 250:
    problems.append("README.md has %d lines: at most 250, the rest belongs in docs/" % length)
for name in os.listdir(os.path.join(source, "docs")):
    if name.endswith(".md") and "docs/" + name not in readme:
        problems.append("docs/%s is not linked from the README" % name)

for problem in problems:
    print("docs-check: " + problem)
print("docs-check: %d pages, %d problems" % (len(pages), len(problems)))
sys.exit(1 if problems else 0)
