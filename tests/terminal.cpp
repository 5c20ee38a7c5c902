#include "terminal.h"
#include "proc.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

namespace {

constexpr auto patience = std::chrono::seconds(10);

void say(int fd, const std::string &s)
{
    std::string line = s + "\n";
    if (write(fd, line.data(), line.size()) < 0)
        _exit(3);
}

[[noreturn]] void startgame(int tty, const start &how)
{
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none); // Ctrl+\ would leave a core file behind
    dup2(tty, STDIN_FILENO);
    dup2(tty, STDOUT_FILENO);
    dup2(tty, STDERR_FILENO);
    if (tty > STDERR_FILENO)
        close(tty);
    if (how.nonblockingkeys && how.nonblockingscreen) {
        fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    } else if (how.nonblockingkeys || how.nonblockingscreen) {
        int fd = how.nonblockingkeys ? STDIN_FILENO : STDOUT_FILENO;
        int own = open(ttyname(fd), O_RDWR | O_NONBLOCK | O_NOCTTY);
        if (own < 0)
            _exit(126);
        dup2(own, fd);
        close(own);
    }
    if (how.piped) {
        int keys[2];
        if (pipe(keys) != 0 || write(keys[1], how.keys.data(), how.keys.size()) !=
                                   static_cast<ssize_t>(how.keys.size()))
            _exit(126);
        close(keys[1]);
        dup2(keys[0], STDIN_FILENO);
        close(keys[0]);
    }
    if (!how.screenfile.empty()) {
        int file = open(how.screenfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (file < 0)
            _exit(126);
        dup2(file, STDOUT_FILENO);
        close(file);
    }
    (void)signal(SIGTTOU, SIG_DFL);
    execl(ROOMWALK, ROOMWALK, static_cast<char *>(nullptr));
    _exit(127);
}

// The shell: puts the game in a process group of its own in the foreground,
// reports what becomes of it and takes the terminal back when it stops.
[[noreturn]] void runshell(int tty, int events, int commands, const start &how)
{
    (void)signal(SIGTTOU, SIG_IGN);
    pid_t game = fork();
    if (game == 0) {
        setpgid(0, 0);
        if (!how.background)
            tcsetpgrp(tty, getpid());
        startgame(tty, how);
    }
    setpgid(game, game);
    if (!how.background)
        tcsetpgrp(tty, game);
    say(events, "pid " + std::to_string(game));
    for (;;) {
        int st;
        if (waitpid(game, &st, WUNTRACED) < 0) {
            if (errno == EINTR)
                continue;
            _exit(2);
        }
        if (WIFSTOPPED(st)) {
            tcsetpgrp(tty, getpgrp());
            say(events, "stopped " + std::to_string(WSTOPSIG(st)));
            char c[2];
            if (read(commands, c, 1) != 1)
                _exit(0);
            if (c[0] == 'f') {
                tcsetpgrp(tty, game);
            } else if (c[0] == 'k') {
                if (read(commands, c + 1, 1) != 1)
                    _exit(0);
                ::kill(-game, c[1]);
            }
            ::kill(-game, SIGCONT);
            continue;
        }
        say(events, WIFSIGNALED(st) ? "killed " + std::to_string(WTERMSIG(st))
                                    : "exited " + std::to_string(WEXITSTATUS(st)));
        _exit(0);
    }
}

// The user's own shell, told to report each change of a job at once.
[[noreturn]] void runbash(int tty)
{
    dup2(tty, STDIN_FILENO);
    dup2(tty, STDOUT_FILENO);
    dup2(tty, STDERR_FILENO);
    if (tty > STDERR_FILENO)
        close(tty);
    setenv("PS1", "$ ", 1);
    setenv("TERM", "dumb", 1);
    setenv("HISTFILE", "/dev/null", 1);
    unsetenv("PROMPT_COMMAND");
    execl("/bin/bash", "bash", "--norc", "--noprofile", "-i", "-o", "notify",
          static_cast<char *>(nullptr));
    _exit(127);
}

int onprop(VTermProp prop, VTermValue *val, void *user)
{
    if (prop == VTERM_PROP_ALTSCREEN) {
        auto *t = static_cast<terminal *>(user);
        t->switches += t->alt != static_cast<bool>(val->boolean);
        t->alt = val->boolean;
    }
    return 1;
}

start plain(bool shell, bool nohup)
{
    start how;
    how.shell = shell;
    how.nohup = nohup;
    return how;
}
} // namespace

terminal::terminal(bool shell, bool nohup) : terminal(plain(shell, nohup)) {}

terminal::terminal(const start &how)
{
    int slave;
    winsize ws = {static_cast<unsigned short>(rows), static_cast<unsigned short>(cols), 0, 0};
    if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0)
        throw std::runtime_error("openpty");
    tcgetattr(slave, &before);
    before.c_oflag &= ~how.oflagoff;
    before.c_lflag |= how.lflagon;
    tcsetattr(slave, TCSANOW, &before);
    tcgetattr(slave, &before);
    int ev[2], cmd[2];
    if (pipe(ev) != 0 || pipe(cmd) != 0)
        throw std::runtime_error("pipe");
    leader = fork();
    if (leader < 0)
        throw std::runtime_error("fork");
    if (leader == 0) {
        close(master);
        close(ev[0]);
        close(cmd[1]);
        setsid();
        if (how.nohup)
            (void)signal(SIGHUP, SIG_IGN);
        ioctl(slave, TIOCSCTTY, 0);
        if (how.bash)
            runbash(slave);
        if (how.shell)
            runshell(slave, ev[1], cmd[0], how);
        close(ev[1]);
        close(cmd[0]);
        startgame(slave, how);
    }
    close(slave);
    fcntl(master, F_SETFL, O_NONBLOCK);
    close(ev[1]);
    close(cmd[0]);
    events = ev[0];
    commands = cmd[1];
    vt = vterm_new(rows, cols);
    vterm_set_utf8(vt, 1);
    VTermScreen *s = vterm_obtain_screen(vt);
    static VTermScreenCallbacks cb = {};
    cb.settermprop = onprop;
    vterm_screen_set_callbacks(s, &cb, this);
    vterm_screen_enable_altscreen(s, 1);
    vterm_screen_reset(s, 1);
    // What the user had on the screen before starting the game.
    if (how.bash)
        return;
    const char prompt[] = "$ roomwalk\r\n";
    vterm_input_write(vt, prompt, sizeof prompt - 1);
    if (how.shell) {
        std::string e = event();
        if (e.rfind("pid ", 0) == 0)
            pid = std::stoi(e.substr(4));
    } else {
        pid = leader;
    }
}

