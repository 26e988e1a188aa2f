"""Seeds a fixture into a Wine prefix and compares the whole end state."""
import os
import shutil

import fixture as fixtures
import wine_prefix


def seed_files(prefix, fx):
    for where_name, data, read_only in fx.files:
        wine_prefix.write_file(prefix.place(where_name), data, read_only)


def write_regedit4(fx, work):
    reg = work / f"{fx.name}.reg"
    reg.write_bytes(fixtures.to_regedit4(fx))
    return reg


def seed(prefix, fx, work, tools):
    """Seeds files, keys and values, then what regedit cannot make: keys named
    in UTF-16, and links with box_driver.exe from the folder `tools`."""
    seed_files(prefix, fx)
    prefix.wine("regedit", "/S", str(write_regedit4(fx, work)))
    for path in fx.wide_keys:  # reg.exe takes its arguments in UTF-16
        prefix.wine("reg", "add", "HKLM\\" + path, "/f")
    for path, target in fx.links + fx.sz_links:
        prefix.wine(str(tools / "box_driver.exe"), "link", path, target)
    prefix.settle()
    if fx.sz_links:
        wine_prefix.retype_link_values(prefix, [path for path, _ in fx.sz_links])


def snapshot(prefix):
    return wine_prefix.read_registry(prefix), wine_prefix.file_state(prefix)


def registry_problems(fx, before, after):
    problems = []
    seeded = fx.all_keys()
    for folded, key in seeded.items():
        want = fixtures.expected_present(fx, key)
        if (folded in after) != want:
            problems.append(f"key {key}: {'missing' if want else 'still there'}")
    for key, name, kind, data in fx.values:
        folded = key.lower()
        want = (fixtures.expected_present(fx, key)
                and (folded, name.lower()) not in fx.gone_values)
        have = folded in after and name.lower() in after[folded][1]
        if have != want:
            problems.append(f"value {key}|{name}: {'missing' if want else 'still there'}")
        elif have and kind == "sz" and wine_prefix.registry_string(
                after[folded][1][name.lower()]) != data.decode(fx.codec):
            problems.append(f"value {key}|{name}: changed")
    exempt = {above for key in seeded for above in wine_prefix.keys_above(key)}
    seeded_values = {(k.lower(), n.lower()) for k, n, _, _ in fx.values}
    for folded, (key, values) in before.items():
        if folded in exempt:
            continue
        if folded in seeded:
            if folded in after:
                others = {n: v for n, v in values.items() if (folded, n) not in seeded_values}
                now = {n: v for n, v in after[folded][1].items()
                       if (folded, n) not in seeded_values}
                if others != now:
                    problems.append(f"key {key}: values of others changed")
            continue
        if folded not in after:
            problems.append(f"key {key}: removed, but not the card's")
        elif after[folded][1] != values:
            problems.append(f"key {key}: values changed")
    for folded, (key, _) in after.items():
        if folded not in before:
            problems.append(f"key {key}: created")
    return problems


def file_problems(fx, prefix, before, after):
    problems = []
    seeded = {}
    for where_name, data, _ in fx.files:
        rel = str(prefix.place(where_name).relative_to(prefix.drive_c)).replace("/", "\\")
        seeded[rel.lower()] = (where_name, data)
    for rel, (where_name, data) in seeded.items():
        path = prefix.place(where_name)
        gone = where_name.lower() in fx.gone_files
        if path.exists() == gone:
            problems.append(f"file {where_name}: {'still there' if gone else 'missing'}")
        elif not gone:
            want = fx.becomes.get(where_name.lower(), data)
            have = path.read_bytes()
            if have != want:
                at = next((i for i, (h, w) in enumerate(zip(have, want)) if h != w),
                          min(len(have), len(want)))
                problems.append(f"file {where_name}: {len(have)} bytes, expected {len(want)};"
                                f" from byte {at} it holds {have[at:at + 80]!r},"
                                f" expected {want[at:at + 80]!r}")
    for rel, state in before.items():
        if rel in seeded:
            continue
        if rel not in after:
            problems.append(f"file {rel}: removed, but not the card's")
        elif after[rel] != state:
            problems.append(f"file {rel}: changed")
    for rel in after:
        if rel not in before:
            problems.append(f"file {rel}: created")
    return problems


