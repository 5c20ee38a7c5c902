#!/usr/bin/env bash
# Installs the game into a fresh prefix and plays the installed copy.
# install.sh BUILD-DIR VERSION
set -euo pipefail
here=$(dirname "$0")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null

# The plain layout, and nothing of the Debian package's.
files=$(cd "$prefix" && find . -type f | sort | tr '\n' ' ')
want="./bin/roomwalk ./share/doc/roomwalk/LICENSE ./share/man/man6/roomwalk.6 "
[ "$files" = "$want" ] || { printf 'installed: %s\nwant: %s\n' "$files" "$want"; exit 1; }
test -x "$prefix/bin/roomwalk"

page="$prefix/share/man/man6/roomwalk.6"
grep -q '^\.TH ROOMWALK 6 .* "roomwalk '"$2"'"' "$page" || { echo "no version $2 in: $(head -1 "$page")"; exit 1; }
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
for section in NAME SYNOPSIS DESCRIPTION STOPPING '"EXIT STATUS"'; do
    grep -qx "\.SH $section" "$page" || { echo "no $section in the manual page"; exit 1; }
done

"$here/played.sh" "$prefix/bin/roomwalk"
echo "installed game and manual page ok"
