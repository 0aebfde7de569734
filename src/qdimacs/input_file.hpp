#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>

// The input formula as a byte stream: the file itself, or for a compressed
// file the output of its decompressor, which runs as a child process.
class InputFile {
  public:
    // Throws FileSystemException when the file cannot be opened and
    // FileFormatException when its decompressor cannot be started.
    explicit InputFile(const std::string& path);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    std::FILE* stream() const { return file; }

    // Reads a compressed stream to its end and throws FileFormatException
    // unless the decompressor then reports success; a no-op for a plain file.
    void finish();

  private:
    struct Format {
        const char* suffix;
        const char* program;
        const char* notStarted; // reason when the program cannot be started
        const char* failed;     // reason when it exits with an error
    };
    static const Format* formatOf(const std::string& path);
    void startDecompressor(int fd, const Format& format);
    void stopDecompressor();

    std::FILE* file = nullptr;
    const Format* format = nullptr;
    pid_t child = -1;
};
