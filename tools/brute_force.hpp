#pragma once

#include "formula.hpp"

// The truth value of a formula by plain recursion over its prefix, the
// oracle the differential runs trust for small formulas. Its reading of the
// format matches karvona's documented one:
// - a variable in clauses but in no quantifier line is existential, in a
//   block outside the whole prefix;
// - an empty clause (a lone 0) is ignored, as karvona ignores it with a
//   warning; standard QDIMACS would make the formula false;
// - repeated literals are harmless and a clause with both signs of a
//   variable is true.
// Throws std::length_error past maxBruteForceVariables variables that occur.
constexpr int maxBruteForceVariables = 30;

bool evaluateByBruteForce(const Formula& formula);
