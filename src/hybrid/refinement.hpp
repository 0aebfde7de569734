#pragma once

#include <cstdint>
#include <vector>

namespace refinement {

// A formula forall X exists Y: matrix. Variables are positive numbers, not
// necessarily dense; every literal of a clause belongs to X or to Y.
struct TwoLevelFormula {
    std::vector<int32_t> universals;           // X, variables, outer
    std::vector<int32_t> existentials;         // Y, variables, inner
    std::vector<std::vector<int32_t>> clauses; // over X and Y
};

struct Result {
    bool valid = false;
    // valid: Y^1..Y^k as literals over all of Y; every X has an i with the
    // matrix true under X,Y^i.
    std::vector<std::vector<int32_t>> answers;
    // !valid: X* as literals over all of X; the matrix under X* is
    // unsatisfiable.
    std::vector<int32_t> counterexample;
    uint64_t steps = 0; // refinement iterations
};

Result solveTwoLevel(const TwoLevelFormula& formula);

} // namespace refinement
