#pragma once
// The console of the program that started this one, for what the command line prints.
//
// On Windows the program is a window program: it is given no console, and a command prompt
// that starts it shows nothing it writes unless it joins the prompt's console. Elsewhere
// standard output and error are always the caller's, and both calls do nothing.
//
// main's thread, before the toolkit starts.

#include <cstdio>
#include <string>

namespace platform {

// Joins the starting program's console for standard output and error that lead nowhere (a pipe
// or a file the caller gave is kept). No console: nothing changes.
void UseParentConsole();

// Leaves that console again (the program goes on as a window, which the console's closing must
// not end).
void LeaveParentConsole();

// Writes UTF-8 text to stream (stdout or stderr). A Windows console is given it as UTF-16, so
// every script shows whatever the console's code page; elsewhere (a pipe, a file, any stream on
// Linux) the bytes go as they are.
void PrintText(std::FILE* stream, const std::string& utf8);

}  // namespace platform
