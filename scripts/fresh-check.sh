#!/usr/bin/env bash
# The README's promise, checked on each Debian release named (bookworm, then
# trixie, when none is): bootstraps a minimal system of that release below
# /var/tmp (debootstrap, minbase, plus git and ca-certificates), with the
# release's own main, updates and security suites on the URIs and keys of this
# machine's Debian sources, this machine's apt configuration, a tmpfs on /tmp
# and a clean clone of this checkout's HEAD in /root, and runs the README's two
# commands there as root: the test command, then the main job. The logs are
# kept in out/fresh-check/RELEASE/.
#
# The releases are bootstrapped, and their packages installed, side by side
# (each mostly dpkg at work on one core); each then runs the two commands, one
# release after the other.
# Each step runs in a mount and PID namespace of its own, so nothing stays
# mounted or running after it. Each chroot is removed once its release is done
# and nothing is mounted below it; those that killed runs left are removed the
# same way. TALVEX_FRESH_KEEP=1 keeps them instead, named talvex-fresh-kept.*,
# to look inside later. A release that has worked 13 minutes (its wait for the
# other's commands aside) is stopped, and fails.
#
# Exit 0 when every release that started passed, 1 when any failed, 77 when
# none could start: not root, no debootstrap to be had, or the registry out of
# reach. Releases that could not start are named, and listed in
# out/fresh-check/unchecked for CI.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
# su without - leaves root a PATH without debootstrap and chroot.
PATH=/usr/local/sbin:/usr/sbin:/sbin:$PATH
repo=$(pwd)
prefix=/var/tmp/talvex-fresh
logs=$repo/out/fresh-check
# Per release, so that CI's two stay within half an hour even if Wine hangs.
minutes=13
say() { echo "fresh-check: $*"; }

# Removes a chroot, unless something is still mounted below it.
remove_chroot() {
    if findmnt -rn -o TARGET | grep -q "^$1\(/\|$\)"; then
        say "$1 is kept: something is still mounted below it"
        return 1
    fi
    rm -rf --one-file-system "$1"
}

# One command of the README, as root in the chroot, with the environment of
# a fresh login.
run_command() {
    local root=$1 release=$2 name=$3 command=$4 status start=$SECONDS
    local log=$logs/$release/$name.log left=$((deadline - SECONDS))
    if [ "$left" -le 0 ]; then
        say "$release: $command not run: the $minutes minutes are up"
        return 1
    fi
    # What it leaves running ends with the namespace.
    timeout -k 10 "$left" chroot "$root" env -i HOME=/root TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/talvex && $command" >"$log" 2>&1
    status=$?
    [ "$SECONDS" -lt "$deadline" ] || say "$release: $command stopped: the $minutes minutes are up"
    if [ "$status" = 0 ]; then
        say "$release: $command passed in $((SECONDS - start)) s"
        grep "^install-deps:" "$log"
        tail -n 1 "$log"
    else
        say "$release: $command FAILED (exit $status) after $((SECONDS - start)) s; its log:"
        cat "$log"
    fi
    return "$status"
}

# Inside the namespaces, one step: `prepare` bootstraps the system and
# installs what the commands need; `run` runs the two commands. Either
# mounts what the chroot needs first. Up to DEADLINE (seconds since the epoch).
inside() {
    local root=$1 release=$2 mirror=$3 step=$4 status=0
    local deadline=$((SECONDS + $5 - $(date +%s)))
    # As PID 1 of its namespace it would ignore a signal it has no trap for.
    trap 'exit 1' INT TERM HUP
    [ "$step" = run ] || bootstrap "$root" "$release" "$mirror" || return 1
    mount -t proc proc "$root/proc" &&
        mount -t sysfs sysfs "$root/sys" &&
        mount --bind /dev "$root/dev" &&
        mount --bind /dev/pts "$root/dev/pts" &&
        mount -t tmpfs tmpfs "$root/dev/shm" &&
        mount -t tmpfs tmpfs "$root/tmp" || { say "$release: setting up the chroot FAILED"; return 1; }
    if [ "$step" = run ]; then
        run_command "$root" "$release" test ./scripts/test.sh || status=1
        run_command "$root" "$release" demo ./scripts/demo.sh || status=1
    else
        run_command "$root" "$release" install ./scripts/install-deps.sh || status=1
    fi
    return $status
}

