// The console on Windows: the command interpreter clears it, and the
// runtime's _getche reads each key and echoes it.

#include "console.h"

#include <conio.h>
#include <cstdio>
#include <cstdlib>
#include <windows.h>

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

namespace {

// Whether the console is still there to give keys.
bool console()
{
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    DWORD mode;
    bool there = GetConsoleMode(in, &mode);
    CloseHandle(in);
    return there;
}

} // namespace

int getkey()
{
    int c = _getche();
    if (c != EOF)
        return c & 0xff;
    // The runtime hands a key over as a signed char, so the key 0xff (the
    // no-break space of code page 437) comes back as EOF, and unechoed. EOF
    // means the end only once the console is gone and no key can come any more.
    if (!console())
        return -1;
    _putch(0xff);
    return 0xff;
}
