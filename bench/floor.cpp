// The least a program can do to answer a key with a frame: read one byte and
// write one ready-made frame, as large as the game's answer, in one write().

#include <unistd.h>

#include <string>

int main()
{
    std::string frame = "d\x1b[H\x1b[2JWSAD - Sterwoanie\nVovovade Zezozoriz Adivod Ruv'a\n";
    for (const char *row :
         {"##########", "#.@......#", "#........#", "#........#", "#........#", "##########"})
        frame += std::string("\n") + row;
    for (char c; read(STDIN_FILENO, &c, 1) == 1;)
        if (write(STDOUT_FILENO, frame.data(), frame.size()) < 0)
            return 1;
    return 0;
}
