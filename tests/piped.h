// Runs the game with its keys from a pipe and its screen into another.
#pragma once

#include <string>

struct run {
    std::string out; // every byte the game wrote
    int status;      // as waitpid gives it
};

run piped(const std::string &keys);

// The exact bytes of one frame with the player at column x, row y.
std::string frame(long x, long y);
