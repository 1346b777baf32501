#!/usr/bin/env python3
"""Rebuilds resources/translations/tervan_en.ts from the sources and fills in
every translation found in the given .ts files (for example the versions of two
merged branches: git show A:path > a.ts; git show B:path > b.ts).

    scripts/ts-merge.py a.ts b.ts ...
"""
import os, subprocess, sys, tempfile
import xml.etree.ElementTree as ET

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
target = os.path.join(root, "resources", "translations", "tervan_en.ts")

known = {}
for path in sys.argv[1:]:
    try:
        tree = ET.parse(path)
    except ET.ParseError as e:
        print(f"skipping {path}: {e}")
        continue
    for ctx in tree.getroot().iter("context"):
        name = ctx.findtext("name")
        for msg in ctx.iter("message"):
            tr = msg.find("translation")
            if tr is not None and (tr.text or "").strip() and tr.get("type") != "unfinished":
                known[(name, msg.findtext("source"))] = tr.text
                known.setdefault((None, msg.findtext("source")), tr.text)

with tempfile.TemporaryDirectory() as tmp:
    fresh = os.path.join(tmp, "tervan_en.ts")
    with open(fresh, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n'
                '<TS version="2.1" language="en_US" sourcelanguage="zh_CN">\n</TS>\n')
    subprocess.run(["lupdate", "-silent", "-no-obsolete", "-locations", "none",
                    os.path.join(root, "src"), os.path.join(root, "tools", "lab-import"),
                    os.path.join(root, "tools", "lab-admin"), "-ts", fresh], check=True)
    tree = ET.parse(fresh)
    missing = 0
    for ctx in tree.getroot().iter("context"):
        name = ctx.findtext("name")
        for msg in ctx.iter("message"):
            src = msg.findtext("source")
            text = known.get((name, src)) or known.get((None, src))
            tr = msg.find("translation")
            if text:
                tr.text = text
                tr.attrib.pop("type", None)
            else:
                missing += 1
                print("untranslated:", name, src)
    with open(target, "wb") as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        tree.write(f, encoding="utf-8", xml_declaration=False)
        f.write(b"\n")
    print(f"{missing} untranslated")
