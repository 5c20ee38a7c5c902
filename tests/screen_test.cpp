// The game on a terminal, seen through a terminal emulator as a person would
// see it.

#include "proc.h"
#include "room.h"
#include "terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <iterator>
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

// As the terminal passes the game's output on: each line break with a
// carriage return.
std::string crlf(const std::string &bytes)
{
    std::string out;
    for (char c : bytes)
        out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

const char altscreen[] = "\x1b[?1049h";
const char mainscreen[] = "\x1b[?1049l";

// From the first frame, one step and two ignored keys: the screen the repaint
// tests expect back, the player at 2,1 and the echoes returned.
std::string stepped(terminal &t)
{
    expect_room(t, 1, 1);
    t.send("dWq");
    expect_room(t, 2, 1, "Wq");
    return "Wq";
}

// Types an ignored key once what came before it is done, and returns every
// byte the game has written since the mark, that key's echo last: the game
// acts on all that came before a key first, so nothing later can be missed.
std::string answered(terminal &t, long x, long y, std::string &echoes)
{
    t.send(".");
    echoes += ".";
    expect_room(t, x, y, echoes);
    EXPECT_TRUE(t.settle());
    return t.since;
}

// The kernel tells the game of a new window size, and the game draws its
// whole screen again, echoes included, once.
TEST(Screen, ResizeRepaintsTheWholeScreen)
{
    terminal t;
    std::string echoes = stepped(t);
    const int sizes[][2] = {{30, 100}, {12, 40}, {24, 80}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        t.mark();
        t.resize(size[0], size[1]);
        std::string want = crlf(frame(2, 1) + echoes) + ".";
        EXPECT_EQ(answered(t, 2, 1, echoes), want);
    }
}

// Where the game is after each key of a walk, and the echoes right of the
// room then.
struct place {
    long x, y;
    std::string echoes;
};

std::vector<place> walk(const std::string &keys)
{
    std::vector<place> states = {{1, 1, ""}};
    for (char c : keys) {
        place s = states.back();
        s.x += (c == 'd') - (c == 'a');
        s.y += (c == 's') - (c == 'w');
        if (s.x == states.back().x && s.y == states.back().y)
            s.echoes += c;
        else
            s.echoes.clear();
        states.push_back(s);
    }
    return states;
}

// Thousands of keys: more answers than the terminal holds, so that the game
// blocks writing them while the terminal reads nothing.
std::string paste()
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<size_t> pick(0, 11);
    std::string keys;
    for (int i = 0; i < 4000; ++i)
        keys += "wasdwasdqWAz"[pick(rng)];
    return keys + "dqWz";
}

size_t clears(const std::string &bytes)
{
    size_t n = 0;
    for (size_t at = 0; (at = bytes.find("\x1b[H\x1b[2J", at)) != std::string::npos; ++at)
        ++n;
    return n;
}

// Pastes the keys without reading, and holds there until the game blocks
// writing the answers to them.
void busy(terminal &t, const std::string &keys)
{
    t.mark();
    t.send(keys, false);
    ASSERT_TRUE(waitstowrite(t.pid)) << "the game does not block on its output";
}

// A paste of thousands of keys ends on the screen of the last of them, the
// echoes since the last move right of the room.
TEST(Screen, PasteOfThousandsOfKeys)
{
    const std::string keys = paste();
    const place last = walk(keys).back();
    terminal t;
    expect_room(t, 1, 1);
    t.send(keys);
    expect_room(t, last.x, last.y, last.echoes);
}

// The answers to the keys from the k-th on, as the terminal passes them on,
// and where in them the answer to each key begins.
std::string answers(const std::string &keys, const std::vector<place> &states,
                    std::vector<size_t> &at)
{
    std::string all;
    for (size_t k = 0; k < keys.size(); ++k) {
        at.push_back(all.size());
        all += keys[k];
        if (states[k + 1].echoes.empty())
            all += crlf(frame(states[k + 1].x, states[k + 1].y));
    }
    at.push_back(all.size());
    return all;
}

