#!/usr/bin/env python3
"""Fails unless an exe can load on the original Windows 95.

Reads the headers and import table that mingw's objdump prints: a machine of
i386 with no instruction a 386 lacks, a GUI subsystem of version 4.0 or less, imports only from KERNEL32,
USER32 and ADVAPI32 and only functions on the allowlist, no symbols left and
a file no larger than the budget.
"""
import os
import re
import subprocess
import sys

ALLOWED_DLLS = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll"}


def check(exe, allowlist_path, budget):
    allowed = set()
    with open(allowlist_path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                allowed.add(line.lower())
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", "-f", exe], check=True,
                          capture_output=True, text=True).stdout
    faults = []
    if "architecture: i386" not in dump:
        faults.append("machine is not i386")
    major = int(re.search(r"MajorSubsystemVersion\s+(\d+)", dump).group(1))
    minor = int(re.search(r"MinorSubsystemVersion\s+(\d+)", dump).group(1))
    if (major, minor) > (4, 0):
        faults.append(f"subsystem version {major}.{minor} is above 4.0")
    os_major = int(re.search(r"MajorOSystemVersion\s+(\d+)", dump).group(1))
    if os_major > 4:
        faults.append(f"operating system version {os_major} is above 4")
    if not re.search(r"Subsystem\s+00000002", dump):
        faults.append("subsystem is not Windows GUI")
    dll = None
    imports = []
    for line in dump.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            if dll not in ALLOWED_DLLS:
                faults.append(f"imports from {dll}")
            continue
        # binutils 2.40: address, hint, name; 2.44: address, <none>, hint in hex, name
        m = re.match(r"\s+[0-9a-f]+\s+(?:<none>\s+)?[0-9a-f]+\s+(\w+)$", line)
        if dll and m:
            imports.append(f"{dll}!{m.group(1)}")
        elif dll and not line.strip():
            dll = None
    if not imports:
        faults.append("no import table found")
    for name in imports:
        if name.lower() not in allowed:
            faults.append(f"imports {name}, which is not on the Windows 95 allowlist")
    # Windows 95 runs on a 386: no instruction of a later processor.
    code = subprocess.run(["i686-w64-mingw32-objdump", "-d", exe], check=True,
                          capture_output=True, text=True).stdout
    later = re.findall(r"\t(cmov\w*|fcmov\w*|f?u?comip?|bswap|cmpxchg\w*|xadd|rdtsc|cpuid)\b|%x?mm\d",
                       code)
    if later:
        faults.append(f"uses instructions a 386 lacks: {sorted(set(later))[:5]}")
    symbols = subprocess.run(["i686-w64-mingw32-nm", exe], capture_output=True, text=True)
    if symbols.stdout.strip():
        faults.append("symbols left in the file")
    size = os.path.getsize(exe)
    if size > budget:
        faults.append(f"size {size} bytes is over the budget of {budget}")
    for fault in faults:
        print(f"PE check: {exe}: {fault}")
    print(f"PE check: {exe}: {size} bytes, {len(imports)} imports, subsystem {major}.{minor}: "
          + ("FAILED" if faults else "ok"))
    return not faults


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: check_pe.py EXE ALLOWLIST BUDGET_BYTES")
    sys.exit(0 if check(sys.argv[1], sys.argv[2], int(sys.argv[3])) else 1)
