"""Seeds each fixture and mode once into a master prefix with box_driver.exe,
and runs scenarios on copies of it: each item seeded must have become what
box_driver.exe said it must, and nothing else in HKLM or on drive C: may
have changed."""
import hashlib
import os
import pickle
import shutil
import stat
import tempfile
import threading
from pathlib import Path

import wine_prefix

FIXTURES = Path(__file__).parent / "fixtures"
MESSAGES = Path(__file__).parent / "messages.txt"
CLEAN_UP_MUTEX = "TalvexUninstallerCleanUp"
# How long a copy waits for the clean-up mutex, and what a loaded machine adds.
MUTEX_WAIT, MARGIN = 10, 15


def names():
    return sorted(p.stem for p in FIXTURES.glob("*.txt"))


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def words(out):
    """box_driver's report: its lines, split into words."""
    return [line.split() for line in out.decode("ascii", "replace").splitlines() if line.split()]


def text(hex_utf8):
    return bytes.fromhex(hex_utf8).decode("utf-8")


class Context:
    """What every scenario needs: the builds, the cache, the work folder."""

    def __init__(self, bin_dir, cache, work):
        self.bin, self.cache, self.work = Path(bin_dir), Path(cache), Path(work)
        self.exe = self.bin / "talvexun.exe"
        self.driver = self.bin / "box_driver.exe"
        self._fixtures = None
        self._masters = {}
        self._lock = threading.Lock()

    def driver_run(self, prefix, *verbs, check=False, **kwargs):
        return prefix.wine(str(self.driver), *verbs, check=check, **kwargs)

    def folder(self, name):
        """A work folder of its own for each scenario."""
        return tempfile.mkdtemp(prefix=f"{name}-", dir=self.work)

    def fixtures(self):
        """{name: (modes, code page, copies)}, as box_driver.exe reads them."""
        with self._lock:
            if self._fixtures is None:
                prefix = wine_prefix.copy_prefix(wine_prefix.template(self.cache, "nt"),
                                                 self.work / "describe")
                out = words(self.driver_run(prefix, "describe", *[
                    windows_path(FIXTURES / f"{n}.txt") for n in names()]).stdout)
                prefix.settle()
                shutil.rmtree(prefix.path.parent, ignore_errors=True)
                if [w[1] for w in out] != names():  # FIXTURE name code page copies modes...
                    raise RuntimeError(f"box_driver cannot read the fixtures: {out}")
                self._fixtures = {w[1]: (set(w[4:]), int(w[2]), int(w[3])) for w in out}
            return self._fixtures

    def master(self, name, mode):
        with wine_prefix.lock(("master", name, mode)):
            if (name, mode) not in self._masters:
                self._masters[name, mode] = Master(self, name, mode)
            return self._masters[name, mode]


