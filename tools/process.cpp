// Children start through posix_spawn, which does not copy the parent's page
// tables the way fork does; under a sanitizer that copy costs more than the
// child's whole run. The limits are therefore set from outside with
// prlimit, right after the start: a limit counts the CPU time used so far,
// so nothing escapes it. The hard CPU limit lies a few seconds above the
// soft one, so the child gets SIGXCPU and time to report it before SIGKILL.

#include "process.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

pid_t startProcess(const std::vector<std::string>& argv, const std::string& outputPath,
                   unsigned cpuSeconds, unsigned memoryMegabytes) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + strerror(error));
    // ESRCH (the child is already gone) is fine; it then needed no limit.
    if (cpuSeconds > 0) {
        struct rlimit limit = {cpuSeconds, cpuSeconds + 5};
        prlimit(pid, RLIMIT_CPU, &limit, nullptr);
    }
    if (memoryMegabytes > 0) {
        rlim_t bytes = rlim_t(memoryMegabytes) << 20;
        struct rlimit limit = {bytes, bytes};
        prlimit(pid, RLIMIT_AS, &limit, nullptr);
    }
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
