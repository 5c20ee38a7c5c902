// The least a program can do to answer a stream of keys: read them in large
// blocks, and for each movement key copy a ready-made answer, as large as the
// game's, into a large block that goes out with one write() whenever it fills.

#include "answer.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

char in[65536];
char out[65536];
size_t used;

bool flush()
{
    bool ok = used == 0 || write(STDOUT_FILENO, out, used) == static_cast<ssize_t>(used);
    used = 0;
    return ok;
}

} // namespace

int main()
{
    const std::string frame = answer();
    for (ssize_t n; (n = read(STDIN_FILENO, in, sizeof in)) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
            char c = in[i];
            if (c != 'w' && c != 'a' && c != 's' && c != 'd')
                continue;
            if (used + frame.size() > sizeof out && !flush())
                return 1;
            std::copy(frame.begin(), frame.end(), out + used);
            used += frame.size();
        }
    }
    return flush() ? 0 : 1;
}
