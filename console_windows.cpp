// The console on Windows: the command interpreter clears it, and the
// runtime's _getche reads each key and echoes it.

#include "console.h"

#include <conio.h>
#include <cstdio>
#include <cstdlib>

// A console that takes no more text has nothing left to show, and the game
// goes on until its keys end, so the results of writing are not looked at.

void cls()
{
    (void)std::fflush(stdout);
    // cls is what clears the console, and the command interpreter the one
    // that has it; the name is fixed, so no input reaches the command.
    std::system("cls"); // NOLINT(cert-env33-c)
}

void put(std::string_view text)
{
    (void)std::fwrite(text.data(), 1, text.size(), stdout);
    (void)std::fflush(stdout);
}

int getkey()
{
    // EOF once the console is gone and no key can come any more.
    int c = _getche();
    return c == EOF ? -1 : c & 0xff;
}
