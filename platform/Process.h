// What the running process knows of itself: its program file and its command line.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The device path of the running executable; empty (last error 2) when it lies outside the
// device root.
std::u16string modulePath();

// Makes modulePath() answer with devicePath for the rest of the process; for tests that run a
// system library from a program that does not live in a device root. An empty path undoes it.
void overrideModulePath(std::u16string devicePath);

// The command line as the system hands it over: the program's device path, then the arguments;
// a token that is empty or holds a blank is written in double quotes.
std::u16string commandLine();

// Quotes one token the way commandLine() does.
std::u16string quoteToken(std::u16string_view token);

} // namespace platform