// Ctrl+Z while the game blocks writing the answers to a paste: after fg the
// terminal gets a whole screen, that after some key, then the answers to the
// keys after it, and nothing of the answers cut off. The terminal keeps what
// is typed ahead across Ctrl+Z (noflsh), so that every key is answered
// whatever the game had read.
TEST(Screen, SuspendWhileBlockedWriting)
{
    const std::string keys = paste();
    const std::vector<place> states = walk(keys);
    std::vector<size_t> at;
    const std::string all = answers(keys, states, at);
    start how;
    how.lflagon = NOFLSH;
    terminal t(how);
    expect_room(t, 1, 1);
    busy(t, keys);
    t.send("\x1a", false);
    EXPECT_EQ(t.event(), "stopped 20");
    expect_shell_screen(t);
    t.mark();
    t.fg();
    const place &last = states.back();
    expect_room(t, last.x, last.y, last.echoes);
    ASSERT_TRUE(t.settle());
    bool whole = false;
    for (size_t k = 0; k < states.size() && !whole; ++k) {
        std::string screen = altscreen + crlf(frame(states[k].x, states[k].y) + states[k].echoes);
        whole = t.since.compare(0, screen.size(), screen) == 0 &&
                t.since.compare(screen.size(), std::string::npos, all, at[k]) == 0;
    }
    EXPECT_TRUE(whole) << "after fg: " << testing::PrintToString(t.since.substr(0, 400));
}

// A resize while the game is busy with a paste repaints it once before it
// waits for a key again, after the answers it had in hand.
TEST(Screen, ResizeWhileBlockedWriting)
{
    const std::string keys = paste();
    const std::vector<place> states = walk(keys);
    size_t moves = 0;
    for (size_t i = 1; i < states.size(); ++i)
        moves += states[i].echoes.empty();
    terminal t;
    expect_room(t, 1, 1);
    busy(t, keys);
    t.resize(30, 100);
    const place &last = states.back();
    expect_room(t, last.x, last.y, last.echoes);
    ASSERT_TRUE(t.settle());
    EXPECT_EQ(clears(t.since), moves + 1);
}

// A signal that ends the game puts the terminal back at once, though the game
// is blocked writing and the terminal reads nothing.
TEST(Screen, EndingWhileBlockedWriting)
{
    terminal t;
    expect_room(t, 1, 1);
    busy(t, paste());
    t.kill(SIGTERM);
    EXPECT_EQ(t.event(false), "killed 15");
    EXPECT_TRUE(same(t.modes(), t.before));
    expect_shell_screen(t);
}

// Ctrl+Z, then kill %1: the shell sends the signal and SIGCONT, and the game
// ends by it, the terminal as it was.
TEST(Screen, SuspendedGameEndsWhenKilled)
{
    const std::pair<int, std::string> kills[] = {{SIGTERM, "killed 15"}, {SIGHUP, "killed 1"}};
    for (const auto &k : kills) {
        SCOPED_TRACE(k.second);
        terminal t;
        expect_room(t, 1, 1);
        t.send("\x1a");
        EXPECT_EQ(t.event(), "stopped 20");
        t.killjob(k.first);
        EXPECT_EQ(t.event(), k.second);
        EXPECT_TRUE(same(t.modes(), t.before));
        expect_shell_screen(t);
    }
}

// Keys from the terminal and the screen into a pipe that is not read: Ctrl+Z
// while the game blocks writing drops nothing of what was held for the pipe,
// and every key's answer comes out whole, in order, once the pipe is read.
TEST(Screen, SuspendWhileBlockedWritingIntoAPipe)
{
    char dir[] = "/tmp/roomwalk-pipe-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/screen";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string keys = paste();
    const std::vector<place> states = walk(keys);
    std::string want = frame(1, 1);
    for (size_t k = 0; k < keys.size(); ++k) {
        want += keys[k];
        if (states[k + 1].echoes.empty())
            want += frame(states[k + 1].x, states[k + 1].y);
    }
    start how;
    how.lflagon = NOFLSH;
    how.screenfile = fifo;
    terminal t(how);
    t.send(keys, false);
    ASSERT_TRUE(waitstowrite(t.pid));
    t.send("\x1a", false);
    EXPECT_EQ(t.event(), "stopped 20");
    t.fg();
    std::string got;
    char buf[65536];
    auto drain = [&] {
        for (ssize_t n; (n = read(reader, buf, sizeof buf)) > 0;)
            got.append(buf, static_cast<size_t>(n));
    };
    // Read until the game has answered every key and waits for more.
    EXPECT_TRUE(eventually([&] {
        drain();
        return got.size() >= want.size() && reading(t.pid);
    }));
    drain();
    EXPECT_TRUE(got == want) << "got " << got.size() << " bytes of " << want.size();
    close(reader);
    unlink(fifo.c_str());
    rmdir(dir);
}

