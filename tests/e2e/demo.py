#!/usr/bin/env python3
"""The demo: a sample Talvex installation in a Wine prefix, what is
installed, a run of talvexun.exe (silent, or with its boxes under Xvfb), and
what was removed and what stayed."""
import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import boxes  # noqa: E402
import end_state  # noqa: E402
import wine_prefix  # noqa: E402


def show(title, names):
    print(f"{title}: {len(names)}")
    for name in names:
        print(f"    {name}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--interactive", action="store_true")
    parser.add_argument("--shots", default="")
    parser.add_argument("--fixture", default="full")
    args = wine_prefix.parse_arguments(parser)
    ctx = end_state.Context(args.bin, args.cache, args.work)
    print(f"Making a Wine prefix with the sample installation '{args.fixture}' ...")
    master = ctx.master(args.fixture, "nt")
    prefix = master.copy(ctx.folder("demo"))
    keys, files = list(master.keys), list(master.files)
    startup = [f for f in files if f.lower().endswith((".sys", ".bat"))]
    print("\n== Installed")
    show("registry keys (the card's and their neighbours')", keys)
    print(f"values: {len(master.values)}")
    show("files", files)
    for where in startup:
        print(f"--- {where}\n{prefix.unix_path(where).read_bytes().decode('cp1252')}", end="")

    print(f"\n== Running talvexun.exe, the {wine_prefix.arch()} build, "
          + ("with its boxes (answering Yes)" if args.interactive
             else "silently (talvexun.exe /s)"))
    if args.interactive:
        shots = None
        if args.shots:
            Path(args.shots).mkdir(parents=True, exist_ok=True)
            shots = boxes.screenshot(Path(args.shots) / "demo")
        found, code = boxes.drive(ctx, prefix, b"talvexun.exe", [boxes.YES, boxes.OK],
                                  shots=shots)
        for _, text, _ in found:
            print(f"box: {text.decode('cp1252')!r}")
        boxes.stop_display()
    else:
        code = prefix.wine(str(ctx.exe), "/s", check=False).returncode
    print(f"exit code: {code}")
    prefix.settle()
    after = wine_prefix.read_registry(prefix)

    print("\n== Result")
    show("registry keys removed", [k for k in keys if k.lower() not in after])
    show("registry keys that stayed", [k for k in keys if k.lower() in after])
    show("values removed from keys that stayed",
         [f"{k}|{n}" for k, n in master.values
          if k.lower() in after and n.lower() not in after[k.lower()][1]])
    show("files removed", [f for f in files if not prefix.unix_path(f).exists()])
    show("files that stayed", [f for f in files if prefix.unix_path(f).exists()])
    for where in startup:
        print(f"--- {where} now\n{prefix.unix_path(where).read_bytes().decode('cp1252')}", end="")
    problems = master.problems(prefix, after)
    print("\nEnd state: " + ("as expected; nothing else on the machine changed" if not problems
                             else "UNEXPECTED:\n    " + "\n    ".join(problems)))
    return 1 if problems or code != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
