#pragma once

#include <cstdint>
#include <vector>

namespace levels {

// A closed prenex formula with any number of quantifier blocks. Variables are
// positive numbers, not necessarily dense; a variable of a clause that no
// block names counts as existential in front of every block.
struct Block {
    bool universal = false;
    std::vector<int32_t> variables;
};

struct Formula {
    std::vector<Block> blocks;                 // outermost first
    std::vector<std::vector<int32_t>> clauses; // the matrix
};

struct Options {
    // Give up after this many SAT calls (0: never); the answer is then -1.
    uint64_t stepLimit = 0;
};

struct Result {
    int answer = -1;        // 1 true, 0 false, -1 the step limit ran out
    uint64_t steps = 0;     // SAT calls over all levels
    uint64_t refinements = 0; // clauses learnt over all levels
    uint32_t levelCount = 0;  // blocks after merging and dropping empty ones
    // The outermost block's winning assignment, as literals, when its
    // quantifier wins: an existential one on a true answer, a universal one
    // on a false answer. Empty otherwise.
    std::vector<int32_t> outerMove;
};

Result solve(const Formula& formula, const Options& options = {});

} // namespace levels
