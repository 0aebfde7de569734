#include "store/solver.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <utility>

// The bucket width reported in the statistics follows the variable count;
// the tables follow the variables in use.
TEST(SolverStore, VariableCountSetsSignatureWidthButNotTableSizes) {
    for (auto [n, width] : {std::pair{1, 1u}, {30, 1u}, {31, 2u}, {62, 2u}, {63, 3u}, {100, 4u}}) {
        Solver s;
        s.setVariableCount(n);
        EXPECT_EQ(s.sigBucketWidth, width) << "lastVar " << n;
    }
    Solver s;
    s.setVariableCount(-40);
    ASSERT_EQ(s.lastVar, 40u);
    s.occurrenceCount(7) = 2;
    s.setVariableCount(2000000000);
    EXPECT_EQ(s.countOf(7), 2u);
    EXPECT_LE(s.varState.capacity, 8u);
}
