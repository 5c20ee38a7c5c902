// Key-to-frame latency through a pseudo-terminal, for the game and for the
// floor program beside it, their keys taken in turn so that noise on the
// machine hits both alike; and keys a second from a file, for the game and for
// two floors: one that answers each key with a read() and a write(), and one
// that reads and writes in large blocks.
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

// Keys a second, read from the file, with the screen in /dev/null.
double throughput(const char *path, int fd, int keys)
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
    double secs = std::chrono::duration<double>(clk::now() - t0).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die(std::string(path) + " failed on keys from a file");
    return keys / secs;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)));
    return v[i];
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
    int fd = keyfile(filekeys);
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < 3; ++i) {
            streamer &s = streamers[(r + i) % 3];
            s.rates.push_back(throughput(s.path, fd, filekeys));
        }
    close(fd);

    std::printf("%d keys a program through a pseudo-terminal, in %d rounds of alternate keys\n",
                each * rounds, rounds);
    std::printf("%-6s %12s %12s %14s %12s\n", "", "median (us)", "p99 (us)", "writes/frame",
                "bytes/frame");
    for (auto &s : subjects)
        std::printf("%-6s %12.1f %12.1f %14.2f %12zu\n", s.name, percentile(s.micros, 0.5),
                    percentile(s.micros, 0.99), static_cast<double>(s.writes) / s.keys, s.frame);
    std::printf("game/floor median ratio: %.3f\n\n",
                percentile(game.micros, 0.5) / percentile(floor.micros, 0.5));

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
    return 0;
}
