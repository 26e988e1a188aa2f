#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, once;
# safe to run again. Needs root for apt-get, as on a fresh Debian 12 machine.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev clang
          libclang-rt-14-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
          binutils-mingw-w64-x86-64 wine wine32:i386
          wine64 fonts-wine xvfb xauth imagemagick locales ccache mtools dosfstools)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "install-deps: missing ${missing[*]}; run this as root" >&2
        exit 1
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

# The interactive tests pick the user's language from these locales.
wanted=(de_DE es_ES fr_FR nl_NL en_GB pt_BR ja_JP)
need_gen=0
for l in "${wanted[@]}"; do
    locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || need_gen=1
done
if [ "$need_gen" = 1 ] && [ "$(id -u)" = 0 ]; then
    for l in "${wanted[@]}"; do
        grep -q "^${l}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
            echo "${l}.UTF-8 UTF-8" >> /etc/locale.gen
    done
    locale-gen >/dev/null
fi
