"""The two boxes as a user meets them, and the command-line forms, under Xvfb.

box_driver.exe (built with the program) starts talvexun.exe with an exact
command line, finds each box captioned "Talvex", reports its text and
buttons, and presses the button it is told to."""
import shutil
import subprocess
import time
from pathlib import Path

import end_state
import fixture
import wine_prefix

YES, NO, OK = 6, 7, 1
_display = {}


def texts():
    """The texts each set's boxes must show, as code page 1252 bytes."""
    sets = {}
    for line in (Path(__file__).parent / "messages.txt").read_text(encoding="cp1252").splitlines():
        if line and not line.startswith("#"):
            fields = line.split("|")
            name, prompt, completion = fields[0], fields[-3], fields[-2]
            sets[name] = (fixture.unescape(prompt), fixture.unescape(completion))
    return sets


LOCALES = [("de_DE.UTF-8", "de"), ("es_ES.UTF-8", "es"), ("fr_FR.UTF-8", "fr"),
           ("nl_NL.UTF-8", "nl"), ("en_GB.UTF-8", "en"), ("pt_BR.UTF-8", "en"),
           ("C.UTF-8", "en")]


def display():
    """A private Xvfb display, started on first use and waited for."""
    if "name" in _display:
        return _display["name"]
    for n in range(90, 130):
        if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
            break
    proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 15
    while not Path(f"/tmp/.X11-unix/X{n}").exists():
        if time.monotonic() > deadline or proc.poll() is not None:
            raise RuntimeError("Xvfb did not start")
        time.sleep(0.05)
    _display.update(name=f":{n}", proc=proc)
    return _display["name"]


def stop_display():
    if "proc" in _display:
        _display["proc"].terminate()
        _display["proc"].wait(timeout=10)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def drive(prefix, bin_dir, command_line, answers, locale="C.UTF-8", shots=None):
    """Runs talvexun.exe through box_driver; returns ([(text, [(id, label)])], exit)."""
    hold = prefix.path.parent / "hold"
    args = ["timeout", "90", wine_prefix.loader(), str(bin_dir / "box_driver.exe"), "launch",
            windows_path(bin_dir / "talvexun.exe"), command_line.hex(), "30000",
            windows_path(hold) if shots else "-"] + [str(a) for a in answers]
    env = dict(prefix.env, DISPLAY=display(), LC_ALL=locale, LANG=locale)
    proc = subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            cwd=prefix.path.parent)
    found, code = [], None
    for raw in proc.stdout:
        words = raw.decode("ascii", "replace").split()
        if words and words[0] == "BOX":
            text = bytes.fromhex(words[1].split("=", 1)[1])
            buttons = []
            for w in words[2:]:
                ident, _, label = w.split("=", 1)[1].partition(":")
                buttons.append((int(ident), bytes.fromhex(label).decode("cp1252")))
            found.append((text, sorted(buttons)))
            if shots:
                shots(len(found))
                hold.write_text("go")
        elif words and words[0] == "EXIT":
            code = int(words[1])
            break  # Wine's services may hold the pipe open for a while yet
        elif words and words[0] in ("TIMEOUT", "LAUNCH-FAILED"):
            code = words[0]
            break
    proc.wait(timeout=60)
    proc.stdout.close()
    return found, code


def screenshot(target):
    def take(number):
        raw = target.with_suffix(f".raw{number}.png")
        subprocess.run(["import", "-display", display(), "-window", "root", str(raw)],
                       check=True, timeout=30)
        final = target.parent / f"{target.name}-{'confirmation' if number == 1 else 'completion'}.png"
        subprocess.run(["convert", str(raw), "-trim", "+repage", "-strip", "-colors", "64",
                        str(final)], check=True, timeout=30)
        raw.unlink()
    return take


