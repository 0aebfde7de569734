// Universal expansion. The formulas leave every copy in both polarities, so
// the propagation that ends an expansion changes nothing.

#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

} // namespace

// Expanding 2 with 1 outside its scope, 3 and 5 existential and 4 universal
// inside it, and 6 occurring nowhere: 3, 4, 5 get the copies 7/8, 9/10,
// 11/12 (for 2 true, then 2 false), 6 gets none. (1 2 3) holds only where 2
// is false, (1 -2 -3) only where it is true; the others are copied twice.
TEST(Expansion, InnerScopeIsCopiedPerValueAndClausesSatisfiedByTheValueAreLeftOut) {
    for (bool certificates : {false, true}) {
        SCOPED_TRACE(certificates);
        Solver s;
        s.certificates = s.keepInputClauses = certificates;
        ASSERT_TRUE(loadText(s, "p cnf 6 4\ne 1 0\na 2 0\ne 3 0\na 4 0\ne 5 6 0\n1 2 3 0\n"
                                "1 -2 -3 0\n-1 3 5 0\n-3 4 -5 0\n"));
        ASSERT_TRUE(s.expandUniversal(2));
        EXPECT_EQ(
            allClauses(s),
            (Literals{{-8, 10, -12}, {-7, 9, -11}, {-1, 7, 11}, {-1, 8, 12}, {1, -7}, {1, 8}}));
        EXPECT_EQ(s.lastVar, 12u);
        ASSERT_EQ(s.lastPosition, 12u);
        for (uint32_t p = 6; p < 12; ++p) {
            Variable v = s.order[p];
            EXPECT_EQ(v, p + 1);
            EXPECT_EQ(s.position(v), p);
            EXPECT_EQ(s.isExistential(v), v != 9 && v != 10) << v;
        }
        for (Variable v : {2u, 3u, 4u, 5u})
            EXPECT_TRUE(s.eliminated[v]) << v;
        EXPECT_FALSE(s.eliminated[1]);
        EXPECT_FALSE(s.eliminated[6]);
        EXPECT_EQ(s.existentialCount, 6u);
        EXPECT_EQ(s.universalCount, 2u);
        EXPECT_EQ(s.expansionCount, 1u);
        EXPECT_TRUE(storeIsConsistent(s));
    }
}
