#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Literals = std::vector<std::vector<Literal>>;

} // namespace

TEST(Reader, MalformedInputRaisesFileFormatExceptionWithItsMessage) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "p header missing"},
        {"c only a comment\nc and another\n", "p header missing"},
        {"1 2 0\n", "p header missing"},
        {"p dnf 3 2\n", "cnf header missing"},
        {"p cnf 0 2\n1 0\n", "bogus variable number in header"},
        {"p cnf x 2\n1 0\n", "bogus variable number in header"},
        {"p cnf 3 0\n", "bogus number of clauses in header"},
        {"p cnf 3 -2\n1 0\n", "bogus number of clauses in header"},
        {"p cnf 3\n", "bogus number of clauses in header"},
        {"p cnf 3 3\n1 2 0\n-1 3 0\n", "not enough clauses in file"},
        {"p cnf 3 2\n1 2 0\n-1 3", "not enough clauses in file"},
        {"p cnf 3 1\ne 1 x 0\n1 0\n", "non-numeric token in quantifier line"},
        {"p cnf 3 1\ne 1 2", "quantifier line not terminated by 0"},
        {"p cnf 3 1\na -1 0\n1 0\n", "negative variable in quantifier line"},
        {"p cnf 3 1\ne 1 4 0\n1 0\n",
         "variable in quantifier line exceeds the header's variable count"},
        {"p cnf 3 1\ne 1 2 0\na 3 1 0\n1 0\n", "variable quantified twice"},
        {"p cnf 3 1\ne 1 0\n1 2x 0\n", "non-numeric token in clause"},
        {"p cnf 3 1\ne 1 0\n1 -4 0\n", "variable in clause exceeds the header's variable count"},
        {"p cnf 3 1\n1 2147483648 0\n", "non-numeric token in clause"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        Solver s;
        try {
            loadText(s, text);
            ADD_FAILURE() << "no exception";
        } catch (const FileFormatException& e) {
            EXPECT_EQ(std::string(e.message), message);
        }
    }
}

TEST(Reader, PrefixGetsConsecutivePositionsWithUppercaseQuantifiersAndComments) {
    Solver s;
    ASSERT_TRUE(loadText(s, "c before\np cnf 5 2\nc after the header\nE 1\n2 0\nc between\n"
                            "a 3 0 e 4 0\nA 5 0\nc among clauses\n4 -3 1 0\nc\n2 -4 0\n"));
    const std::vector<Variable> order = {1, 2, 3, 4, 5};
    for (uint32_t p = 0; p < order.size(); ++p) {
        EXPECT_EQ(s.order[p], order[p]);
        EXPECT_EQ(s.position(order[p]), p);
    }
    EXPECT_EQ(s.order[s.lastPosition], 0u);
    EXPECT_TRUE(s.isExistential(1) && s.isExistential(2) && s.isExistential(4));
    EXPECT_FALSE(s.isExistential(3) || s.isExistential(5));
    EXPECT_EQ(s.existentialCount, 3u);
    EXPECT_EQ(s.universalCount, 2u);
    // Sorted by position; the innermost literal becomes the key.
    EXPECT_EQ(keyList(s, 4), (Literals{{1, -3}}));
    EXPECT_EQ(keyList(s, -4), (Literals{{2}}));
    EXPECT_FALSE(s.loading);
    EXPECT_EQ(s.lastInputClauseId, 1u);
    EXPECT_TRUE(storeIsConsistent(s));
}

// Free variables form an outermost existential block in order of first use;
// a variable that is declared but never used gets no position.
TEST(Reader, FreeVariablesAreQuantifiedExistentiallyBeforeThePrefix) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 6 2\na 2 0\ne 3 0\n3 2 1 0\n-3 -2 4 0\n"));
    const std::vector<Variable> order = {1, 4, 2, 3};
    ASSERT_EQ(s.lastPosition, 4u);
    for (uint32_t p = 0; p < order.size(); ++p) {
        EXPECT_EQ(s.order[p], order[p]);
        EXPECT_EQ(s.position(order[p]), p);
    }
    EXPECT_EQ(s.order[4], 0u);
    EXPECT_TRUE(s.isExistential(1) && s.isExistential(4));
    EXPECT_FALSE(s.isExistential(2));
    EXPECT_EQ(s.varFlags[5], 0u);
    EXPECT_EQ(s.varFlags[6], 0u);
    EXPECT_EQ(s.existentialCount, 3u);
    EXPECT_EQ(s.universalCount, 1u);
    EXPECT_EQ(keyList(s, 3), (Literals{{1, 2}}));
    EXPECT_EQ(keyList(s, -3), (Literals{{4, -2}}));
    EXPECT_TRUE(storeIsConsistent(s));

    // Without any quantifier line nothing is reduced away as universal.
    Solver t;
    ASSERT_TRUE(loadText(t, "p cnf 2 1\n-2 1 0\n"));
    EXPECT_EQ(t.existentialCount, 2u);
    EXPECT_EQ(keyList(t, 1), (Literals{{-2}}));
}

TEST(Reader, StopsAfterTheDeclaredNumberOfClauses) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 2 2\ne 1 2 0\n1 2 0\n-1 -2\n0 -1 2 0 not read\n"));
    EXPECT_EQ(allClauses(s), (Literals{{-1, -2}, {1, 2}}));
    EXPECT_EQ(s.lastInputClauseId, 1u);
}
