// Compressed formulas are read through the system's decompressor programs,
// the way several SAT solvers do it: the solver keeps its only dependencies,
// and the decompressor runs on another core while the reader parses. The
// child gets the opened file as its standard input, so no file name ever
// reaches a command line, and it is started without a shell.
//
// A decompressor reports a corrupt or truncated stream only through its exit
// status after the last byte, so the stream is always read to its end and
// the status checked before a formula counts as read. Every child is reaped,
// also when reading stops early on an error.

#include "qdimacs/input_file.hpp"

#include "driver/exceptions.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

} // namespace

const InputFile::Format* InputFile::formatOf(const std::string& path) {
    static const Format formats[] = {
        {".gz", "gzip", "could not start gzip to decompress it",
         "gzip failed: corrupt or truncated stream"},
        {".bz2", "bzip2", "could not start bzip2 to decompress it",
         "bzip2 failed: corrupt or truncated stream"},
        {".xz", "xz", "could not start xz to decompress it",
         "xz failed: corrupt or truncated stream"},
        {".lzma", "xz", "could not start xz to decompress it",
         "xz failed: corrupt or truncated stream"},
        {".zst", "zstd", "could not start zstd to decompress it",
         "zstd failed: corrupt or truncated stream"},
    };
    for (const Format& f : formats) {
        std::string suffix = f.suffix;
        if (path.size() > suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            return &f;
    }
    return nullptr;
}

InputFile::InputFile(const std::string& path) : format(formatOf(path)) {
    if (!format) {
        file = std::fopen(path.c_str(), "rb");
        if (!file) throw FileSystemException{{"file not found"}};
        return;
    }
    Descriptor input;
    input.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (input.fd < 0) throw FileSystemException{{"file not found"}};
    startDecompressor(input.fd, *format);
}

void InputFile::startDecompressor(int fd, const Format& f) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw FileFormatException{{f.notStarted}};
    Descriptor readEnd{ends[0]};
    Descriptor writeEnd{ends[1]};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO);
    // Its complaints would interleave with the answer; the exit status says enough.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A reader that stops early closes the pipe, which must end the child.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    char* argv[] = {const_cast<char*>(f.program), const_cast<char*>("-dc"), nullptr};
    pid_t pid = -1;
    int error = posix_spawnp(&pid, f.program, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) throw FileFormatException{{f.notStarted}};
    child = pid;

    close(writeEnd.fd);
    writeEnd.fd = -1;
    file = fdopen(readEnd.fd, "rb");
    if (!file) {
        stopDecompressor();
        throw FileFormatException{{f.notStarted}};
    }
    readEnd.fd = -1;
}

void InputFile::finish() {
    if (child < 0) return;
    char scratch[1 << 16];
    while (std::fread(scratch, 1, sizeof scratch, file) > 0) {
    }
    std::fclose(file);
    file = nullptr;
    int status = 0;
    pid_t pid = child;
    child = -1;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw FileFormatException{{format->failed}};
}

// Whatever the child is doing, it is told to stop and then reaped.
void InputFile::stopDecompressor() {
    if (child < 0) return;
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    child = -1;
}

InputFile::~InputFile() {
    stopDecompressor();
    if (file) std::fclose(file);
}
