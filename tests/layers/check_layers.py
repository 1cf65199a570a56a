#!/usr/bin/env python3
"""The layers of the sources, checked on every test run: a unit includes only
the layers below its own, only system/ and the Win32 side include headers of
the operating system, and ASCII case folding is written once in uninstdat.

   check_layers.py ROOT [--check includes|folding|length]   check the sources at ROOT
   check_layers.py ROOT --self-test                  prove that each rule bites

Includes are written from the repository's root, so one compiler include path
reaches every header; separate libraries would not stop a wrong include.
This reads every #include of engine/, platform/, app/ and tools/uninstdat/
instead. The table LAYERS below is the one place that says which layer may
use which; the README's layout repeats it in words."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Each layer: the folders whose files it holds (a folder holds the files
# directly in it, not its subfolders) or single files, and the layers its
# units may include (always their own as well). A file named here belongs to
# its layer even inside a folder of another.
ENGINE = {"engine", "platform"}
LAYERS = {
    # The uninstaller: the platform interface and its Win32 side, the pure
    # engine over it, the run, and the entry point.
    "platform": (["platform"], set()),
    "engine": (["engine"], {"platform"}),
    "app": (["app"], ENGINE),
    "app-entry": (["app/main.cpp"], {"app"} | ENGINE),
    # uninstdat's core: the model, the manifest both ways, the described
    # machine, code pages, names (the one ASCII case folding), families, key
    # shapes, the fresh-machine reference, the evaluation of an entry, the
    # distinct texts, and the table of lint codes, which the manifest's
    # "lintAllow" names as well as lint.
    "core": (["tools/uninstdat"], ENGINE),
    # The analyses: each on the core alone; they print nothing and touch no
    # file, so they never need the system layer.
    "lint": (["tools/uninstdat/lint"], {"core"} | ENGINE),
    "plan": (["tools/uninstdat/plan"], {"core"} | ENGINE),
    "diff": (["tools/uninstdat/diff"], {"core"} | ENGINE),
    # Stages and Wine: they read folders and run scripts, through system/.
    "stage": (["tools/uninstdat/stage"], {"core", "system"} | ENGINE),
    # try places a stage and checks the run against plan's records of it.
    "try": (["tools/uninstdat/try"], {"core", "system", "stage", "plan"} | ENGINE),
    # capture runs an installer on try's Wine prefix and writes a stage.
    "capture": (["tools/uninstdat/capture"], {"core", "system", "stage", "try"} | ENGINE),
    # The system layer: files, processes and the code-page converters that
    # codepage.h declares, one source per system; the only units of the tool
    # with headers of the operating system.
    "system": (["tools/uninstdat/system"], {"core"} | ENGINE),
    # Commands: options, printing and exit codes over every layer below.
    "commands": (["tools/uninstdat/commands"],
                 {"core", "lint", "plan", "diff", "stage", "try", "capture", "system"} | ENGINE),
    "main": (["tools/uninstdat/main.cpp"], {"commands", "system"}),
}

# Layers whose sources may include headers of the operating system (any
# <x.h> other than the two C headers below, <sys/...> and the like); their
# headers may not, so that the OS stays behind them: the engine includes
# platform/win32_platform.h, and every layer above system/ its headers.
OS_LAYERS = {"platform", "app-entry", "system"}
# C headers that carry no system: the engine's fixed-size integers.
PLAIN_C_HEADERS = {"stddef.h", "stdint.h"}
# Libraries, by the folder of their headers, and the layers that use them:
# JSON through the core's json.h, the command line only in the commands.
LIBRARIES = {
    "nlohmann/": {"core"},
    "CLI/": {"commands", "main"},
}
# std::filesystem is a service of the system: the tool's other units reach
# files through tools/uninstdat/system/files.h and io.h, which say what each
# call does to a disk and how it fails.

SOURCE_ROOTS = ["engine", "platform", "app", "tools/uninstdat"]
SOURCE_SUFFIXES = (".h", ".cpp")

# ASCII case folding and prefix tests are written once, in the core's names
# unit; the engine keeps its own text unit, since it must not depend on the
# tool. These patterns find a hand-written fold or comparison elsewhere in
# uninstdat (comments and string literals are not searched).
FOLDING_ROOT = "tools/uninstdat"
FOLDING_UNIT = {"tools/uninstdat/names.h", "tools/uninstdat/names.cpp"}
FOLDING_PATTERNS = [
    (r"'[aA]'\s*-\s*'[aA]'", "the distance between 'a' and 'A'"),
    (r"-\s*'[aA]'\s*\+\s*'[aA]'", "a letter moved to the other case"),
    (r"[<>]=?\s*'[zZ]'", "a test for the letters a-z or A-Z"),
    (r"'[zZ]'\s*[<>]=?", "a test for the letters a-z or A-Z"),
    (r"\b(?:std::)?(?:to(?:w)?(?:lower|upper)|is(?:w)?(?:lower|upper|alpha))\b", "the C library's case functions (locale-dependent)"),
    (r"[+-]\s*32\b", "a letter moved by 32"),
    (r"[|^]\s*0x20\b|&\s*~\s*0x20\b|&\s*0x[dD][fF]\b|&\s*0x5[fF]\b", "a case bit set or cleared"),
    (r"\b(?:strcasecmp|strncasecmp|_stricmp|_strnicmp|stricmp)\b", "the C library's case-blind comparison"),
    (r"\bbool\s+\w*(?:StartsWith|EndsWith)\w*\s*\(", "a prefix or suffix test of its own"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def sources(root, folders):
    for folder in folders:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def layer_of(path):
    """The layer of a path from the root: a file named in the table, else
    the layer of the folder that holds it directly; None when no layer does."""
    for layer, (places, _) in LAYERS.items():
        if path in places:
            return layer
    folder = os.path.dirname(path)
    for layer, (places, _) in LAYERS.items():
        if folder in places:
            return layer
    return None


def check_includes(root):
    faults = []
    for path in sources(root, SOURCE_ROOTS):
        layer = layer_of(path)
        if layer is None:
            faults.append(f"{path}: in no layer; give its folder a row in LAYERS ({__file__})")
            continue
        allowed = LAYERS[layer][1] | {layer}
        text = open(os.path.join(root, path), encoding="utf-8", errors="replace").read()
        for match in INCLUDE.finditer(text):
            kind, name = match.group(1), match.group(2)
            line = text.count("\n", 0, match.start()) + 1
            where = f"{path}:{line}: {layer}"
            if kind == '"':
                if name.startswith(".") or not os.path.isfile(os.path.join(root, name)):
                    faults.append(f"{where} includes \"{name}\", which is no path from the repository's root")
                    continue
                target = layer_of(name)
                if target not in allowed:
                    faults.append(f"{where} includes \"{name}\" of layer {target}; "
                                  f"{layer} may include only {', '.join(sorted(allowed))}")
                continue
            library = next((folder for folder in LIBRARIES if name.startswith(folder)), None)
            if library:
                if layer not in LIBRARIES[library]:
                    faults.append(f"{where} includes <{name}>, which only {', '.join(sorted(LIBRARIES[library]))} may use")
            elif name == "filesystem":
                if layer != "system":
                    faults.append(f"{where} includes <filesystem>: reach files through "
                                  "tools/uninstdat/system/files.h or io.h")
            elif ("." in name or "/" in name) and name not in PLAIN_C_HEADERS:
                if layer not in OS_LAYERS:
                    faults.append(f"{where} includes <{name}>, a header of the system; only "
                                  f"{', '.join(sorted(OS_LAYERS))} may, the tool's other units call system/")
                elif path.endswith(".h"):
                    faults.append(f"{where} header includes <{name}>, a header of the system; "
                                  f"only the sources behind it may")
    return faults


def code_only(text):
    """The text with comments and string literals blanked (character
    literals stay: 'a' is what the patterns look for); lines keep their
    numbers."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif c == '"':
            j = i + 1
            while j < n and text[j] != '"' and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append('""')
            i = j + 1
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'" and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def check_folding(root):
    faults = []
    for path in sources(root, [FOLDING_ROOT]):
        if path in FOLDING_UNIT:
            continue
        code = code_only(open(os.path.join(root, path), encoding="utf-8", errors="replace").read())
        for number, line in enumerate(code.split("\n"), 1):
            for pattern, what in FOLDING_PATTERNS:
                if re.search(pattern, line):
                    faults.append(f"{path}:{number}: {what}: use tools/uninstdat/names.h "
                                  f"(AsciiUpper, AsciiLower, LowerAscii, UpperAscii, StartsWith, ...): {line.strip()}")
    return faults


