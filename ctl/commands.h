#pragma once

#include "commissionreport.h"
#include "options.h"

// Exit statuses, as --help and the README list them; a commissioning run's are the same.
namespace Exit {
constexpr int Ok = CommissionStatus::Ok;
constexpr int NoAnswer = CommissionStatus::NoAnswer;
constexpr int OutputLost = 1; // stdout could not be written: a failure outside the program, like a dead port
constexpr int Usage = CommissionStatus::Refused;
constexpr int Exception = CommissionStatus::Exception;
constexpr int Mismatch = CommissionStatus::Mismatch;
} // namespace Exit

// Opens the port and runs the command; returns the exit status, having said
// on stderr what went wrong.
int runCommand(const CtlOptions &options);

// Flushes stdout: false when anything written to it was lost (a full disk).
bool outputWritten();
// Says on stderr that the output was lost; returns Exit::OutputLost.
int outputLost();
