#pragma once

#include "store/solver.hpp"

#include <gtest/gtest.h>

// Recounts everything the store maintains incrementally from the key lists:
// list lengths, clauseCount, occurrence counts and weights. Also checks the
// shape of every linked clause: stored literals strictly ascending by
// position, the key existential and inner to all of them. Then the
// occurrence index against that scan: back links, list order stamps, every
// stored literal's occurrence list and the watch list hold each clause, and
// no index entry points at a clause that is neither stored nor kept.
testing::AssertionResult storeIsConsistent(const Solver& solver);