class Master:
    """A fixture seeded into a prefix of the mode, and what it seeded. Kept
    in the cache only while nothing it came from changed: the fixture's
    bytes, box_driver.exe, the harness, the Wine version and the build."""

    def __init__(self, ctx, name, mode):
        self.name, self.mode = name, mode
        self.codepage = ctx.fixtures()[name][1]
        folder = ctx.cache / "masters" / f"{wine_prefix.arch()}-{mode}-{name}"
        stamp = hashlib.sha256()
        for part in ((FIXTURES / f"{name}.txt").read_bytes(), ctx.driver.read_bytes(),
                     Path(__file__).read_bytes(), Path(wine_prefix.__file__).read_bytes(),
                     wine_prefix.wine_version().encode(), wine_prefix.arch().encode(),
                     mode.encode()):
            stamp.update(hashlib.sha256(part).digest())
        saved = folder / "seeded.pickle"
        if saved.exists() and (folder / "stamp").exists() and \
                (folder / "stamp").read_text() == stamp.hexdigest():
            self.__dict__.update(pickle.loads(saved.read_bytes()))
            return
        shutil.rmtree(folder, ignore_errors=True)
        prefix = wine_prefix.copy_prefix(wine_prefix.template(ctx.cache, mode), folder)
        # Wine sets up its fonts for a code page at its first start in it.
        prefix.env.update(wine_prefix.locale_env(self.codepage, ctx.work))
        out = ctx.driver_run(prefix, "seed", windows_path(FIXTURES / f"{name}.txt"))
        report = words(out.stdout)
        prefix.settle()
        failed = [" ".join(w) for w in report if w[0] == "FAILED"]
        if out.returncode != 0 or failed:
            raise RuntimeError(f"seeding {name} in {mode} mode failed: {failed or out.stdout}")
        retyped = [text(w[1]) for w in report if w[0] == "RETYPE"]
        if retyped:
            wine_prefix.retype_link_values(prefix, retyped)
        self.keys = {text(w[1]): w[2] for w in report if w[0] == "KEY"}
        self.values = {(text(w[1]), text(w[2])): w[3] for w in report if w[0] == "VALUE"}
        self.files = {text(w[1]): (w[3], bytes.fromhex(w[2].strip("-")))
                      for w in report if w[0] == "FILE"}
        self.registry = wine_prefix.read_registry(prefix)
        self.file_state = wine_prefix.file_state(prefix)
        self.path = prefix.path
        unseen = [k for k in self.keys if k.lower() not in self.registry] + [
            f"{k}|{n}" for k, n in self.values
            if n.lower() not in self.registry.get(k.lower(), ("", {}))[1]] + [
            f for f in self.files if f[3:].lower() not in self.file_state]
        if unseen:
            raise RuntimeError(f"seeding {name} in {mode} mode: not there after all: {unseen}")
        saved.write_bytes(pickle.dumps(self.__dict__))
        (folder / "stamp").write_text(stamp.hexdigest())

    def copy(self, where):
        return wine_prefix.copy_prefix(self.path, where, [
            str(wine_prefix.Prefix(self.path).unix_path(f).relative_to(self.path))
            for f in self.files])

    def problems(self, prefix, after, unchanged=False, kept=(), skip=()):
        """Where the prefix differs from what must be: each item seeded as
        box_driver.exe said it must become (with `unchanged` as seeded, and
        the files `kept` too), all else in HKLM and on drive C: as it was, the
        keys above those seeded aside, and the files `skip`."""
        problems = []

        def expect(what, want, have):
            if want != have:
                problems.append(f"{what}: {'missing' if want else 'still there'}")
            return want and have
        keys = {k.lower(): fate == "stays" or unchanged for k, fate in self.keys.items()}
        values = {(k.lower(), n.lower()): fate == "stays" or unchanged
                  for (k, n), fate in self.values.items()}
        above = {a.lower() for k in self.keys for a in wine_prefix.keys_above(k)} - set(keys)
        for folded, (key, before) in self.registry.items():
            if folded in above or not expect(f"key {key}", keys.get(folded, True),
                                             folded in after):
                continue
            now = after[folded][1]
            for name, raw in before.items():
                if expect(f"value {key}|{name}", values.get((folded, name), True), name in now) \
                        and now[name] != raw:
                    problems.append(f"value {key}|{name}: changed")
            problems += [f"value {key}|{name}: created" for name in now if name not in before]
        problems += [f"key {key}: created" for k, (key, _) in after.items() if k not in self.registry]
        seeded = {where[3:].lower(): where for where in self.files}
        files = wine_prefix.file_state(prefix)
        for rel, state in self.file_state.items():
            where = seeded.get(rel)
            fate, data = self.files.get(where, ("stays", None))
            same = unchanged or where in kept or where is None
            if where in skip or not expect(f"file {where or rel}", same or fate == "stays",
                                           rel in files):
                continue
            if where is None and files[rel] != state:
                problems.append(f"file {rel}: changed")
            elif where is not None:
                have = prefix.unix_path(where).read_bytes()
                want = wine_prefix.Prefix(self.path).unix_path(where).read_bytes() if same else data
                at = next((i for i, (h, w) in enumerate(zip(have, want)) if h != w),
                          min(len(have), len(want)))
                problems += [f"file {where}: {len(have)} bytes, expected {len(want)}; from byte"
                             f" {at} it holds {have[at:at + 60]!r}, expected {want[at:at + 60]!r}"
                             ] if have != want else []
                problems += [f"file {where}: read-only flag changed"] if files[rel][3] != state[3] else []
        return problems + [f"file {rel}: created" for rel in files if rel not in self.file_state]


