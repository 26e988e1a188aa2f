#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, once;
# safe to run again. Needs root for apt-get, as on a fresh Debian 12 machine.
#
# A registry may be mid-sync: a failed `apt-get update` is retried, then the
# lists at hand are used. Where the architectures' versions disagree (the
# security suite's i386 index missing), the point release is the target
# (-t CODENAME). Where wine32:i386 cannot be had at all, the rest is
# installed and the Wine stage proves the x86_64 build instead.
#   TALVEX_APT_RETRY_DELAY   seconds between tries of `apt-get update` (5)
#   TALVEX_OS_RELEASE        the file naming the release (/etc/os-release)
#   TALVEX_LOCALE_GEN        the locale list to extend (/etc/locale.gen)
set -uo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev clang
          libclang-rt-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
          binutils-mingw-w64-x86-64 wine wine32:i386
          wine64 fonts-wine xvfb xauth imagemagick locales ccache mtools dosfstools)
delay=${TALVEX_APT_RETRY_DELAY:-5}
locale_gen=${TALVEX_LOCALE_GEN:-/etc/locale.gen}
wine32_line="install-deps: wine32:i386 cannot be installed now; the Wine stage proves the x86_64 build"

release=$(. "${TALVEX_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}")

say() { echo "install-deps: $*" >&2; }
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
# The list as it stands, then with the point release as the target.
install_plain_then_targeted() {
    apt_install "$@" && return 0
    [ -n "$release" ] || return 1
    say "apt-get install failed; trying again with -t $release"
    apt_install -t "$release" "$@"
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${missing[*]}" = wine32:i386 ]; then
    # Left out by an earlier run: one quick try as root, never an error.
    if [ "$(id -u)" = 0 ]; then
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
        apt-get update -qq || true
        install_plain_then_targeted wine32:i386 || echo "$wine32_line"
    else
        echo "$wine32_line"
    fi
elif [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        say "missing ${missing[*]}; run this as root"
        exit 1
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    updated=0
    for try in 1 2 3; do
        apt-get update -qq && { updated=1; break; }
        say "warning: apt-get update failed (try $try of 3)"
        [ "$try" = 3 ] || sleep "$delay"
    done
    [ "$updated" = 1 ] || say "warning: going on with the package lists at hand"
    if ! install_plain_then_targeted "${missing[@]}"; then
        rest=()
        for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
        if [ ${#rest[@]} = ${#missing[@]} ] ||
            ! { say "installing without wine32:i386" && install_plain_then_targeted "${rest[@]}"; }; then
            step="apt-get install of ${rest[*]}"
            [ -n "$release" ] && step="$step, plain and with -t $release"
            [ "$updated" = 1 ] || step="$step, after apt-get update failed"
            say "FAILED: $step"
            exit 1
        fi
        echo "$wine32_line"
    fi
fi

# The interactive tests pick the user's language from these locales.
wanted=(de_DE es_ES fr_FR nl_NL en_GB pt_BR ja_JP)
need_gen=0
for l in "${wanted[@]}"; do
    locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || need_gen=1
done
if [ "$need_gen" = 1 ] && [ "$(id -u)" = 0 ]; then
    for l in "${wanted[@]}"; do
        grep -q "^${l}.UTF-8 UTF-8" "$locale_gen" 2>/dev/null ||
            echo "${l}.UTF-8 UTF-8" >>"$locale_gen"
    done
    locale-gen >/dev/null || { say "FAILED: locale-gen"; exit 1; }
fi
exit 0
