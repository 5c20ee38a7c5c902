#!/usr/bin/env bash
# Makes the Debian package as the README says, in a Release build folder of
# its own, and checks it without touching the machine: lintian, the package's
# fields and files, how the game was built, and the unpacked game played
# through a pipe. With an architecture, a toolchain file and an emulator, the
# same for a package cross-built for that architecture, its game played in the
# emulator.
# deb.sh SOURCE-DIR WORK-DIR VERSION [ARCH TOOLCHAIN-FILE EMULATOR...]
set -euo pipefail
src=$(cd "$1" && pwd)
build="$2/build"
version=$3
arch=$(dpkg --print-architecture)
cross=()
emulator=()
if [ $# -gt 3 ]; then
    arch=$4
    cross=(-DCMAKE_TOOLCHAIN_FILE="$5")
    emulator=("${@:6}")
fi
here=$(dirname "$0")
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
fail() { echo "$@"; exit 1; }

cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "${cross[@]}" >/dev/null
cmake --build "$build" >/dev/null
# A build with nothing to do runs nothing.
again=$(cmake --build "$build" | grep -v -e 'Built target' -e 'no work to do' || true)
[ -z "$again" ] || fail "a second build ran: $again"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/roomwalk_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls "$build"/*.deb)"

# Lintian: no error and no warning; the rest is shown.
lintian --display-info --pedantic "$deb" 2>/dev/null || true
lintian --fail-on error,warning "$deb" 2>/dev/null >/dev/null || fail "lintian found errors or warnings"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = roomwalk ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
# Depends as dpkg-shlibdeps finds it: the C and C++ runtime, with versions.
depends=$(field Depends)
[[ "$depends" == *"libc6 (>= "*"libstdc++6 (>= "* ]] || fail "Depends: $depends"
description=$(field Description)
[[ "$(head -1 <<<"$description")" == *room*terminal* ]] || fail "Description: $description"
[ "$(wc -l <<<"$description")" -gt 3 ] || fail "no long description: $description"

# Debian's layout for a game, and nothing else, all of it root's.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')
want="./usr/games/roomwalk ./usr/share/doc/roomwalk/changelog.gz ./usr/share/doc/roomwalk/copyright ./usr/share/man/man6/roomwalk.6.gz "
[ "$files" = "$want" ] || fail "files: $files; want: $want"
owners=$(dpkg-deb -c "$deb" | awk '{ print $2 }' | sort -u)
[ "$owners" = root/root ] || fail "owners: $owners"

dpkg-deb -x "$deb" "$unpacked"
doc="$unpacked/usr/share/doc/roomwalk"
zcat "$unpacked/usr/share/man/man6/roomwalk.6.gz" | head -1 | grep -q "\"roomwalk $version\"" ||
    fail "manual page header: $(zcat "$unpacked/usr/share/man/man6/roomwalk.6.gz" | head -1)"
zcat "$doc/changelog.gz" | head -1 | grep -q "^roomwalk ($version) " || fail "changelog: $(zcat "$doc/changelog.gz" | head -1)"
head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright: $(head -1 "$doc/copyright")"
grep -qx 'License: Expat' "$doc/copyright" || fail "copyright names no licence"
grep -q "^ Permission is hereby granted, free of charge" "$doc/copyright" || fail "copyright lacks the licence's terms"

# Built with Debian's hardening flags: each of those dpkg-buildflags gives,
# but for its optimisation and debugging, is on every compile of the game;
# the linker's and the compiler's leave their marks on the program.
flags=$(cd "$src" && export DEB_HOST_ARCH="$arch" DEB_BUILD_MAINT_OPTIONS=hardening=+all &&
    dpkg-buildflags --get CPPFLAGS && DEB_CXXFLAGS_MAINT_STRIP="-g -O2" dpkg-buildflags --get CXXFLAGS)
for source in main.cpp console_posix.cpp; do
    command=$(grep "\"command\": .*/$source\"" "$build/compile_commands.json" | grep -v bench)
    for flag in $flags; do
        [[ " $command " == *" $flag "* ]] || fail "$source built without $flag: $command"
    done
done
game="$unpacked/usr/games/roomwalk"
readelf -h "$game" | grep -q 'Type: *DYN' || fail "not a position-independent executable"
readelf -lW "$game" | grep -q GNU_RELRO || fail "no read-only relocations"
readelf -dW "$game" | grep -q 'FLAGS.*BIND_NOW' || fail "not bound at once"
readelf --dyn-syms -W "$game" | grep -q __stack_chk_fail || fail "no stack protector"
readelf -SW "$game" | grep -q '\.symtab' && fail "not stripped"

"$here/played.sh" "${emulator[@]}" "$game"
echo "Debian package ok: $(basename "$deb")"
