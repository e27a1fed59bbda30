#pragma once

#include "options.h"

// Exit statuses, as --help and the README list them.
namespace Exit {
constexpr int Ok = 0;
constexpr int NoAnswer = 1;
constexpr int Usage = 2;
constexpr int Exception = 3;
constexpr int Mismatch = 4;
} // namespace Exit

// Opens the port and runs the command; returns the exit status, having said
// on stderr what went wrong.
int runCommand(const CtlOptions &options);
