#!/usr/bin/env python3
"""The demo: a sample Talvex installation in a fresh Wine prefix, what is
installed, a run of talvexun.exe (silent, or with its boxes under Xvfb), and
what was removed and what stayed."""
import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import boxes  # noqa: E402
import end_state  # noqa: E402
import fixture  # noqa: E402
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
    work = Path(args.work)
    fx = fixture.load(args.fixture)
    print(f"Making a Wine prefix with the sample installation '{args.fixture}' ...")
    prefix = wine_prefix.fresh_prefix(args.cache, "nt", work / "demo")
    end_state.seed(prefix, fx, work, Path(args.bin))
    reg0, files0 = end_state.snapshot(prefix)
    keys = list(fx.all_keys().values())
    files = [where for where, _, _ in fx.files]
    startup = [w for w in files if w.lower().endswith((".sys", ".bat"))]
    print("\n== Installed")
    show("registry keys (the card's and their neighbours')", keys)
    print(f"values: {len(fx.values)}")
    show("files", files)
    for where in startup:
        print(f"--- {where}\n{prefix.place(where).read_bytes().decode('cp1252')}", end="")

    print(f"\n== Running talvexun.exe, the {wine_prefix.arch()} build, "
          + ("with its boxes (answering Yes)" if args.interactive
             else "silently (talvexun.exe /s)"))
    if args.interactive:
        shots = None
        if args.shots:
            Path(args.shots).mkdir(parents=True, exist_ok=True)
            shots = boxes.screenshot(Path(args.shots) / "demo")
        found, code = boxes.drive(prefix, Path(args.bin), b"talvexun.exe", [boxes.YES, boxes.OK],
                                  shots=shots)
        for text, buttons in found:
            print(f"box: {text.decode('cp1252')!r} buttons {[label for _, label in buttons]}")
        boxes.stop_display()
    else:
        code = prefix.wine(str(Path(args.bin) / "talvexun.exe"), "/s", check=False).returncode
    print(f"exit code: {code}")
    prefix.settle()
    reg1, files1 = end_state.snapshot(prefix)

    print("\n== Result")
    show("registry keys removed", [k for k in keys if k.lower() not in reg1])
    show("registry keys that stayed", [k for k in keys if k.lower() in reg1])
    gone_values = [f"{k}|{n}" for k, n, _, _ in fx.values
                   if k.lower() in reg1 and n.lower() not in reg1[k.lower()][1]]
    show("values removed from keys that stayed", gone_values)
    show("files removed", [w for w in files if not prefix.place(w).exists()])
    show("files that stayed", [w for w in files if prefix.place(w).exists()])
    for where in startup:
        print(f"--- {where} now\n{prefix.place(where).read_bytes().decode('cp1252')}", end="")
    problems = (end_state.registry_problems(fx, reg0, reg1)
                + end_state.file_problems(fx, prefix, files0, files1))
    print("\nEnd state: " + ("as expected; nothing else on the machine changed" if not problems
                             else "UNEXPECTED:\n    " + "\n    ".join(problems)))
    return 1 if problems or code != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
