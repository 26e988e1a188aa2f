"""Fresh Wine prefixes for the end-to-end tests, and reading their end state."""
import os
import re
import shutil
import subprocess
import tempfile
import threading
from pathlib import Path

MODES = ("win95", "nt")
# Wine maps file names through the Unix locale: under a UTF-8 one, names
# with bytes above 0x7F reach the disk as the program wrote them.
BASE_ENV = {"WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", "WINEDEBUG": "-all",
            "LC_ALL": "C.UTF-8"}
# Services that Wine starts with every server and no test needs: started on
# demand only, each cold start takes a third less time.
IDLE_SERVICES = ("Eventlog", "MountMgr", "NDIS", "nsiproxy", "PlugPlay")
# Each build and the Wine that runs it. Debian's `wine` picks the 32-bit
# loader whenever it is installed, even where the kernel refuses to run it,
# so the 64-bit loader is called by its path.
ARCHES = {
    "i386": {"loader": "wine", "env": {"WINEARCH": "win32"}},
    "x86_64": {"loader": "/usr/lib/wine/wine64",
               "env": {"WINEARCH": "win64", "WINELOADER": "/usr/lib/wine/wine64"}},
}
_arch = {"name": "i386"}


def use_arch(name):
    """Selects the build that this process tests, and the Wine it needs."""
    _arch["name"] = name


def arch():
    return _arch["name"]


def parse_arguments(parser):
    """The arguments every Wine script takes, added to `parser`'s own, parsed;
    selects the build and makes the work folder."""
    parser.add_argument("--bin", required=True, help="folder with talvexun.exe and box_driver.exe")
    parser.add_argument("--work", required=True)
    parser.add_argument("--cache", default=str(Path.home() / ".cache/talvex-e2e"))
    parser.add_argument("--arch", choices=sorted(ARCHES), default="i386",
                        help="the build in --bin, and the Wine that runs it")
    args = parser.parse_args()
    use_arch(args.arch)
    Path(args.work).mkdir(parents=True, exist_ok=True)
    return args


def loader():
    return ARCHES[arch()]["loader"]


_locks = {}
_locks_lock = threading.Lock()


def lock(name):
    """One lock for each name, for what two workers must not make at once."""
    with _locks_lock:
        return _locks.setdefault(name, threading.Lock())


# The Unix locale under which Wine takes each ANSI code page.
LOCALES = {1252: "C.UTF-8", 932: "ja_JP.UTF-8"}


def locale_env(codepage, work):
    """The environment that gives Wine the code page; a locale the system
    lacks is made in `work` (localedef needs no root)."""
    name = LOCALES[codepage]
    env = {"LC_ALL": name, "LANG": name}
    with lock("locale"):
        if subprocess.run(["locale"], env=dict(os.environ, **env), capture_output=True,
                          text=True).stderr:
            (Path(work) / "locales").mkdir(exist_ok=True)
            if not (Path(work) / "locales" / name).exists():
                subprocess.run(["localedef", "-i", name.split(".")[0], "-f", "UTF-8",
                                str(Path(work) / "locales" / name)], capture_output=True)
            env["LOCPATH"] = str(Path(work) / "locales")
    return env


_version = {}


def wine_version():
    if arch() not in _version:
        _version[arch()] = subprocess.run([loader(), "--version"], capture_output=True,
                                          text=True).stdout.strip()
    return _version[arch()]


# What one Wine does otherwise than another, written once, by the version it
# was measured on; a later Wine is taken for the last one before it, and
# read_registry() checks that the prefix agrees, so that a failure under a
# new Wine reads as a change of Wine, not as a fault of the program.
# (version, where HKLM\System\CurrentControlSet is stored)
WINE_FACTS = [
    (8, "system\\currentcontrolset"),  # Wine 8.0: a key of its own
    # Wine 10.0: a link to ControlSet001, as on NT, in every mode. Its server
    # also crashes (free(): invalid pointer) wherever TMPDIR is set, even to
    # /tmp, so Prefix drops TMPDIR.
    (10, "system\\controlset001"),
]
CURRENT_CONTROL_SET = "system\\currentcontrolset"