# A minimal system of the release, its sources, and a clone of the checkout.
bootstrap() {
    local root=$1 release=$2 mirror=$3 start=$SECONDS script key
    local log=$logs/$release
    # Debian 12's debootstrap knows no release after trixie; those start as sid.
    script=/usr/share/debootstrap/scripts/$release
    [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
    if ! debootstrap --variant=minbase --include=git,ca-certificates \
        "$release" "$root" "$mirror" "$script" >"$log/debootstrap.log" 2>&1; then
        say "$release: debootstrap FAILED; its log:"
        cat "$log/debootstrap.log"
        return 1
    fi
    say "bootstrapped Debian $release in $((SECONDS - start)) s"
    rm -f "$root/etc/apt/sources.list"
    cp "$log/debian.sources" "$root/etc/apt/sources.list.d/debian.sources" || return 1
    # A key file that the release does not ship is taken from this machine.
    sed -n 's|^Signed-By: */|/|p' "$log/debian.sources" | while read -r key; do
        [ -e "$root$key" ] || cp --parents "$key" "$root"
    done || return 1
    cp -rT /etc/apt/apt.conf.d "$root/etc/apt/apt.conf.d" &&
        cp -L /etc/resolv.conf "$root/etc/resolv.conf" &&
        git clone -q "$repo" "$root/root/talvex" || { say "$release: setting up the chroot FAILED"; return 1; }
}

if [ "${1:-}" = --inside ]; then
    inside "$2" "$3" "$4" "$5" "$6"
    exit
fi

# This machine's Debian suites, one line each: what follows the codename
# (nothing, -updates or -security), URI, sources entry, components.
host_suites() {
    apt-get indextargets --format \
        '$(TARGET_OF)|$(ORIGIN)|$(LABEL)|$(CODENAME)|$(REPO_URI)|$(SOURCESENTRY)|$(COMPONENT)' 2>/dev/null |
        awk -F'|' '$1 == "deb" && $2 == "Debian" && ($3 == "Debian" || $3 == "Debian-Security") {
            suffix = index($4, "-") ? substr($4, index($4, "-")) : ""
            if (suffix != "" && suffix != "-updates" && suffix != "-security") next
            key = suffix "|" $5 "|" $6
            if (!(key in components)) { order[++n] = key; components[key] = $7; next }
            if (index(" " components[key] " ", " " $7 " ") == 0) components[key] = components[key] " " $7
        }
        END { for (i = 1; i <= n; i++) print order[i] "|" components[order[i]] }' | sort -s -t'|' -k1,1
}

# The Signed-By of a sources entry (FILE:N, N a deb822 stanza or a line), as
# written there; in a .sources file it may go on over indented lines.
signed_by() {
    local file=${1%:*} n=${1##*:}
    case $file in
        *.sources)
            awk -v n="$n" '
                /^#/ { next }
                /^[ \t]*$/ { open = 0; next }
                !open { open = 1; stanza++ }
                stanza != n { next }
                /^[ \t]/ { if (field) print; next }
                { field = tolower($0) ~ /^signed-by:/ }
                field { sub(/^[^:]*:[ \t]*/, ""); print }' "$file" ;;
        *)
            sed -n "${n}s/^[^[]*\[\([^]]*\)\].*/\1/p" "$file" | tr ' \t' '\n' | sed -n 's/^signed-by=//p' ;;
    esac
}

