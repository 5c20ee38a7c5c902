#include "piped.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

run piped(const std::string &keys)
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
        for (int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl(ROOMWALK, ROOMWALK, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    // Write and read at once: a long key stream fills both pipes.
    signal(SIGPIPE, SIG_IGN);
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    run r{{}, 0};
    size_t sent = 0;
    if (keys.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll");
        }
        if (fds[1].revents) {
            ssize_t n = write(in[1], keys.data() + sent, keys.size() - sent);
            if (n > 0)
                sent += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                sent = keys.size();
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
    close(out[0]);
    waitpid(pid, &r.status, 0);
    return r;
}
