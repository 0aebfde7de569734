#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Resolution refutations of propositional CNFs, found by a SAT solver and
// spelled out as binary resolution steps over the input clause indices.
namespace proof {

struct Step {
    uint32_t parentA; // holds +pivot
    uint32_t parentB; // holds -pivot
    int32_t pivot;    // a variable, > 0
};

struct Refutation {
    uint32_t emptyClause;    // an input index, or clauses.size() + k for step k
    std::vector<Step> steps; // step k derives clause clauses.size() + k; only those needed
};

// A resolution refutation of an unsatisfiable CNF (literals are nonzero ints,
// variables any positive numbers). No resolvent is tautological; every pivot
// occurs with the stated signs. std::nullopt when the CNF is satisfiable.
std::optional<Refutation> refute(const std::vector<std::vector<int32_t>>& clauses);

} // namespace proof
