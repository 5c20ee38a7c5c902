// The console on a Unix terminal, or on pipes and files.
//
// Output is gathered in memory and handed over in one write() just before the
// game waits for a key: the echo of a key, the clear and the frame that follow
// it travel together, and so do the answers to all the keys that were there at
// once.
//
// When the keys come from a terminal, its modes are changed in one place
// (enter) and put back in one place (leave), on every way out: the end of the
// keys, a failure, and each signal that ends the game. The handlers of
// the signals that stop, continue or resize the game only take note; the key
// loop acts on their notes in order, between two keys and while it waits for a
// key or for the screen to take more output. A signal that ends the game puts
// the terminal back in its handler, at once, whatever the loop is doing.

#include "console.h"
#include "echo.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char clear[] = "\x1b[H\x1b[2J";
const char altscreen[] = "\x1b[?1049h";
const char mainscreen[] = "\x1b[?1049l";

// Set up once before the handlers are installed; the handlers only read them.
termios usermodes; // the terminal's modes as the game found them
termios gamemodes;
bool keystty;     // the keys come from a terminal, whose modes the game sets
bool screentty;   // the screen is a terminal
bool fullscreen;  // both: the game draws on the alternate screen and repaints it
sigset_t handled; // every signal the game handles, and SIGTTOU

// Whether the game's modes are in place; read by the handlers too.
volatile sig_atomic_t active;

// Notes left by the handlers, and a pipe that wakes the loop when it waits.
volatile sig_atomic_t stopnote;
volatile sig_atomic_t contnote;
volatile sig_atomic_t winchnote;
int wake[2] = {-1, -1};

// Keys read but not yet handed to the game: whatever is there at once, from a
// paste, a pipe or a file, comes in one read().
unsigned char keys[4096];
size_t have;
size_t next;

// Output held back while more keys are there already goes out once it reaches
// this much, so that a long run of keys streams out steadily.
const size_t holdback = size_t{64} * 1024;

// Written by the game but not yet handed to the screen: pending[first, held),
// at most the bound and the answer to one more key.
char pending[holdback + 4096];
size_t first;
size_t held;

std::string shown; // on a terminal screen: the last clear and all written since
bool owed;         // a repaint of it is due once the held output is out
size_t painted;    // how much of that repaint is out

int owing;   // echo state: UTF-8 continuation bytes still to come
bool c1lead; // and whether their lead byte was 0xc2

void block(sigset_t &old)
{
    sigprocmask(SIG_BLOCK, &handled, &old);
}

