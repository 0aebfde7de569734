// Each formula is loaded only for its counts: which positions a heuristic
// picks from occurrence counts, key list lengths and weights.

#include "store/solver.hpp"
#include "support/captured_output.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <string>

// The plain choices show in every progress line of the cli cases; these are
// the conditions around outer existentials, universals and combined scopes.
// outer: 2 occurs once, the innermost block four or three times, and 2 is
// the key of its clause only in the second variant. universal: 4 five times,
// 3 three times, 2 once; a universal stands for its own occurrences plus
// those of everything between it and the cursor. combined: the universal 3
// is gone, so combined scopes look past it.
TEST(Heuristics, StackSizeConditionsOnOuterExistentialsUniversalsAndCombinedScopes) {
    const std::string outer = "p cnf 4 4\ne 1 2 0\na 3 0\ne 4 0\n1 3 4 0\n-1 -3 4 0\n1 3 -4 0\n";
    const std::string universal =
        "p cnf 4 5\ne 1 0\na 2 3 0\ne 4 0\n1 3 4 0\n-1 3 4 0\n1 -3 4 0\n-1 2 -4 0\n1 -4 0\n";
    const std::string combined =
        "p cnf 5 4\ne 1 2 0\na 3 0\ne 4 5 0\n1 2 4 0\n1 4 5 0\n-1 -4 5 0\n1 -4 -5 0\n";
    struct Case {
        std::string text;
        uint32_t cursor; // position
        bool expansion, combining;
        uint32_t chosen;
    } cases[] = {
        {outer + "-2 -3 -4 0\n", 3, false, false, 3},
        {outer + "-2 -3 -4 0\n", 3, true, false, 3}, // 3 is not cheaper than 4
        {outer + "1 -2 0\n", 3, false, false, 1},
        {universal, 3, false, false, 3},
        {universal, 3, true, false, 2},
        {combined, 4, false, false, 4},
        {combined, 4, false, true, 1},
    };
    for (const Case& c : cases) {
        Solver s;
        ASSERT_TRUE(loadText(s, c.text));
        s.universalExpansion = c.expansion;
        s.scopeCombining = c.combining;
        EXPECT_EQ(s.chooseStackSize(c.cursor), c.chosen) << c.text << c.expansion << c.combining;
    }
}

// Pairs of key list lengths: 5 has 2 x 2, 4 has 2 x 1, 2 has 1 x 1, 6 has 1 x 0.
TEST(Heuristics, MaxConflictsTakesFewestPairsAndOuterExistentialsOnlyAsKeyOfAll) {
    const std::string text = "p cnf 6 10\ne 1 2 0\na 3 0\ne 4 5 6 0\n1 3 5 0\n-1 3 5 0\n"
                             "1 -3 -5 0\n-1 -3 -5 0\n1 4 0\n-1 3 4 0\n1 -4 0\n1 2 0\n-1 -2 0\n";
    Solver s;
    ASSERT_TRUE(loadText(s, text + "1 6 0\n"));
    EXPECT_EQ(s.chooseMaxConflicts(5), 5u);
    EXPECT_EQ(s.chooseMaxConflicts(4), 1u);
    EXPECT_EQ(s.chooseMaxConflicts(0), 0u);

    Solver notKey;
    ASSERT_TRUE(loadText(notKey, text + "2 4 0\n"));
    EXPECT_EQ(notKey.chooseMaxConflicts(4), 3u);
}

TEST(Heuristics, CostsSaturateAtInfinity) {
    Solver s;
    declarePrefix(s, "ea");
    auto set = [&](Variable x, uint32_t posC, uint32_t posW, uint32_t negC, uint32_t negW) {
        s.varState[x] = VarState{s.flagsOf(x), {posC, negC}, {posW, negW}};
    };
    const int32_t inf = 2147483642;
    set(1, 2, 9, 2, 9);
    EXPECT_EQ(s.eliminationCost(1), 10);
    set(1, 2, 6, 1, 2);
    EXPECT_EQ(s.variableCost(1), -2);
    // A zero factor wins over an infinite one; the negation of infinity counts.
    set(1, 0, 0, 1, 3000000000u);
    EXPECT_EQ(s.eliminationCost(1), -inf);
    set(1, 50000, 100000, 50000, 100000);
    EXPECT_EQ(s.eliminationCost(1), inf);

    set(2, 30, 2147483600, 11, 0);
    EXPECT_EQ(s.variableCost(2), 2147483641);
    set(2, 30, 2147483600, 12, 0);
    EXPECT_EQ(s.expansionCost(2), inf);
}

// Elimination cost of 5: 3 x 2 + 3 x 2 - 18 = 18. Expanding 4 scores twice
// the inner weight 18 minus its own weight 18 and 6 occurrences: 12, which
// is below 18 x 1.1 truncated to 19. With 4 in only four of the clauses the
// cost is 14 and the score 32 - 16 = 16, not below 15.
TEST(Heuristics, LiteralBoundTakesUniversalOnlyBelowScaledExistentialCost) {
    const std::string text = "p cnf 5 6\ne 1 2 3 0\na 4 0\ne 5 0\n1 4 5 0\n2 -4 5 0\n3 4 5 0\n"
                             "-1 4 -5 0\n-2 -4 -5 0\n-3 4 -5 0\n";
    Solver s;
    ASSERT_TRUE(loadText(s, text));
    s.showProgress = true;
    {
        CapturedOutput out;
        EXPECT_EQ(s.chooseLiteralBound(4), 4u);
        EXPECT_EQ(out.text(), "Cheapest existential: 5 (19.8)\nScore: 18\n");
    }
    s.universalExpansion = true;
    {
        CapturedOutput out;
        EXPECT_EQ(s.chooseLiteralBound(4), 3u);
        EXPECT_EQ(out.text(), "Cheapest existential: 5 (19.8)\nScore: 12\n");
    }
    {
        CapturedOutput out;
        EXPECT_EQ(s.chooseLiteralBound(0), 0u);
        EXPECT_EQ(out.text(), "Cheapest existential: 1 (-2.2)\nScore: -2\n");
    }
    Solver fewer;
    ASSERT_TRUE(loadText(fewer, "p cnf 5 6\ne 1 2 3 0\na 4 0\ne 5 0\n1 4 5 0\n2 -4 5 0\n3 5 0\n"
                                "-1 4 -5 0\n-2 -4 -5 0\n-3 -5 0\n"));
    fewer.showProgress = fewer.universalExpansion = true;
    CapturedOutput out;
    EXPECT_EQ(fewer.chooseLiteralBound(4), 4u);
    EXPECT_EQ(out.text(), "Cheapest existential: 5 (15.4)\nScore: 15\n");
}