def run_scenario(name, mode, exe, cache, work, command=("/s",), action=None, unchanged=False,
                 kept=(), pipe=None):
    """Seeds, runs the exe as many times as the fixture's copies, one after
    another (or `action`), and returns the problems found. With `unchanged`,
    the whole machine must stay as seeded; the files `kept` must, and the
    file `pipe`, which `action` makes a pipe, must stay one."""
    fx = fixtures.load(name)
    if unchanged:
        fx.gone_keys, fx.gone_values, fx.gone_files, fx.becomes = set(), set(), set(), {}
    for where_name in kept:
        fx.becomes.pop(where_name.lower())

    prefix = wine_prefix.fresh_prefix(cache, mode, work / f"{name}-{mode}")
    prefix.env.update(wine_prefix.locale_env(fx.codec, work))
    seed(prefix, fx, work, exe.parent)
    if pipe:  # compared as a file of others': it must stay the same pipe
        prefix.place(pipe).unlink()
        os.mkfifo(prefix.place(pipe))
        fx.files = [f for f in fx.files if f[0].lower() != pipe.lower()]
        fx.becomes.pop(pipe.lower(), None)
    reg0, files0 = snapshot(prefix)
    if action is None:
        codes = [prefix.wine(str(exe), *command, check=False).returncode for _ in range(fx.copies)]
        exit_problems = [f"exit code {code}" for code in codes if code != 0]
    else:
        exit_problems = action(prefix)
    prefix.settle()
    reg1, files1 = snapshot(prefix)
    problems = exit_problems + registry_problems(fx, reg0, reg1)
    problems += file_problems(fx, prefix, files0, files1)
    if not problems:
        shutil.rmtree(prefix.path.parent, ignore_errors=True)
    return problems



def together(prefix, exe, copies, hold="-", seconds=None):
    """Starts `copies` silent copies at once with box_driver.exe, which holds
    `hold` meanwhile (a file, or "mutex:NAME"); the problems with their exits,
    and with their times where `seconds` (the least, the most) bounds them."""
    out = prefix.wine(str(exe.parent / "box_driver.exe"), "together", str(copies), hold,
                      "Z:" + str(exe.resolve()).replace("/", "\\"), b"talvexun.exe /s".hex(),
                      timeout=300, check=False).stdout.split()
    if out[2::4] != [b"EXIT"] * copies or out[3::4] != [b"0"] * copies:
        return [out]
    times = [int(t) / 1e6 for t in out[1::4]]
    if seconds and not all(seconds[0] <= t <= seconds[1] for t in times):
        return [f"ended after {times} s, not within {seconds[0]} to {seconds[1]} s"]
    return []


def copies_together(name, exe, cache, work, rounds=20):
    """The fixture's copies started together, `rounds` times, in NT mode: each
    time they must end as the same runs one after another do."""
    copies = fixtures.load(name).copies
    found = [run_scenario(name, "nt", exe, cache, work, action=lambda p: together(p, exe, copies))
             for _ in range(rounds)]
    failed = [f"round {r + 1}: {p}" for r, problems in enumerate(found) for p in problems[:3]]
    return [f"{sum(map(bool, found))} of {rounds} rounds failed"] + failed if failed else []


def held_file(name, exe, cache, work, where_name="C\\autoexec.bat"):
    """One copy while another program holds a start-up file open: that file
    stays as it was, the rest is cleaned, and the copy ends."""
    return run_scenario(name, "nt", exe, cache, work, kept=[where_name], action=lambda prefix:
                        together(prefix, exe, 1, where_name.replace("C", "C:", 1)))


# How long a copy waits for the clean-up mutex, and what a loaded machine adds.
MUTEX_WAIT, MARGIN = 10, 15


def held_mutex(name, exe, cache, work):
    """One copy while another program owns the clean-up mutex throughout: it
    waits the bound out, then cleans everything all the same and ends."""
    return run_scenario(name, "nt", exe, cache, work, action=lambda prefix: together(
        prefix, exe, 1, "mutex:TalvexUninstallerCleanUp", (MUTEX_WAIT, MUTEX_WAIT + MARGIN)))


def pipe_file(name, exe, cache, work, where_name="C\\autoexec.bat"):
    """One copy where a start-up file is a Unix pipe that no one writes, whose
    read would never return: the copy leaves it alone, cleans the rest and
    ends."""
    return run_scenario(name, "nt", exe, cache, work, pipe=where_name, action=lambda prefix:
                        together(prefix, exe, 1, seconds=(0, MARGIN)))
