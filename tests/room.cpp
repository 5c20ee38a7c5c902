#include "room.h"

std::vector<std::string> room(long x, long y, const std::string &echoes)
{
    std::vector<std::string> lines = {"WSAD - Sterwoanie",
                                      "Vovovade Zezozoriz Adivod Ruv'a",
                                      "",
                                      "##########",
                                      "#........#",
                                      "#........#",
                                      "#........#",
                                      "#........#",
                                      "##########"};
    if (x >= 1 && x <= 8 && y >= 1 && y <= 4)
        lines[static_cast<size_t>(y) + 3][static_cast<size_t>(x)] = '@';
    lines[8] += echoes;
    return lines;
}

std::string frame(long x, long y)
{
    std::string f = "\x1b[H\x1b[2J";
    for (const auto &line : room(x, y))
        f += line + "\n";
    f.pop_back(); // the last row ends without a line break
    return f;
}
