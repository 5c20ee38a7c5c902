// The game on a terminal, seen through a terminal emulator as a person would
// see it.

#include "room.h"
#include "terminal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

// The last row of the room is screen row 8; the cursor waits right of its
// last wall glyph, after the echoes of any ignored keys.
constexpr int bottom = 8;

void expect_room(terminal &t, long x, long y, const std::string &echoes = "")
{
    int width = 0; // of the echoes on the screen, one cell for each UTF-8 character
    for (unsigned char c : echoes)
        width += (c & 0xc0) != 0x80;
    EXPECT_TRUE(t.shows(room(x, y, echoes), bottom, 10 + width))
        << "want the player at " << x << "," << y << " with echoes '" << echoes << "', screen:\n"
        << testing::PrintToString(t.screen());
}

// The user's own screen, as it was before the game started.
void expect_shell_screen(terminal &t)
{
    EXPECT_TRUE(t.shows({"$ roomwalk"}, 1, 0)) << testing::PrintToString(t.screen());
    EXPECT_FALSE(t.alt);
}

TEST(Screen, FirstFrameOnTheAlternateScreen)
{
    terminal t;
    expect_room(t, 1, 1);
    EXPECT_TRUE(t.alt);
    termios game = t.modes();
    EXPECT_FALSE(game.c_lflag & (ICANON | ECHO | IEXTEN));
    EXPECT_TRUE(game.c_lflag & ISIG);
    EXPECT_FALSE(game.c_iflag & IXON);
}

struct walk_step {
    std::string keys;
    long x, y; // where the player is after them
};

// Each step ends with an ignored key, whose echo right of the room shows that
// the game has dealt with every key before it.
TEST(Screen, WalksThroughWallsAndOffTheMap)
{
    const walk_step steps[] = {
        {"d", 2, 1},
        {"dddddd", 8, 1},
        {"d", 9, 1},
        {"a", 8, 1},
        {"sss", 8, 4},
        {"s", 8, 5},
        {"w", 8, 4},
        {"aaaaaaa", 1, 4},
        {"wwww", 1, 0},
        {"s", 1, 1},
        {"aaaaaaaaaaaaaaaaaaaa", -19, 1},
        {"dddddddddddddddddddd", 1, 1},
    };
    terminal t;
    expect_room(t, 1, 1);
    for (const auto &s : steps) {
        t.send(s.keys + "q");
        expect_room(t, s.x, s.y, "q");
    }
}

TEST(Screen, IgnoredKeysEchoUntilTheNextMove)
{
    terminal t;
    expect_room(t, 1, 1);
    t.send("WqA");
    expect_room(t, 1, 1, "WqA");
    // Control keys show in caret notation, and an escape sequence among the
    // keys does not drive the terminal.
    t.send("\x1b[2J\x13\x11\x16\x7f\x9b"
           "2J");
    expect_room(t, 1, 1, "WqA^[[2J^S^Q^V^?M-^[2J");
    t.send("d");
    expect_room(t, 2, 1);
    t.send("\xc3\xa9");
    expect_room(t, 2, 1, "\xc3\xa9");
    t.send("d");
    expect_room(t, 3, 1);
    // Enter echoes as a line break.
    t.send("\r");
    std::vector<std::string> lines = room(3, 1);
    EXPECT_TRUE(t.shows(lines, bottom + 1, 0)) << testing::PrintToString(t.screen());
}

TEST(Screen, ResizeAndContinueAreNotTheEnd)
{
    terminal t;
    expect_room(t, 1, 1);
    t.send("q");
    expect_room(t, 1, 1, "q");
    t.kill(SIGWINCH);
    t.kill(SIGCONT);
    expect_room(t, 1, 1, "q");
    t.send("dq");
    expect_room(t, 2, 1, "q");
}

struct key_step {
    std::string key;
    long x, y; // where the player is after it
    std::string echoes;
};

// A move's echo, clear and frame reach the terminal in one write(), so that
// the room is never seen half drawn; an ignored key's echo in one too. Each
// step changes the screen, so that the new screen shows the key was dealt with.
TEST(Screen, EachKeyIsAnsweredInOneWrite)
{
    const key_step walk[] = {
        {"d", 2, 1, ""},
        {"q", 2, 1, "q"},
        {"a", 1, 1, ""},
        // Onto the wall and off the map, with ignored keys in between.
        {"a", 0, 1, ""},
        {"W", 0, 1, "W"},
        {"\x1b", 0, 1, "W^["},
        {"a", -1, 1, ""},
        {"X", -1, 1, "X"},
        {"w", -1, 0, ""},
        {"Z", -1, 0, "Z"},
        {"d", 0, 0, ""},
        {".", 0, 0, "."},
        {"d", 1, 0, ""},
        // Back onto the floor.
        {"s", 1, 1, ""},
    };
    terminal t;
    expect_room(t, 1, 1);
    long before = t.writes();
    for (const auto &k : walk) {
        t.send(k.key);
        expect_room(t, k.x, k.y, k.echoes);
        long now = t.writes();
        EXPECT_EQ(now - before, 1) << "key " << testing::PrintToString(k.key);
        before = now;
    }
}

