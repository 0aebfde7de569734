// Option scan. Options are whole arguments; anything else is a candidate
// input path, and the first one wins.

#include "driver/run.hpp"
#include "store/solver.hpp"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

[[noreturn]] void orderError(const char* message) {
    std::cout << message << std::endl;
    std::exit(30);
}

// Blank-separated numbers, each converted like strtol and saturated to 32 bits.
void appendOrder(Solver& solver, const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        size_t j = text.find(' ', i);
        if (j == std::string::npos) j = text.size();
        std::string token = text.substr(i, j - i);
        long long value = std::strtoll(token.c_str(), nullptr, 10);
        if (value > INT_MAX) value = INT_MAX;
        if (value < INT_MIN) value = INT_MIN;
        if (value <= 0) orderError("Illegal variable in elimination order.");
        solver.eliminationOrder.push_back(int32_t(value));
        i = j;
    }
}

} // namespace

const char* scanOptions(Solver& solver, int argc, char** argv) {
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "-m")) {
            solver.maxConflictsHeuristic = true;
        } else if (!std::strcmp(a, "-l")) {
            solver.literalBoundHeuristic = true;
        } else if (!std::strcmp(a, "-I")) {
            solver.innermostHeuristic = true;
        } else if (!std::strcmp(a, "-d")) {
            solver.dumpFormula = true;
            solver.dumpFileName = "karvona2.qdimacs";
        } else if (!std::strcmp(a, "-s")) {
            solver.showProgress = true;
        } else if (!std::strcmp(a, "-u")) {
            solver.universalExpansion = true;
        } else if (!std::strcmp(a, "-U")) {
            solver.universalExpansion = true;
            solver.expandUniversalsFirst = true;
        } else if (!std::strcmp(a, "-c")) {
            solver.certificates = true;
        } else if (!std::strcmp(a, "-b")) {
            solver.scopeCombining = true;
        } else if (!std::strcmp(a, "-O")) {
            if (i + 1 == argc) orderError("-O requires an elimination order.");
            appendOrder(solver, argv[++i]);
        } else if (!std::strcmp(a, "--hybrid")) {
            solver.hybrid = true;
        } else if (!std::strcmp(a, "--hybrid-budget") && i + 1 < argc) {
            // Undocumented: a tiny budget makes small formulas reach the engines.
            solver.hybrid = true;
            solver.hybridBudget = std::strtoull(argv[++i], nullptr, 10);
        } else if (!path) {
            path = a;
        }
    }
    return path;
}