# A source of the tools that grows past this many non-blank lines does more
# than one job: split it along a seam before the next fix lands in it.
LENGTH_ROOTS = ["tools"]
LENGTH_SUFFIXES = (".h", ".cpp", ".sh")
LENGTH_LIMIT = 400


def check_length(root):
    faults = []
    for folder in LENGTH_ROOTS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(LENGTH_SUFFIXES):
                    continue
                full = os.path.join(dirpath, name)
                lines = sum(1 for line in open(full, encoding="utf-8", errors="replace") if line.strip())
                if lines >= LENGTH_LIMIT:
                    faults.append(f"{os.path.relpath(full, root)}: {lines} non-blank lines, at least {LENGTH_LIMIT}: "
                                  "split it into units that each do one job")
    return faults


CHECKS = {"includes": check_includes, "folding": check_folding, "length": check_length}


def run(root, names):
    faults = []
    for name in names:
        faults += CHECKS[name](root)
    return faults


# Deliberate breaks, each of which must fail with a fault that names its file
# and says what: (file, text appended or None for a new file, fault text).
BREAKS = [
    ("tools/uninstdat/model.h", '#include "tools/uninstdat/commands/command.h"\n',
     "core includes \"tools/uninstdat/commands/command.h\" of layer commands"),
    ("tools/uninstdat/manifest.cpp", '#include "tools/uninstdat/lint/findings.h"\n',
     "core includes \"tools/uninstdat/lint/findings.h\" of layer lint"),
    ("tools/uninstdat/lint/lint.cpp", '#include "tools/uninstdat/plan/plan.h"\n',
     "lint includes \"tools/uninstdat/plan/plan.h\" of layer plan"),
    ("tools/uninstdat/stage/stage.cpp", '#include "tools/uninstdat/try/snapshot.h"\n',
     "stage includes \"tools/uninstdat/try/snapshot.h\" of layer try"),
    ("tools/uninstdat/try/try_report.cpp", '#include "tools/uninstdat/capture/wine_hive.h"\n',
     "try includes \"tools/uninstdat/capture/wine_hive.h\" of layer capture"),
    ("tools/uninstdat/plan/plan.cpp", '#include "tools/uninstdat/system/io.h"\n',
     "plan includes \"tools/uninstdat/system/io.h\" of layer system"),
    ("engine/text.cpp", '#include "tools/uninstdat/names.h"\n',
     "engine includes \"tools/uninstdat/names.h\" of layer core"),
    ("engine/registry.cpp", "#include <windows.h>\n", "engine includes <windows.h>, a header of the system"),
    ("platform/win32_platform.h", "#include <windows.h>\n", "platform header includes <windows.h>"),
    ("tools/uninstdat/system/io.h", "#include <unistd.h>\n", "system header includes <unistd.h>"),
    ("tools/uninstdat/diff/diff.cpp", "#include <unistd.h>\n", "diff includes <unistd.h>, a header of the system"),
    ("tools/uninstdat/lint/lint.cpp", "#include <filesystem>\n", "lint includes <filesystem>"),
    ("tools/uninstdat/stage/scan.cpp", "#include <filesystem>\n", "stage includes <filesystem>"),
    ("tools/uninstdat/capture/capture_session.cpp", "#include <filesystem>\n", "capture includes <filesystem>"),
    ("tools/uninstdat/plan/plan.cpp", "#include <CLI/CLI.hpp>\n", "plan includes <CLI/CLI.hpp>"),
    ("tools/uninstdat/lint/lint.cpp", '#include "../model.h"\n', "no path from the repository's root"),
    ("tools/uninstdat/widgets/widget.cpp", "", "in no layer"),
    ("tools/uninstdat/diff/diff.cpp", "char Up(char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }\n",
     "a test for the letters a-z or A-Z"),
    ("tools/uninstdat/stage/scan.cpp", "char Low(char c) { return std::tolower(c); }\n",
     "the C library's case functions"),
    ("tools/uninstdat/try/snapshot.cpp", "char Low(char c) { return static_cast<char>(c + ('a' - 'A')); }\n",
     "the distance between 'a' and 'A'"),
    ("tools/uninstdat/capture/stage_place.cpp", "char Up(char c) { return c & ~0x20; }\n", "a case bit set or cleared"),
    ("tools/uninstdat/commands/options.cpp",
     "bool StartsWith(const std::string& a, const std::string& b) { return a.rfind(b, 0) == 0; }\n",
     "a prefix or suffix test of its own"),
    ("tools/wine/session.sh", "true\n" * 400, "non-blank lines, at least 400"),
]


