"""Plants each fault of faults.txt in turn, runs the test suites against it and
writes which tests killed it into TABLE.md: the measure of what the tests are worth.

usage: plant.py [--only F01,F02] [--first] [--no-wine] [--fuzz-seconds 10] [--table PATH]

--first stops at the first suite that kills (unit, then fuzz, then Wine). Run
with /usr/bin/python3 from a clean checkout whose trees scripts/build.sh built;
each planted file is put back from git. A fuzz target kills only when it fails
3 runs of 3; tests that fail without any plant (a baseline run) never count.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from wine import describe, wine_tree  # noqa: E402  (the Wine suite's own choice of build)

WINE_TREE, WINE_WHY = wine_tree()
FUZZ_TARGETS = ("diskstats",)


def parse_faults(path):
    """`## Fnn path · kind`, a line of what goes wrong, then `--- find` and `+++ plant` blocks."""
    faults, fault, block = [], None, None
    for line in open(path, encoding="utf-8").read().split("\n"):
        if m := re.match(r"## (F\d+) (\S+) · (.+)", line):
            fault = dict(id=m[1], path=m[2], kind=m[3], what="", find=[], plant=[])
            faults.append(fault)
            block = None
        elif fault and line in ("--- find", "+++ plant"):
            block = fault["find" if line == "--- find" else "plant"]
        elif fault and block is not None:
            block.append(line)
        elif fault and line.strip():
            fault["what"] += line.strip() + " "
    for f in faults:
        f["find"], f["plant"] = "\n".join(f["find"]).rstrip("\n"), "\n".join(f["plant"]).rstrip("\n")
    return faults


def run(cmd, cwd=ROOT, timeout=3600):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=timeout)


def build(portable, windows):
    # The product is built wherever the Wine runs drive its twin: a fault it cannot build with is caught.
    steps = [["build/native", "unit_tests"], ["build/fuzz", "all"]] if portable else []
    steps += [["build/i686", "pellumin"], [WINE_TREE, "pellumin", "np_host"], ["build/x86_64", "np_probe"]] * windows
    return all(run(["cmake", "--build", tree, "-j2", "--target", *targets]).returncode == 0 for tree, *targets in steps)


def junit_failures(path, prefix=""):
    if not os.path.exists(path):
        return {prefix + "(no report: the run crashed)"}
    failed = set()
    for case in ET.parse(path).iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail":
            cls = case.get("classname", "")
            name = case.get("name").split("  #")[0]  # without gtest's parameter note
            failed.add(prefix + (f"{cls.split('.')[-1]}::" if cls and prefix else "") + name)
    return failed


def unit_killers(tmp):
    report = os.path.join(tmp, "unit.xml")
    run(["ctest", "--test-dir", "build/native", "-L", "unit", "-j2", "--timeout", "120", "--output-junit", report])
    return junit_failures(report)


def fuzz_killers(tmp, seconds):
    killers = set()
    for name in FUZZ_TARGETS:
        def fails():
            with tempfile.TemporaryDirectory(dir=tmp) as work:  # a fresh corpus, as on a clean checkout
                return run([f"build/fuzz/tests/fuzz/{name}_fuzz", f"-max_total_time={seconds}", "-timeout=10",
                            f"-artifact_prefix={work}/", work, f"tests/fuzz/corpus/{name}"]).returncode != 0
        if all(fails() for _ in range(3)):
            killers.add(f"{name}_fuzz")
    return killers


def wine_killers(tmp):
    report = os.path.join(tmp, "wine.xml")
    run([sys.executable, "-B", "-m", "pytest", "-p", "no:cacheprovider", "-q", ".", "--bin-dir", WINE_TREE,
         "--artifacts", os.path.join(tmp, "art"), f"--junitxml={report}"],
        cwd=os.path.join(ROOT, "tests", "e2e"))
    return junit_failures(report, "e2e:")


def killers(fault, args, tmp, first=False):
    """The tests that fail with the fault in; with `first`, those of the first suite that fails."""
    portable = not fault["path"].startswith(("platform/win32/", "app/"))
    if not build(portable, windows=not args.no_wine):
        return None
    suites = [lambda: unit_killers(tmp), lambda: fuzz_killers(tmp, args.fuzz_seconds)] if portable else []
    suites += [] if args.no_wine else [lambda: wine_killers(tmp)]
    found = set()
    for suite in suites:
        found |= suite()
        if found and first:
            break
    return found


def plant(fault):
    path = os.path.join(ROOT, fault["path"])
    text = open(path, encoding="utf-8").read()
    if text.count(fault["find"]) != 1:
        raise SystemExit(f"{fault['id']}: the text to replace is not found exactly once in {fault['path']}")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace(fault["find"], fault["plant"]))


HEADER = """# Planted faults and the tests that kill them

