// Runs the game with its keys from a pipe and its screen into another.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct run {
    std::string out; // every byte the game wrote
    int status;      // as waitpid gives it
};

// What another program may leave non-blocking: the game's standard input, its
// standard output, or both.
enum { keysnonblocking = 1, screennonblocking = 2 };

// The keys go into the pipe as fast as the game takes them; or, given the
// sizes of pieces, taken in turn, in pieces of those sizes, each only once the
// game has answered every key before it and waits for more. With the screen
// non-blocking, nothing is read from it until the game waits for it to take
// more.
run piped(const std::string &keys, const std::vector<size_t> &pieces = {}, int nonblocking = 0);
