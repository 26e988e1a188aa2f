"""The two boxes as a user meets them, and the command-line forms, under Xvfb.

box_driver.exe (built with the program) starts talvexun.exe with an exact
command line, finds each box captioned "Talvex", reports its text, which
set of messages.txt that text is, and its buttons, and presses the button it
is told to."""
import subprocess
from pathlib import Path

import end_state
import wine_prefix

YES, NO, OK, ESCAPE, CLOSE = 6, 7, 1, 27, 16  # the last two dismiss the box
_display = {}

# Each set once, and a language of no set; English in the C locale is the
# run on the full installation below.
LOCALES = [("de_DE.UTF-8", "de"), ("es_ES.UTF-8", "es"), ("fr_FR.UTF-8", "fr"),
           ("nl_NL.UTF-8", "nl"), ("pt_BR.UTF-8", "en")]


def display():
    """A private Xvfb display, started on first use; it names itself once ready."""
    with wine_prefix.lock("display"):
        if "name" not in _display:
            proc = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp"], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True)
            _display.update(name=":" + proc.stdout.readline().strip(), proc=proc)
        return _display["name"]


def stop_display():
    if "proc" in _display:
        _display["proc"].terminate()
        _display["proc"].wait(timeout=10)


def drive(ctx, prefix, command_line, answers, locale="C.UTF-8", shots=None):
    """Runs talvexun.exe through box_driver; returns ([(set, text, [ids])], exit)."""
    hold = prefix.path.parent / "hold"
    args = ["timeout", "90", wine_prefix.loader(), str(ctx.driver), "launch",
            end_state.windows_path(ctx.exe), command_line.hex(), "30000",
            end_state.windows_path(hold) if shots else "-",
            end_state.windows_path(end_state.MESSAGES)] + [str(a) for a in answers]
    env = dict(prefix.env, DISPLAY=display(), LC_ALL=locale, LANG=locale)
    proc = subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            cwd=prefix.path.parent)
    found, code = [], None
    for raw in proc.stdout:
        words = raw.decode("ascii", "replace").split()
        if words and words[0] == "BOX":
            text = bytes.fromhex(words[2].split("=", 1)[1])
            buttons = [int(w.split("=", 1)[1].partition(":")[0]) for w in words[3:]]
            found.append((words[1].split("=", 1)[1], text, sorted(buttons)))
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
        kind = "confirmation" if number == 1 else "completion"
        subprocess.run(["convert", str(raw), "-trim", "+repage", "-strip", "-colors", "64",
                        str(target.parent / f"{target.name}-{kind}.png")], check=True, timeout=30)
        raw.unlink()
    return take


def check_boxes(found, code, language, answered_yes):
    problems = [] if code == 0 else [f"exit code {code}"]
    want = [(f"{language}.prompt", [YES, NO])] + [(f"{language}.completion", [OK])] * answered_yes
    have = [(kind, buttons) for kind, _, buttons in found]
    if have != want:
        problems.append(f"boxes {[(k, t, b) for k, t, b in found]}, expected {want}")
    return problems


def interactive(ctx, fixture_name, runs, shots_dir=""):
    """Each run (answers, language, locale, whether to take screenshots) in
    turn, in one prefix of the fixture: its boxes, then the end state, as
    seeded where no run answered Yes."""
    def action(prefix):
        problems = []
        for answers, language, locale, take in runs:
            shots = None
            if shots_dir and take:
                Path(shots_dir).mkdir(parents=True, exist_ok=True)
                shots = screenshot(Path(shots_dir) / f"box-{language}")
            found, code = drive(ctx, prefix, b"talvexun.exe", answers, locale, shots)
            problems += check_boxes(found, code, language, answers[0] == YES)
        return problems

    return end_state.run_scenario(ctx, fixture_name, "nt", action=action,
                                  unchanged=all(answers[0] != YES for answers, *_ in runs))


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

_forms = {}


def command_line_test(ctx, line, locale, expect_box):
    """Every form runs in one prefix: answered No, a run changes nothing."""
    with wine_prefix.lock("command lines"):
        if "prefix" not in _forms:
            _forms["prefix"] = wine_prefix.copy_prefix(wine_prefix.template(ctx.cache, "nt"),
                                                       ctx.work / "command-lines")
    found, code = drive(ctx, _forms["prefix"], line, [NO], locale)
    problems = [] if code == 0 else [f"exit code {code}"]
    if (len(found) == 1) != expect_box or len(found) > 1:
        problems.append(f"{len(found)} boxes for {line!r}")
    return problems


def tests(ctx, shots_dir):
    """(name, test, alone): a test that takes screenshots runs alone."""
    # Runs that start from the same installation share a prefix, one after
    # another: (name, installation, runs).
    groups = [("English, Yes cleans the machine", "full", [([YES, OK], "en", "C.UTF-8", True)]),
              ("German, No, Escape and closing the box change nothing", "full",
               [([NO], "de", "de_DE.UTF-8", False), ([ESCAPE], "en", "C.UTF-8", False),
                ([CLOSE], "en", "C.UTF-8", False)]),
              ("in each language, Yes", "empty", [([YES, OK], language, locale, locale[:3] == "de_")
                                                  for locale, language in LOCALES])]
    found = [(f"boxes {name}", lambda f=f, r=r: interactive(ctx, f, r, shots_dir),
              bool(shots_dir) and any(take for *_, take in r)) for name, f, r in groups]
    for name, line, locale, box in COMMAND_LINES:
        found.append((f"command line: {name}", lambda ln=line, lc=locale, b=box: command_line_test(
            ctx, ln, lc, b), False))
    return found
