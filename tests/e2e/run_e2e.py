#!/usr/bin/env python3
"""End-to-end tests of talvexun.exe under Wine. Run as an unprivileged user:
as root, Wine would open read-only files for writing."""
import argparse
import os
import sys
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import end_state  # noqa: E402
import fixture  # noqa: E402
import wine_prefix  # noqa: E402


def main():
    if os.getuid() == 0:
        sys.exit("run_e2e: run this as an unprivileged user")
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", default="", help="run only tests whose name holds this")
    parser.add_argument("--shots", default="", help="folder for screenshots of the boxes")
    args = wine_prefix.parse_arguments(parser)
    work = Path(args.work)
    exe = Path(args.bin) / "talvexun.exe"

    tests = []
    for mode in wine_prefix.MODES:
        for name in fixture.names():
            modes = fixture.load(name).modes
            if modes and mode not in modes:
                continue  # a fixture of the other family only
            tests.append((f"end-state {name} {mode}",
                          lambda n=name, m=mode: end_state.run_scenario(n, m, exe, args.cache,
                                                                        work)))
            if mode == "nt" and fixture.load(name).copies > 1:
                tests.append((f"copies together {name} {mode}", lambda n=name:
                              end_state.copies_together(n, exe, args.cache, work)))
                tests.append((f"copies beside a held file {name} {mode}", lambda n=name:
                              end_state.held_file(n, exe, args.cache, work)))
                tests.append((f"copy beside a held mutex {name} {mode}", lambda n=name:
                              end_state.held_mutex(n, exe, args.cache, work)))
                tests.append((f"copy beside a pipe {name} {mode}", lambda n=name:
                              end_state.pipe_file(n, exe, args.cache, work)))
    import boxes  # noqa: E402  (needs Xvfb, started lazily)
    tests += boxes.tests(Path(args.bin), args.cache, work, args.shots)

    passed = failed = 0
    for name, test in tests:
        if args.only not in name:
            continue
        try:
            problems = test()
        except Exception:  # a harness fault fails the test, never the suite
            problems = [traceback.format_exc()]
        if problems:
            failed += 1
            print(f"FAIL {name}")
            for p in problems[:20]:
                print(f"    {p}")
        else:
            passed += 1
            print(f"ok   {name}")
        sys.stdout.flush()
    boxes.stop_display()
    print(f"e2e: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
