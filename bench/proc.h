// What the kernel tells of a running program.
#pragma once

#include <sys/types.h>

// Whether the process is asleep reading its standard input, which the game is
// only once it has answered every key it has taken.
bool reading(pid_t pid);

// Waits until the process is reading its standard input; false if it does not
// come to that within a few seconds.
bool waitsforkey(pid_t pid);

// The write() calls the process has made so far.
long writes(pid_t pid);
