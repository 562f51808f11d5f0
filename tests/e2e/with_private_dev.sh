#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command with a /dev of its own, so that the /dev/comN links made in it
# stay out of sight of the rest of the machine. Start it in a mount namespace
# of its own: `unshare --mount --propagation private` as root, or with
# --map-root-user added as anyone else.
#
# The new /dev is a small tmpfs holding a link to every entry of the machine's
# /dev (mounted again below it as /dev/.host), so ptys, /dev/null and the rest
# work as before; the machine's /dev/comN aliases are left out. The serial
# ports' lock directory is private as well.
set -euo pipefail

staging=$(mktemp -d /tmp/zelvor-dev.XXXXXX)
mount -t tmpfs -o mode=0755,size=1m zelvor-dev "$staging"
mkdir "$staging/.host"
mount --rbind /dev "$staging/.host"
for entry in /dev/* /dev/.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    # The machine's own port aliases would hide the ones made in here.
    [[ ${entry##*/} =~ ^com[0-9]+$ ]] && continue
    ln -s "/dev/.host/${entry##*/}" "$staging/${entry##*/}"
done
mount --move "$staging" /dev
rmdir "$staging"
# Serial port lock files too: a console running outside must not lock out the
# one in here, nor the other way round.
lock_dir=$(readlink -f /var/lock)
mount -t tmpfs -o mode=1777,size=1m zelvor-lock "$lock_dir"
exec "$@"
