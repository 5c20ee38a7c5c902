// How a key is echoed where the game writes it itself: printable characters,
// TAB and newline as they are, other control characters in caret notation, so
// that no escape sequence among the keys ever reaches the terminal.
#pragma once

#include <string_view>

// The echo of one byte of the keys, spelt in shape. UTF-8 text is echoed as
// it is; owed and c1 carry over from byte to byte: the continuation bytes a
// UTF-8 lead byte still waits for, and whether that lead was 0xc2, which with
// a byte below 0xa0 spells a C1 control such as CSI.
inline std::string_view echo(unsigned char c, int &owed, bool &c1, char (&shape)[4])
{
    bool continuation = c >= 0x80 && c < 0xc0;
    // A byte from 0x80 to 0x9f is a C1 control unless it goes on a UTF-8
    // character that is not one; it is shown in the M- notation of cat -v.
    bool control = continuation && c < 0xa0 && (owed == 0 || c1);
    if (continuation) {
        owed = owed > 0 ? owed - 1 : 0;
        c1 = false;
    } else if (c >= 0xc0) {
        owed = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
        c1 = c == 0xc2;
    } else {
        owed = 0;
        c1 = false;
    }
    if (control) {
        shape[0] = 'M';
        shape[1] = '-';
        shape[2] = '^';
        shape[3] = static_cast<char>(c - 0x80 + 0x40);
        return {shape, 4};
    }
    if (c == '\t' || c == '\n' || (c >= 0x20 && c != 0x7f)) {
        shape[0] = static_cast<char>(c);
        return {shape, 1};
    }
    shape[0] = '^';
    shape[1] = c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    return {shape, 2};
}