releases=("$@")
[ $# -gt 0 ] || releases=(bookworm trixie)
summary=()
unchecked=()
passed=0
failed=0
summarise() {
    local line
    line=$(printf '%s; ' "${summary[@]}")
    say "${line%; }"
}
cannot_start() {
    say "$1 could not start: $2"
    summary+=("$1 could not start")
    unchecked+=("$1: $2")
}
# Every release that has not started yet cannot start, for the reason given.
none_can_start() {
    local release
    for release in "${releases[@]}"; do cannot_start "$release" "$1"; done
    summarise
    exit 77
}

# Whether it can start at all, decided before anything is bootstrapped.
[ "$(id -u)" = 0 ] || none_can_start "it must run as root"
if ! command -v debootstrap >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq debootstrap >/dev/null 2>&1 ||
        { apt-get update -qq >/dev/null 2>&1; apt-get install -y -qq debootstrap >/dev/null 2>&1; } ||
        none_can_start "debootstrap cannot be installed"
fi
# Origins and labels come from the lists: without them, fetch them once.
suites=$(host_suites)
[ -n "$suites" ] || { apt-get update -qq >/dev/null 2>&1; suites=$(host_suites); }
mirror=$(awk -F'|' '$1 == "" { print $2; exit }' <<<"$suites")
[ -n "$mirror" ] || none_can_start "no Debian main suite among this machine's apt sources"

# One check at a time; any chroot found now was left by a killed run.
exec 9>"$prefix.lock"
flock 9
for stale in "$prefix".*/; do
    [ -d "$stale" ] && remove_chroot "${stale%/}"
done
mkdir -p "$logs"
rm -f "$logs"/*.log "$logs/unchecked"
declare -A roots=() worked=()
# Removes the release's chroot, or keeps it where asked to.
dispose() {
    [ -n "${roots[$1]:-}" ] || return 0
    if [ "${TALVEX_FRESH_KEEP:-}" = 1 ]; then
        say "$1: its chroot is kept in ${roots[$1]} (remove it with rm -rf --one-file-system)"
    else
        remove_chroot "${roots[$1]}"
    fi
    unset "roots[$1]"
}
namespaces=()
trap 'chown -R --reference="$repo" "$repo/out"; for r in "${!roots[@]}"; do dispose "$r"; done' EXIT
trap '[ ${#namespaces[@]} = 0 ] || { kill -KILL "${namespaces[@]}" 2>/dev/null; wait; }; exit 1' INT TERM HUP

# One step of a release in namespaces of its own, with what is left of its
# minutes; it counts the time it took.
step() {
    local release=$1 step=$2 start=$SECONDS status=0
    # Killing unshare kills the namespace's PID 1, and with it all inside.
    unshare --kill-child -m -p -f --propagation private "$repo/scripts/fresh-check.sh" --inside \
        "${roots[$release]}" "$release" "$mirror" "$step" \
        $(($(date +%s) + minutes * 60 - ${worked[$release]:-0})) || status=1
    echo $((SECONDS - start)) >"$logs/$release/$step.seconds"
    return $status
}

# One release's sources, from this machine's; false where it cannot start.
sources() {
    local release=$1 suffix uri entry components suite key
    local log=$logs/$release
    # The name becomes a folder and a URL path.
    if ! [[ $release =~ ^[a-z][a-z0-9-]*$ ]]; then
        cannot_start "$release" "not a release name"
        return 1
    fi
    rm -rf "$log"
    if ! wget -q -O /dev/null "${mirror%/}/dists/$release/Release"; then
        cannot_start "$release" "no dists/$release/Release at $mirror (no such release, or the registry out of reach)"
        return 1
    fi
    mkdir -p "$log"
    # Each Debian suite of this machine becomes the release's on the same URI.
    local sep=
    while IFS='|' read -r suffix uri entry components; do
        suite=$release$suffix
        if ! wget -q -O /dev/null "${uri%/}/dists/$suite/Release"; then
            say "$release: $suite is left out: no dists/$suite/Release at $uri"
            continue
        fi
        key=$(signed_by "$entry")
        { printf '%sTypes: deb\nURIs: %s\nSuites: %s\nComponents: %s\n' "$sep" "$uri" "$suite" "$components"
            [ -z "$key" ] || printf 'Signed-By: %s\n' "$key"; } >>"$log/debian.sources"
        sep=$'\n'
    done <<<"$suites"
    grep -q '^-security|' <<<"$suites" ||
        say "$release: no security suite, as this machine's Debian sources have none"
}

# Each release that can start is prepared, side by side; then each runs its
# commands as soon as it is prepared and the one before it has run them.
started=() start=$SECONDS
for release in "${releases[@]}"; do
    sources "$release" || continue
    name=$prefix
    [ "${TALVEX_FRESH_KEEP:-}" != 1 ] || name=$prefix-kept.$release
    roots[$release]=$(mktemp -d "$name.XXXXXX")
    chmod 755 "${roots[$release]}"
    started+=("$release")
    step "$release" prepare &
    namespaces+=($!)
done
for i in "${!started[@]}"; do
    release=${started[$i]} status=0
    wait "${namespaces[$i]}" || status=1
    worked[$release]=$(cat "$logs/$release/prepare.seconds" 2>/dev/null || echo 0)
    if [ "$status" = 0 ]; then
        step "$release" run &
        namespaces+=($!)
        wait "$!" || status=1
        worked[$release]=$((worked[$release] + $(cat "$logs/$release/run.seconds")))
    fi
    dispose "$release"
    if [ "$status" = 0 ]; then
        passed=$((passed + 1))
        summary+=("$release passed in ${worked[$release]} s")
    else
        failed=$((failed + 1))
        summary+=("$release FAILED in ${worked[$release]} s")
    fi
done
[ ${#unchecked[@]} = 0 ] || printf '%s\n' "${unchecked[@]}" >"$logs/unchecked"
[ ${#started[@]} = 0 ] || say "the releases that started, done in $((SECONDS - start)) s"
summarise
[ "$failed" = 0 ] || exit 1
[ "$passed" -gt 0 ] || exit 77
exit 0
