#pragma once

#include "karvona.h"

// The whole run: options, load, solve, answer. Returns the exit status.
int run(int argc, char** argv);

// Scans the arguments into the solver's options; returns the input path or
// null when there is none. Misused -O ends the process.
const char* scanOptions(karvona* solver, int argc, char** argv);

// The TRUE/FALSE line, or the QDIMACS answer with --qdo.
void printAnswer(karvona* solver, int answer);

void printUsage();
// The usage text, the long options and where the manual is; for --help.
void printHelp();
void installCpuLimitHandler();
