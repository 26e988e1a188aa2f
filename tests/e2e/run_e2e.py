#!/usr/bin/env python3
"""End-to-end tests of talvexun.exe under Wine. Run as an unprivileged user:
as root, Wine would open read-only files for writing. Four workers run the
tests; the results print in plan order."""
import argparse
import os
import sys
import time
import traceback
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import boxes  # noqa: E402
import end_state  # noqa: E402
import wine_prefix  # noqa: E402

WORKERS = 4


def plan(ctx, shots):
    """(name, test, alone) in the order the results print."""
    tests = []
    for mode in wine_prefix.MODES:
        for name, (modes, _, copies) in ctx.fixtures().items():
            if mode not in modes:
                continue  # a fixture of the other family only
            tests.append((f"end-state {name} {mode}",
                          lambda n=name, m=mode: end_state.run_scenario(ctx, n, m), False))
            if mode == "nt" and copies > 1:
                tests += [(f"copies together {name} {mode}",
                           lambda n=name: end_state.copies_together(ctx, n), False),
                          (f"copies beside a held file {name} {mode}",
                           lambda n=name: end_state.held_file(ctx, n), False),
                          (f"copy beside a held mutex {name} {mode}",
                           lambda n=name: end_state.held_mutex(ctx, n), False),
                          (f"copy beside a pipe {name} {mode}",
                           lambda n=name: end_state.pipe_file(ctx, n), False)]
    return tests + boxes.tests(ctx, shots)


def outcome(test):
    """The problems a test finds, and the seconds it took."""
    start = time.monotonic()
    try:
        problems = test()
    except Exception:  # a harness fault fails the test, never the suite
        problems = [traceback.format_exc()]
    return problems, time.monotonic() - start


def main():
    if os.getuid() == 0:
        sys.exit("run_e2e: run this as an unprivileged user")
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", default="", help="run only tests whose name holds this")
    parser.add_argument("--shots", default="", help="folder for screenshots of the boxes")
    args = wine_prefix.parse_arguments(parser)
    ctx = end_state.Context(args.bin, args.cache, args.work)
    tests = [t for t in plan(ctx, args.shots) if args.only in t[0]]
    passed = failed = 0
    with ThreadPoolExecutor(WORKERS) as pool:
        # A test that takes screenshots runs alone, once those before it are done.
        running = []
        for name, test, alone in tests:
            if alone:
                for f in running:
                    f.result()
            future = pool.submit(outcome, test)
            if alone:
                future.result()
            running.append(future)
        for (name, _, _), future in zip(tests, running):
            problems, seconds = future.result()
            print(f"{'FAIL' if problems else 'ok  '} {name} ({seconds:.1f} s)")
            for p in problems[:20]:
                print(f"    {p}")
            failed, passed = failed + bool(problems), passed + (not problems)
            sys.stdout.flush()
    boxes.stop_display()
    print(f"e2e: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
