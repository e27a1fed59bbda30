#pragma once

#include "options.h"

// Exit statuses, as --help and the README list them.
namespace Exit {
constexpr int Ok = 0;
constexpr int NoAnswer = 1;
constexpr int OutputLost = 1; // stdout could not be written: a failure outside the program, like a dead port
constexpr int Usage = 2;
constexpr int Exception = 3;
constexpr int Mismatch = 4;
} // namespace Exit

// Opens the port and runs the command; returns the exit status, having said
// on stderr what went wrong.
int runCommand(const CtlOptions &options);

// Flushes stdout: false when anything written to it was lost (a full disk).
bool outputWritten();
// Says on stderr that the output was lost; returns Exit::OutputLost.
int outputLost();
