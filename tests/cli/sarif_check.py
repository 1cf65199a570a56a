#!/usr/bin/env python3
"""`uninstdat lint --format sarif` writes valid SARIF 2.1.0: the log of every
example manifest, of the data file built from it, and of a manifest with
findings of every kind (an entry listed twice, a note, an allowed finding,
findings counted but not listed) satisfies the schema; a finding in a
manifest points at its item's line, one in a data file at its field and
item; and the schema is live (it refuses a log with a wrong level).
   sarif_check.py SCHEMA UNINSTDAT EXAMPLES"""
import copy, json, os, subprocess, sys, tempfile
from jsonschema import Draft4Validator

schema_path, uninstdat, examples = sys.argv[1:4]
uninstdat = os.path.abspath(uninstdat)
schema = json.load(open(schema_path))
Draft4Validator.check_schema(schema)
validator = Draft4Validator(schema)
failures = 0
def check(name, ok):
    global failures
    print(("ok   " if ok else "FAIL ") + name)
    failures += 0 if ok else 1

def sarif(path, *options, cwd=None):
    run = subprocess.run([uninstdat, "lint", path, "--format", "sarif", *options], capture_output=True, cwd=cwd)
    if run.returncode not in (0, 1):
        raise SystemExit(f"lint {path} failed ({run.returncode}): {run.stderr.decode()}")
    return json.loads(run.stdout)

def valid(name, log):
    errors = [f"{list(e.absolute_path)}: {e.message}" for e in validator.iter_errors(log)]
    check(f"{name} is valid SARIF 2.1.0 {errors[:1]}", not errors)

with tempfile.TemporaryDirectory() as work:
    for name in sorted(os.listdir(examples)):
        if not name.endswith(".json") or name.endswith("-machine.json"):
            continue
        valid(f"lint --format sarif of {name}", sarif(os.path.join(examples, name)))
        dat = os.path.join(work, name + ".dat")
        subprocess.run([uninstdat, "build", os.path.join(examples, name), "-o", dat], check=True)
        valid(f"lint --format sarif of the data file of {name}", sarif(dat))

    manifest = os.path.join(work, "findings.json")
    with open(manifest, "w") as out:
        out.write('{\n'
                  '  "removalEntries": [\n'
                  '    "<Sys32>\\\\w.dll",\n'
                  '    "<Sys32>\\\\w.dll",\n'
                  '    "logs\\\\*.log", "logs\\\\*.log", "logs\\\\*.log",\n'
                  '    "<Fonts>\\\\w.ttf"\n'
                  '  ],\n'
                  '  "programGroup": "Acme\\\\W\\u00e9",\n'
                  '  "lintAllow": ["shared-system-file=<Fonts>\\\\w.ttf"],\n'
                  '  "trailing": {"registryList": "HKEY_USERS\\\\a;"}\n'
                  '}\n')
    log = sarif("findings.json", "--max-per-code", "1", "--allow", "listed-twice", cwd=work)
    valid("lint --format sarif of a manifest with findings of every kind", log)
    results = log["runs"][0]["results"]
    full = sarif("findings.json", "--max-per-code", "0", cwd=work)["runs"][0]["results"]
    shared = [r["locations"][0]["physicalLocation"]["region"]["startLine"] for r in full
              if r["ruleId"] == "shared-system-file"]
    check(f"the same entry twice gives two different lines {shared}", shared[:2] == [3, 4])
    check("the artifact is the file as given", results[0]["locations"][0]["physicalLocation"]["artifactLocation"]
          == {"uri": "findings.json"})
    check("a note is a note", any(r["ruleId"] == "program-group-nested" and r["level"] == "note" for r in results))
    suppressed = [r for r in results if "suppressions" in r]
    check("allowed findings are suppressed, naming their rule",
          {s["suppressions"][0]["justification"] for s in suppressed} ==
          {"acknowledged by --allow listed-twice",
           r'acknowledged by lintAllow[0] "shared-system-file=<Fonts>\w.ttf"'})
    notes = log["runs"][0]["invocations"][0].get("toolExecutionNotifications", [])
    check("findings counted but not listed are told",
          any(n["associatedRule"]["id"] == "wildcard-in-path" for n in notes) and
          {"code": "wildcard-in-path", "allowed": False, "count": 2} in log["runs"][0]["properties"]["omitted"])

    dat = os.path.join(work, "findings.dat")
    subprocess.run([uninstdat, "build", manifest, "-o", dat], check=True)
    data_log = sarif(dat, "--max-per-code", "0")
    valid("lint --format sarif of a data file with findings", data_log)
    first = data_log["runs"][0]["results"][0]["locations"][0]
    check("a data file's finding: field and item, and the entry's bytes",
          first["physicalLocation"]["region"] == {"byteOffset": 4, "byteLength": 13} and
          first["logicalLocations"][0]["fullyQualifiedName"] == "removalEntries[0]")

    broken = copy.deepcopy(log)
    broken["runs"][0]["results"][0]["level"] = "fatal"
    check("the schema refuses a result of a level SARIF lacks", not validator.is_valid(broken))
    broken = copy.deepcopy(log)
    broken["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["region"]["startLine"] = 0
    check("the schema refuses line 0", not validator.is_valid(broken))

print(f"{failures} failed")
sys.exit(1 if failures else 0)
