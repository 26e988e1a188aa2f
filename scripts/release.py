#!/usr/bin/env python3
"""Packs a release: README.TXT from its template (code page 1252, CR-LF, at
most 78 columns), talvexun-VERSION.zip with the exe and README.TXT, and
SHA256SUMS, all byte-identical from run to run for the same exe and date.
Usage: release.py EXE DIST; the version is the CMake project's, the member
time SOURCE_DATE_EPOCH (the commit's time)."""
import hashlib
import os
import re
import sys
import time
import zipfile
from pathlib import Path


def readme(template, version, exe_bytes):
    text = (template.read_text(encoding="utf-8")
            .replace("@VERSION@", version)
            .replace("@SIZE@", f"{len(exe_bytes):,}")
            .replace("@SHA256@", hashlib.sha256(exe_bytes).hexdigest()))
    lines = text.rstrip("\n").split("\n")
    wide = [n + 1 for n, line in enumerate(lines) if len(line) > 78]
    if wide:
        sys.exit(f"release: README.TXT lines {wide} are wider than 78 columns")
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def main():
    exe, dist = Path(sys.argv[1]), Path(sys.argv[2])
    repo = Path(__file__).resolve().parent.parent
    version = re.search(r"^project\(talvexun VERSION ([0-9.]+)",
                        (repo / "CMakeLists.txt").read_text(), re.M).group(1)
    template = repo / "release" / "README.TXT.in"
    stamp = time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", "0")))
    exe_bytes = exe.read_bytes()
    members = [("talvexun.exe", exe_bytes), ("README.TXT", readme(template, version, exe_bytes))]
    dist.mkdir(parents=True, exist_ok=True)
    archive = dist / f"talvexun-{version}.zip"
    with zipfile.ZipFile(archive, "w") as z:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=max(stamp[:6], (1980, 1, 1, 0, 0, 0)))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # the archive attribute
            z.writestr(info, data, compresslevel=9)
    (dist / "talvexun.exe").write_bytes(exe_bytes)
    (dist / "README.TXT").write_bytes(members[1][1])
    sums = "".join(f"{hashlib.sha256((dist / f).read_bytes()).hexdigest()}  {f}\n"
                   for f in (archive.name, "talvexun.exe"))
    (dist / "SHA256SUMS").write_text(sums)
    print(sums + f"release: {archive}", end="\n")


if __name__ == "__main__":
    main()