def check_boxes(found, code, language, answered_yes):
    prompt, completion = texts()[language]
    problems = [] if code == 0 else [f"exit code {code}"]
    expected = 2 if answered_yes else 1
    if len(found) != expected:
        return problems + [f"{len(found)} boxes, expected {expected}"]
    if found[0][0] != prompt:
        problems.append(f"confirmation text {found[0][0]!r}")
    if [b[0] for b in found[0][1]] != [YES, NO]:
        problems.append(f"confirmation buttons {found[0][1]}")
    if answered_yes:
        if found[1][0] != completion:
            problems.append(f"completion text {found[1][0]!r}")
        if [b[0] for b in found[1][1]] != [OK]:
            problems.append(f"completion buttons {found[1][1]}")
    return problems


def interactive(bin_dir, cache, work, fixture_name, answers, language, locale, shots_dir=""):
    answered_yes = answers[0] == YES

    def action(prefix):
        shots = None
        if shots_dir:
            Path(shots_dir).mkdir(parents=True, exist_ok=True)
            shots = screenshot(Path(shots_dir) / f"box-{language}")
        found, code = drive(prefix, bin_dir, b"talvexun.exe", answers, locale, shots)
        return check_boxes(found, code, language, answered_yes)

    return end_state.run_scenario(fixture_name, "nt", bin_dir / "talvexun.exe", cache, work,
                                  action=action, unchanged=not answered_yes)


# (name, command line bytes, locale, whether the confirmation box shows)
COMMAND_LINES = [
    ("name only", b"talvexun.exe", "C.UTF-8", True),
    ("quoted name", b'"C:\\Program Files\\Talvex\\talvexun.exe"', "C.UTF-8", True),
    ("blanks and tabs after the name", b"talvexun.exe  \t ", "C.UTF-8", True),
    ("word after a quoted name", b'"C:\\Program Files\\talvexun.exe" now', "C.UTF-8", False),
    ("character behind the closing quote", b'"talvexun.exe"x', "C.UTF-8", False),
    ("unterminated quote", b'"C:\\Talvex\\talvexun.exe -s', "C.UTF-8", True),
    ("0xA0 after a blank", b"talvexun.exe \xa0", "C.UTF-8", False),
    ("option-like tail", b"talvexun.exe /?", "C.UTF-8", False),
    ("double-byte name running to the end", b'"talvexun\x82\xa0.exe', "ja_JP.UTF-8", True),
    ("double-byte name then a word", b'"talvexun\x82\xa0.exe" x', "ja_JP.UTF-8", False),
    ("quote in trail position, code page 932", b'"talvexun\x81" x', "ja_JP.UTF-8", True),
    ("the same line, code page 1252", b'"talvexun\x81" x', "C.UTF-8", False),
]


def command_line_test(bin_dir, cache, work, line, locale, expect_box):
    prefix = wine_prefix.fresh_prefix(cache, "nt", work / "command-lines")
    try:
        found, code = drive(prefix, bin_dir, line, [NO], locale)
    finally:
        prefix.settle()
        shutil.rmtree(prefix.path.parent, ignore_errors=True)
    problems = [] if code == 0 else [f"exit code {code}"]
    if (len(found) == 1) != expect_box or len(found) > 1:
        problems.append(f"{len(found)} boxes for {line!r}")
    return problems


def tests(bin_dir, cache, work, shots_dir):
    # (name, answers, language, locale, screenshots), on the full installation
    runs = [("English, No changes nothing", [NO], "en", "C.UTF-8", ""),
            ("English, Yes cleans the machine", [YES, OK], "en", "C.UTF-8", shots_dir),
            ("German, No changes nothing", [NO], "de", "de_DE.UTF-8", "")]
    found = [(f"boxes {name}", lambda a=a, g=g, lc=lc, s=s: interactive(
        bin_dir, cache, work, "full", a, g, lc, s)) for name, a, g, lc, s in runs]
    for locale, language in LOCALES:
        shots = shots_dir if locale.startswith("de_") else ""
        found.append((f"boxes {locale}, Yes",
                      lambda l=locale, g=language, s=shots: interactive(
                          bin_dir, cache, work, "empty", [YES, OK], g, l, s)))
    for name, line, locale, box in COMMAND_LINES:
        found.append((f"command line: {name}",
                      lambda ln=line, lc=locale, b=box: command_line_test(
                          bin_dir, cache, work, ln, lc, b)))
    return found
