#include "store/solver.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <utility>

// Signature bits follow the bucket width, and are recomputed for the
// stored clauses when it changes; the tables follow the variables in use.
TEST(SolverStore, VariableCountSetsSignatureWidthButNotTableSizes) {
    for (auto [n, width] : {std::pair{1, 1u}, {30, 1u}, {31, 2u}, {62, 2u}, {63, 3u}, {100, 4u}}) {
        Solver s;
        s.setVariableCount(n);
        EXPECT_EQ(s.sigBucketWidth, width) << "lastVar " << n;
    }
    Solver s;
    s.setVariableCount(-40);
    ASSERT_EQ(s.lastVar, 40u);
    Clause* shared = makeClause(s, {2, -3});
    EXPECT_EQ(shared->signature, 1u << 1);
    Clause* last = makeClause(s, {1, -40});
    EXPECT_EQ(last->signature, (1u << 0) | (1u << 20));
    s.linkClause(shared, 40);
    s.linkClause(last, -39);
    s.occurrenceCount(7) = 2;
    s.setVariableCount(63);
    EXPECT_EQ(shared->signature, (1u << 0) | (1u << 1));
    EXPECT_EQ(last->signature, (1u << 0) | (1u << 13));

    s.setVariableCount(2000000000);
    EXPECT_EQ(s.countOf(7), 2u);
    EXPECT_LE(s.varState.capacity, 8u);
}