def self_test(root):
    failures = 0
    with tempfile.TemporaryDirectory(prefix="uninst-layers.") as work:
        copy = os.path.join(work, "src")
        for folder in SOURCE_ROOTS + ["tools/wine"]:
            shutil.copytree(os.path.join(root, folder), os.path.join(copy, folder))
        clean = run(copy, CHECKS)
        print(("ok   " if not clean else "FAIL ") + "the unchanged sources pass")
        failures += 1 if clean else 0
        for line in clean:
            print("     " + line)
        for path, added, expected in BREAKS:
            target = os.path.join(copy, path)
            before = open(target, encoding="utf-8").read() if os.path.exists(target) else None
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "a", encoding="utf-8") as f:
                f.write(added)
            # The real command, as ctest runs it, must exit nonzero and name
            # the file and the rule.
            result = subprocess.run([sys.executable, __file__, copy], capture_output=True, text=True)
            caught = result.returncode != 0 and any(
                line.startswith(path) and expected in line for line in result.stdout.splitlines())
            shown = "(new file)"
            if added.strip():
                shown = added.strip().splitlines()[0]
                if added.count("\n") > 1:
                    shown += f" ({added.count(chr(10))} lines)"
            print(("ok   " if caught else "FAIL ") + f"{path} + {shown}: {expected}")
            if not caught:
                failures += 1
                print("     exit " + str(result.returncode) + "; said:\n" + result.stdout)
            if before is None:
                os.remove(target)
                os.rmdir(os.path.dirname(target))
            else:
                with open(target, "w", encoding="utf-8") as f:
                    f.write(before)
        again = run(copy, CHECKS)
        if again:
            failures += 1
            print("FAIL the sources were not restored after the breaks")
    print(f"{failures} failed" if failures else "every deliberate break was caught")
    return 1 if failures else 0


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = argv[1]
    if argv[2:] == ["--self-test"]:
        return self_test(root)
    names = list(CHECKS)
    if argv[2:3] == ["--check"] and len(argv) == 4 and argv[3] in CHECKS:
        names = [argv[3]]
    elif len(argv) > 2:
        print(__doc__)
        return 2
    faults = run(root, names)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} fault(s) in the layers" if faults else f"the layers hold ({', '.join(names)})")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