void unblock(const sigset_t &old)
{
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Waits until the descriptor can be read or written, or a signal is noted;
// false for the signal.
bool ready(int fd, bool writing)
{
    fd_set in, out;
    FD_ZERO(&in);
    FD_ZERO(&out);
    FD_SET(fd, writing ? &out : &in);
    if (wake[0] >= 0)
        FD_SET(wake[0], &in);
    if (select(std::max(fd, wake[0]) + 1, &in, writing ? &out : nullptr, nullptr, nullptr) < 0)
        return false;
    if (wake[0] >= 0 && FD_ISSET(wake[0], &in)) {
        // The note itself is what counts; it was left before the pipe rang.
        char drain[64];
        while (read(wake[0], drain, sizeof drain) > 0) {
        }
    }
    return FD_ISSET(fd, writing ? &out : &in);
}

// Async-signal-safe: leave uses it in the handlers too. Nothing can be done
// about a screen that fails here, on the way in or out; the game's own writes
// find it out.
void writeall(const char *p, size_t n)
{
    while (n > 0) {
        ssize_t k = write(STDOUT_FILENO, p, n);
        if (k > 0) {
            p += k;
            n -= static_cast<size_t>(k);
        } else if (k < 0 && errno == EAGAIN) {
            fd_set out;
            FD_ZERO(&out);
            FD_SET(STDOUT_FILENO, &out);
            select(STDOUT_FILENO + 1, nullptr, &out, nullptr, nullptr);
        } else if (k < 0 && errno != EINTR) {
            return;
        }
    }
}

void setmodes(const termios &t)
{
    while (tcsetattr(STDIN_FILENO, TCSANOW, &t) != 0 && errno == EINTR) {
    }
}

// No signal comes between changing the modes and noting the change, and none
// stops the game half way: SIGTTOU is held too, so that a game put in the
// background still puts the terminal back.
void enter()
{
    sigset_t old;
    block(old);
    setmodes(gamemodes);
    // Switching to the alternate screen a second time would overwrite the
    // cursor position saved for the user's own screen.
    if (fullscreen && !active)
        writeall(altscreen, sizeof altscreen - 1);
    active = 1;
    unblock(old);
}

void leave()
{
    sigset_t old;
    block(old);
    if (active) {
        if (fullscreen) {
            // Output the terminal has not taken yet is for the screen that is
            // going away; dropping it lets the switch back through at once.
            tcflush(STDOUT_FILENO, TCOFLUSH);
            writeall(mainscreen, sizeof mainscreen - 1);
        }
        setmodes(usermodes);
        active = 0;
    }
    unblock(old);
}

bool foreground()
{
    // A terminal without job control is the game's as long as it runs.
    pid_t group = tcgetpgrp(STDIN_FILENO);
    return group < 0 || group == getpgrp();
}

void raisedefault(int sig)
{
    static_cast<void>(signal(sig, SIG_DFL));
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    static_cast<void>(raise(sig));
}

void ring()
{
    if (wake[1] >= 0) {
        ssize_t ignored = write(wake[1], "", 1); // a full pipe wakes the loop as well
        static_cast<void>(ignored);
    }
}

// For every signal that ends the game, crashes included: the terminal is put
// back before the signal does what it does by default.
void onending(int sig)
{
    leave();
    raisedefault(sig);
}

void onstop(int)
{
    int saved = errno;
    stopnote = 1;
    ring();
    errno = saved;
}

// A continue discards a stop that has not been acted on yet, as the kernel
// discards a stop signal still pending.
void oncont(int)
{
    int saved = errno;
    stopnote = 0;
    contnote = 1;
    ring();
    errno = saved;
}

void onwinch(int)
{
    int saved = errno;
    winchnote = 1;
    ring();
    errno = saved;
}

bool noted()
{
    return stopnote || contnote || winchnote;
}

void stopself(int sig)
{
    struct sigaction stop = {}, kept;
    stop.sa_handler = SIG_DFL;
    sigaction(sig, &stop, &kept);
    static_cast<void>(raise(sig));
    sigaction(sig, &kept, nullptr);
}

// Puts the user's modes and screen back and stops. Once continued in the
// foreground, or at once where the kernel discards the stop of an orphaned
// process group, the game takes its modes again; continued in the background,
// it stops again until it is brought to the foreground, as it needs the
// terminal.
void suspend(int sig)
{
    // What is held for the screen being put away is never sent; the repaint
    // on the way back draws the whole of the screen as it is by then.
    if (fullscreen)
        first = held = 0;
    leave();
    for (;;) {
        contnote = 0;
        stopself(sig);
        if (!contnote || foreground())
            break;
        sig = SIGTTOU;
    }
    contnote = 0;
    if (foreground())
        enter();
}

// Acts on the notes the handlers left, in the order a person expects: first
// the stop, then the continue, then a new size; a whole repaint follows any of
// them, once.
void attend()
{
    bool paint = false;
    if (stopnote) {
        stopnote = 0;
        suspend(SIGTSTP);
        paint = true;
    }
    if (contnote) {
        contnote = 0;
        if (foreground())
            enter();
        else
            suspend(SIGTTOU);
        paint = true;
    }
    if (winchnote) {
        winchnote = 0;
        paint = true;
    }
    if (paint && fullscreen && active) {
        owed = true;
        painted = 0;
    }
}

[[noreturn]] void fail(const char *what, const char *why)
{
    leave();
    // The message goes below the room, not right of its last wall.
    if (screentty && !fullscreen)
        writeall("\n", 1);
    std::string line = std::string("roomwalk: ") + what + ": " + why + "\n";
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    static_cast<void>(ignored);
    std::exit(1);
}

[[noreturn]] void unwritable(ssize_t k, int err)
{
    // A terminal that hangs up is the end of the game, not a failure.
    if (screentty && k < 0 && err == EIO) {
        leave();
        std::exit(0);
    }
    fail("cannot write the screen", k == 0 ? "nothing was written" : std::strerror(err));
}

// Writes p[done, n) to the screen; false once a signal is noted, with done
// saying how far it got. A note is seen before each write and when a signal
// cuts a write short; one that comes just as a write begins waits for that
// write to end, as nothing tells a write on a shared descriptor to give up.
bool send(const char *p, size_t n, size_t &done)
{
    while (done < n) {
        if (noted())
            return false;
        ssize_t k = write(STDOUT_FILENO, p + done, n - done);
        if (k > 0)
            done += static_cast<size_t>(k);
        else if (k < 0 && errno == EAGAIN)
            ready(STDOUT_FILENO, true);
        else if (!(k < 0 && errno == EINTR))
            unwritable(k, errno);
    }
    return true;
}

// Hands all the held output to the screen, then any repaint that is due,
// acting on each note as it comes.
void flush()
{
    for (;;) {
        if (noted())
            attend();
        if (first < held) {
            if (send(pending, held, first))
                first = held = 0;
        } else if (owed) {
            if (send(shown.data(), shown.size(), painted))
                owed = false;
        } else {
            return;
        }
    }
}

// Inline, as hold and add run three times for every key of a stream: for the
// echo, the clear and the frame.
inline void hold(std::string_view text)
{
    if (fullscreen)
        shown.append(text.data(), text.size());
    std::memcpy(pending + held, text.data(), text.size());
    held += text.size();
}

// Holds text that does not fit in the room left: what is held goes out
// first, and only an answer larger than all the room goes out in pieces.
void holdlarge(std::string_view text)
{
    flush();
    while (text.size() > sizeof pending) {
        hold(text.substr(0, sizeof pending));
        text.remove_prefix(sizeof pending);
        flush();
    }
    hold(text);
}

inline void add(std::string_view text)
{
    if (text.size() > sizeof pending - held)
        holdlarge(text);
    else
        hold(text);
}

void handle(int sig, void (*fn)(int))
{
    struct sigaction old;
    sigaction(sig, nullptr, &old);
    // A signal ignored by whoever started the game stays ignored, and one that
    // a runtime already watches (a sanitizer's crash report) stays with it.
    // Without a note of SIGCONT, a stop counts as one the kernel discarded.
    if (old.sa_handler != SIG_DFL)
        return;
    struct sigaction act = {};
    act.sa_handler = fn;
    act.sa_mask = handled;
    // No SA_RESTART: a signal must break a wait for a key or for the screen,
    // so that the loop sees its note.
    sigaction(sig, &act, nullptr);
}

// Every signal whose default action ends the process, but SIGKILL.
const int endingsignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ,
    SIGVTALRM, SIGPROF, SIGABRT, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGTRAP, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

template <typename F> void eachending(F f)
{
    for (int sig : endingsignals)
        f(sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        f(sig);
#endif
}

// The pipe's ends go above the standard descriptors, so that a closed
// standard output is never mistaken for one of them.
bool makewake()
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        wake[i] = fcntl(fds[i], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fds[i]);
        if (wake[i] < 0 || wake[i] >= FD_SETSIZE)
            return false;
        fcntl(wake[i], F_SETFL, O_NONBLOCK);
    }
    return true;
}

