#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Child processes for the differential runs: stdin from /dev/null, stdout
// and stderr together into one file, optional limits on CPU time (the child
// then gets SIGXCPU, as under ulimit -t) and on address space (0: none;
// sanitizer builds need none, as they reserve huge address ranges).
struct ProcessResult {
    bool exited = false; // false: ended by a signal
    int status = 0;      // exit status, or the signal number
    std::string output;  // stdout and stderr interleaved
    double cpuSeconds = 0;
};

pid_t startProcess(const std::vector<std::string>& argv, const std::string& outputPath,
                   unsigned cpuSeconds, unsigned memoryMegabytes = 0);

// Waits for any started child and returns its pid; the caller knows its
// output file, so result.output stays empty.
pid_t waitForAny(ProcessResult& result);

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& outputPath,
                         unsigned cpuSeconds, unsigned memoryMegabytes = 0);

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& text);

// "exit 10", "signal 11 (Segmentation fault)"
std::string describe(const ProcessResult& result);

// The last line that is not empty.
std::string lastLine(const std::string& output);

// Finds an executable on PATH; empty if there is none.
std::string findOnPath(const std::string& name);
