// What a program asks of its platform besides windows: where it lives, and a way to let
// pending window events run.
#pragma once

#include <string>

namespace platform {

// The folder that holds the program file, as text, without a trailing separator except
// at the root of the file system ("/").
std::string AppPath();

// The platform's path separator.
inline constexpr char kPathSeparator = '/';

// Processes the window's pending events once, repaints included.
void DoEvents();

// Loads the toolkit's fonts and what lays out text, which the first paint would otherwise
// do: called while a picture is decoded on another thread, it costs the window nothing.
void PrepareText();

// True where nobody can answer a message box (the offscreen and minimal platforms).
bool Headless();

}  // namespace platform
