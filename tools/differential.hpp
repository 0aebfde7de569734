#pragma once

// Shared parts of karvona-diff: its settings, the option sets, and how one
// karvona run is judged.

#include "formula.hpp"
#include "process.hpp"

#include <cstdint>
#include <string>
#include <vector>

// One line per option set. "@order" becomes a fresh -O order for each
// formula; after a run whose options hold -c the certificate is checked.
inline const std::vector<std::string> defaultOptionSets = {
    "",             // stack-size heuristic
    "-l",           // literal bound
    "-m",           // maximum conflicts
    "-I",           // innermost
    "-b",           // scope combining
    "-l -b",        // literal bound across combined scopes
    "-O @order",    // the order first, then the default heuristic
    "-m -O @order", // the order, then maximum conflicts
    "-u",           // universal expansion
    "-U",           // every universal expanded first
    "-b -u",        // expansion with combined scopes
    "-l -u",        // literal bound choosing expansions
    "-m -u",        //
    "-I -u",        //
    "-U -l",        //
    "-u -O @order", // orders that mix universals and existentials
};

// For --large formulas: expanding every universal first is exponential in
// the number of universals, so -U stays out.
inline const std::vector<std::string> largeOptionSets = {
    "", "-l", "-m", "-b -u", "-l -u", "-u -O @order", "-c", "-c -u",
};

struct DiffSettings {
    std::string karvona;
    std::string depqbf;        // found on PATH
    std::string checker;       // CHECKER FORMULA CERTIFICATE exits 10 (proves true), 20 (false)
    std::string workDirectory; // formulas, outputs; failures stay here
    bool large = false;        // 20-40 variables, depqbf as the only oracle
    std::string shape = "any"; // prefix shape of the generated formulas
    uint64_t firstSeed = 1;
    uint64_t seedCount = 100;
    unsigned cpuLimit = 10;    // seconds per karvona run
    unsigned memoryLimit = 0;  // megabytes per karvona run, 0: none
    unsigned maxFailures = 10; // stop after this many
    std::vector<std::string> optionSets = defaultOptionSets;
    std::string benchmarkDirectory; // benchmark mode when set
    unsigned jobs = 1;              // parallel karvona runs in benchmark mode
};

// What karvona said about a formula: the answer only counts when the exit
// status and the last line agree on it.
struct Verdict {
    enum Kind { trueFormula, falseFormula, timeLimit, memoryLimit, broken } kind = broken;
    std::string why; // for broken: what was wrong
};

Verdict judgeKarvona(const ProcessResult& result);

// Judges a --qdo run: the answer, its "s cnf" line with the header's counts,
// and the values, which must keep the answer (checked by brute force on
// small formulas). Returns "" if all is well, else what is wrong.
std::string checkQdo(const Formula& formula, const ProcessResult& result, bool expected,
                     bool small);
const char* answerName(bool answer);

// "-l -O @order" with the order filled in, one argument per word.
std::vector<std::string> optionArguments(const std::string& optionSet,
                                         const std::vector<int32_t>& order);
std::vector<int32_t> orderFor(const Formula& formula, uint64_t seed, const std::string& optionSet);
std::string quoteArguments(const std::vector<std::string>& arguments);

// Checks the certificate karvona wrote for a -c run; returns "" if it is
// fine, otherwise what is wrong. The file is removed afterwards.
std::string checkCertificate(const DiffSettings& settings, const std::string& formulaPath,
                             bool answer);

// Runs karvona on a file; the output file is next to the formula.
ProcessResult runKarvona(const DiffSettings& settings, const std::vector<std::string>& options,
                         const std::string& formulaPath);

// The depqbf answer for a formula file, or the reason there is none.
bool runDepqbf(const DiffSettings& settings, const std::string& path, bool& answer,
               std::string& why);

int runFuzzing(const DiffSettings& settings);
int runBenchmarks(const DiffSettings& settings);