def run_scenario(ctx, name, mode, action=None, unchanged=False, kept=(), pipe=None):
    """Runs the exe on a copy of the fixture's master, as many times as its
    copies, one after another (or `action`), and returns the problems found.
    With `unchanged`, everything must stay as seeded; the files `kept` must,
    and the file `pipe`, made a Unix pipe first, must stay one."""
    master = ctx.master(name, mode)
    prefix = master.copy(ctx.folder(f"{name}-{mode}"))
    prefix.env.update(wine_prefix.locale_env(master.codepage, ctx.work))
    if pipe:
        prefix.unix_path(pipe).unlink()
        os.mkfifo(prefix.unix_path(pipe))
    if action is None:
        copies = ctx.fixtures()[name][2]
        run = ["together", "1", "-", windows_path(ctx.exe), b"talvexun.exe /s".hex()]
        out = words(ctx.driver_run(prefix, *(run + ["--"]) * (copies - 1), *run).stdout)
        exits = [w[w.index("EXIT") + 1] for w in out if "EXIT" in w]
        problems = [] if exits == ["0"] * copies else [f"the runs: {out}"]
    else:
        problems = action(prefix)
    prefix.settle()
    problems += master.problems(prefix, wine_prefix.read_registry(prefix), unchanged, kept,
                                [pipe] if pipe else [])
    if pipe and not stat.S_ISFIFO(os.lstat(prefix.unix_path(pipe)).st_mode):
        problems.append(f"file {pipe}: no longer a pipe")
    if not problems:
        shutil.rmtree(prefix.path.parent, ignore_errors=True)
    return problems


def together(ctx, prefix, copies, hold="-", seconds=None):
    """Starts `copies` silent copies at once with box_driver.exe, which holds
    `hold` meanwhile (a file, or "mutex:NAME"); the problems with their exits,
    and with their times where `seconds` (the least, the most) bounds them."""
    out = ctx.driver_run(prefix, "together", str(copies), hold, windows_path(ctx.exe),
                         b"talvexun.exe /s".hex(), timeout=300).stdout.split()
    if out[2::4] != [b"EXIT"] * copies or out[3::4] != [b"0"] * copies:
        return [out]
    times = [int(t) / 1e6 for t in out[1::4]]
    if seconds and not all(seconds[0] <= t <= seconds[1] for t in times):
        return [f"ended after {times} s, not within {seconds[0]} to {seconds[1]} s"]
    return []


def copies_together(ctx, name, rounds=20):
    """The fixture's copies started together, `rounds` times, in NT mode, in
    one Wine session: each round must end as runs one after another do, each
    item checked live, then seeded again; after the last, all else too."""
    copies, fixture = ctx.fixtures()[name][2], windows_path(FIXTURES / f"{name}.txt")
    run = ["together", str(copies), "-", windows_path(ctx.exe), b"talvexun.exe /s".hex(), "--",
           "check", fixture]

    def action(prefix):
        verbs = (run + ["--", "seed", fixture, "--"]) * (rounds - 1) + run
        found = ctx.driver_run(prefix, *verbs, timeout=600).stdout.split(b"CHECKED")[:-1]
        problems = [] if len(found) == rounds else [f"{len(found)} of {rounds} rounds ran"]
        for number, lines in enumerate(map(words, found), 1):
            exits = [w[w.index("EXIT") + 1] for w in lines if "EXIT" in w]
            wrong = [" ".join(w) for w in lines if w[0] == "FAILED"] + [f"exits {exits}"] * (
                exits != ["0"] * copies)
            problems += [f"round {number}: {p}" for p in wrong[:3]]
        return problems
    return run_scenario(ctx, name, "nt", action=action)


def held_file(ctx, name, where="C:\\autoexec.bat"):
    """One copy while another program holds a start-up file open: that file
    stays as it was, the rest is cleaned, and the copy ends."""
    return run_scenario(ctx, name, "nt", kept=[where], action=lambda prefix: together(
        ctx, prefix, 1, where))


def held_mutex(ctx, name):
    """One copy while another program owns the clean-up mutex throughout: it
    waits the bound out, then cleans everything all the same and ends."""
    return run_scenario(ctx, name, "nt", action=lambda prefix: together(
        ctx, prefix, 1, f"mutex:{CLEAN_UP_MUTEX}", (MUTEX_WAIT, MUTEX_WAIT + MARGIN)))


def pipe_file(ctx, name, where="C:\\autoexec.bat"):
    """One copy where a start-up file is a Unix pipe that no one writes, whose
    read would never return: the copy leaves it alone, cleans the rest and
    ends."""
    return run_scenario(ctx, name, "nt", pipe=where, action=lambda prefix: together(
        ctx, prefix, 1, seconds=(0, MARGIN)))