void setup()
{
    static bool done;
    if (done)
        return;
    done = true;
    screentty = isatty(STDOUT_FILENO);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &usermodes) != 0)
        return; // keys from a pipe or a file: no terminal to set up
    keystty = true;
    fullscreen = screentty;
    gamemodes = usermodes;
    // One key at a time, without Enter and without the terminal's echo; the
    // signal keys keep their meaning, every other key reaches the game.
    gamemodes.c_lflag &= ~(ICANON | ECHO | IEXTEN);
    gamemodes.c_iflag &= ~IXON;
    gamemodes.c_cc[VMIN] = 1;
    gamemodes.c_cc[VTIME] = 0;
    // Each line break as a carriage return and a line feed, whatever a
    // program before left the terminal doing with its output.
    gamemodes.c_oflag |= OPOST | ONLCR;
    gamemodes.c_oflag &= ~(OCRNL | ONOCR | ONLRET);
#ifdef OLCUC
    gamemodes.c_oflag &= ~OLCUC;
#endif

    sigemptyset(&handled);
    eachending([](int sig) { sigaddset(&handled, sig); });
    for (int sig : {SIGTSTP, SIGCONT, SIGWINCH, SIGTTOU})
        sigaddset(&handled, sig);
    if (!makewake()) {
        for (int &fd : wake) {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
    }
    eachending([](int sig) { handle(sig, onending); });
    handle(SIGTSTP, onstop);
    handle(SIGCONT, oncont);
    handle(SIGWINCH, onwinch);
    // Started in the background, the game waits for the terminal before it
    // touches it.
    if (foreground())
        enter();
    else
        suspend(SIGTTOU);
}

} // namespace

void cls()
{
    setup();
    if (fullscreen)
        shown.clear();
    add(std::string_view(clear, sizeof clear - 1));
}

void put(std::string_view text)
{
    setup();
    add(text);
}

int getkey()
{
    setup();
    for (;;) {
        if (noted() || owed)
            flush();
        if (next < have) {
            // More keys are there already: their answers may travel together,
            // but each goes out whole, and never more than a bound is held.
            if (held >= holdback)
                flush();
            unsigned char c = keys[next++];
            char shape[4];
            add(echo(c, owing, c1lead, shape));
            return c;
        }
        flush();
        // Keys from a terminal are waited for where a signal's note wakes the
        // loop too; from a pipe or a file, in read() itself.
        if (keystty && !ready(STDIN_FILENO, false))
            continue;
        ssize_t n = read(STDIN_FILENO, keys, sizeof keys);
        if (n > 0) {
            have = static_cast<size_t>(n);
            next = 0;
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            ready(STDIN_FILENO, false);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // The end of the keys, or a terminal that hung up, ends the game.
        if (n == 0 || (keystty && errno == EIO)) {
            leave();
            // The shell's prompt then starts below the room, not right of it.
            if (screentty && !fullscreen) {
                add("\n");
                flush();
            }
            return -1;
        }
        fail("cannot read the keys", std::strerror(errno));
    }
}
