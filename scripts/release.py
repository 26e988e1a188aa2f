#!/usr/bin/env python3
"""Packs a release: README.TXT from its template (code page 1252, CR-LF, at
most 78 columns), talvexun-VERSION.zip and the 1.44 MB floppy image
talvexun-VERSION.img, each with the exe and README.TXT, and SHA256SUMS, all
byte-identical from run to run for the same exe and date.
Usage: release.py EXE DIST; the version is the CMake project's, the member
time SOURCE_DATE_EPOCH (the commit's time)."""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

# A formatted disk's serial number is normally taken from the clock; a fixed
# one keeps the image the same from build to build.
FLOPPY_SERIAL = "19950824"


def built_with():
    """The Debian release and the mingw-w64 tools that built the exe: another
    release's tools give other bytes (the linker's version at least)."""
    release = re.search(r'^PRETTY_NAME="?([^"\n]*)', Path("/etc/os-release").read_text(), re.M)
    tool = lambda *args: subprocess.run(args, capture_output=True, text=True).stdout  # noqa: E731
    gcc = re.match(r"\d+", tool("i686-w64-mingw32-gcc", "-dumpversion"))
    ld = re.search(r"[\d.]+$", tool("i686-w64-mingw32-ld", "--version").splitlines()[0])
    return (f"{release.group(1) if release else 'an unknown system'} with mingw-w64\n"
            f"GCC {gcc.group(0) if gcc else '?'} and binutils {ld.group(0) if ld else '?'}")


def readme(template, version, exe_bytes):
    text = (template.read_text(encoding="utf-8")
            .replace("@VERSION@", version)
            .replace("@BUILT_WITH@", built_with())
            .replace("@SIZE@", f"{len(exe_bytes):,}")
            .replace("@SHA256@", hashlib.sha256(exe_bytes).hexdigest()))
    lines = text.rstrip("\n").split("\n")
    wide = [n + 1 for n, line in enumerate(lines) if len(line) > 78]
    if wide:
        sys.exit(f"release: README.TXT lines {wide} are wider than 78 columns")
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def floppy(image, files, epoch):
    """Writes a FAT12 1.44 MB image with FILES (8.3 upper-case name, path) in
    its root, by mtools. mtools stamps the label and the files with
    SOURCE_DATE_EPOCH in local time, so it runs in UTC like the zip's stamps,
    and with no user's settings: only these variables and an empty home."""
    image.unlink(missing_ok=True)
    with tempfile.TemporaryDirectory() as home:
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "TZ": "UTC",
               "SOURCE_DATE_EPOCH": str(epoch), "MTOOLS_SKIP_CHECK": "1",
               "MTOOLS_NO_VFAT": "1"}
        subprocess.run(["mformat", "-C", "-f", "1440", "-v", "TALVEX", "-N", FLOPPY_SERIAL,
                        "-i", str(image), "::"], env=env, check=True)
        for name, path in files:
            subprocess.run(["mcopy", "-i", str(image), str(path), f"::{name}"], env=env,
                           check=True)


def main():
    exe, dist = Path(sys.argv[1]), Path(sys.argv[2])
    repo = Path(__file__).resolve().parent.parent
    version = re.search(r"^project\(talvexun VERSION ([0-9.]+)",
                        (repo / "CMakeLists.txt").read_text(), re.M).group(1)
    template = repo / "release" / "README.TXT.in"
    # Neither a zip nor a FAT directory can hold a time before 1980.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "0")), 315532800)
    stamp = time.gmtime(epoch)
    exe_bytes = exe.read_bytes()
    members = [("talvexun.exe", exe_bytes), ("README.TXT", readme(template, version, exe_bytes))]
    dist.mkdir(parents=True, exist_ok=True)
    archive = dist / f"talvexun-{version}.zip"
    with zipfile.ZipFile(archive, "w") as z:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=stamp[:6])
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # the archive attribute
            z.writestr(info, data, compresslevel=9)
    (dist / "talvexun.exe").write_bytes(exe_bytes)
    (dist / "README.TXT").write_bytes(members[1][1])
    image = dist / f"talvexun-{version}.img"
    floppy(image, [("TALVEXUN.EXE", dist / "talvexun.exe"), ("README.TXT", dist / "README.TXT")],
           epoch)
    sums = "".join(f"{hashlib.sha256((dist / f).read_bytes()).hexdigest()}  {f}\n"
                   for f in (archive.name, image.name, "talvexun.exe"))
    (dist / "SHA256SUMS").write_text(sums)
    print(sums + f"release: {archive}", end="\n")


if __name__ == "__main__":
    main()