terminal::~terminal()
{
    ::kill(leader, SIGKILL);
    if (pid > 0)
        ::kill(pid, SIGKILL);
    if (master >= 0)
        close(master);
    close(events);
    close(commands);
    waitpid(leader, nullptr, 0);
    vterm_free(vt);
}

void terminal::send(const std::string &keys, bool reading)
{
    size_t sent = 0;
    while (sent < keys.size()) {
        ssize_t n = write(master, keys.data() + sent, keys.size() - sent);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno == EAGAIN && reading)
            pump(10);
        else if (!(n < 0 && errno == EINTR))
            throw std::runtime_error("write to the terminal");
    }
}

void terminal::kill(int sig)
{
    // Under bash the game is found with job(), and -1 would be every process.
    if (pid <= 0)
        throw std::runtime_error("no game to signal");
    ::kill(pid, sig);
}

void terminal::resize(int r, int c)
{
    winsize ws = {static_cast<unsigned short>(r), static_cast<unsigned short>(c), 0, 0};
    if (ioctl(master, TIOCSWINSZ, &ws) != 0)
        throw std::runtime_error("resize the terminal");
    rows = r;
    cols = c;
    vterm_set_size(vt, r, c);
}

void terminal::hangup()
{
    close(master);
    master = -1;
}

bool terminal::pump(int ms)
{
    pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0)
        return false;
    char buf[4096];
    ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0)
        return false;
    vterm_input_write(vt, buf, static_cast<size_t>(n));
    since.append(buf, static_cast<size_t>(n));
    return true;
}

std::vector<std::string> terminal::screen() const
{
    std::vector<std::string> lines;
    VTermScreen *s = vterm_obtain_screen(vt);
    for (int r = 0; r < rows; ++r) {
        std::string line(static_cast<size_t>(cols) * 4, '\0');
        VTermRect rect = {r, r + 1, 0, cols};
        line.resize(vterm_screen_get_text(s, line.data(), line.size(), rect));
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
    }
    return lines;
}

int terminal::row() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt), &pos);
    return pos.row;
}

int terminal::col() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt), &pos);
    return pos.col;
}

bool terminal::until(const std::function<bool()> &done)
{
    auto end = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        pump(50);
    }
}

bool terminal::shows(const std::vector<std::string> &lines, int r, int c)
{
    std::vector<std::string> want = lines;
    want.resize(rows);
    return until([&] { return screen() == want && row() == r && col() == c; });
}

bool terminal::saw(const std::string &text, int times)
{
    return until([&] {
        int n = 0;
        for (const auto &line : screen())
            n += line.find(text) != std::string::npos;
        return n >= times;
    });
}

bool terminal::switched(int times)
{
    return until([&] { return switches >= times; });
}

void terminal::mark()
{
    while (pump(0)) {
    }
    since.clear();
}

bool terminal::settle()
{
    if (!waitsforkey(pid))
        return false;
    // Once it waits, all it wrote is there to be read.
    while (pump(0)) {
    }
    return true;
}

long terminal::writes()
{
    if (!waitsforkey(pid))
        throw std::runtime_error("the game does not wait for a key");
    return ::writes(pid);
}

std::string terminal::event(bool reading)
{
    auto end = std::chrono::steady_clock::now() + patience;
    std::string line;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p[2] = {{events, POLLIN, 0}, {master, static_cast<short>(reading ? POLLIN : 0), 0}};
        if (poll(p, 2, 50) <= 0)
            continue;
        if (p[1].revents & POLLIN)
            pump(0);
        if (p[0].revents) {
            char c;
            if (read(events, &c, 1) != 1)
                return line;
            if (c == '\n')
                break;
            line += c;
        }
    }
    // Output the game wrote just before the event is still on its way.
    while (reading && pump(20)) {
    }
    return line;
}

void terminal::command(const std::string &c)
{
    if (write(commands, c.data(), c.size()) != static_cast<ssize_t>(c.size()))
        throw std::runtime_error("the shell takes no command");
}

void terminal::fg()
{
    command("f");
}

void terminal::bg()
{
    command("b");
}

void terminal::killjob(int sig)
{
    command(std::string("k") + static_cast<char>(sig));
}

pid_t terminal::job() const
{
    std::ifstream in("/proc/" + std::to_string(leader) + "/task/" + std::to_string(leader) +
                     "/children");
    pid_t last = -1;
    for (pid_t p; in >> p;)
        last = p;
    return last;
}

termios terminal::modes() const
{
    termios t;
    tcgetattr(master, &t);
    return t;
}

bool same(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}
