#!/usr/bin/env bash
# Installs what the tests need where it is missing, then builds and runs the
# whole suite twice through CTest: a plain build with warnings as errors, which
# also cross-builds the Windows executable and plays it under Wine, and one
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libgtest-dev libvterm-dev groff-base tmux
    g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

jobs=$(nproc)
suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DROOMWALK_TESTS=ON -DROOMWALK_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROOMWALK_WINE=ON
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
suite build-sanitize -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
