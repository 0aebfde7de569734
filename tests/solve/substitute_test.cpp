// Equivalences: found from pairs of two-literal clauses while clauses are
// inserted, then substituted innermost first.

#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

void expectRecord(const Solver& s, Literal x, Literal y, uint32_t firstId, uint32_t secondId) {
    ASSERT_EQ(s.pendingEquivalences.size(), 1u);
    const EquivalenceRecord& r = s.pendingEquivalences[0];
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.firstId, firstId);
    EXPECT_EQ(r.secondId, secondId);
}

} // namespace

// The first id always names the clause in which x's variable is positive.
TEST(Equivalences, SecondTwoLiteralClauseOfAPairRecordsInnerAsOuterLiteral) {
    Solver negated;
    ASSERT_TRUE(loadText(negated, "p cnf 2 2\ne 1 2 0\n1 2 0\n-1 -2 0\n"));
    expectRecord(negated, 1, -2, 0, 1);

    Solver same;
    ASSERT_TRUE(loadText(same, "p cnf 2 2\ne 1 2 0\n-1 2 0\n1 -2 0\n"));
    expectRecord(same, -1, -2, 1, 0);

    Solver oneWay;
    ASSERT_TRUE(loadText(oneWay, "p cnf 2 2\ne 1 2 0\n-1 2 0\n1 2 0\n"));
    EXPECT_TRUE(oneWay.pendingEquivalences.empty());
}

// 5 is replaced by 3 (4 is universal). (-3 5 6) comes before (-3 5) so that
// it is not subsumed when loaded; (2 3) comes after (2 3 5 7) for the same
// reason. Under the key 5: the two defining clauses are tautologies,
// (-1 4 5) loses the universal 4 behind its new literal 3, (1 -2 3 5)
// already holds 3, and (1 2 5) becomes (1 2 3), which (2 3) subsumes; under
// -5, (1 2 -5) becomes (1 2 -3). Keyed after 5: (1 4 5 6) gets 3 moved in
// front of 4, (2 -5 7) gets -3, (2 3 5 7) just loses 5, and (-3 5 6) is a
// tautology.
TEST(Equivalences, SubstitutionRewritesEveryClauseOfTheInnerVariable) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 7 11\ne 1 2 3 0\na 4 0\ne 5 6 7 0\n-3 5 6 0\n1 2 5 0\n"
                            "1 -2 3 5 0\n-1 4 5 0\n1 2 -5 0\n1 4 5 6 0\n2 -5 7 0\n"
                            "2 3 5 7 0\n2 3 0\n-3 5 0\n3 -5 0\n"));
    expectRecord(s, -3, -5, 10, 9);
    ASSERT_TRUE(s.processEquivalences());
    EXPECT_EQ(
        allClauses(s),
        (Literals{{-1, 3}, {1, -2, 3}, {1, 2, -3}, {1, 3, 4, 6}, {2, -3, 7}, {2, 3}, {2, 3, 7}}));
    EXPECT_EQ(s.forwardSubsumed, 1u);
    EXPECT_TRUE(s.eliminated[5]);
    EXPECT_EQ(s.occurrences(5), 0u);
    EXPECT_EQ(s.existentialCount, 5u);
    EXPECT_EQ(s.clauseCount, 7u);
    EXPECT_TRUE(s.pendingEquivalences.empty());
    EXPECT_TRUE(s.trail.empty());
    EXPECT_TRUE(storeIsConsistent(s));
}
