// Plays the game on a pseudo-terminal, as a person at a terminal emulator
// would, with a small job-control shell between the two.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

struct VTerm;

class terminal {
  public:
    // With a shell, the game runs as a foreground job that Ctrl+Z stops.
    // Without one it leads its own session, whose process group is orphaned,
    // so the kernel discards every stop of it. With nohup, the game and the
    // shell start with SIGHUP ignored, so that a hangup reaches the game as
    // the end of its input.
    explicit terminal(bool shell = true, bool nohup = false);
    ~terminal();
    terminal(const terminal &) = delete;
    terminal &operator=(const terminal &) = delete;

    // Keys typed before the game has shown its first frame are echoed by the
    // terminal itself, as for any program that is still starting.
    void send(const std::string &keys);
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
    // Reads the game's output until the emulator has switched screens so many
    // times in all; false if that does not come within a few seconds.
    bool switched(int times);
    // Starts a new record of what the game writes.
    void mark();
    // Reads the game's output until what it has written since the mark is
    // exactly these bytes; false if that does not come within a few seconds.
    bool wrote(const std::string &bytes);
    // Reads the game's output until at least so many bytes have come since the
    // mark; false if they do not come within a few seconds.
    bool got(size_t bytes);
    // The game's write() calls so far, read once it waits for a key again.
    long writes();
    std::vector<std::string> screen() const;
    int row() const;
    int col() const;

    // What the shell saw the game do next: "stopped N", "killed N" or "exited N".
    std::string event();
    // Continues the stopped game in the foreground, as fg does.
    void fg();

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
    int master = -1;
    int events = -1;
    int commands = -1;
    pid_t leader = -1;
    VTerm *vt = nullptr;
};

// Equal when every mode a program can change is the same.
bool same(const termios &a, const termios &b);
