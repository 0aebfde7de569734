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

// An existential that the matrix defines as a function of the other
// variables of its clauses: X, earlier definitions, and existentials no
// definition covers. Under every assignment of those exactly one value of
// the variable satisfies the clauses; the variable is true exactly when one
// of the clauses containing it positively has every other literal false.
struct Definition {
    int32_t variable;
    std::vector<std::vector<int32_t>> clauses; // part of the matrix
};

struct Options {
    // Let a valid result leave the existentials the matrix defines to their
    // definitions instead of carrying them in every answer. The search uses
    // the definitions either way; without this, a valid result found with
    // them is searched again without them, which may take far more steps.
    bool definedAnswers = false;
    // Give up after this many steps (0: never); the result is then undecided.
    uint64_t stepLimit = 0;
};

struct Result {
    bool decided = true; // false: the step limit ran out, nothing else is set
    bool valid = false;
    // valid: Y^1..Y^k as literals over all of Y; every X has an i with the
    // matrix true under X,Y^i. With definitions, each defined variable takes
    // its definition's value instead of the one given here, evaluated in
    // order under X and Y^i.
    std::vector<std::vector<int32_t>> answers;
    std::vector<Definition> definitions; // valid with Options::definedAnswers, in order
    // !valid: X* as literals over all of X; the matrix under X* is
    // unsatisfiable.
    std::vector<int32_t> counterexample;
    uint64_t steps = 0; // refinement iterations: candidates checked, summed over the engines
};

Result solveTwoLevel(const TwoLevelFormula& formula, const Options& options = {});

} // namespace refinement
