// The CPU-time limit ends the run wherever it is. The handler writes its
// bytes with one unbuffered write, since the interrupted code may be in the
// middle of writing to the same stream.

#include "driver/run.hpp"

#include <csignal>
#include <unistd.h>

namespace {

void onCpuLimit(int) {
    static const char line[] = "\nTIME LIMIT EXCEEDED\n";
    (void)!write(STDOUT_FILENO, line, sizeof line - 1);
    _exit(0);
}

} // namespace

void installCpuLimitHandler() {
    struct sigaction action = {};
    action.sa_handler = onCpuLimit;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXCPU, &action, nullptr);
}
