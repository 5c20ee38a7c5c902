// The game with its keys from a pipe: every byte it writes, checked exactly.

#include "piped.h"
#include "room.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

void expect_transcript(const std::string &keys, const std::string &want)
{
    run r = piped(keys);
    EXPECT_EQ(r.out, want) << "keys " << testing::PrintToString(keys);
    EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0)
        << "keys " << testing::PrintToString(keys) << ": status " << r.status;
}

struct transcript_case {
    std::string keys;
    std::string want;
};

TEST(Transcript, MovesAndIgnoredKeys)
{
    const transcript_case cases[] = {
        {"", frame(1, 1)},
        {"dq", frame(1, 1) + "d" + frame(2, 1) + "q"},
        // Onto the wall and back: the player vanishes, then comes back.
        {"ws", frame(1, 1) + "w" + frame(1, 0) + "s" + frame(1, 1)},
        {"ddddddd", frame(1, 1) + "d" + frame(2, 1) + "d" + frame(3, 1) + "d" + frame(4, 1) + "d" +
                        frame(5, 1) + "d" + frame(6, 1) + "d" + frame(7, 1) + "d" + frame(8, 1)},
        // Only lower case moves; the echoes of other keys pile up until a move.
        {"WASDqd", frame(1, 1) + "WASDqd" + frame(2, 1)},
        // Off the map a move still redraws, although the frame is the same.
        {"aaa", frame(1, 1) + "a" + frame(0, 1) + "a" + frame(-1, 1) + "a" + frame(-2, 1)},
        {"sssss", frame(1, 1) + "s" + frame(1, 2) + "s" + frame(1, 3) + "s" + frame(1, 4) + "s" +
                      frame(1, 5) + "s" + frame(1, 6)},
    };
    for (const auto &c : cases)
        expect_transcript(c.keys, c.want);
}

TEST(Transcript, NoEscapeSequenceReachesTheScreen)
{
    const transcript_case cases[] = {
        {"\x1b[2J", "^[[2J"},
        {"\x7f\x01\x1a"s + '\0', "^?^A^Z^@"},
        {"\r", "^M"},
        {"\t\n", "\t\n"},
        // UTF-8 text echoes as it is, but not a C1 control spelt in UTF-8 or
        // as a bare byte.
        {"\xc3\xa9\xe2\x80\x94\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x80\x94\xf0\x9f\x98\x80"},
        {"\xc2\xa0\xff", "\xc2\xa0\xff"},
        {"\xc2\x9b"
         "2J",
         "\xc2M-^[2J"},
        {"\x9b\x90\x80", "M-^[M-^PM-^@"},
    };
    for (const auto &c : cases)
        expect_transcript(c.keys, frame(1, 1) + c.want);
}

// What the game must echo for each key of a stream: an independent model of
// the echo rules, for streams too long to write out by hand.
std::string echoes(unsigned char c, int &owed, bool &c1)
{
    std::string out;
    if (c >= 0x80 && c < 0xc0) {
        bool control = c < 0xa0 && (owed == 0 || c1);
        owed = owed ? owed - 1 : 0;
        c1 = false;
        if (control)
            return "M-^"s + static_cast<char>(c - 0x40);
        return std::string(1, static_cast<char>(c));
    }
    owed = c < 0xc0 ? 0 : c < 0xe0 ? 1 : c < 0xf0 ? 2 : 3;
    c1 = c == 0xc2;
    if (c == 0x7f)
        return "^?";
    if (c < 0x20 && c != '\t' && c != '\n')
        return "^"s + static_cast<char>(c | 0x40);
    return std::string(1, static_cast<char>(c));
}

// What the game must write for a stream of keys handled one at a time, and
// where the player ends up.
std::string model(const std::string &keys, long &x, long &y)
{
    std::string want = frame(1, 1);
    x = 1;
    y = 1;
    int owed = 0;
    bool c1 = false;
    for (unsigned char c : keys) {
        want += echoes(c, owed, c1);
        switch (c) {
        case 'w':
            --y;
            break;
        case 's':
            ++y;
            break;
        case 'a':
            --x;
            break;
        case 'd':
            ++x;
            break;
        default:
            continue;
        }
        want += frame(x, y);
    }
    return want;
}

void expect_output(const run &r, const std::string &want, const std::string &what)
{
    ASSERT_EQ(r.out.size(), want.size()) << what;
    EXPECT_TRUE(r.out == want) << what << ": first difference at byte "
                               << std::mismatch(want.begin(), want.end(), r.out.begin()).first -
                                      want.begin();
    EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0) << what;
}

TEST(Transcript, RandomKeyStreamsFollowTheModel)
{
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> byte(0, 255), coin(0, 1), dir(0, 3);
        std::string keys;
        for (int i = 0; i < 4000; ++i) {
            // Half of the keys move, so that the walk goes on and off the map.
            keys += static_cast<char>(coin(rng) ? "wasd"[dir(rng)] : byte(rng));
        }
        long x, y;
        std::string want = model(keys, x, y);
        run r = piped(keys);
        expect_output(r, want, "seed " + std::to_string(seed));
        // The screen the walk ends on starts with the frame of the model's position.
        std::string last = frame(x, y);
        size_t at = r.out.rfind("\x1b[H\x1b[2J");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(r.out.compare(at, last.size(), last), 0) << "seed " << seed;
    }
}

// However the keys fall into pieces, they give the same bytes as the same keys
// one at a time: one byte each, a few bytes, pieces longer than the game reads
// at once, and ends of pieces and of reads inside UTF-8 characters, control
// sequences and runs of moves.
TEST(Transcript, KeysInPiecesOfEverySize)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> kind(0, 3), byte(0, 255), dir(0, 3), run(1, 30);
    const char *const characters[] = {"\xc3\xa9", "\xe2\x80\x94", "\xf0\x9f\x98\x80",
                                      "\xc2\x9b", "\xc2\xa0",     "\x1b[2J"};
    std::uniform_int_distribution<size_t> character(0, std::size(characters) - 1);
    std::string keys;
    while (keys.size() < 13000) {
        switch (kind(rng)) {
        case 0:
            keys += static_cast<char>(byte(rng));
            break;
        case 1:
            keys += characters[character(rng)];
            break;
        default:
            for (int n = run(rng); n > 0; --n)
                keys += "wasd"[dir(rng)];
        }
    }
    // Across the first ends of blocks of a few KiB: a C1 control spelt in
    // UTF-8, a character of three bytes and a run of moves.
    keys.replace(4095, 2, "\xc2\x9b");
    keys.replace(8190, 3, "\xe2\x80\x94");
    keys.replace(12286, 4, "dsaw");
    long x, y;
    std::string want = model(keys, x, y);
    const std::vector<size_t> cuts[] = {{1},       {2, 3, 5, 7}, {4095, 1}, {4096},
                                        {4097, 3}, {100, 9000},  {20000}};
    for (const auto &sizes : cuts)
        expect_output(piped(keys, sizes), want, "pieces " + testing::PrintToString(sizes));
}

} // namespace
