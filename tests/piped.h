// Runs the game with its keys from a pipe and its screen into another.
#pragma once

#include <string>

struct run {
    std::string out; // every byte the game wrote
    int status;      // as waitpid gives it
};

run piped(const std::string &keys);
