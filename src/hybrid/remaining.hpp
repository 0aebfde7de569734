#pragma once

#include "hybrid/proof.hpp"
#include "hybrid/refinement.hpp"
#include "store/solver.hpp"

#include <cstdint>
#include <vector>

// The formula left when elimination stops: every stored clause with its key,
// and the variables still in the prefix.
struct Remaining {
    std::vector<std::vector<int32_t>> clauses; // stored literals, key last
    std::vector<uint32_t> ids;                 // clause id of each
    std::vector<Variable> universals;          // occurring, prefix order
    std::vector<Variable> existentials;        // not eliminated, prefix order

    explicit Remaining(Solver& solver);
    size_t literalCount() const;
};

// Full expansion of the remainder into one CNF, decided by a SAT solver;
// hybrid/expansion.cpp.
bool expandedSatisfiable(const Remaining& formula, Solver& solver);
uint64_t expandedLiteralCount(const Remaining& formula, Solver& solver);

// Certificates for answers found outside the store, hybrid/certify.cpp. Each
// finishes the certificate; the store's own functions and trace fill in the
// variables and clauses from before the hand-over.
void certifyModel(Solver& solver, const Remaining& formula, const std::vector<int8_t>& value);
void certifyAnswers(Solver& solver, const Remaining& formula,
                    const std::vector<std::vector<int32_t>>& answers,
                    const std::vector<refinement::Definition>& definitions);
void certifyRefutation(Solver& solver, const Remaining& formula, const std::vector<uint32_t>& used,
                       const proof::Refutation& refutation);
