#include "store/solver.hpp"
#include "support/captured_output.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

} // namespace

TEST(Load, UniversalReductionDropsInnerUniversalsAndKeepsTheKeyInItsSlot) {
    Solver s;
    s.copyInputClauses = true;
    ASSERT_TRUE(loadText(s, "p cnf 3 1\na 1 0\ne 2 0\na 3 0\n1 2 3 0\n"));
    Clause* c = s.vars[2].posHead;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(storedLiterals(c), (std::vector<Literal>{1}));
    EXPECT_EQ(c->literals[c->size], 2);
    EXPECT_EQ(s.posOccurrences[3] + s.negOccurrences[3], 0u);
    Clause* copy = s.inputClauseCopies[0];
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(storedLiterals(copy), (std::vector<Literal>{1, 2}));
    EXPECT_TRUE(storeIsConsistent(s));

    Solver allUniversal;
    EXPECT_FALSE(loadText(allUniversal, "p cnf 3 2\na 1 0\ne 2 0\na 3 0\n1 3 0\n2 0\n"));
    EXPECT_EQ(allUniversal.clauseCount, 0u);
}

TEST(Load, EmptyInputClauseWarnsAndTakesNoId) {
    Solver s;
    CapturedOutput out;
    ASSERT_TRUE(loadText(s, "p cnf 2 3\ne 1 2 0\n0\n1 2 0\n0\n"));
    EXPECT_EQ(out.text(), "Warning: ignoring empty clause in input.\n"
                          "Warning: ignoring empty clause in input.\n");
    EXPECT_EQ(s.nextClauseId, 1u);
    ASSERT_NE(s.vars[2].posHead, nullptr);
    EXPECT_EQ(s.vars[2].posHead->id, 0u);
    EXPECT_EQ(s.lastInputClauseId, 0u);
}

// Complementary literals make a clause true even when they are universal, so
// it is dropped before reduction could empty it.
TEST(Load, RepeatedLiteralsMergeAndComplementaryOnesDropTheClauseButUseAnId) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 4 5\na 4 0\ne 1 2 3 0\n2 1 2 -4 0\n1 -3 2 3 0\n"
                            "-4 1 4 2 0\n3 1 3 0\n-1 3 -1 0\n"));
    EXPECT_EQ(s.nextClauseId, 5u);
    EXPECT_EQ(s.clauseCount, 3u);
    EXPECT_EQ(allClauses(s), (Literals{{-4, 1, 2}, {-1, 3}, {1, 3}}));
    ASSERT_EQ(s.vars[3].posCount, 2u);
    EXPECT_EQ(s.vars[2].posHead->id, 0u);
    EXPECT_EQ(s.vars[3].posHead->id, 4u);
    EXPECT_EQ(s.vars[3].posHead->next->id, 3u);
    EXPECT_TRUE(storeIsConsistent(s));
}
