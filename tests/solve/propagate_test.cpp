// Pure literals and unit propagation, called one rule at a time so that the
// effect of each pass is seen on its own.

#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

bool implies(Solver& s, Literal from, Literal to, uint32_t clauseId) {
    ImplicationList& list = from > 0 ? s.implications[from].pos : s.implications[-from].neg;
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.entries[i].literal == to) return list.entries[i].clauseId == clauseId;
    return false;
}

} // namespace

// 2 is pure and takes (-1 2) and, keyed under -5, (1 2 3 4 -5) with it. That
// leaves 1 pure, but the pass is past it: only the next call removes it. The
// universal 3 occurs only positively and is never removed.
TEST(PureLiterals, OnePassOutermostFirstSkippingUniversalsAndVariablesMadePureBehindIt) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 5 4\ne 1 2 0\na 3 0\ne 4 5 0\n-1 2 0\n1 2 3 4 -5 0\n"
                            "1 3 4 5 0\n1 -4 -5 0\n"));
    EXPECT_TRUE(s.eliminatePureLiterals());
    EXPECT_EQ(allClauses(s), (Literals{{1, -4, -5}, {1, 3, 4, 5}}));
    EXPECT_TRUE(s.eliminated[2]);
    EXPECT_FALSE(s.eliminated[1]);
    EXPECT_FALSE(s.eliminated[3]);
    EXPECT_EQ(s.existentialCount, 3u);
    EXPECT_EQ(s.universalCount, 1u);
    EXPECT_EQ(s.keyed(2), 0u);
    EXPECT_TRUE(storeIsConsistent(s));

    EXPECT_TRUE(s.eliminatePureLiterals());
    EXPECT_EQ(allClauses(s), Literals{});
    EXPECT_TRUE(s.eliminated[1]);
    EXPECT_FALSE(s.eliminated[3]);
    EXPECT_FALSE(s.eliminated[4]);
    EXPECT_EQ(s.existentialCount, 2u);
    EXPECT_EQ(s.universalCount, 1u);
    EXPECT_TRUE(storeIsConsistent(s));
}

// The unit {2} is loaded last so that nothing holding 2 is subsumed by it.
// Propagating 2 deletes (1 2 4), strengthens (1 -2 4) to the two-literal
// (1 4), (-1 -2 4 5) to (-1 4 5) and (-2 3) to the unit {3}, which is then
// propagated in turn and deletes (1 3 5).
TEST(UnitPropagation, SatisfiedClausesGoAndStrengthenedOnesPassTheShortClauseCheck) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 5 6\ne 1 2 3 4 5 0\n1 2 4 0\n1 -2 4 0\n-2 3 0\n"
                            "-1 -2 4 5 0\n1 3 5 0\n2 0\n"));
    ASSERT_EQ(s.trail, std::vector<Literal>{2});
    // A second unit {2} in front of the loaded one, and a satisfied clause
    // under the same key.
    linkNew(s, {1}, 2);
    uint32_t firstUnitId = linkNew(s, {}, 2)->id;

    ASSERT_TRUE(s.propagateUnits());
    EXPECT_EQ(allClauses(s), (Literals{{-1, 4, 5}, {1, 4}, {2}, {3}}));
    ASSERT_EQ(s.vars[2].posCount, 1u);
    EXPECT_EQ(s.vars[2].posHead->id, firstUnitId);
    EXPECT_EQ(s.assignment[3].value, 1);
    EXPECT_EQ(s.assignment[3].reasonId, 2u);
    EXPECT_EQ(s.assignment[4].value, 0);
    EXPECT_TRUE(implies(s, -1, 4, 1));
    EXPECT_TRUE(s.trail.empty());
    EXPECT_EQ(s.clauseCount, 4u);
    EXPECT_TRUE(storeIsConsistent(s));
}
