#include "store/solver.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

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

// A long clause is sorted another way than a short one, to the same order:
// free variables first, then by position, a repeated literal once; one with
// a complementary pair is dropped.
TEST(SolverStore, LongClauseIsReadInPositionOrder) {
    std::string prefix = "p cnf 41 2\ne";
    std::string clause = "5";
    std::vector<Literal> expected = {41};
    for (int v = 40; v >= 1; --v) {
        prefix += " " + std::to_string(v);
        clause += " " + std::to_string(41 - v);
        expected.push_back(v);
    }
    Solver s;
    ASSERT_TRUE(loadText(s, prefix + " 0\n" + clause + " 41 0\n-7 " + clause + " 0\n"));
    EXPECT_EQ(allClauses(s), std::vector<std::vector<Literal>>{expected});
}
