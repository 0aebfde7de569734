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
// A certified FALSE for a false remainder of the shape exists-forall-exists
// (outer block possibly empty): writes the refutation and returns true, or
// returns false, leaving everything as it was, for any other shape.
bool refuteExpanded(const Remaining& formula, Solver& solver);

// Certificates for answers found outside the store, hybrid/certify.cpp. Each
// finishes the certificate; the store's own functions and trace fill in the
// variables and clauses from before the hand-over.
void certifyModel(Solver& solver, const Remaining& formula, const std::vector<int8_t>& value);
void certifyAnswers(Solver& solver, const Remaining& formula,
                    const std::vector<std::vector<int32_t>>& answers,
                    const std::vector<refinement::Definition>& definitions);
// Trace entries for a propositional refutation whose clause i stands for
// the clause with id ids[i]; returns the id of the clause it derives.
uint32_t recordSteps(Solver& solver, std::vector<uint32_t> ids, const proof::Refutation& refutation);
// Writes the refutation that ends in the clause with this id.
void concludeRefutation(Solver& solver, uint32_t finalId);
void certifyRefutation(Solver& solver, const Remaining& formula, const std::vector<uint32_t>& used,
                       const proof::Refutation& refutation);
