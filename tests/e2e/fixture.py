"""Installation fixtures: what a scenario seeds and what it expects afterwards."""
from dataclasses import dataclass, field
from pathlib import Path

FIXTURES = Path(__file__).parent / "fixtures"


def unescape(text):
    out = bytearray()
    i = 0
    simple = {"r": 13, "n": 10, "t": 9, "0": 0, "\\": 92}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
            if nxt in simple:
                out.append(simple[nxt])
                i += 2
                continue
        out += c.encode("cp1252")
        i += 1
    return bytes(out)


@dataclass
class Fixture:
    name: str
    keys: list = field(default_factory=list)      # key paths, as written
    values: list = field(default_factory=list)    # (key, name, type, bytes)
    files: list = field(default_factory=list)     # (where\name, bytes, read_only)
    gone_keys: set = field(default_factory=set)   # folded key paths
    gone_values: set = field(default_factory=set)  # (folded key, folded name)
    gone_files: set = field(default_factory=set)  # folded where\name
    becomes: dict = field(default_factory=dict)   # folded where\name -> bytes

    def all_keys(self):
        seen = {}
        for key in self.keys + [v[0] for v in self.values]:
            seen.setdefault(key.lower(), key)
        return seen


def load(name):
    fixture = Fixture(name)
    for line in (FIXTURES / f"{name}.txt").read_text(encoding="cp1252").splitlines():
        if not line or line.startswith("#"):
            continue
        verb, _, rest = line.partition(" ")
        if verb == "gone":
            kind, _, what = rest.partition(" ")
            if kind == "key":
                fixture.gone_keys.add(what.lower())
            elif kind == "value":
                key, name_ = what.split("|")
                fixture.gone_values.add((key.lower(), name_.lower()))
            else:
                fixture.gone_files.add(what.lower())
            continue
        parts = rest.split("|", 2)
        if verb == "key":
            fixture.keys.append(rest)
        elif verb == "sz":
            fixture.values.append((parts[0], parts[1], "sz", unescape(parts[2])))
        elif verb == "bin":
            fixture.values.append((parts[0], parts[1], "bin", bytes.fromhex(parts[2])))
        elif verb in ("file", "readonly"):
            fixture.files.append((parts[0], unescape(parts[1]), verb == "readonly"))
        elif verb == "becomes":
            fixture.becomes[parts[0].lower()] = unescape(parts[1])
        else:
            raise ValueError(f"{name}: unknown line {line!r}")
    return fixture


def names():
    return sorted(p.stem for p in FIXTURES.glob("*.txt"))


def to_regedit4(fixture):
    """The fixture's registry as a REGEDIT4 file for regedit /S."""
    def quote(raw):
        text = raw.decode("cp1252")
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
    lines = ["REGEDIT4", ""]
    for key in fixture.keys:
        lines += [f"[HKEY_LOCAL_MACHINE\\{key}]", ""]
    for key, name, kind, data in fixture.values:
        lines.append(f"[HKEY_LOCAL_MACHINE\\{key}]")
        if kind == "sz":
            lines.append(f"{quote(name.encode('cp1252'))}={quote(data)}")
        else:
            lines.append(f"{quote(name.encode('cp1252'))}=hex:" + ",".join(f"{b:02x}" for b in data))
        lines.append("")
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def expected_present(fixture, key):
    """A key stays unless it, or a key above it, is expected to go."""
    folded = key.lower()
    return not any(folded == g or folded.startswith(g + "\\") for g in fixture.gone_keys)
