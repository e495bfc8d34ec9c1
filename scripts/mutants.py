#!/usr/bin/env python3
"""Seeds small faults into product code one at a time and counts how many the test suite catches.

A test suite is worth what it catches. This script makes that measurable: it picks mutation sites
in the product sources (flipped comparisons, swapped logic operators, changed constants, dropped
calls, swapped signs), applies one mutant, rebuilds a release tree of its own, runs ctest, and
restores the file. A mutant is "killed" when a test fails or times out, "survived" when the whole
suite passes, and "stillborn" when it does not compile (not counted).

Typical use, comparing two versions of the suite against the same faults:

    scripts/mutants.py pick --count 150 --seed 7 -o build/mutants.json
    scripts/mutants.py run build/mutants.json -o build/mutants-before.json
    ... change the tests ...
    scripts/mutants.py run build/mutants.json -o build/mutants-after.json
    scripts/mutants.py compare build/mutants-before.json build/mutants-after.json

Each mutant records the original line, so a run refuses a mutant whose line has changed since it
was picked (reported as "moved"). The worktree must be clean of other edits while a run goes on;
an interrupted run restores the file it was mutating.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutation")
PRODUCT_DIRS = ("bedrock", "gpuprofiler", "corvid", "target", "capture", "tools", "wire")

# (name, pattern, replacement). Patterns are matched on code with strings and comments blanked,
# so a site is never inside a literal or a comment.
OPERATORS = [
    ("lt->le", re.compile(r"(?<=[\w)\]] )<(?= [\w(!-])"), "<="),
    ("le->lt", re.compile(r"(?<= )<=(?= )"), "<"),
    ("gt->ge", re.compile(r"(?<=[\w)\]] )>(?= [\w(!-])"), ">="),
    ("ge->gt", re.compile(r"(?<= )>=(?= )"), ">"),
    ("eq->ne", re.compile(r"(?<= )==(?= )"), "!="),
    ("ne->eq", re.compile(r"(?<= )!=(?= )"), "=="),
    ("and->or", re.compile(r"(?<= )&&(?= )"), "||"),
    ("or->and", re.compile(r"(?<= )\|\|(?= )"), "&&"),
    ("plus->minus", re.compile(r"(?<=[\w)\]] )\+(?= [\w(])"), "-"),
    ("minus->plus", re.compile(r"(?<=[\w)\]] )-(?= [\w(])"), "+"),
    ("true->false", re.compile(r"\btrue\b"), "false"),
    ("false->true", re.compile(r"\bfalse\b"), "true"),
    ("const+1", re.compile(r"(?<![\w.])([1-9]\d{0,6})(?![\w.])"), None),
]
# A statement that is nothing but a call: dropped whole.
CALL_STATEMENT = re.compile(r"^(\s*)([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*)\s*\(.*\);\s*$")
SKIP_LINE = re.compile(r"^\s*(#|static_assert|case\b|template\b|return\s*;)")


def product_files():
    out = subprocess.run(["git", "ls-files", *PRODUCT_DIRS], cwd=ROOT, capture_output=True, text=True, check=True)
    return [f for f in out.stdout.split() if f.endswith(".cpp") or f.endswith(".h")]


def blank_literals(line, in_block):
    """The line with string/char literals and comments replaced by spaces; and whether a block
    comment is still open at its end."""
    out, i, n = [], 0, len(line)
    while i < n:
        if in_block:
            j = line.find("*/", i)
            if j < 0:
                out.append(" " * (n - i))
                return "".join(out), True
            out.append(" " * (j + 2 - i))
            i, in_block = j + 2, False
            continue
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if line.startswith("/*", i):
            in_block = True
            continue
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out), in_block


def sites(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    in_block = False
    for no, line in enumerate(lines, 1):
        code, in_block_after = blank_literals(line, in_block)
        in_block = in_block_after
        if not code.strip() or SKIP_LINE.match(code) or "operator" in code:
            continue
        for name, pattern, repl in OPERATORS:
            for m in pattern.finditer(code):
                new = str(int(m.group(1)) + 1) if repl is None else repl
                yield {"file": path, "line": no, "col": m.start(), "op": name, "orig": line,
                       "mutated": line[:m.start()] + new + line[m.end():]}
        m = CALL_STATEMENT.match(code)
        if m and not re.match(r"\s*(return|delete|else|if|for|while|switch)\b", code) and "=" not in code.split("(")[0]:
            yield {"file": path, "line": no, "col": 0, "op": "drop-call", "orig": line,
                   "mutated": m.group(1) + "; // mutant: call dropped"}


def cmd_pick(args):
    every = [s for f in product_files() for s in sites(f)]
    rng = random.Random(args.seed)
    chosen = rng.sample(every, min(args.count, len(every)))
    chosen.sort(key=lambda s: (s["file"], s["line"], s["col"]))
    for i, s in enumerate(chosen):
        s["id"] = i
    with open(args.output, "w") as f:
        json.dump({"seed": args.seed, "sites_total": len(every), "mutants": chosen}, f, indent=1)
    print(f"{len(chosen)} mutants of {len(every)} sites -> {args.output}")


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, cwd=ROOT, capture_output=True, text=True, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def configure():
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DCMAKE_CXX_COMPILER=g++", "-DGPUPROF_BENCH=OFF", "-DGPUPROF_WERROR=OFF"],
                       check=True, capture_output=True)


def build_and_test(jobs, test_timeout):
    if run(["cmake", "--build", BUILD, "-j", str(jobs)], 1800) != 0:
        return "stillborn"
    rc = run(["ctest", "--test-dir", BUILD, "-j", str(jobs), "--timeout", str(test_timeout),
              "--stop-on-failure", "--output-on-failure"], 3600)
    return "survived" if rc == 0 else "killed"


def cmd_run(args):
    with open(args.mutants) as f:
        mutants = json.load(f)["mutants"]
    configure()
    if build_and_test(args.jobs, args.test_timeout) != "survived":
        sys.exit("the unmutated tree does not pass its own suite; nothing to measure")
    results = []
    for m in mutants:
        path = os.path.join(ROOT, m["file"])
        with open(path, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        if m["line"] > len(lines) or lines[m["line"] - 1] != m["orig"]:
            results.append({**m, "result": "moved"})
            continue
        lines[m["line"] - 1] = m["mutated"]
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            result = build_and_test(args.jobs, args.test_timeout)
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        results.append({**m, "result": result})
        print(f"[{m['id']:3}] {result:9} {m['op']:11} {m['file']}:{m['line']} ({time.time() - started:.0f} s)",
              flush=True)
        with open(args.output, "w") as f:
            json.dump(results, f, indent=1)
    # Leave the build matching the sources again.
    run(["cmake", "--build", BUILD, "-j", str(args.jobs)], 1800)
    summarize(results)


def summarize(results):
    counts = {}
    for r in results:
        counts[r["result"]] = counts.get(r["result"], 0) + 1
    valid = counts.get("killed", 0) + counts.get("survived", 0)
    print(" ".join(f"{k}={v}" for k, v in sorted(counts.items())),
          f"score={counts.get('killed', 0)}/{valid}" if valid else "")


def cmd_compare(args):
    runs = []
    for p in (args.before, args.after):
        with open(p) as f:
            runs.append({r["id"]: r for r in json.load(f)})
    before, after = runs
    for label, rs in (("before", before), ("after", after)):
        print(label + ":", end=" ")
        summarize(list(rs.values()))
    for i in sorted(set(before) & set(after)):
        if before[i]["result"] == "killed" and after[i]["result"] == "survived":
            r = after[i]
            print(f"now survives: [{i}] {r['op']} {r['file']}:{r['line']}: {r['mutated'].strip()}")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="cmd", required=True)
    pick = sub.add_parser("pick", help="choose mutants")
    pick.add_argument("--count", type=int, default=150)
    pick.add_argument("--seed", type=int, default=1)
    pick.add_argument("-o", "--output", required=True)
    r = sub.add_parser("run", help="run the suite against each mutant")
    r.add_argument("mutants")
    r.add_argument("-o", "--output", required=True)
    r.add_argument("-j", "--jobs", type=int, default=os.cpu_count() or 2)
    r.add_argument("--test-timeout", type=int, default=300)
    c = sub.add_parser("compare", help="compare two runs of the same mutants")
    c.add_argument("before")
    c.add_argument("after")
    args = p.parse_args()
    {"pick": cmd_pick, "run": cmd_run, "compare": cmd_compare}[args.cmd](args)


if __name__ == "__main__":
    main()
