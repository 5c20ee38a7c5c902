// What the game must show, worked out from the room as a person sees it.
#pragma once

#include <string>
#include <vector>

// The screen lines of the title and the room with the player at column x,
// row y, and any echoes after the last wall glyph.
std::vector<std::string> room(long x, long y, const std::string &echoes = "");

// The exact bytes of one frame with the player at column x, row y: the
// clear, then the same lines with a line break between each two.
std::string frame(long x, long y);
