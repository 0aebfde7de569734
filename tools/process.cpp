// fork and exec rather than posix_spawn, because the limits have to be set in
// the child between the two. The hard CPU limit lies a few seconds above the
// soft one, so the child gets SIGXCPU and time to report it before SIGKILL.

#include "process.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t startProcess(const std::vector<std::string>& argv, const std::string& outputPath,
                   unsigned cpuSeconds, unsigned memoryMegabytes) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Opened before the fork: the child only calls async-signal-safe functions.
    int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) throw std::runtime_error("cannot open " + outputPath);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        if (cpuSeconds > 0) {
            struct rlimit limit = {cpuSeconds, cpuSeconds + 5};
            setrlimit(RLIMIT_CPU, &limit);
        }
        if (memoryMegabytes > 0) {
            rlim_t bytes = rlim_t(memoryMegabytes) << 20;
            struct rlimit limit = {bytes, bytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        execv(args[0], args.data());
        static const char message[] = "exec failed\n";
        (void)!write(STDERR_FILENO, message, sizeof message - 1);
        _exit(127);
    }
    close(out);
    close(in);
    return pid;
}

namespace {

pid_t waitFor(pid_t which, ProcessResult& result) {
    int status = 0;
    struct rusage usage = {};
    pid_t pid;
    do
        pid = wait4(which, &status, 0, &usage);
    while (pid < 0 && errno == EINTR);
    if (pid < 0) throw std::runtime_error("wait4 failed");
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return pid;
}

} // namespace

pid_t waitForAny(ProcessResult& result) {
    return waitFor(-1, result);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& outputPath,
                         unsigned cpuSeconds, unsigned memoryMegabytes) {
    pid_t pid = startProcess(argv, outputPath, cpuSeconds, memoryMegabytes);
    ProcessResult result;
    waitFor(pid, result);
    result.output = readFile(outputPath);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out.flush());
}

std::string describe(const ProcessResult& result) {
    if (result.exited) return "exit " + std::to_string(result.status);
    return "signal " + std::to_string(result.status) + " (" + strsignal(result.status) + ")";
}

std::string lastLine(const std::string& output) {
    size_t end = output.find_last_not_of("\r\n");
    if (end == std::string::npos) return "";
    size_t start = output.find_last_of('\n', end);
    start = start == std::string::npos ? 0 : start + 1;
    return output.substr(start, end - start + 1);
}

std::string findOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}
