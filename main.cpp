#include "console.h"
#include "move.h"

#include <cstdint>
#include <string>

void generate1(std::int32_t x, std::int32_t y)
{
    static const int map[6 * 10] = {
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, //
    };
    // The whole frame goes to the console at once, so that no half-drawn room
    // is ever on the screen.
    std::string frame = "WSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'a\n";
    for (int r = 0; r < 6; ++r) {
        frame += '\n';
        for (int c = 0; c < 10; ++c) {
            if (map[r * 10 + c] == 1)
                frame += '#';
            else
                frame += (y == r && x == c) ? '@' : '.';
        }
    }
    cls();
    put(frame);
}

int main()
{
    std::int32_t x = 1;
    std::int32_t y = 1;
    generate1(x, y);
    for (int key; (key = getkey()) >= 0;)
        if (move(key, x, y))
            generate1(x, y);
    return 0;
}
