#!/usr/bin/env bash
# Installs the game into a fresh prefix and plays the installed copy.
# install.sh BUILD-DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null

page="$prefix/share/man/man6/roomwalk.6"
test -x "$prefix/bin/roomwalk"
test -f "$page"
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
for section in NAME SYNOPSIS DESCRIPTION STOPPING '"EXIT STATUS"'; do
    grep -qx "\.SH $section" "$page" || { echo "no $section in the manual page"; exit 1; }
done

frame() { # the bytes of a frame with the player on row 1, as a row of cells
    printf '\033[H\033[2JWSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'"'"'a\n\n##########\n%s\n' "$1"
    printf '#........#\n#........#\n#........#\n##########'
}
want=$( (frame '#@.......#'; printf d; frame '#.@......#'; printf q) | od -An -tx1)
got=$(printf dq | "$prefix/bin/roomwalk" | od -An -tx1)
[ "$got" = "$want" ] || { printf 'want\n%s\ngot\n%s\n' "$want" "$got"; exit 1; }
echo "installed game and manual page ok"
