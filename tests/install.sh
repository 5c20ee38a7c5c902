#!/usr/bin/env bash
# Installs the game into a fresh prefix and plays the installed copy; CPack's
# tarball holds the same layout.
# install.sh BUILD-DIR VERSION
set -euo pipefail
here=$(dirname "$0")
prefix=$(mktemp -d)
tarball=$(mktemp -d)
trap 'rm -rf "$prefix" "$tarball"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
cpack -G TGZ --config "$1/CPackConfig.cmake" -B "$tarball" >/dev/null
tar -xzf "$tarball"/roomwalk-"$2"-*.tar.gz -C "$tarball"

# The plain layout, and nothing of the Debian package's.
want="./bin/roomwalk ./share/doc/roomwalk/LICENSE ./share/man/man6/roomwalk.6 "
for tree in "$prefix" "$tarball"/roomwalk-"$2"-*/; do
    files=$(cd "$tree" && find . -type f | sort | tr '\n' ' ')
    [ "$files" = "$want" ] || { printf '%s holds: %s\nwant: %s\n' "$tree" "$files" "$want"; exit 1; }
    test -x "$tree/bin/roomwalk"
done

page="$prefix/share/man/man6/roomwalk.6"
grep -q '^\.TH ROOMWALK 6 .* "roomwalk '"$2"'"' "$page" || { echo "no version $2 in: $(head -1 "$page")"; exit 1; }
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
for section in NAME SYNOPSIS DESCRIPTION STOPPING '"EXIT STATUS"'; do
    grep -qx "\.SH $section" "$page" || { echo "no $section in the manual page"; exit 1; }
done

"$here/played.sh" "$prefix/bin/roomwalk"
echo "installed game and manual page ok"
