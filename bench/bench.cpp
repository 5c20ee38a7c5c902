// Key-to-frame latency through a pseudo-terminal, for the game and for the
// floor program beside it, their keys taken in turn so that noise on the
// machine hits both alike; and keys a second from a file, for the game and for
// two floors: one that answers each key with a read() and a write(), and one
// that reads and writes in large blocks. A run too short or too noisy to
// stand as a result says so, and why.
//
// roomwalk-bench [--keys N] [--rounds R] [--file-keys M]

#include "proc.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using clk = std::chrono::steady_clock;

[[noreturn]] void die(const std::string &why)
{
    // Ending with status 1 says it all where stderr can take no more.
    (void)std::fprintf(stderr, "roomwalk-bench: %s\n", why.c_str());
    std::exit(1);
}

// Reads what the program writes until it has been quiet for a while.
size_t drain(int fd, int quietms)
{
    size_t total = 0;
    char buf[4096];
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, quietms) <= 0)
            return total;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return total;
        total += static_cast<size_t>(n);
    }
}

void readexactly(int fd, size_t want)
{
    char buf[4096];
    while (want > 0) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            die("no frame within five seconds");
        ssize_t n = read(fd, buf, std::min(want, sizeof buf));
        if (n <= 0)
            die("the program's terminal closed");
        want -= static_cast<size_t>(n);
    }
}

// One program on a terminal of its own, with what has been measured of it.
struct subject {
    subject(const char *n, const char *p) : name(n), path(p) {}
    const char *name;
    const char *path;
    int master = -1;
    pid_t pid = -1;
    size_t frame = 0; // bytes of each answer to a key
    long before = 0;  // write() calls when the timed keys began
    int keys = 0;     // timed keys
    long writes = 0;  // write() calls for them
    std::vector<double> micros;
};

void start(subject &s)
{
    winsize ws = {24, 80, 0, 0};
    s.pid = forkpty(&s.master, nullptr, nullptr, &ws);
    if (s.pid < 0)
        die("forkpty");
    if (s.pid == 0) {
        // The modes the game sets itself, so that the floor gets its keys alike.
        termios t;
        tcgetattr(STDIN_FILENO, &t);
        t.c_lflag &= ~(ICANON | ECHO | IEXTEN);
        t.c_iflag &= ~IXON;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
        execl(s.path, s.path, static_cast<char *>(nullptr));
        _exit(127);
    }
    drain(s.master, 300); // the first frame, or nothing from the floor
    // Learn the size of one answer from an untimed key.
    if (write(s.master, "d", 1) != 1)
        die("write");
    s.frame = drain(s.master, 300);
    if (s.frame == 0)
        die(std::string(s.path) + " does not answer a key");
    s.before = writes(s.pid);
}

void timekey(subject &s, const char *key)
{
    auto t0 = clk::now();
    if (write(s.master, key, 1) != 1)
        die("write");
    readexactly(s.master, s.frame);
    s.micros.push_back(std::chrono::duration<double, std::micro>(clk::now() - t0).count());
    ++s.keys;
}

void stop(subject &s)
{
    s.writes += writes(s.pid) - s.before;
    kill(s.pid, SIGTERM);
    close(s.master);
    waitpid(s.pid, nullptr, 0);
}

// A file of movement keys, to and fro on the floor.
int keyfile(int keys)
{
    char name[] = "/tmp/roomwalk-bench-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        die("mkstemp");
    unlink(name);
    std::string k;
    for (int i = 0; i < keys; ++i)
        k += i % 2 ? 'a' : 'd';
    if (write(fd, k.data(), k.size()) != static_cast<ssize_t>(k.size()))
        die("write");
    return fd;
}

// Seconds the program takes over the keys in the file, with the screen in
// /dev/null.
double seconds(const char *path, int fd)
{
    lseek(fd, 0, SEEK_SET);
    auto t0 = clk::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(fd, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        execl(path, path, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die(std::string(path) + " failed on keys from a file");
    return std::chrono::duration<double>(clk::now() - t0).count();
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)));
    return v[i];
}

// The medians of each round's share of the figures, which come round after
// round.
std::vector<double> medians(const std::vector<double> &v, int rounds)
{
    std::vector<double> m;
    auto each = static_cast<std::ptrdiff_t>(v.size()) / rounds;
    for (std::ptrdiff_t r = 0; r < rounds; ++r)
        m.push_back(
            percentile(std::vector<double>(v.begin() + r * each, v.begin() + (r + 1) * each), 0.5));
    return m;
}

double spread(const std::vector<double> &v)
{
    auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return *hi / *lo;
}

// What makes a run's figures no result: too few keys for a 99th percentile,
// too few rounds for a median to set aside one round that the machine
// disturbed, rounds that disagree, and a cost of starting a program, which is
// left out of its keys a second, so large that what is left is mostly noise.
const int fewestkeys = 1000;
const int fewestrounds = 3;
const double widestspread = 1.25;
const double heaviestart = 0.5;

bool trusted = true;

std::string fixed(double v, int decimals)
{
    char buf[32];
    (void)std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

void distrust(const std::string &why)
{
    std::printf("This run cannot be trusted: %s.\n", why.c_str());
    trusted = false;
}

int number(const char *s)
{
    char *end;
    long v = std::strtol(s, &end, 10);
    if (*end || v < 1 || v > 10000000)
        die(std::string("not a count: ") + s);
    return static_cast<int>(v);
}

} // namespace

