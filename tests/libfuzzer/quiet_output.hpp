#pragma once

#include <iostream>
#include <streambuf>

// Swallows everything written to std::cout while it is alive: warnings and
// progress lines would only slow the fuzzer down.
class QuietOutput {
  public:
    QuietOutput() : saved(std::cout.rdbuf(&sink)) {}
    ~QuietOutput() { std::cout.rdbuf(saved); }
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

  private:
    struct Sink : std::streambuf {
        int overflow(int c) override { return c == EOF ? 0 : c; }
    } sink;
    std::streambuf* saved;
};
