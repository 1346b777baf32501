#!/usr/bin/env python3
"""Fails when a translatable text of the sources has no English translation.

Runs lupdate over src/ into a copy of tervan_en.ts, so texts added to the code
but not to the translation show up as unfinished."""
import os, shutil, subprocess, sys, tempfile
import xml.etree.ElementTree as ET

src_dir = sys.argv[1]
ts = os.path.join(src_dir, "resources", "translations", "tervan_en.ts")
with tempfile.TemporaryDirectory() as tmp:
    copy = os.path.join(tmp, "tervan_en.ts")
    shutil.copy(ts, copy)
    subprocess.run(["lupdate", "-silent", "-no-obsolete", "-locations", "none",
                    os.path.join(src_dir, "src"), os.path.join(src_dir, "tools", "lab-import"),
                    os.path.join(src_dir, "tools", "lab-admin"), "-ts", copy], check=True)
    missing = []
    for context in ET.parse(copy).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            tr = message.find("translation")
            if tr.get("type") in ("unfinished", "vanished", "obsolete") or not (tr.text or "").strip():
                missing.append(f"{name}: {message.findtext('source')}")
    for m in missing:
        print("untranslated:", m)
    print(f"{len(missing)} untranslated text(s)")
    sys.exit(1 if missing else 0)
