#!/usr/bin/env bash
# Plays the Windows build in a Windows console under Wine, inside a tmux pane,
# and reads the screen back as a person would see it.
# wine.sh ROOMWALK.EXE WINEPREFIX
set -euo pipefail
exe=$1
mkdir -p "$2"
export WINEPREFIX="$(cd "$2" && pwd)" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sock="roomwalk-wine-$$"
tm() { tmux -L "$sock" "$@"; }
cleanup() {
    tm kill-server 2>/dev/null || true
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

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
