#include "console.h"
#include "move.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

void generate1(std::int32_t x, std::int32_t y)
{
    static const std::int32_t map[6 * 10] = {
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 0, 0, 0, 0, 0, 0, 0, 0, 1, //
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, //
    };
    // The whole frame is built here and goes to the console at once, so that
    // no half-drawn room is ever on the screen.
    static const char title[] = "WSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'a\n";
    char frame[sizeof title - 1 + std::size_t{6} * 11];
    std::size_t n = sizeof title - 1;
    std::memcpy(frame, title, n);
    for (int r = 0; r < 6; ++r) {
        frame[n++] = '\n';
        for (int c = 0; c < 10; ++c) {
            if (map[r * 10 + c] == 1)
                frame[n++] = '#';
            else
                frame[n++] = (y == r && x == c) ? '@' : '.';
        }
    }
    cls();
    put(std::string_view(frame, n));
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