# Rewritten by Wine itself when a program starts with another locale or a
# display: the code pages, the time zone, the display adapter, its GPU and
# the monitor. Wine empties the device keys before it writes them again, so a
# server stopped in between saves them half made. Measured under Wine 8.0;
# under Wine 10.0 no other key changed in any test.
WINE_OWN_KEYS = tuple("system\\currentcontrolset\\" + k for k in (
    "control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}",
    "control\\class\\{4d36e96e-e325-11ce-bfc1-08002be10318}",
    "control\\nls\\codepage",
    "control\\timezoneinformation",
    "enum\\display",
    "enum\\pci\\ven_0000&dev_0000&subsys_00000000&rev_00",
    "hardware profiles\\current\\software\\fonts",
))


def wine_facts():
    major = int(re.search(r"(\d+)\.", wine_version()).group(1))
    return [f for f in WINE_FACTS if f[0] <= major][-1]


class Prefix:
    def __init__(self, path):
        self.path = Path(path)
        self.env = dict(os.environ, WINEPREFIX=str(self.path), **BASE_ENV,
                        **ARCHES[arch()]["env"])
        self.env.pop("DISPLAY", None)  # only the box tests get their own display
        self.env.pop("TMPDIR", None)  # see WINE_FACTS

    @property
    def drive_c(self):
        return self.path / "drive_c"

    def run(self, *args, timeout=120, check=True):
        # Output goes to files, not pipes: Wine's services outlive the command
        # and would hold a pipe open. Wine's own messages (Wine 10 warns of
        # XDG_RUNTIME_DIR) stay out of the program's report.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(list(args), env=self.env, timeout=timeout, stdout=out,
                                    stderr=err, stdin=subprocess.DEVNULL, cwd=self.path.parent)
            out.seek(0), err.seek(0)
            result.stdout, result.stderr = out.read(), err.read()
        if check and result.returncode != 0:
            raise RuntimeError(f"{args} exited {result.returncode}: "
                               f"{(result.stdout + result.stderr)[-2000:]!r}")
        return result

    def wine(self, *args, **kwargs):
        return self.run(loader(), *args, **kwargs)

    def settle(self):
        """Ends the server, once its programs have ended, so that it writes the
        registry to disk now rather than seconds later."""
        self.run("wineserver", "-k", timeout=60, check=False)
        self.run("wineserver", "-w", timeout=60)

    def unix_path(self, windows_path):
        """Where a path on drive C: lies."""
        return self.drive_c.joinpath(*windows_path[3:].split("\\"))


def template(cache_dir, mode):
    """A booted prefix for the build and the mode, made once and kept for later
    runs while Wine and the settings are the same: Windows 95 mode's is NT
    mode's with the version set."""
    path = Path(cache_dir) / f"template-{arch()}-{mode}" / "prefix"
    stamp = path.parent / "wine-version"
    # No window manager runs under Xvfb: Wine draws the frames itself, and
    # waits for none to take or drop a window.
    settings = {"HKEY_CURRENT_USER\\Software\\Wine\\WineDbg": '"ShowCrashDialog"=dword:0',
                "HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver": '"Decorated"="N"\n"Managed"="N"',
                **{"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\" + service:
                   '"Start"=dword:3' for service in IDLE_SERVICES}}
    if mode == "win95":
        settings["HKEY_CURRENT_USER\\Software\\Wine"] = '"Version"="win95"'
    made = "".join([wine_version(), "\nREGEDIT4\n"] +
                   [f"[{key}]\n{values}\n" for key, values in settings.items()])
    with lock(path):
        if stamp.exists() and stamp.read_text() == made and (path / "system.reg").exists():
            return path
        if mode == "win95":
            prefix = copy_prefix(template(cache_dir, "nt"), path.parent)
        else:
            shutil.rmtree(path.parent, ignore_errors=True)
            path.parent.mkdir(parents=True)
            prefix = Prefix(path)
            prefix.wine("wineboot", "-i", timeout=300)
        (path.parent / "settings.reg").write_text(made.split("\n", 1)[1])
        prefix.wine("regedit", "/s", "Z:" + str(path.parent / "settings.reg").replace("/", "\\"))
        prefix.settle()
        stamp.write_text(made)
        return path


