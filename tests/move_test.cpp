#include "move.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();

struct step_case {
    int key;
    std::int32_t x, y;   // before
    std::int32_t nx, ny; // after
    bool moved;
};

// Runs under UBSan too: a step past either end of the range must wrap round
// without overflowing.
TEST(Move, KeysAndTheEndsOfTheRange)
{
    const step_case cases[] = {
        {'d', hi, 0, lo, 0, true}, {'a', lo, 0, hi, 0, true},     {'s', 0, hi, 0, lo, true},
        {'w', 0, lo, 0, hi, true}, {'d', hi - 1, 3, hi, 3, true}, {'a', lo + 1, 3, lo, 3, true},
        {'w', 1, 1, 1, 0, true},   {'s', 1, 1, 1, 2, true},       {'a', 1, 1, 0, 1, true},
        {'d', 1, 1, 2, 1, true},   {'W', 1, 1, 1, 1, false},      {'A', 1, 1, 1, 1, false},
        {'S', 1, 1, 1, 1, false},  {'D', 1, 1, 1, 1, false},      {'q', 1, 1, 1, 1, false},
        {0, 1, 1, 1, 1, false},    {255, 1, 1, 1, 1, false},      {'w' + 256, 1, 1, 1, 1, false},
    };
    for (const auto &c : cases) {
        std::int32_t x = c.x, y = c.y;
        EXPECT_EQ(move(c.key, x, y), c.moved) << "key " << c.key;
        EXPECT_EQ(x, c.nx) << "key " << c.key << " from " << c.x << "," << c.y;
        EXPECT_EQ(y, c.ny) << "key " << c.key << " from " << c.x << "," << c.y;
    }
}

} // namespace
