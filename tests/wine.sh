#!/usr/bin/env bash
# Unpacks the Windows zip, checks what it holds, and plays the game from it in
# a Windows console under Wine, inside a tmux pane, reading the screen back as
# a person would see it.
# wine.sh ROOMWALK.ZIP WINEPREFIX SOURCE-DIR
set -euo pipefail
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mkdir -p "$2"
WINEPREFIX=$(cd "$2" && pwd)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
src=$3
sock="roomwalk-wine-$$"
unpacked=$(mktemp -d)
tm() { tmux -L "$sock" "$@"; }
cleanup() {
    tm kill-server 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$unpacked"
}
trap cleanup EXIT

# One folder: the game, and the README and the licence as Windows text files.
(cd "$unpacked" && cmake -E tar xf "$zip")
folder=$(basename "$zip" .zip)
files=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
want="./$folder/LICENSE.txt ./$folder/README.txt ./$folder/roomwalk.exe "
[ "$files" = "$want" ] || { printf 'the zip holds: %s\nwant: %s\n' "$files" "$want"; exit 1; }
for text in README.md:README.txt LICENSE:LICENSE.txt; do
    cmp <(sed 's/$/\r/' "$src/${text%%:*}") "$unpacked/$folder/${text#*:}" ||
        { echo "${text#*:} is not ${text%%:*} with Windows line ends"; exit 1; }
done
exe="$unpacked/$folder/roomwalk.exe"

# The first start builds the prefix, which takes a while; do it apart from the
# game, so that the game's own start is quick.
wineboot -i >/dev/null 2>&1 || true
wineserver -w

# A closed console: the game draws its first frame and ends with status 0.
out=$(wine "$exe" </dev/null 2>/dev/null | tr -d '\r')
case "$out" in
*"WSAD - Sterwoanie"*"#@.......#"*"##########") ;;
*) echo "no first frame without a console: $out"; exit 1 ;;
esac

room() { # x y echoes: the screen with the player at x,y
    local rows=("##########" "#........#" "#........#" "#........#" "#........#" "##########")
    if [ "$1" -ge 1 ] && [ "$1" -le 8 ] && [ "$2" -ge 1 ] && [ "$2" -le 4 ]; then
        local r=${rows[$2]}
        rows[$2]="${r:0:$1}@${r:$(($1 + 1))}"
    fi
    printf '%s\n' "WSAD - Sterwoanie" "Vovovade Zezozoriz Adivod Ruv'a" "" "${rows[@]:0:5}" "${rows[5]}$3"
}

screen() { tm capture-pane -p -t game | sed -e 's/ *$//' | sed -e ':a' -e '/^\n*$/{$d;N;ba' -e '}'; }

expect() { # x y echoes: waits until the pane shows that, cursor right of it
    local want cursor="$((10 + ${#3})),8" deadline=$((SECONDS + ${4:-30}))
    want=$(room "$1" "$2" "$3")
    until [ "$(screen)" = "$want" ] && [ "$(tm display -p -t game '#{cursor_x},#{cursor_y}')" = "$cursor" ]; do
        if [ $SECONDS -ge $deadline ]; then
            printf 'want the player at %s,%s with echoes "%s", cursor %s; the pane shows:\n' "$1" "$2" "$3" "$cursor"
            screen
            tm display -p -t game 'cursor #{cursor_x},#{cursor_y}'
            exit 1
        fi
        sleep 0.2
    done
    echo "ok: player at $1,$2, echoes \"$3\""
}

tm new-session -d -s game -x 80 -y 24 "wine '$exe'"
expect 1 1 "" 120
tm send-keys -t game d
expect 2 1 ""
tm send-keys -t game W
expect 2 1 W
tm send-keys -t game w
expect 2 0 ""
tm send-keys -t game s
expect 2 1 ""
