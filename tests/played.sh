#!/usr/bin/env bash
# Plays a copy of the game through a pipe and checks every byte it writes;
# the game may be run by an emulator.
# played.sh [EMULATOR...] GAME
set -euo pipefail
frame() { # the bytes of a frame with the player on row 1, as a row of cells
    printf '\033[H\033[2JWSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'"'"'a\n\n##########\n%s\n' "$1"
    printf '#........#\n#........#\n#........#\n##########'
}
want=$( (frame '#@.......#'; printf d; frame '#.@......#'; printf q) | od -An -tx1)
got=$(printf dq | "$@" | od -An -tx1)
[ "$got" = "$want" ] || { printf 'want\n%s\ngot\n%s\n' "$want" "$got"; exit 1; }
