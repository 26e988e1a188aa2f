#!/usr/bin/env python3
"""Times silent runs of talvexun.exe under Wine, on a freshly seeded full
installation and on an empty machine, each beside talvex_idle.exe (built the
same way, importing the same DLLs, doing nothing), with a warm server, and
reports the ratio of the two. Each run is timed from inside Wine, from
process creation to exit, by box_driver.exe: the `wine` launcher's own wait
of about 64 ms would floor both."""
import argparse
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import end_state  # noqa: E402
import wine_prefix  # noqa: E402


def timed(ctx, prefix, exe):
    """Seconds from the creation of the exe's process to its exit."""
    words = ctx.driver_run(prefix, "together", "1", "-", end_state.windows_path(ctx.bin / exe),
                           f"{exe} /s".encode().hex()).stdout.decode("ascii", "replace").split()
    if words[:1] != ["TIME"] or words[2:4] != ["EXIT", "0"]:
        raise RuntimeError(f"{exe}: {words}")
    return int(words[1]) / 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    args = wine_prefix.parse_arguments(parser)
    ctx = end_state.Context(args.bin, args.cache, args.work)
    prefix = wine_prefix.copy_prefix(wine_prefix.template(ctx.cache, "nt"), ctx.folder("bench"))
    # Warm: a persistent server stays between the runs.
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=prefix.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The first runs in a fresh prefix load Wine's own files; they are not timed.
    for exe in ("talvex_idle.exe", "talvexun.exe") * 2:
        timed(ctx, prefix, exe)
    for name in ("full", "empty"):
        fixture = end_state.windows_path(end_state.FIXTURES / f"{name}.txt")
        program, idle = [], []
        for _ in range(args.runs):
            ctx.driver_run(prefix, "seed", fixture, check=True)
            idle.append(timed(ctx, prefix, "talvex_idle.exe"))
            program.append(timed(ctx, prefix, "talvexun.exe"))
        p, i = statistics.median(program), statistics.median(idle)
        print(f"wine {wine_prefix.arch()} {name}: talvexun.exe /s {p * 1000:.1f} ms,"
              f" talvex_idle.exe {i * 1000:.1f} ms (medians of {args.runs} pairs), ratio {p / i:.2f}")
    prefix.settle()
    server.wait(timeout=60)


if __name__ == "__main__":
    main()
