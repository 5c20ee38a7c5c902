#include "piped.h"
#include "proc.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

run piped(const std::string &keys, const std::vector<size_t> &pieces, int nonblocking)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (nonblocking & keysnonblocking)
            fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
        if (nonblocking & screennonblocking)
            fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl(ROOMWALK, ROOMWALK, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // Write and read at once: a long key stream fills both pipes.
    (void)signal(SIGPIPE, SIG_IGN);
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    run r{{}, 0};
    size_t sent = 0;
    size_t piece = 0;
    size_t upto = pieces.empty() ? keys.size() : std::min(keys.size(), pieces[0]);
    if (keys.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    bool stalled = nonblocking & screennonblocking;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (stalled && writing(pid))
            stalled = false;
        // Between pieces, until the game has taken every key and waits.
        bool between = in[1] >= 0 && sent == upto;
        if (between) {
            int left = 0;
            ioctl(in[0], FIONREAD, &left);
            if (left == 0 && reading(pid)) {
                upto = std::min(keys.size(), upto + pieces[++piece % pieces.size()]);
                between = false;
                deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            }
        }
        if ((between || stalled) && std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error(stalled ? "the game never waits for its screen"
                                             : "the game never waits for more keys");
        pollfd fds[2] = {{out[0], static_cast<short>(stalled ? 0 : POLLIN), 0},
                         {in[1], static_cast<short>(between ? 0 : POLLOUT), 0}};
        timespec soon = {0, 100000};
        if (ppoll(fds, 2, between || stalled ? &soon : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll");
        }
        if (fds[1].revents) {
            ssize_t n = write(in[1], keys.data() + sent, upto - sent);
            if (n > 0)
                sent += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                sent = upto = keys.size();
            if (sent == keys.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
        if (fds[0].revents) {
            char buf[65536];
            ssize_t n = read(out[0], buf, sizeof buf);
            if (n > 0)
                r.out.append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
    }
    if (in[1] >= 0)
        close(in[1]);
    close(in[0]);
    close(out[0]);
    waitpid(pid, &r.status, 0);
    return r;
}
