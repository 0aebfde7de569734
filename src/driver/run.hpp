#pragma once

#include "karvona.h"

// The whole run: options, load, solve, answer. Returns the exit status.
int run(int argc, char** argv);

// Scans the arguments into the solver's options; returns the input path or
// null when there is none. Misused -O ends the process.
const char* scanOptions(karvona* solver, int argc, char** argv);

void printUsage();
void installCpuLimitHandler();
