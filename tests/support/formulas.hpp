#pragma once

#include "store/solver.hpp"

#include <initializer_list>
#include <string>
#include <vector>

// Reads QDIMACS text into the solver as if it came from a file; returns what
// the reader returns (false: the formula is already known to be false).
bool loadText(Solver& solver, const std::string& text);

// An unlinked clause with the given stored literals and id, with room for a key.
Clause* makeClause(Solver& solver, std::initializer_list<Literal> literals, uint32_t id = 0);

std::vector<Literal> storedLiterals(const Clause* clause);

// The stored literals of every clause listed under key, front to back.
std::vector<std::vector<Literal>> keyList(const Solver& solver, Literal key);

// Quantifies variables 1..kinds.size() in that order: kinds[i] is 'e' or 'a'
// for variable i + 1 at position i. No clause is added.
void declarePrefix(Solver& solver, const std::string& kinds);

// Every clause of the store as its full literal list (stored literals, then
// the key), the clauses in ascending order.
std::vector<std::vector<Literal>> allClauses(const Solver& solver);

// Links a new clause under key with its occurrence statistics, as insertion
// does but without the tautology and subsumption checks.
Clause* linkNew(Solver& solver, std::initializer_list<Literal> literals, Literal key);