// Started in the background, the game stops before it touches the terminal,
// and fg brings it in.
TEST(Screen, StartedInTheBackground)
{
    start how;
    how.background = true;
    terminal t(how);
    EXPECT_EQ(t.event(), "stopped 22");
    EXPECT_EQ(t.since, "");
    EXPECT_TRUE(same(t.modes(), t.before));
    t.fg();
    expect_room(t, 1, 1);
    ASSERT_TRUE(t.settle());
    EXPECT_EQ(t.since, crlf(altscreen + frame(1, 1)));
}

// The same with bash: after Ctrl+Z, kill %1 ends the game, and after bg the
// game stops again at once, until fg brings it back.
TEST(Screen, SuspendedGameUnderBash)
{
    start how;
    how.bash = true;
    terminal t(how);
    ASSERT_TRUE(t.saw("$"));
    t.send(ROOMWALK "\r");
    expect_room(t, 1, 1);
    pid_t game = t.job();
    t.send("\x1a");
    EXPECT_TRUE(eventually([&] { return state(game) == 'T'; }));
    EXPECT_TRUE(t.saw("Stopped"));
    EXPECT_FALSE(t.alt);
    t.send("kill %1\r");
    EXPECT_TRUE(eventually([&] { return state(game) == 0 || state(game) == 'Z'; }))
        << "state " << state(game);

    t.send(ROOMWALK "\r");
    expect_room(t, 1, 1);
    game = t.job();
    t.send("\x1a");
    EXPECT_TRUE(t.switched(4));
    EXPECT_TRUE(eventually([&] { return state(game) == 'T'; }));
    // Stopped again once it has run, without a switch of screens.
    long ran = yielded(game);
    t.send("bg\r");
    EXPECT_TRUE(eventually([&] { return state(game) == 'T' && yielded(game) > ran; }));
    t.mark();
    EXPECT_EQ(t.switches, 4);
    t.send("fg\r");
    expect_room(t, 1, 1);
    t.send("dq");
    expect_room(t, 2, 1, "q");
    t.send("\x03");
    t.send("echo status $?\r");
    EXPECT_TRUE(t.saw("status 130")) << testing::PrintToString(t.screen());
    EXPECT_FALSE(t.alt);
}

// Ctrl+Z, then bg: the game needs the terminal, so it stops again at once
// without touching it; fg then brings it back, drawn once.
TEST(Screen, SuspendedGameContinuedInTheBackgroundStopsAgain)
{
    terminal t;
    std::string echoes = stepped(t);
    t.send("\x1a");
    EXPECT_EQ(t.event(), "stopped 20");
    t.mark();
    t.bg();
    EXPECT_EQ(t.event(), "stopped 22");
    EXPECT_EQ(t.since, "");
    EXPECT_TRUE(same(t.modes(), t.before));
    t.fg();
    expect_room(t, 2, 1, echoes);
    EXPECT_EQ(answered(t, 2, 1, echoes), crlf(altscreen + frame(2, 1) + "Wq") + ".");
}

struct resume {
    const char *how;
    bool shell;
    std::string before; // what the game writes on the way out, before the repaint
};

// However the game comes back, it draws its screen exactly once.
TEST(Screen, OneRepaintPerResume)
{
    const resume resumes[] = {
        {"fg", true, std::string(mainscreen) + altscreen},
        {"a stop the kernel discards", false, std::string(mainscreen) + altscreen},
        {"SIGCONT alone", true, ""},
    };
    for (const auto &r : resumes) {
        SCOPED_TRACE(r.how);
        terminal t(r.shell);
        std::string echoes = stepped(t);
        ASSERT_TRUE(t.settle());
        t.mark();
        if (r.before.empty()) {
            t.kill(SIGCONT);
        } else {
            t.send("\x1a");
            if (r.shell) {
                EXPECT_EQ(t.event(), "stopped 20");
                t.fg();
            }
            // Keys typed before the game takes its modes again are the
            // terminal's to echo.
            EXPECT_TRUE(t.switched(3));
            expect_room(t, 2, 1, echoes);
        }
        EXPECT_EQ(answered(t, 2, 1, echoes), crlf(r.before + frame(2, 1) + "Wq") + ".");
    }
}

