#!/usr/bin/env python3
"""Mutation testing of the logic: seeds one-line faults into the sources and
runs the unit tests against each. Works in a copy of the tree, so the sources
in the checkout are never touched.

Mutants: swapped comparisons and logical operators, shifted numbers (one up
or down), deleted statements, swapped neighbours in a table of literals, a
changed byte in a string literal, true and false exchanged. A mutant that
does not compile is stillborn and replaced by another; one whose tests fail,
crash or hang is killed; the rest survive."""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# The logic: src/ less the Windows implementation, the freestanding runtime
# and the entry.
LEFT_OUT = {"src/system/windows_system.cpp",
            "src/system/freestanding_runtime.cpp", "src/run/entry.cpp"}

STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
SWAPS = {"==": "!=", "!=": "==", "<=": "<", ">=": ">", "<": "<=", ">": ">=", "&&": "||",
         "||": "&&", "true": "false", "false": "true"}
OPERATOR = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>|&&|\|\|)(?=\s)|\b(true|false)\b")
NUMBER = re.compile(r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?=u?\b)")
DECLARATION = re.compile(r"^\s*(const|constexpr|static|using|struct|class|enum|template|"
                         r"[\w:<>]+\*? [\w\[\]]+( =.*)?;$)")


def logic_files(root):
    return sorted(f for f in tree_files(root)
                  if f.startswith("src/") and f.endswith((".cpp", ".h")) and f not in LEFT_OUT)


def tree_files(repo):
    """The files of the checkout as they are: tracked, and new ones not ignored."""
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"],
                            cwd=repo, capture_output=True, text=True, check=True).stdout
    return [f for f in listed.split("\n") if f and (Path(repo) / f).is_file()]


def code_spans(line):
    """The parts of a line outside string literals and comments."""
    cut = len(line)
    strings = [m.span() for m in STRING.finditer(line)]
    for m in re.finditer(r"//", line):
        if not any(a <= m.start() < b for a, b in strings):
            cut = m.start()
            break
    spans, at = [], 0
    for a, b in strings:
        if a >= cut:
            break
        spans.append((at, a))
        at = b
    spans.append((at, cut))
    return [s for s in spans if s[0] < s[1]], [s for s in strings if s[1] <= cut]


