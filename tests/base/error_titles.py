#!/usr/bin/env python3
"""Each error number is reported with one text: every error raised in the sources starts
its cause with the title that ErrorTitle gives its number."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
titles = dict(re.findall(r'case ErrorNumber::k(\w+):\s*return "([^"]+)";',
                         (root / "platform/base/error.cpp").read_text()))
raised = re.compile(r'ErrorNumber::k(\w+),\s*"([^"]*)"')
faults = []
count = 0
for folder in ("platform", "turn", "app", "tools"):
    for path in sorted((root / folder).rglob("*.[ch]*")):
        for number, cause in raised.findall(path.read_text()):
            count += 1
            title = titles.get(number)
            if title is None:
                faults.append(f"{path.relative_to(root)}: k{number} has no title")
            elif cause != title and not cause.startswith(title + ":"):
                faults.append(f"{path.relative_to(root)}: k{number} raised as \"{cause}\", "
                              f"not \"{title}\"")
print(f"{count} errors raised, {len(titles)} titles")
for fault in faults:
    print(fault)
sys.exit(1 if faults or count == 0 else 0)
