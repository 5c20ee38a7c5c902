#include "echo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

std::string echoed(const std::string &keys)
{
    int owed = 0;
    bool c1 = false;
    std::string out;
    for (unsigned char c : keys) {
        char shape[4];
        out += echo(c, owed, c1, shape);
    }
    return out;
}

struct echo_case {
    std::string keys;
    std::string shown;
};

// The edges of each rule: the control characters around TAB and newline, DEL,
// C1 controls bare and spelt in UTF-8, and bytes of 0x80 to 0x9f inside a
// UTF-8 character, where they are text.
TEST(Echo, EveryKindOfByte)
{
    const echo_case cases[] = {
        {"\0\x08\t\n\x0b\r\x1b\x1f"s, "^@^H\t\n^K^M^[^_"},
        {" ~\x7f", " ~^?"},
        {"\x80\x9f\xa0\xbf", "M-^@M-^_\xa0\xbf"},
        {"\xc2\x80\xc2\x9f\xc2\xa0", "\xc2M-^@\xc2M-^_\xc2\xa0"},
        {"\xc3\x80\xe2\x80\x94\xf0\x9f\x98\x80", "\xc3\x80\xe2\x80\x94\xf0\x9f\x98\x80"},
        // A lead byte whose character is cut short owes nothing after it.
        {"\xe2q\x80", "\xe2qM-^@"},
        {"\xf0\x9f\x98\x80\x80", "\xf0\x9f\x98\x80M-^@"},
        {"\xc0\xff\xfe", "\xc0\xff\xfe"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(echoed(c.keys), c.shown) << testing::PrintToString(c.keys);
}

} // namespace
