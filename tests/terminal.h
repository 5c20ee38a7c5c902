// Plays the game on a pseudo-terminal, as a person at a terminal emulator
// would, with a small job-control shell between the two.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

struct VTerm;

// How the game is started on the terminal.
struct start {
    // With a shell, the game runs as a foreground job that Ctrl+Z stops.
    // Without one it leads its own session, whose process group is orphaned,
    // so the kernel discards every stop of it.
    bool shell = true;
    // The shell starts the game in the background, as roomwalk & does.
    bool background = false;
    // The game and the shell start with SIGHUP ignored, so that a hangup
    // reaches the game as the end of its input.
    bool nohup = false;
    // The game's keys, its screen or both come from an open file of the
    // terminal that is non-blocking, as another program may leave it: for
    // both, the one open file they share; for one alone, one of its own.
    bool nonblockingkeys = false;
    bool nonblockingscreen = false;
    // Output and local modes turned off and on before the game starts, as
    // another program or the user may leave them.
    tcflag_t oflagoff = 0;
    tcflag_t lflagon = 0;
    // Bash on the terminal, in place of the small shell: the game is started
    // by typing its name.
    bool bash = false;
    // The keys come from a pipe that holds these and then ends, not from the
    // terminal.
    bool piped = false;
    std::string keys;
    // The screen goes into this file, not to the terminal.
    std::string screenfile;
};

class terminal {
  public:
    explicit terminal(bool shell = true, bool nohup = false);
    explicit terminal(const start &how);
    ~terminal();
    terminal(const terminal &) = delete;
    terminal &operator=(const terminal &) = delete;

    // Keys typed before the game has shown its first frame are echoed by the
    // terminal itself, as for any program that is still starting. A long paste
    // fills the terminal both ways, so the game's output is read meanwhile;
    // unless told not to, when a paste that does not fit at once is an error.
    void send(const std::string &keys, bool reading = true);
    void kill(int sig);
    // Gives the terminal a new size, as an emulator does when its window is
    // resized: the kernel tells the game with SIGWINCH.
    void resize(int rows, int cols);
    // Closes the emulator's side, as when its window is closed.
    void hangup();

    // Reads the game's output into the emulator until the screen shows these
    // lines (the rest of it blank) with the cursor at row, col; false if it
    // does not come to that within a few seconds.
    bool shows(const std::vector<std::string> &lines, int row, int col);
    // Reads the terminal's output until so many lines of the screen hold the
    // text; false if that does not come within a few seconds.
    bool saw(const std::string &text, int times = 1);
    // Reads the game's output until the emulator has switched screens so many
    // times in all; false if that does not come within a few seconds.
    bool switched(int times);
    // Starts a new record of what the game writes.
    void mark();
    // Waits until the game waits for a key, then reads all it has written, so
    // that since holds every byte of its answers so far; false if it does not
    // come to wait within a few seconds.
    bool settle();
    // The game's write() calls so far, read once it waits for a key again.
    long writes();
    std::vector<std::string> screen() const;
    int row() const;
    int col() const;

    // What the shell saw the game do next: "stopped N", "killed N" or "exited N".
    // Unless told not to, it reads the game's output meanwhile.
    std::string event(bool reading = true);
    // Continues the stopped game in the foreground, as fg does.
    void fg();
    // Continues it in the background, as bg does.
    void bg();
    // Sends the stopped job a signal and then SIGCONT, as kill %1 does.
    void killjob(int sig);
    // The process the shell started last.
    pid_t job() const;

    termios modes() const;
    int rows = 24, cols = 80;
    std::string since; // the game's output since the mark
    termios before;    // the terminal's modes before the game started
    pid_t pid = -1;    // the game's
    bool alt = false;  // whether the emulator shows its alternate screen
    int switches = 0;  // how often it has gone to or from it

  private:
    bool pump(int ms);
    bool until(const std::function<bool()> &done);
    void command(const std::string &c);
    int master = -1;
    int events = -1;
    int commands = -1;
    pid_t leader = -1;
    VTerm *vt = nullptr;
};

// Equal when every mode a program can change is the same.
bool same(const termios &a, const termios &b);