Written by `tests/faults/plant.py` from `tests/faults/faults.txt`, never by hand; `--only` rewrites just its rows.
"Killed before the cuts": all killers on 5409aad, before the suites were cut; "killed now": those of the run
"measured" names (with `--first`, the first suite's), listed below with its build and its flaky baseline tests.
"""
COLUMNS = ["fault", "where", "kind", "what goes wrong", "killed before the cuts", "killed now", "measured"]


def write_table(path, faults, results, baseline, first):
    """Rewrites the rows of this run's faults, keeps the others' killers, and names each row's run."""
    rows, runs = {}, {}
    for line in open(path, encoding="utf-8") if os.path.exists(path) else []:
        if re.match(r"\| F\d+ \|", line):
            cells = [c.strip() for c in line.strip().strip("|").split(" | ")]
            rows[cells[0]] = dict(zip(COLUMNS, cells))
        elif m := re.match(r"- (`[^`]+`): (.*)", line):
            runs[m[1]] = m[2]
    commit = run(["git", "rev-parse", "--short", "HEAD"]).stdout.strip()
    name = f"`{commit}{' --first' * first} {os.path.basename(WINE_TREE)}`"
    runs[name] = f"{describe(WINE_TREE, WINE_WHY)}; flaky without any plant: {', '.join(sorted(baseline)) or 'none'}."
    for f, found in results:
        verdict = "does not build" if found is None else "; ".join(sorted(found)) or "**not caught**"
        rows[f["id"]] = rows.get(f["id"], {"killed before the cuts": "(new)"})
        rows[f["id"]].update({"killed now": verdict, "measured": name})
    lines = [HEADER, "| " + " | ".join(COLUMNS) + " |", "|" + "---|" * len(COLUMNS)]
    for f in (f for f in faults if f["id"] in rows):
        rows[f["id"]].update(dict(zip(COLUMNS, [f["id"], f"`{f['path']}`", f["kind"], f["what"].strip()])))
        lines.append("| " + " | ".join(rows[f["id"]][c] for c in COLUMNS) + " |")
    used = {rows[f["id"]]["measured"] for f in faults if f["id"] in rows}
    lines += ["", "Runs:", ""] + [f"- {n}: {text}" for n, text in sorted(runs.items()) if n in used]
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--only", default="")
    p.add_argument("--first", action="store_true")
    p.add_argument("--no-wine", action="store_true")
    p.add_argument("--fuzz-seconds", type=int, default=10)
    p.add_argument("--table", default=os.path.join(ROOT, "tests", "faults", "TABLE.md"))
    args = p.parse_args()
    every = parse_faults(os.path.join(ROOT, "tests", "faults", "faults.txt"))
    faults = [f for f in every if not args.only or f["id"] in args.only.split(",")]
    if run(["git", "status", "--porcelain", *sorted({f["path"] for f in faults})]).stdout.strip():
        raise SystemExit("a file to plant in has uncommitted changes")
    print(describe(WINE_TREE, WINE_WHY), flush=True)
    results = []
    with tempfile.TemporaryDirectory(prefix="faults-") as tmp:
        baseline = killers(dict(path="core/", id="F00"), args, tmp) or set()
        print("baseline failures:", sorted(baseline) or "none", flush=True)
        for fault in faults:
            try:
                plant(fault)
                found = killers(fault, args, tmp, args.first)
            finally:
                run(["git", "checkout", "--", fault["path"]])
            found = None if found is None else found - baseline
            print(fault["id"], fault["path"], "->", "does not build" if found is None else sorted(found) or "NOT CAUGHT",
                  flush=True)
            results.append((fault, found))
        build(True, not args.no_wine)
    write_table(args.table, every, results, baseline, args.first)


if __name__ == "__main__":
    main()