def mutants_of(path, lines):
    found = []
    previous = ";"
    for n, line in enumerate(lines):
        stripped = line.strip()
        if (not stripped or stripped.startswith(("#", "//")) or "static_assert" in line
                or "virtual" in line):
            continue
        spans, strings = code_spans(line)

        def add(kind, new):
            found.append((path, n, kind, line, new))

        for a, b in spans:
            for m in OPERATOR.finditer(line, a, b):
                op = m.group(0)
                add("operator", line[:m.start()] + SWAPS[op] + line[m.end():])
            for m in NUMBER.finditer(line, a, b):
                value = int(m.group(1), 0)
                for shifted in (value + 1, value - 1):
                    if shifted >= 0:
                        text = hex(shifted) if m.group(1).startswith("0x") else str(shifted)
                        add("number", line[:m.start()] + text + line[m.end():])
        for a, b in strings:
            body = line[a + 1:b - 1]
            plain = [i for i, c in enumerate(body) if c.isalnum()]
            if plain:
                i = plain[len(plain) // 2]
                changed = body[:i] + ("x" if body[i] != "x" else "y") + body[i + 1:]
                add("string byte", line[:a + 1] + changed + line[b - 1:])
        for (a1, b1), (a2, b2) in zip(strings, strings[1:]):
            if line[b1:a2].strip() == "," and line[a1:b1] != line[a2:b2]:
                add("table swap", line[:a1] + line[a2:b2] + line[b1:a2] + line[a1:b1] + line[b2:])
        # A header's statements are declarations, but for its inline code.
        if (stripped.endswith(";") and not DECLARATION.match(line) and line.startswith("    ")
                and previous.endswith((";", "{", "}", ":"))):
            add("deleted statement", "")
        previous = stripped
    return found


def apply(root, mutant):
    path, n, _, _, new = mutant
    original = (root / path).read_text()
    lines = original.split("\n")
    lines[n] = new
    (root / path).write_text("\n".join(lines))
    return original


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def run_tests(command, cwd, timeout, shards=os.cpu_count() or 1):
    """The unit tests in as many shards as there are cores, at once, each
    stopping at its first failure: 0 when every shard passes, else the first
    failing shard's code, and the others are stopped."""
    procs = [subprocess.Popen(command + ["--gtest_fail_fast"], cwd=cwd,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env=dict(os.environ, GTEST_TOTAL_SHARDS=str(shards),
                                       GTEST_SHARD_INDEX=str(i))) for i in range(shards)]
    deadline, code = time.monotonic() + timeout, 0
    while code == 0 and any(p.poll() is None for p in procs):
        if time.monotonic() > deadline:
            code = "timeout"
        time.sleep(0.05)
        code = code or next((p.returncode for p in procs if p.returncode), 0)
    for p in procs:
        if p.poll() is None:
            p.kill()
        p.wait()
    return code or next((p.returncode for p in procs if p.returncode), 0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--count", type=int, default=170)
    parser.add_argument("--all", action="store_true", help="every mutant, not a sample")
    parser.add_argument("--shard", default="0/1", help="K/N: only every Nth mutant, from the Kth")
    args = parser.parse_args()
    repo = Path(__file__).resolve().parent.parent
    work = Path(tempfile.mkdtemp(prefix="talvex-mutation-"))
    root = work / "tree"
    try:
        for f in tree_files(repo):
            (root / f).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(repo / f, root / f)
        # ccache makes the rebuild of a restored file a cache hit.
        subprocess.run(["cmake", "--preset", "host", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"],
                       cwd=root, check=True, stdout=subprocess.DEVNULL)
        build = ["cmake", "--build", "build/host", "--target", "unit_tests"]
        tests = [str(root / "build/host/tests/unit_tests"), "--gtest_brief=1"]
        if run(build, root, 1200) != 0 or run_tests(tests, root, 300) != 0:
            sys.exit("mutation: the unmutated tree does not build or pass its tests")

        by_file = {}
        for path in logic_files(repo):
            by_file[path] = mutants_of(path, (root / path).read_text().split("\n"))
        pool = [m for ms in by_file.values() for m in ms]
        rng = random.Random(args.seed)
        # One mutant of every logic file first, then the rest at random.
        order = [rng.choice(ms) for ms in by_file.values() if ms]
        rest = [m for m in pool if m not in order]
        rng.shuffle(rest)
        order += rest
        shard, shards = map(int, args.shard.split("/"))
        order = order[shard::shards]
        print(f"mutation: seed {args.seed}, {len(pool)} possible mutants in {len(by_file)} files")

        # The sample, run file by file so that each file is rebuilt as few
        # times as possible; a stillborn mutant is replaced by the next one.
        wanted = len(order) if args.all else min(args.count, len(order))
        queue, spare = sorted(order[:wanted]), order[wanted:]
        killed, survived, stillborn = 0, [], 0
        while queue:
            mutant = queue.pop(0)
            original = apply(root, mutant)
            try:
                if run(build, root, 1200) != 0:
                    stillborn += 1
                    if spare:
                        queue.append(spare.pop(0))
                    continue
                outcome = run_tests(tests, root, 120)
            finally:
                (root / mutant[0]).write_text(original)
            path, n, kind, old, new = mutant
            where = f"{path}:{n + 1} {kind}: {old.strip()!r} -> {new.strip()!r}"
            if outcome == 0:
                survived.append(where)
                print(f"survived {where}", flush=True)
            else:
                killed += 1
                print(f"killed   {where}", flush=True)
        total = killed + len(survived)
        print(f"mutation: seed {args.seed}: {total} mutants ({stillborn} stillborn left out), "
              f"{killed} killed, {len(survived)} survived, kill ratio {killed / max(total, 1):.3f}")
        for where in survived:
            print(f"    survivor {where}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
