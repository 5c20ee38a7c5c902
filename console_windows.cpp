// The console on Windows: the command interpreter clears it, and the
// runtime's _getche reads each key and echoes it.

#include "console.h"

#include <conio.h>
#include <cstdio>
#include <cstdlib>

void cls()
{
    std::fflush(stdout);
    std::system("cls");
}

void put(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int getkey()
{
    // EOF once the console is gone and no key can come any more.
    int c = _getche();
    return c == EOF ? -1 : c & 0xff;
}
