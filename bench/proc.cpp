#include "proc.h"

#include <sys/syscall.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace {

// While the process sleeps in a system call, the kernel shows its number and
// arguments; "running" otherwise.
bool sleepsin(pid_t pid, long &call, unsigned long (&args)[6])
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::string first;
    if (!(in >> first) || first == "running")
        return false;
    call = std::stol(first);
    for (auto &a : args)
        if (!(in >> std::hex >> a))
            return false;
    return true;
}

long count(pid_t pid, const std::string &field)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long value;
    while (io >> key >> value)
        if (key == field)
            return value;
    return -1;
}

// A field of what the kernel shows of the process in /proc/PID/status, ""
// for a process that is gone.
std::string status(pid_t pid, const std::string &name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key, value;
    while (in >> key >> value) {
        if (key == name + ":")
            return value;
        in.ignore(1 << 20, '\n');
    }
    return "";
}

} // namespace

bool eventually(const std::function<bool()> &done)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool reading(pid_t pid)
{
    long call;
    unsigned long args[6];
    if (!sleepsin(pid, call, args))
        return false;
    if (call == SYS_read)
        return args[0] == 0;
    return call == SYS_pselect6 && args[1] != 0 && args[2] == 0;
}

bool writing(pid_t pid)
{
    long call;
    unsigned long args[6];
    if (!sleepsin(pid, call, args))
        return false;
    if (call == SYS_write)
        return args[0] == 1;
    return call == SYS_pselect6 && args[2] != 0;
}

bool waitsforkey(pid_t pid)
{
    return eventually([pid] { return reading(pid); });
}

bool waitstowrite(pid_t pid)
{
    return eventually([pid] { return writing(pid); });
}

char state(pid_t pid)
{
    std::string s = status(pid, "State");
    return s.empty() ? '\0' : s[0];
}

long yielded(pid_t pid)
{
    std::string s = status(pid, "voluntary_ctxt_switches");
    return s.empty() ? 0 : std::stol(s);
}

long writes(pid_t pid)
{
    return count(pid, "syscw:");
}
