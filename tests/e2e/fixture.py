"""Installation fixtures: what a scenario seeds and what it expects afterwards."""
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

FIXTURES = Path(__file__).parent / "fixtures"


ESCAPES = {"r": 13, "n": 10, "t": 9, "0": 0, "\\": 92}
HEX_PAIRS = re.compile(r"(?:[0-9A-Fa-f]{2})*")


CODEPAGES = {"1252": "cp1252", "932": "cp932"}
WIDE = re.compile(r"\\u([0-9A-Fa-f]{4})")


def unescape(text, codec="cp1252"):
    """The bytes of a TEXT or BYTES field; any escape the format does not name is an error."""
    out = bytearray()
    i = 0
    while i < len(text):
        nxt = text[i + 1:i + 2]
        if text[i] != "\\":
            out += text[i].encode(codec, errors="surrogateescape")
            i += 1
        elif nxt and nxt in ESCAPES:
            out.append(ESCAPES[nxt])
            i += 2
        elif nxt == "x" and len(text[i + 2:i + 4]) == 2 and HEX_PAIRS.fullmatch(text[i + 2:i + 4]):
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            raise ValueError(f"bad escape in {text!r}")
    return bytes(out)


@dataclass
class Fixture:
    name: str
    keys: list = field(default_factory=list)      # key paths, as written
    links: list = field(default_factory=list)     # (key path, target key path)
    sz_links: list = field(default_factory=list)  # the same, SymbolicLinkValue a string
    modes: set = field(default_factory=set)       # where it runs: win95, nt; empty for both
    codec: str = "cp1252"                         # the ANSI code page's
    wide_keys: list = field(default_factory=list)  # key paths named in UTF-16
    gone_without_links: set = field(default_factory=set)  # folded; simulated only
    copies: int = 1                               # copies of the program started together
    values: list = field(default_factory=list)    # (key, name, type, bytes)
    files: list = field(default_factory=list)     # (where\name, bytes, read_only)
    gone_keys: set = field(default_factory=set)   # folded key paths
    gone_values: set = field(default_factory=set)  # (folded key, folded name)
    gone_files: set = field(default_factory=set)  # folded where\name
    becomes: dict = field(default_factory=dict)   # folded where\name -> bytes

    def all_keys(self):
        seen = {}
        for key in (self.keys + self.wide_keys + [v[0] for v in self.values]
                    + [path for path, _ in self.links + self.sz_links]):
            seen.setdefault(key.lower(), key)
        return seen


def load(name):
    raw = (FIXTURES / f"{name}.txt").read_bytes()
    page = re.search(rb"^codepage (\d+)$", raw, re.M)
    codec = CODEPAGES.get(page.group(1).decode() if page else "1252", "cp1252")
    return parse(name, raw.decode(codec, errors="surrogateescape").split("\n"))