def copy_prefix(source, where, copied=()):
    """A prefix in `where` copied from the stopped prefix `source`: its files
    hard-linked but the registry files and the files `copied` (paths below the
    prefix), which Wine or the program rewrite in place."""
    target = Path(where) / "prefix"
    shutil.rmtree(target.parent, ignore_errors=True)
    target.parent.mkdir(parents=True)
    subprocess.run(["cp", "-al", str(source), str(target)], check=True)
    for rel in [reg.name for reg in Path(source).glob("*.reg")] + list(copied):
        (target / rel).unlink()
        shutil.copy2(Path(source) / rel, target / rel)
    return Prefix(target)


def retype_link_values(prefix, paths):
    """Makes the SymbolicLinkValue of each link key below HKLM a string
    (REG_SZ) in system.reg, with the server stopped: Wine's own calls will
    not write one, yet Wine follows such a link by the key's flag."""
    reg = prefix.path / "system.reg"
    text = reg.read_text(encoding="utf-8", errors="surrogateescape")
    for path in paths:  # the section of the key, its ASCII name's backslashes doubled
        section = re.escape("[" + path.replace("\\", "\\\\") + "]")
        text, found = re.subn("(" + section + r'(?:(?!\n\[).)*?\n"SymbolicLinkValue"=hex\()6\)',
                              r"\g<1>1)", text, count=1, flags=re.S)
        if found != 1:
            raise RuntimeError(f"no link key {path} in system.reg")
    reg.write_text(text, encoding="utf-8", errors="surrogateescape")


def read_registry(prefix):
    """HKEY_LOCAL_MACHINE as Wine saved it: {folded key: (key, {folded name: raw})}."""
    keys, current = {}, None
    text = (prefix.path / "system.reg").read_text(encoding="utf-8", errors="surrogateescape")
    for line in re.sub(r"\\\n\s*", "", text).splitlines():  # long values go on over lines
        m = re.match(r"^\[(.*)\]( \d+)?$", line)
        if m:
            name = unescape(m.group(1))
            current = keys.setdefault(name.lower(), (name, {}))[1]
        elif current is not None and (m := re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)):
            name = m.group(1) if m.group(1) == "@" else m.group(1)[1:-1]
            current[unescape(name).lower()] = m.group(2)
    # Wine writes out only keys with values and empty leaves; those above
    # them exist too.
    for name, _ in list(keys.values()):
        for above in keys_above(name):
            keys.setdefault(above.lower(), (above, {}))
    # The program names the keys below CurrentControlSet, wherever Wine keeps them.
    version, stored = wine_facts()
    below = lambda top: [k for k in keys if k.startswith(top + "\\")]  # noqa: E731
    if not below(stored) or (stored != CURRENT_CONTROL_SET and below(CURRENT_CONTROL_SET)):
        raise RuntimeError(f"{wine_version()} keeps the keys of CurrentControlSet elsewhere than"
                           f" Wine {version} did, in {stored}: see WINE_FACTS")
    for k in below(stored) if stored != CURRENT_CONTROL_SET else []:
        name, values = keys.pop(k)
        keys[CURRENT_CONTROL_SET + k[len(stored):]] = (
            "System\\CurrentControlSet" + name[len(stored):], values)
    return {k: v for k, v in keys.items() if not k.startswith(WINE_OWN_KEYS)}


def keys_above(key):
    """The paths of the keys that hold `key`, outermost first."""
    parts = key.split("\\")
    return ["\\".join(parts[:n]) for n in range(1, len(parts))]


ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t",
           "v": "\v"}


def unescape(text):
    """A name or string as Wine's registry files write it: a character above
    0x7E as \\x and up to four hex digits, one below 0x20 as a letter or up
    to three octal digits, and \\ and \" for themselves."""
    def one(m):
        e = m.group(1)
        if e[0] == "x" and len(e) > 1:
            return chr(int(e[1:], 16))
        if e[0] in "01234567":
            return chr(int(e, 8))
        return ESCAPES.get(e, e)
    return re.sub(r"\\(x[0-9a-fA-F]{1,4}|[0-7]{1,3}|.)", one, text)


def file_state(prefix):
    """Every file of drive C: with what tells a change: size, inode, mtime and
    whether it may be written."""
    state = {}
    root = prefix.drive_c
    for dirpath, _, filenames in os.walk(root):
        for f in filenames:
            p = Path(dirpath) / f
            st = p.lstat()
            rel = str(p.relative_to(root)).replace("/", "\\").lower()
            state[rel] = (st.st_size, st.st_ino, st.st_mtime_ns, st.st_mode & 0o222)
    return state
