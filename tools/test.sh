#!/usr/bin/env bash
# Installs what the tests need where it is missing, lints the project, then
# builds and runs the whole suite through CTest, warnings as errors, four times:
# - with g++, the Debian packages for this machine, arm64 and armhf made and
#   checked, the ARM games played in qemu-user, and the Windows executable
#   cross-built, zipped and played under Wine; every release file made twice
#   and compared;
# - with g++ under AddressSanitizer and UndefinedBehaviorSanitizer;
# - with g++ 11;
# - with clang and its standard library, libc++, with GoogleTest built from
#   source against it.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
need() { # PACKAGE...: those of them not installed yet
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
    fi
}
need cmake g++ make pkg-config libgtest-dev libvterm-dev groff-base tmux \
    g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev lintian unzip \
    g++-11 clang libc++-dev libc++abi-dev googletest \
    g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user \
    clang-format clang-tidy shellcheck
# The ARM packages' libraries, for dpkg-shlibdeps and for qemu-user. The
# foreign architectures come after everything else, lest apt take the ARM
# builds of packages that are wanted only for this machine.
for arch in arm64 armhf; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
done
need libc6:arm64 libstdc++6:arm64 libc6:armhf libstdc++6:armhf
# Wine's 32-bit loader for ARM, which apt takes for wine's once those
# architectures are there, puts itself where the PC's loader is looked for,
# and no Windows program starts.
for arch in arm64 armhf; do
    if dpkg-query -W -f='${Status}' "wine32:$arch" 2>/dev/null | grep -q 'ok installed'; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y "wine32:$arch"
    fi
done

jobs=$(nproc)

# The lint, before anything is built; any finding stops the script. Only files
# git tracks are looked at, so that nothing in a build folder is.
# - The C++ files as .clang-format lays them out.
mapfile -t cxx < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${cxx[@]}"
# - Every shell script, by its name or its first line.
scripts=()
while IFS= read -r f; do
    if [[ $f == *.sh || $(head -n 1 "$f") == '#!'*sh ]]; then scripts+=("$f"); fi
done < <(git ls-files)
shellcheck "${scripts[@]}"
# - clang-tidy's checks, named in .clang-tidy, over every C++ source as it is
#   compiled: the compile commands of a configure for this machine, with the
#   tests, and of one for Windows. MinGW-w64's g++ is asked for its C++
#   headers, which clang does not find by itself for that target, and the
#   MinGW root stands in for the system's, whose headers are this machine's.
lint=build-lint
cmake -S . -B "$lint" -DROOMWALK_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake -S . -B "$lint/windows" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
sources() { sed -n 's/^  "file": "\(.*\)"$/\1/p' "$1/compile_commands.json"; }
linted="$(sources "$lint")
$(sources "$lint/windows")"
for f in $(git ls-files '*.cpp'); do
    grep -qxF "$PWD/$f" <<<"$linted" || { echo "clang-tidy: no compile command for $f"; exit 1; }
done
mingw=(--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=--sysroot=/usr/x86_64-w64-mingw32
    --extra-arg=-nostdinc++)
for dir in $(x86_64-w64-mingw32-g++-posix -x c++ -E -v /dev/null 2>&1 >/dev/null |
    sed -n '/^#include <...>/,/^End/s|^ \(.*/c++.*\)|\1|p'); do
    mingw+=("--extra-arg=-isystem$(realpath "$dir")")
done
tidy() { # compile-commands-folder clang-tidy-arguments...: lints that folder's sources
    local dir=$1
    shift
    sources "$dir" | xargs -P "$jobs" -n 1 clang-tidy --quiet -p "$dir" "$@" 2>&1 |
        { grep -Ev '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' || true; }
}
tidy "$lint"
tidy "$lint/windows" "${mingw[@]}"

suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DROOMWALK_TESTS=ON -DROOMWALK_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROOMWALK_WINE=ON -DROOMWALK_DEB=ON
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
suite build-sanitize -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
suite build-gcc11 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++-11
suite build-libcxx -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS=-stdlib=libc++ -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++ \
    -DROOMWALK_GTEST_SOURCE=/usr/src/googletest
