// The console on a Unix terminal, or on pipes and files.
//
// Output is gathered in memory and handed to the terminal in one write() just
// before the game waits for a key: the echo of a key, the clear and the frame
// that follow it travel together, and so do the answers to all the keys that
// were there at once.
//
// When the keys come from a terminal, its modes are changed in one place
// (enter) and put back in one place (leave), on every way out: the end of the
// keys, each signal that ends the game, and a suspend, after which enter puts
// the game's modes back and the screen is drawn again.

#include "console.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

const char clear[] = "\x1b[H\x1b[2J";
const char altscreen[] = "\x1b[?1049h";
const char mainscreen[] = "\x1b[?1049l";

// Set up once before the handlers are installed; the handlers only read them.
termios found;
termios game;
bool alt; // the screen is a terminal too, so the game draws on the alternate screen

// Whether the game's modes are in place; changed by the handlers too.
volatile sig_atomic_t active;

// A repaint asked for by a signal. While the key loop waits in read(), the
// copy of the screen stays as it is, and the handler draws it at once;
// otherwise it leaves a note that the loop reads before it waits again.
volatile sig_atomic_t waiting;
volatile sig_atomic_t stale;

// Keys read but not yet handed to the game: whatever is there at once, from a
// paste, a pipe or a file, comes in one read().
unsigned char keys[4096];
size_t have;
size_t next;

// Output held back while more keys are there already goes out once it reaches
// this much, so that a long run of keys streams out steadily.
const size_t holdback = 64 * 1024;

// Written by the game but not yet handed to the terminal: at most the bound,
// and the answer to one more key.
char pending[holdback + 4096];
size_t held;

std::string shown; // on a terminal screen: the last clear and all written since

// Lead bytes of UTF-8 still owed continuation bytes, and whether the lead was
// 0xc2, which with a byte below 0xa0 spells a C1 control such as CSI.
int owed;
bool c1;

// Async-signal-safe: the handlers use it too.
void writeall(const char *p, size_t n)
{
    while (n > 0) {
        ssize_t k = write(STDOUT_FILENO, p, n);
        if (k > 0) {
            p += k;
            n -= static_cast<size_t>(k);
        } else if (k < 0 && errno == EAGAIN) {
            pollfd out = {STDOUT_FILENO, POLLOUT, 0};
            poll(&out, 1, -1);
        } else if (k < 0 && errno != EINTR) {
            return; // the screen is gone; nothing can be shown any more
        }
    }
}

void setmodes(const termios &t)
{
    while (tcsetattr(STDIN_FILENO, TCSANOW, &t) != 0 && errno == EINTR) {
    }
}

void enter()
{
    setmodes(game);
    // Switching to the alternate screen a second time would overwrite the
    // cursor position saved for the user's own screen.
    if (alt && !active)
        writeall(altscreen, sizeof altscreen - 1);
    active = 1;
}

void leave()
{
    if (!active)
        return;
    if (alt)
        writeall(mainscreen, sizeof mainscreen - 1);
    setmodes(found);
    active = 0;
}

void raisedefault(int sig)
{
    signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
}

void draw()
{
    writeall(shown.data(), shown.size());
}

void repaint()
{
    // Output into a file or a pipe is never drawn again.
    if (!alt)
        return;
    if (waiting)
        draw();
    else
        stale = 1;
}

void onquit(int sig)
{
    leave();
    raisedefault(sig);
}

void oncont(int)
{
    int saved = errno;
    enter();
    repaint();
    errno = saved;
}

void onwinch(int)
{
    int saved = errno;
    repaint();
    errno = saved;
}

struct sigaction tstp;

void ontstp(int sig)
{
    int saved = errno;
    leave();
    raisedefault(sig);
    // Here once continued, or at once where the kernel discards the stop of
    // an orphaned process group.
    sigaction(SIGTSTP, &tstp, nullptr);
    oncont(sig);
    errno = saved;
}

const int quitsignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE, SIGALRM, SIGUSR1,
                           SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGABRT, SIGSEGV,
                           SIGBUS,  SIGFPE,  SIGILL,  SIGTRAP,   SIGSYS};