// A terminal that another program left with its output modes off (what a
// program that crashed in raw mode leaves) still shows the room as it is, and
// gets those modes back at the end.
TEST(Screen, OutputModesLeftOffByAnotherProgram)
{
    for (tcflag_t off : {ONLCR, OPOST}) {
        SCOPED_TRACE(off == ONLCR ? "-onlcr" : "-opost");
        start how;
        how.oflagoff = off;
        terminal t(how);
        expect_room(t, 1, 1);
        t.send("dq");
        expect_room(t, 2, 1, "q");
        t.send("\x03");
        EXPECT_EQ(t.event(), "killed 2");
        EXPECT_TRUE(same(t.modes(), t.before));
        expect_shell_screen(t);
    }
}

struct nonblocking {
    const char *which;
    bool keys, screen;
};

// A terminal that another program left non-blocking, for the keys, the
// screen or both: the game sleeps until the terminal takes more output and
// until a key comes, and drops nothing.
TEST(Screen, NonBlockingTerminal)
{
    const nonblocking rows[] = {
        {"keys", true, false}, {"screen", false, true}, {"both", true, true}};
    const std::string keys = paste();
    const place last = walk(keys).back();
    for (const auto &r : rows) {
        SCOPED_TRACE(r.which);
        start how;
        how.nonblockingkeys = r.keys;
        how.nonblockingscreen = r.screen;
        terminal t(how);
        expect_room(t, 1, 1);
        busy(t, keys);
        expect_room(t, last.x, last.y, last.echoes);
        EXPECT_TRUE(t.settle());
        t.send("d");
        expect_room(t, last.x + 1, last.y);
    }
}

std::string contents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct sides {
    const char *name;
    bool keys;   // the keys come from the terminal
    bool screen; // the screen is the terminal
};

// Keys from the terminal and the screen into a file: the game's modes on, but
// not a byte of a screen switch or a repaint in the file. Keys from a pipe
// and the screen on the terminal: the terminal's modes as they were, the
// frames on the user's screen, and the shell's prompt below the last of them.
TEST(Screen, WhichSideIsATerminal)
{
    const sides rows[] = {
        {"both", true, true},
        {"keys only", true, false},
        {"screen only", false, true},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        char dir[] = "/tmp/roomwalk-screen-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        const std::string file = std::string(dir) + "/screen";
        start how;
        how.piped = !r.keys;
        how.keys = "dWq";
        if (!r.screen)
            how.screenfile = file;
        terminal t(how);
        if (r.keys) {
            t.send("dWq");
            if (r.screen)
                expect_room(t, 2, 1, "Wq");
            else
                EXPECT_TRUE(eventually(
                    [&] { return contents(file) == frame(1, 1) + "d" + frame(2, 1) + "Wq"; }));
            EXPECT_FALSE(t.modes().c_lflag & (ICANON | ECHO));
            t.resize(30, 100);
            t.kill(SIGCONT);
            t.send("\x1a");
            EXPECT_EQ(t.event(), "stopped 20");
            EXPECT_TRUE(same(t.modes(), t.before));
            t.fg();
            EXPECT_TRUE(eventually([&] { return !(t.modes().c_lflag & ICANON); }));
            t.send(".");
            if (r.screen) {
                expect_room(t, 2, 1, "Wq.");
                EXPECT_TRUE(t.alt);
            } else {
                std::string want = frame(1, 1) + "d" + frame(2, 1) + "Wq.";
                EXPECT_TRUE(eventually([&] { return contents(file) == want; }))
                    << testing::PrintToString(contents(file));
                EXPECT_EQ(t.switches, 0);
            }
            t.send("\x03");
            EXPECT_EQ(t.event(), "killed 2");
        } else {
            EXPECT_EQ(t.event(), "exited 0");
            EXPECT_TRUE(t.shows(room(2, 1, "Wq"), bottom + 1, 0))
                << testing::PrintToString(t.screen());
            EXPECT_EQ(t.switches, 0);
        }
        EXPECT_TRUE(same(t.modes(), t.before));
        unlink(file.c_str());
        rmdir(dir);
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
