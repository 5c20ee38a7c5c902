// How a key moves the player.
#pragma once

#include <cstdint>

// One step along an axis. Positions are never clamped, so a walk past either
// end of the 32-bit range wraps round instead of overflowing.
inline std::int32_t step(std::int32_t v, int by)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) +
                                     static_cast<std::uint32_t>(by));
}

// Applies the key to the position; false for every key that is not one of the
// four lower-case movement keys, which leaves the position as it was.
inline bool move(int key, std::int32_t &x, std::int32_t &y)
{
    switch (key) {
    case 'w':
        y = step(y, -1);
        return true;
    case 's':
        y = step(y, 1);
        return true;
    case 'a':
        x = step(x, -1);
        return true;
    case 'd':
        x = step(x, 1);
        return true;
    default:
        return false;
    }
}
