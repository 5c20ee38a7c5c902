// The game with its keys from a pipe: every byte it writes, checked exactly.

#include "piped.h"
#include "room.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
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

std::string randomkeys(unsigned seed, int n)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255), coin(0, 1), dir(0, 3);
    std::string keys;
    for (int i = 0; i < n; ++i)
        keys += static_cast<char>(coin(rng) ? "wasd"[dir(rng)] : byte(rng));
    return keys;
}

struct nonblocking_case {
    const char *what;
    int nonblocking;
    std::vector<size_t> pieces;
};

// Keys or a screen that another program left non-blocking: the game sleeps
// until there are keys, or room for its output, and drops nothing. Each piece
// of keys goes in only once the game sleeps waiting for it, and with the
// screen non-blocking nothing is read until the game sleeps waiting for room.
TEST(Transcript, NonBlockingKeysAndScreen)
{
    const nonblocking_case cases[] = {
        {"keys", keysnonblocking, {1, 7, 300}},
        {"screen", screennonblocking, {}},
        {"both", keysnonblocking | screennonblocking, {3000, 5}},
    };
    const std::string keys = randomkeys(9, 4000);
    long x, y;
    const std::string want = model(keys, x, y);
    for (const auto &c : cases)
        expect_output(piped(keys, c.pieces, c.nonblocking), want, c.what);
}

// How the game's standard input or output is given to it.
const char *const closed = "closed";
const char *const reader = "a pipe read to the end";
const char *const gone = "a pipe nobody reads";

struct ending_case {
    const char *what;
    std::string keys; // through a pipe, unless from is set
    const char *from; // a path the keys are read from, or closed
    const char *to;   // a path the screen goes to, closed, or a pipe
    std::string err;  // all the game says on standard error
    int status;       // the exit status, or minus the signal that ends it
    bool frames;      // the screen that was read holds the model's frames for the keys
};

struct ended {
    int status;
    std::string out, err;
    off_t offset; // how far the keys file was read
};

int open_or_die(const char *path, int flags)
{
    int fd = open(path, flags, 0600);
    if (fd < 0)
        throw std::runtime_error(std::string("open ") + path);
    return fd;
}

// Runs the game as the case says, with every byte it writes to a pipe and to
// standard error read back, and at most limit bytes into a file.
ended runended(const ending_case &c, rlim_t limit = RLIM_INFINITY)
{
    int keys[2], out[2], err[2];
    if (pipe(keys) != 0 || pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe");
    int from = c.from && c.from != closed ? open_or_die(c.from, O_RDONLY) : -1;
    int to = c.to != closed && c.to != reader && c.to != gone
                 ? open_or_die(c.to, O_WRONLY | O_CREAT | O_TRUNC)
                 : -1;
    if (c.to == gone)
        close(out[0]);
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        (void)signal(SIGPIPE, SIG_DFL);
        (void)signal(SIGXFSZ, SIG_IGN); // so that a file at its limit fails the write
        struct rlimit size = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
        dup2(from >= 0 ? from : keys[0], STDIN_FILENO);
        dup2(to >= 0 ? to : out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (c.from == closed)
            close(STDIN_FILENO);
        if (c.to == closed)
            close(STDOUT_FILENO);
        for (int fd = STDERR_FILENO + 1; fd < 64; ++fd)
            close(fd);
        execl(ROOMWALK, ROOMWALK, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(keys[0]);
    close(out[1]);
    close(err[1]);
    (void)signal(SIGPIPE, SIG_IGN);
    if (!c.from && write(keys[1], c.keys.data(), c.keys.size()) < 0 && errno != EPIPE)
        throw std::runtime_error("write the keys");
    close(keys[1]);
    ended e{0, {}, {}, 0};
    for (int fd : {c.to == gone ? -1 : out[0], err[0]}) {
        if (fd < 0)
            continue;
        char buf[65536];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) != 0;) {
            if (n > 0)
                (fd == err[0] ? e.err : e.out).append(buf, static_cast<size_t>(n));
            else if (errno != EINTR)
                break;
        }
        close(fd);
    }
    int st;
    waitpid(pid, &st, 0);
    e.status = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? -WTERMSIG(st) : 999;
    if (from >= 0) {
        e.offset = lseek(from, 0, SEEK_CUR);
        close(from);
    }
    if (to >= 0)
        close(to);
    return e;
}

// A game that cannot read its keys or write its screen says so and fails; the
// end of the keys, and a reader that goes away, are not failures.
TEST(Transcript, FailuresAreReported)
{
    char dir[] = "/tmp/roomwalk-ends-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string stream = std::string(dir) + "/keys";
    std::string moves;
    for (int i = 0; i < 100000; ++i)
        moves += i % 2 ? 'a' : 'd';
    {
        std::ofstream(stream, std::ios::binary) << moves;
    }
    const std::string nospace = "roomwalk: cannot write the screen: No space left on device\n";
    const ending_case cases[] = {
        {"the end of the keys", "dq", nullptr, reader, "", 0, true},
        {"a screen with no space", "dd", nullptr, "/dev/full", nospace, 1, false},
        {"keys from a directory", "", "/", reader,
         "roomwalk: cannot read the keys: Is a directory\n", 1, true},
        {"closed keys", "", closed, reader, "roomwalk: cannot read the keys: Bad file descriptor\n",
         1, true},
        {"a closed screen", "dd", nullptr, closed,
         "roomwalk: cannot write the screen: Bad file descriptor\n", 1, false},
        {"a long stream of keys to a screen with no space", "", stream.c_str(), "/dev/full",
         nospace, 1, false},
        {"a reader that goes away", "dd", nullptr, gone, "", -SIGPIPE, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ended e = runended(c);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.err, c.err);
        long x, y;
        if (c.frames) {
            EXPECT_EQ(e.out, model(c.keys, x, y));
        }
        // It stops at once, and does not read on through keys it cannot answer.
        if (c.from == stream.c_str()) {
            EXPECT_LT(e.offset, static_cast<off_t>(moves.size()));
        }
    }

    // A file that may grow no more half way: all that fits is written as it
    // should be, and then the game fails.
    const std::string screen = std::string(dir) + "/screen";
    ending_case full = {"a file at its size limit",
                        moves.substr(0, 1000),
                        nullptr,
                        screen.c_str(),
                        "roomwalk: cannot write the screen: File too large\n",
                        1,
                        false};
    const rlim_t limit = 10000;
    ended e = runended(full, limit);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.err, full.err);
    std::ifstream in(screen, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), {});
    long x, y;
    EXPECT_EQ(written, model(full.keys, x, y).substr(0, limit));
    unlink(screen.c_str());
    unlink(stream.c_str());
    rmdir(dir);
}

} // namespace