void handle(int sig, void (*fn)(int), const sigset_t &mask, struct sigaction *keep = nullptr)
{
    struct sigaction old;
    sigaction(sig, nullptr, &old);
    // A signal ignored by whoever started the game stays ignored, and one that
    // a runtime already watches (a sanitizer's crash report) stays with it.
    if (old.sa_handler != SIG_DFL)
        return;
    struct sigaction act = {};
    act.sa_handler = fn;
    act.sa_mask = mask;
    act.sa_flags = SA_RESTART;
    sigaction(sig, &act, nullptr);
    if (keep)
        *keep = act;
}

void setup()
{
    static bool done;
    if (done)
        return;
    done = true;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &found) != 0)
        return; // keys from a pipe or a file: no terminal to set up
    alt = isatty(STDOUT_FILENO);
    game = found;
    // One key at a time, without Enter and without the terminal's echo; the
    // signal keys keep their meaning, every other key reaches the game.
    game.c_lflag &= ~(ICANON | ECHO | IEXTEN);
    game.c_iflag &= ~IXON;
    game.c_cc[VMIN] = 1;
    game.c_cc[VTIME] = 0;

    sigset_t mask;
    sigemptyset(&mask);
    for (int sig : quitsignals)
        sigaddset(&mask, sig);
    sigaddset(&mask, SIGTSTP);
    sigaddset(&mask, SIGCONT);
    sigaddset(&mask, SIGWINCH);
    for (int sig : quitsignals)
        handle(sig, onquit, mask);
    handle(SIGTSTP, ontstp, mask, &tstp);
    handle(SIGCONT, oncont, mask);
    handle(SIGWINCH, onwinch, mask);
    std::atexit(leave);
    enter();
}

void flush()
{
    writeall(pending, held);
    held = 0;
}

void add(std::string_view text)
{
    if (alt)
        shown += text;
    if (text.size() > sizeof pending - held) {
        // Only an answer to one key larger than the room kept over the bound
        // comes here, and goes out in more than one write.
        flush();
        if (text.size() > sizeof pending) {
            writeall(text.data(), text.size());
            return;
        }
    }
    std::memcpy(pending + held, text.data(), text.size());
    held += text.size();
}

// The echo of a key as the game writes it, spelt in shape: printable
// characters, TAB and newline as they are, other control characters in caret
// notation, so that no escape sequence among the keys ever reaches the terminal.
std::string_view echo(unsigned char c, char (&shape)[4])
{
    bool continuation = c >= 0x80 && c < 0xc0;
    // A byte from 0x80 to 0x9f is a C1 control unless it goes on a UTF-8
    // character that is not one; it is shown in the M- notation of cat -v.
    bool control = continuation && c < 0xa0 && (owed == 0 || c1);
    if (continuation) {
        owed = owed > 0 ? owed - 1 : 0;
        c1 = false;
    } else if (c >= 0xc0) {
        owed = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : 1;
        c1 = c == 0xc2;
    } else {
        owed = 0;
        c1 = false;
    }
    if (control) {
        shape[0] = 'M';
        shape[1] = '-';
        shape[2] = '^';
        shape[3] = static_cast<char>(c - 0x80 + 0x40);
        return {shape, 4};
    }
    if (c == '\t' || c == '\n' || (c >= 0x20 && c != 0x7f)) {
        shape[0] = static_cast<char>(c);
        return {shape, 1};
    }
    shape[0] = '^';
    shape[1] = c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    return {shape, 2};
}

} // namespace

void cls()
{
    setup();
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
        if (next < have) {
            // More keys are there already: their answers may travel together,
            // but each goes out whole, and never more than a bound is held.
            if (held >= holdback)
                flush();
            unsigned char c = keys[next++];
            char shape[4];
            add(echo(c, shape));
            return c;
        }
        flush();
        waiting = 1;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (stale) {
            waiting = 0;
            stale = 0;
            draw();
            continue;
        }
        ssize_t n = read(STDIN_FILENO, keys, sizeof keys);
        waiting = 0;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (n > 0) {
            have = static_cast<size_t>(n);
            next = 0;
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            pollfd in = {STDIN_FILENO, POLLIN, 0};
            poll(&in, 1, -1);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return -1; // end of input, or the terminal hung up
    }
}
