#!/usr/bin/env bash
# Builds and packs every release file twice, from two copies of the source in
# folders of their own, one after the other, under another time zone, umask
# and locale, and checks that each file is the same bytes both times; where
# one differs, shows what inside it does.
# reproducible.sh SOURCE-DIR WORK-DIR VERSION
set -euo pipefail
src=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
version=$3
arch=$(dpkg --print-architecture)
files=("roomwalk_${version}_$arch.deb" "roomwalk_${version}_arm64.deb" "roomwalk_${version}_armhf.deb"
    "roomwalk-$version-win64.zip")

# A date set outside would stand in for the release's own, which is what is
# tested here.
unset SOURCE_DATE_EPOCH

quiet() { # COMMAND...: runs it, and shows what it said only if it fails
    local said
    said=$("$@" 2>&1) || { printf '%s\n' "$said"; return 1; }
}

release() { # DIR: copies the source into DIR and makes every release file there
    local dir=$1 kind generator toolchain
    rm -rf "$dir"
    mkdir -p "$dir/source" "$dir/out"
    (cd "$src" && git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ ! -e "$f" ] || cp --parents "$f" "$dir/source"; done)
    for kind in native:DEB aarch64-linux-gnu:DEB arm-linux-gnueabihf:DEB mingw-w64:ZIP; do
        generator=${kind#*:}
        toolchain=()
        [ "${kind%:*}" = native ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$dir/source/cmake/${kind%:*}.cmake")
        quiet cmake -S "$dir/source" -B "$dir/${kind%:*}" -DCMAKE_BUILD_TYPE=Release "${toolchain[@]}"
        quiet cmake --build "$dir/${kind%:*}"
        (cd "$dir/${kind%:*}" && quiet cpack -G "$generator" -B "$dir/out")
    done
}

(umask 022 && TZ=UTC LC_ALL=C release "$work/first")
(umask 077 && TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 release "$work/second")

listing() { # FILE: the archive's members, with their modes, owners and times
    case "$1" in
    *.deb)
        ar tv "$1"
        dpkg-deb --ctrl-tarfile "$1" | tar -tv --full-time
        dpkg-deb --fsys-tarfile "$1" | tar -tv --full-time
        ;;
    *) # each line of the long listing headed by the name of its entry
        zipinfo -v "$1" | awk '/^Central directory entry/ { entry = 1 }
            entry && /^  [^ ]/ && !/^  There / { name = $1; entry = 0 }
            NR > 1 { print name ": " $0 }' ;;
    esac
}
unpack() { # FILE DIR
    mkdir -p "$2"
    case "$1" in
    *.deb) dpkg-deb -R "$1" "$2" ;;
    *) (cd "$2" && cmake -E tar xf "$1") ;;
    esac
}

failed=0
for file in "${files[@]}"; do
    a="$work/first/out/$file" b="$work/second/out/$file"
    if cmp "$a" "$b"; then
        echo "same bytes: $file"
        continue
    fi
    failed=1
    if command -v diffoscope >/dev/null; then
        diffoscope "$a" "$b" || true
    else
        diff <(listing "$a") <(listing "$b") || true
        unpack "$a" "$work/first/unpacked/$file"
        unpack "$b" "$work/second/unpacked/$file"
        diff -r "$work/first/unpacked/$file" "$work/second/unpacked/$file" || true
    fi
done
exit $failed
