#!/usr/bin/env bash
# The README's promise, checked: bootstraps a minimal Debian 12 below
# /var/tmp (debootstrap, minbase, plus git and ca-certificates), with this
# machine's apt sources and configuration, a tmpfs on /tmp and a clean clone
# of this checkout in /root, and runs the README's two commands there as root:
# the test command, then the main job. Each command's log is kept in
# out/fresh-check/.
#
# Everything mounted, and every process started, lives in a mount and PID
# namespace of its own, so nothing stays mounted or running after it. The
# chroot is removed on every exit, once nothing is mounted below it; those
# that killed runs left are removed the same way.
#
# Exit 0 when both commands pass, 1 when either fails, 77 when the check
# cannot start: not root, no debootstrap to be had, or the registry out of
# reach.
set -uo pipefail
cd "$(dirname "$0")/.."
# su without - leaves root a PATH without debootstrap and chroot.
PATH=/usr/local/sbin:/usr/sbin:/sbin:$PATH
repo=$(pwd)
release=bookworm
prefix=/var/tmp/talvex-fresh
logs=$repo/out/fresh-check
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
    local root=$1 name=$2 command=$3 status start=$SECONDS
    chroot "$root" env -i HOME=/root TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/talvex && $command" >"$logs/$name.log" 2>&1
    status=$?
    if [ "$status" = 0 ]; then
        say "$command passed in $((SECONDS - start)) s"
        grep "^install-deps:" "$logs/$name.log"
        tail -n 1 "$logs/$name.log"
    else
        say "$command FAILED (exit $status) after $((SECONDS - start)) s; its log:"
        cat "$logs/$name.log"
    fi
    return "$status"
}

# Inside the namespaces: the system, its mounts, the two commands.
inside() {
    local root=$1 mirror=$2 start=$SECONDS status=0
    # As PID 1 of its namespace it would ignore a signal it has no trap for.
    trap 'exit 1' INT TERM HUP
    if ! debootstrap --variant=minbase --include=git,ca-certificates "$release" "$root" "$mirror" \
        >"$logs/debootstrap.log" 2>&1; then
        say "debootstrap FAILED; its log:"
        cat "$logs/debootstrap.log"
        return 1
    fi
    say "bootstrapped Debian $release in $((SECONDS - start)) s"
    rm -f "$root/etc/apt/sources.list"
    [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/"
    cp -rT /etc/apt/sources.list.d "$root/etc/apt/sources.list.d" &&
        cp -rT /etc/apt/apt.conf.d "$root/etc/apt/apt.conf.d" &&
        cp -L /etc/resolv.conf "$root/etc/resolv.conf" &&
        git clone -q "$repo" "$root/root/talvex" &&
        mount -t proc proc "$root/proc" &&
        mount -t sysfs sysfs "$root/sys" &&
        mount --bind /dev "$root/dev" &&
        mount --bind /dev/pts "$root/dev/pts" &&
        mount -t tmpfs tmpfs "$root/dev/shm" &&
        mount -t tmpfs tmpfs "$root/tmp" || { say "setting up the chroot FAILED"; return 1; }
    run_command "$root" test ./scripts/test.sh || status=1
    run_command "$root" demo ./scripts/demo.sh || status=1
    return $status
}

if [ "${1:-}" = --inside ]; then
    inside "$2" "$3"
    exit
fi

# Whether it can start at all, decided before anything is bootstrapped.
if [ "$(id -u)" != 0 ]; then
    say "cannot start: it must run as root"
    exit 77
fi
if ! command -v debootstrap >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq debootstrap >/dev/null 2>&1 ||
        { apt-get update -qq >/dev/null 2>&1; apt-get install -y -qq debootstrap >/dev/null 2>&1; } ||
        { say "cannot start: debootstrap cannot be installed"; exit 77; }
fi
# A source of the release, by the name its lines give or by its codename.
mirror=$(apt-get indextargets --format '$(RELEASE)|$(CODENAME)|$(REPO_URI)' 2>/dev/null |
    awk -F'|' -v release="$release" '$1 == release || $2 == release { print $3; exit }')
if [ -z "$mirror" ] || ! wget -q -O /dev/null "${mirror%/}/dists/$release/Release"; then
    say "cannot start: the registry is out of reach (${mirror:-no $release source among the apt sources})"
    exit 77
fi

# One check at a time; any chroot found now was left by a killed run.
exec 9>"$prefix.lock"
flock 9
for stale in "$prefix".*/; do
    [ -d "$stale" ] && remove_chroot "${stale%/}"
done
mkdir -p "$logs"
rm -f "$logs"/*.log
root=$(mktemp -d "$prefix.XXXXXX")
chmod 755 "$root"
trap 'chown -R --reference="$repo" "$repo/out"; remove_chroot "$root"' EXIT
start=$SECONDS
status=0
# Killing unshare kills the namespace's PID 1, and with it all inside.
unshare --kill-child -m -p -f --propagation private "$repo/scripts/fresh-check.sh" \
    --inside "$root" "$mirror" &
namespace=$!
trap 'kill -KILL "$namespace" 2>/dev/null; wait "$namespace"; exit 1' INT TERM HUP
wait "$namespace" || status=1
say "$([ "$status" = 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s"
exit $status
