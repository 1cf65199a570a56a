#!/usr/bin/env python3
"""The manifest schema is a valid draft 2020-12 schema, every example manifest
and every manifest that `uninstdat show` writes for it satisfies it, and
manifests that build refuses for a wrong type or name do not.
   schema_check.py SCHEMA UNINSTDAT EXAMPLES"""
import json, subprocess, sys, tempfile, os
from jsonschema import Draft202012Validator

schema_path, uninstdat, examples = sys.argv[1:4]
schema = json.load(open(schema_path))
Draft202012Validator.check_schema(schema)
validator = Draft202012Validator(schema)
failures = 0
def check(name, ok):
    global failures
    print(("ok   " if ok else "FAIL ") + name)
    failures += 0 if ok else 1

for name in sorted(os.listdir(examples)):
    if not name.endswith(".json") or name.endswith("-machine.json"):
        continue
    manifest = json.load(open(os.path.join(examples, name)))
    errors = [e.message for e in validator.iter_errors(manifest)]
    check(f"{name} satisfies the schema {errors[:1]}", not errors)
    with tempfile.TemporaryDirectory() as work:
        dat = os.path.join(work, "u.dat")
        subprocess.run([uninstdat, "build", os.path.join(examples, name), "-o", dat], check=True)
        shown = json.loads(subprocess.run([uninstdat, "show", dat], check=True, capture_output=True).stdout)
        errors = [e.message for e in validator.iter_errors(shown)]
        check(f"show of {name} satisfies the schema {errors[:1]}", not errors)

for refused in ({"codePage": "932"}, {"codePage": 65001}, {"progamGroup": "x"}, {"allUsers": "yes"},
                {"removalEntries": [{"win2000": "x"}]}, {"registryList": [{"key": "HKEY_USERS\\a", "value": ""}]},
                {"trailing": {"endOfFle": "x"}}, {"confirmPrompt": {"hex": "4"}},
                {"lintAllow": ["shared-sytem-file"]}, {"lintAllow": "shared-system-file"}):
    check(f"{json.dumps(refused)} is refused", not validator.is_valid(refused))
check("lintAllow of a code and of a code with a text is accepted",
      validator.is_valid({"lintAllow": ["listed-twice", "shared-system-file=<Fonts>\\w.ttf"]}))
print(f"{failures} failed")
sys.exit(1 if failures else 0)
