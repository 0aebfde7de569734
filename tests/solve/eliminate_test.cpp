// The formulas here leave nothing for propagation after the step: no unit or
// two-literal clause and no pure literal, so only elimination itself shows.

#include "store/solver.hpp"
#include "support/captured_output.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>
#include <string>

namespace {

using Literals = std::vector<std::vector<Literal>>;

} // namespace

// Pairs run positive-major over the lists, newest clause first: (1 3 4) then
// removes the first resolvent (1 2 3 4) backward, and its second derivation
// is dropped forward. Both count as conflicts and both take an id.
TEST(Elimination, ResolventsReplaceThePivotsClausesAndDuplicatesCountAsCovered) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 5 5\ne 1 2 3 4 5 0\n1 2 5 0\n1 3 5 0\n3 4 -5 0\n2 4 -5 0\n"
                            "-1 -2 -3 -4 0\n"));
    s.showProgress = true;
    CapturedOutput out;
    ASSERT_TRUE(s.eliminateExistential(5));
    EXPECT_EQ(out.text(), "Eliminating #5 (0%), clauses: 5 (125%) \n4 conflicts (1 cov).\n");
    EXPECT_EQ(allClauses(s), (Literals{{-1, -2, -3, -4}, {1, 2, 4}, {1, 3, 4}}));
    EXPECT_EQ(s.totalConflicts, 4u);
    EXPECT_EQ(s.forwardSubsumed, 1u);
    EXPECT_EQ(s.backwardSubsumed, 1u);
    EXPECT_EQ(s.nextClauseId, 9u);
    EXPECT_EQ(s.clauseCount, 3u);
    EXPECT_EQ(s.existentialCount, 4u);
    EXPECT_TRUE(s.eliminated[5]);
    EXPECT_EQ(s.occurrences(5), 0u);
    EXPECT_EQ(s.keyed(5), 0u);
    EXPECT_TRUE(storeIsConsistent(s));
}

// 3 is the key of none of its clauses, so they are moved under it first;
// tautological resolvents take no id.
TEST(Elimination, OuterVariableIsRekeyedBeforeResolution) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 5 6\ne 1 2 3 4 5 0\n1 3 5 0\n2 3 -4 0\n-3 4 5 0\n-1 -3 -5 0\n"
                            "-1 -2 4 0\n1 -2 -5 0\n"));
    ASSERT_TRUE(s.eliminateExistential(3));
    EXPECT_EQ(allClauses(s), (Literals{{-1, -2, 4}, {-1, 2, -4, -5}, {1, -2, -5}, {1, 4, 5}}));
    EXPECT_EQ(s.totalConflicts, 2u);
    EXPECT_EQ(s.nextClauseId, 8u);
    EXPECT_EQ(s.clauseCount, 4u);
    EXPECT_EQ(s.occurrences(3), 0u);
    EXPECT_TRUE(storeIsConsistent(s));
}

TEST(Elimination, OneSidedVariableJustLosesItsClausesAndRepeatingDoesNothing) {
    for (const char* pivot : {"4", "-4"}) {
        SCOPED_TRACE(pivot);
        Solver s;
        std::string p = pivot;
        ASSERT_TRUE(loadText(s, "p cnf 4 4\ne 1 2 3 4 0\n1 2 " + p + " 0\n-1 3 " + p +
                                    " 0\n1 -2 -3 0\n-1 2 3 0\n"));
        s.showProgress = true;
        CapturedOutput out;
        ASSERT_TRUE(s.eliminateExistential(4));
        EXPECT_EQ(out.text(),
                  "Eliminating #4 (0%), clauses: 4 (133.333%) \n0 conflicts (0 cov).\n");
        EXPECT_EQ(allClauses(s), (Literals{{-1, 2, 3}, {1, -2, -3}}));
        EXPECT_EQ(s.clauseCount, 2u);
        EXPECT_EQ(s.nextClauseId, 4u);
        EXPECT_TRUE(storeIsConsistent(s));

        std::string printed = out.text();
        EXPECT_TRUE(s.eliminateExistential(4));
        EXPECT_EQ(out.text(), printed);
        EXPECT_EQ(s.existentialCount, 3u);
        EXPECT_EQ(s.clauseCount, 2u);
    }
}
