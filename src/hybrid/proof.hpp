#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace proof {

struct Step {
    uint32_t parentA; // holds +pivot
    uint32_t parentB; // holds -pivot
    int32_t pivot;    // a variable
};

struct Refutation {
    uint32_t emptyClause;    // an input index, or clauses.size()+k for step k
    std::vector<Step> steps; // step k derives clause clauses.size()+k
};

// A resolution refutation of an unsatisfiable CNF; std::nullopt when it is
// satisfiable. No resolvent is tautological.
std::optional<Refutation> refute(const std::vector<std::vector<int32_t>>& clauses);

} // namespace proof