def parse(name, lines):
    fixture = Fixture(name)
    seeded = set()  # ("key" | "value" | "file", folded name)
    for line in lines:
        if not line or line.startswith("#"):
            continue
        if any(c < " " or c == "\x7f" for c in line):
            raise ValueError(f"{name}: raw control byte in {line!r}")
        verb, _, rest = line.partition(" ")
        without_links = verb == "nolinks"
        if without_links:
            verb, _, rest = rest.partition(" ")
            if verb != "gone" or not rest.startswith("key "):
                raise ValueError(f"{name}: nolinks takes a gone key in {line!r}")
        if verb == "gone":
            kind, _, what = rest.partition(" ")
            kind = kind if kind in ("key", "value") else "file"
            if (kind, what.lower()) not in seeded:
                raise ValueError(f"{name}: never seeded in {line!r}")
            if without_links:
                fixture.gone_without_links.add(what.lower())
            elif kind == "key":
                fixture.gone_keys.add(what.lower())
            elif kind == "value":
                key, name_ = what.split("|")
                fixture.gone_values.add((key.lower(), name_.lower()))
            else:
                fixture.gone_files.add(what.lower())
            continue
        fields = 3 if verb in ("sz", "bin") else 2 if verb in ("file", "readonly", "becomes",
                                                             "link", "szlink") else 1
        parts = rest.split("|", fields - 1)
        if len(parts) < fields:
            raise ValueError(f"{name}: missing field in {line!r}")
        if verb == "wkey":
            if rest.count("\\u") != len(WIDE.findall(rest)):
                raise ValueError(f"{name}: bad \\u escape in {line!r}")
            parts[0] = WIDE.sub(lambda m: chr(int(m.group(1), 16)), rest)
        if verb in ("key", "wkey", "link", "szlink", "sz", "bin"):
            seeded.add(("key", parts[0].lower()))
        if verb in ("sz", "bin"):
            seeded.add(("value", f"{parts[0]}|{parts[1]}".lower()))
        if verb in ("file", "readonly", "becomes"):
            if parts[0].split("\\")[0].lower() not in ("c", "windir", "sysdir"):
                raise ValueError(f"{name}: unknown place in {line!r}")
            if verb == "becomes" and ("file", parts[0].lower()) not in seeded:
                raise ValueError(f"{name}: never seeded in {line!r}")
            seeded.add(("file", parts[0].lower()))
        if verb == "key":
            fixture.keys.append(rest)
        elif verb == "wkey":
            fixture.wide_keys.append(parts[0])
        elif verb == "codepage":
            if rest not in CODEPAGES:
                raise ValueError(f"{name}: unknown code page in {line!r}")
            fixture.codec = CODEPAGES[rest]
        elif verb in ("link", "szlink"):
            (fixture.links if verb == "link" else fixture.sz_links).append((parts[0], parts[1]))
        elif verb == "modes":
            fixture.modes = set(rest.split(" "))
            if not fixture.modes <= {"win95", "nt"}:
                raise ValueError(f"{name}: unknown mode in {line!r}")
        elif verb == "copies":
            if not re.fullmatch(r"[1-9][0-9]?", rest):
                raise ValueError(f"{name}: bad count in {line!r}")
            fixture.copies = int(rest)
        elif verb == "sz":
            fixture.values.append((parts[0], parts[1], "sz", unescape(parts[2], fixture.codec)))
        elif verb == "bin":
            if not HEX_PAIRS.fullmatch(parts[2]):
                raise ValueError(f"{name}: bad bytes in {line!r}")
            fixture.values.append((parts[0], parts[1], "bin", bytes.fromhex(parts[2])))
        elif verb in ("file", "readonly"):
            fixture.files.append((parts[0], unescape(parts[1], fixture.codec), verb == "readonly"))
        elif verb == "becomes":
            fixture.becomes[parts[0].lower()] = unescape(parts[1], fixture.codec)
        else:
            raise ValueError(f"{name}: unknown line in {line!r}")
    return fixture


def names():
    return sorted(p.stem for p in FIXTURES.glob("*.txt"))


def to_regedit4(fixture):
    """The fixture's registry as a REGEDIT4 file for regedit /S."""
    def quote(raw):
        text = raw.decode(fixture.codec)
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
    lines = ["REGEDIT4", ""]
    for key in fixture.keys:
        lines += [f"[HKEY_LOCAL_MACHINE\\{key}]", ""]
    for key, name, kind, data in fixture.values:
        lines.append(f"[HKEY_LOCAL_MACHINE\\{key}]")
        if kind == "sz":
            lines.append(f"{quote(name.encode(fixture.codec))}={quote(data)}")
        else:
            lines.append(f"{quote(name.encode(fixture.codec))}=hex:"
                         + ",".join(f"{b:02x}" for b in data))
        lines.append("")
    return ("\r\n".join(lines) + "\r\n").encode(fixture.codec)


def expected_present(fixture, key):
    """A key stays unless it, or a key above it, is expected to go."""
    folded = key.lower()
    return not any(folded == g or folded.startswith(g + "\\") for g in fixture.gone_keys)


def check_format_cases():
    """Reads each case of fixture_format_cases.txt, as the C++ reader's test does; 0 if all agree."""
    wrong = 0
    cases = (Path(__file__).parent / "fixture_format_cases.txt").read_text(encoding="ascii")
    for case in cases.splitlines():
        if not case or case.startswith("#"):
            continue
        line, _, want = case.rpartition(" => ")
        line = re.sub(r"\{([0-9a-f]{2})\}", lambda m: bytes.fromhex(m.group(1)).decode(
            "cp1252", errors="surrogateescape"), line)
        try:
            f = parse("case", line.split("\n"))
            seeded = f.files[0][1] if f.files else f.values[0][3] if f.values else None
            got = "none" if seeded is None else seeded.hex()
        except ValueError:
            got = "error"
        if got != want:
            print(f"{case}: the Python reader gives {got}")
            wrong += 1
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(check_format_cases())
