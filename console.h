// The console the game draws on and reads its keys from: the only code that
// knows the platform. Text goes out in the order it is given, and whatever the
// game has written is on the screen before getkey waits for a key.
#pragma once

#include <string_view>

// Starts a new screen: what is written next is drawn from the top-left corner
// of an empty console.
void cls();

// Writes text at the cursor. It is on the screen by the time getkey waits for
// a key; the answers to keys that are there already may go out together.
void put(std::string_view text);

// Waits for one key, without Enter, echoes it at the cursor and returns its
// code, 0 to 255; -1 once the console has no more keys to give.
int getkey();