// The kernel tells the game of a new window size, and the game draws its
// whole screen again, echoes included.
TEST(Screen, ResizeRepaintsTheWholeScreen)
{
    terminal t;
    expect_room(t, 1, 1);
    t.send("dWq");
    expect_room(t, 2, 1, "Wq");
    // As the terminal passes it on, each line break with a carriage return.
    std::string repaint;
    for (char c : frame(2, 1) + "Wq")
        repaint += c == '\n' ? "\r\n" : std::string(1, c);
    const int sizes[][2] = {{30, 100}, {12, 40}, {24, 80}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        t.mark();
        t.resize(size[0], size[1]);
        EXPECT_TRUE(t.wrote(repaint)) << testing::PrintToString(t.since);
        expect_room(t, 2, 1, "Wq");
    }
}

// A paste of thousands of keys ends on the screen of the last of them, the
// echoes since the last move right of the room; and so it does when the game
// is suspended while it works through them.
TEST(Screen, PasteOfThousandsOfKeys)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<size_t> pick(0, 11);
    std::string keys;
    long x = 1, y = 1;
    for (int i = 0; i < 4000; ++i) {
        char c = "wasdwasdqWAz"[pick(rng)];
        keys += c;
        x += (c == 'd') - (c == 'a');
        y += (c == 's') - (c == 'w');
    }
    keys += "d";
    ++x;
    const std::string echoes = "qWz";
    keys += echoes;
    for (bool suspend : {false, true}) {
        SCOPED_TRACE(suspend ? "suspended" : "straight through");
        terminal t;
        expect_room(t, 1, 1);
        t.mark();
        t.send(keys);
        if (suspend) {
            // Once the answers to the first of them come, the game has keys
            // of the paste in hand.
            EXPECT_TRUE(t.got(1));
            t.kill(SIGTSTP);
            EXPECT_EQ(t.event(), "stopped 20");
            expect_shell_screen(t);
            t.fg();
        }
        expect_room(t, x, y, echoes);
    }
}

TEST(Screen, WaitingForAKeyCostsNoCpu)
{
    terminal t;
    expect_room(t, 1, 1);
    // A busy loop would be seen running nearly every time; a game that waits
    // is seen asleep but for the odd moment of the scheduler's.
    int sleeping = 0;
    for (int i = 0; i < 20; ++i) {
        std::ifstream stat("/proc/" + std::to_string(t.pid) + "/stat");
        std::string pid, name, state;
        stat >> pid >> name >> state;
        sleeping += state == "S";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(sleeping, 15);
}

struct ending {
    const char *how;
    std::string keys; // typed, or else
    int sig;          // sent from outside
    std::string event;
};

TEST(Screen, EveryWayOfStoppingRestoresTheTerminal)
{
    const ending endings[] = {
        {"Ctrl+C", "\x03", 0, "killed 2"},
        {"Ctrl+\\", "\x1c", 0, "killed 3"},
        {"SIGTERM", "", SIGTERM, "killed 15"},
        {"SIGHUP", "", SIGHUP, "killed 1"},
    };
    for (const auto &e : endings) {
        SCOPED_TRACE(e.how);
        terminal t;
        expect_room(t, 1, 1);
        t.send("dq");
        expect_room(t, 2, 1, "q");
        if (e.sig)
            t.kill(e.sig);
        else
            t.send(e.keys);
        EXPECT_EQ(t.event(), e.event);
        EXPECT_TRUE(same(t.modes(), t.before));
        expect_shell_screen(t);
    }
}

TEST(Screen, HangupIsTheEndOfInput)
{
    terminal t(true, true);
    expect_room(t, 1, 1);
    t.hangup();
    EXPECT_EQ(t.event(), "exited 0");
}

TEST(Screen, SuspendAndResume)
{
    terminal t;
    expect_room(t, 1, 1);
    t.send("dWq");
    expect_room(t, 2, 1, "Wq");
    t.send("\x1a");
    EXPECT_EQ(t.event(), "stopped 20");
    EXPECT_TRUE(same(t.modes(), t.before));
    expect_shell_screen(t);

    t.fg();
    // Exactly what the game showed last, echoes included, and its modes back.
    expect_room(t, 2, 1, "Wq");
    EXPECT_TRUE(t.alt);
    EXPECT_FALSE(t.modes().c_lflag & ICANON);
    t.send("sq");
    expect_room(t, 2, 2, "q");

    // A second round trip, then the end restores the user's screen as before.
    t.send("\x1a");
    EXPECT_EQ(t.event(), "stopped 20");
    expect_shell_screen(t);
    t.fg();
    expect_room(t, 2, 2, "q");
    t.send("\x03");
    EXPECT_EQ(t.event(), "killed 2");
    EXPECT_TRUE(same(t.modes(), t.before));
    expect_shell_screen(t);
}

// With no job control to stop it, the game goes on as it was.
TEST(Screen, DiscardedStopGoesOn)
{
    terminal t(false);
    expect_room(t, 1, 1);
    t.send("dq");
    expect_room(t, 2, 1, "q");
    t.send("\x1a");
    // Off the alternate screen and back on, and drawn again at once.
    EXPECT_TRUE(t.switched(3));
    expect_room(t, 2, 1, "q");
    t.send("W");
    expect_room(t, 2, 1, "qW");
    t.send("dq");
    expect_room(t, 3, 1, "q");
    EXPECT_TRUE(t.alt);
    EXPECT_FALSE(t.modes().c_lflag & (ICANON | ECHO));
}

} // namespace
