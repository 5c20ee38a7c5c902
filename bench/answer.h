// What the game writes for "d" from the start: the echo, the clear and the
// frame. The floor programs write it ready-made for every key.
#pragma once

#include <string>

inline std::string answer()
{
    std::string a = "d\x1b[H\x1b[2JWSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'a\n";
    for (const char *row :
         {"##########", "#.@......#", "#........#", "#........#", "#........#", "##########"})
        a += std::string("\n") + row;
    return a;
}