int main(int argc, char **argv)
{
    int keys = 2000, rounds = 5, filekeys = 4000000;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 < argc && a == "--keys")
            keys = number(argv[++i]);
        else if (i + 1 < argc && a == "--rounds")
            rounds = number(argv[++i]);
        else if (i + 1 < argc && a == "--file-keys")
            filekeys = number(argv[++i]);
        else
            die("usage: roomwalk-bench [--keys N] [--rounds R] [--file-keys M]");
    }
    subject subjects[] = {{"game", GAME}, {"floor", FLOOR}};
    subject &game = subjects[0], &floor = subjects[1];

    // Each round starts both programs afresh, and their keys alternate one by
    // one, each first in turn, so that what the machine does meanwhile hits
    // both alike.
    int each = std::max(1, keys / rounds);
    for (int r = 0; r < rounds; ++r) {
        start(game);
        start(floor);
        for (int i = 0; i < each; ++i) {
            const char *key = i % 2 ? "d" : "a"; // to and fro on the floor
            timekey(i % 2 ? game : floor, key);
            timekey(i % 2 ? floor : game, key);
        }
        stop(game);
        stop(floor);
    }

    // Keys from a file: the game against both floors, the three taken in turn
    // in each round, each first in turn.
    struct streamer {
        const char *name;
        const char *path;
        std::vector<double> rates;
    } streamers[] = {{"game", GAME, {}}, {"floor", FLOOR, {}}, {"block floor", BLOCKFLOOR, {}}};
    // The processors of a virtual machine need not be alike: the three run on
    // the one the benchmark is on, which they inherit.
    int cpu = sched_getcpu();
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0)
        die("sched_setaffinity");
    // What starting each program costs, from a file without keys, is left out
    // of its keys a second.
    int none = keyfile(0);
    double startup[3];
    for (int i = 0; i < 3; ++i) {
        std::vector<double> t;
        t.reserve(static_cast<size_t>(rounds));
        for (int r = 0; r < rounds; ++r)
            t.push_back(seconds(streamers[i].path, none));
        startup[i] = percentile(t, 0.5);
    }
    close(none);
    int fd = keyfile(filekeys);
    double slowest[3] = {};
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < 3; ++i) {
            int k = (r + i) % 3;
            double t = seconds(streamers[k].path, fd);
            slowest[k] = std::max(slowest[k], t);
            streamers[k].rates.push_back(filekeys / std::max(t - startup[k], 1e-9));
        }
    close(fd);

    std::printf("%d keys a program through a pseudo-terminal, in %d rounds of alternate keys\n",
                each * rounds, rounds);
    std::printf("%-6s %12s %12s %14s %12s\n", "", "median (us)", "p99 (us)", "writes/frame",
                "bytes/frame");
    for (auto &s : subjects)
        std::printf("%-6s %12.1f %12.1f %14.2f %12zu\n", s.name, percentile(s.micros, 0.5),
                    percentile(s.micros, 0.99), static_cast<double>(s.writes) / s.keys, s.frame);
    double ratio = percentile(game.micros, 0.5) / percentile(floor.micros, 0.5);
    std::printf("game/floor median ratio: %.3f\n", ratio);
    if (ratio < 1)
        distrust("the game's median is below the floor's, which does less for each key, so the "
                 "difference between them is lost in the noise");
    if (each * rounds < fewestkeys)
        distrust(std::to_string(each * rounds) + " typed keys a program, fewer than the " +
                 std::to_string(fewestkeys) + " a 99th percentile needs; give more --keys");
    if (rounds < fewestrounds)
        distrust(std::to_string(rounds) + " rounds, fewer than the " +
                 std::to_string(fewestrounds) + " a median needs; give more --rounds");
    for (auto &s : subjects)
        if (double w = spread(medians(s.micros, rounds)); w > widestspread)
            distrust(std::string("the ") + s.name + "'s median differs by a factor of " +
                     fixed(w, 2) + " between rounds");
    std::printf("\n");

    std::printf(
        "%d keys a program from a file, the screen into /dev/null, in %d rounds on CPU %d\n",
        filekeys, rounds, cpu);
    std::printf("%-12s %14s\n", "", "keys/s median");
    double rate[3];
    for (int i = 0; i < 3; ++i) {
        rate[i] = percentile(streamers[i].rates, 0.5);
        std::printf("%-12s %14.0f\n", streamers[i].name, rate[i]);
    }
    std::printf("game/floor: %.1f times as fast; block floor/game: %.2f\n", rate[0] / rate[1],
                rate[2] / rate[0]);
    for (int i = 0; i < 3; ++i) {
        std::string name = streamers[i].name;
        if (double w = spread(streamers[i].rates); w > widestspread)
            distrust("the " + name + "'s keys a second differ by a factor of " + fixed(w, 2) +
                     " between rounds");
        if (startup[i] > heaviestart * slowest[i])
            distrust("starting the " + name + " takes " + fixed(startup[i] * 1000, 1) +
                     " ms of its slowest round's " + fixed(slowest[i] * 1000, 1) +
                     " ms; give more --file-keys");
    }
    if (trusted)
        std::printf("Enough keys and rounds, and the rounds agree: the figures stand.\n");
    return 0;
}
