// What the kernel tells of a running program.
#pragma once

#include <sys/types.h>

#include <functional>

// Whether the process is asleep waiting for its standard input, which the game
// is only once it has answered every key it has taken: in read() itself, or in
// select() with nothing to write.
bool reading(pid_t pid);

// Whether the process is asleep waiting for its standard output to take more:
// in write() itself, or in select() for it.
bool writing(pid_t pid);

// Waits until done() holds, looking again every millisecond; false if it does
// not come to that within a few seconds.
bool eventually(const std::function<bool()> &done);

// Waits until the process is reading its standard input; false if it does not
// come to that within a few seconds.
bool waitsforkey(pid_t pid);

// The same, until it waits to write.
bool waitstowrite(pid_t pid);

// The letter of its state, as ps shows it ('S' asleep, 'T' stopped), and how
// often it has given up the processor of its own accord; 0 for a process that
// is gone.
char state(pid_t pid);
long yielded(pid_t pid);

// The write() calls the process has made so far.
long writes(pid_t pid);
