#pragma once

#include <cstdint>
#include <vector>

namespace refinement {

struct TwoLevelFormula {
    std::vector<int32_t> universals;           // X, variables, outer
    std::vector<int32_t> existentials;         // Y, variables, inner
    std::vector<std::vector<int32_t>> clauses; // over X and Y
};

struct Result {
    bool valid = false;
    std::vector<std::vector<int32_t>> answers; // valid: Y^1..Y^k over all of Y
    std::vector<int32_t> counterexample;       // !valid: X* over all of X
    uint64_t steps = 0;                        // refinement iterations
};

Result solveTwoLevel(const TwoLevelFormula& formula);

} // namespace refinement
