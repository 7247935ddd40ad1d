#pragma once

#include <string_view>

namespace demo {

// Unbuffered writes, so stdout and stderr lines reach the pipe in program order.
bool writeAll(int fd, std::string_view text);
void out(std::string_view line);
void err(std::string_view line);

// The emulator's own behaviour for its arguments; returns the exit status.
int runDefault(int argc, char** argv);

// Runs a newline-separated steering script (see README.md); returns the exit status.
int runScript(std::string_view script, int argc, char** argv);

} // namespace demo
