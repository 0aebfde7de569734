#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>
#include <optional>

namespace {

using Literals = std::vector<std::vector<Literal>>;

// Variables 1, 2, 4, 5 existential, 3 universal, in that order.
class Insertion : public testing::Test {
  protected:
    void SetUp() override {
        declarePrefix(s, "eeaee");
        s.finishInput();
    }

    std::optional<std::vector<Literal>> resolved(std::initializer_list<Literal> p,
                                                 std::initializer_list<Literal> n) {
        Clause* pc = makeClause(s, p);
        Clause* nc = makeClause(s, n);
        Clause* r = s.resolve(pc, nc);
        std::optional<std::vector<Literal>> result;
        if (r) result = storedLiterals(r);
        for (Clause* c : {pc, nc, r})
            if (c) s.releaseClause(c);
        return result;
    }

    bool insert(std::initializer_list<Literal> literals, Literal key) {
        return s.insertClause(makeClause(s, literals, s.nextClauseId++), key);
    }

    Solver s;
};

} // namespace

TEST_F(Insertion, ResolveMergesByPositionRejectsClashesAndReducesUniversals) {
    using L = std::vector<Literal>;
    EXPECT_EQ(resolved({1, 4}, {2, 4}), (L{1, 2, 4}));
    EXPECT_EQ(resolved({2, -3, 5}, {1, -3, 4}), (L{1, 2, -3, 4, 5}));
    EXPECT_EQ(resolved({1, 4}, {-1, 2}), std::nullopt);
    EXPECT_EQ(resolved({1, 2, 4}, {2, -4}), std::nullopt);
    EXPECT_EQ(resolved({1, 3}, {2}), (L{1, 2}));
    EXPECT_EQ(resolved({1, 3, 4}, {2}), (L{1, 2, 3, 4}));
    EXPECT_EQ(resolved({}, {1, 3}), (L{1}));
    EXPECT_EQ(resolved({-3}, {}), L{});
    EXPECT_EQ(resolved({3}, {-3}), std::nullopt);
    EXPECT_EQ(resolved({}, {}), L{});
}

// A stored subsumer is listed under its own innermost literal: the new
// clause's key or one of its existential literals.
TEST_F(Insertion, NewClauseSubsumedUnderAnyPossibleKeyIsDropped) {
    ASSERT_TRUE(insert({1, 2}, 5));
    ASSERT_TRUE(insert({1}, 4));
    EXPECT_TRUE(insert({1, 2, 4}, 5));
    EXPECT_TRUE(insert({1, 2}, 5));
    EXPECT_TRUE(insert({1, -3, 4}, 5));
    EXPECT_EQ(s.forwardSubsumed, 3u);
    EXPECT_TRUE(insert({2, -3, 4}, 5));
    EXPECT_TRUE(insert({-1, 2}, 4));
    EXPECT_EQ(s.forwardSubsumed, 3u);

    ASSERT_TRUE(insert({}, 2));
    EXPECT_TRUE(insert({2, -3}, 4)); // the universal 3 lies between 2 and the key
    EXPECT_EQ(s.forwardSubsumed, 4u);
    EXPECT_EQ(allClauses(s), (Literals{{-1, 2, 4}, {1, 2, 5}, {1, 4}, {2}, {2, -3, 4, 5}}));
    EXPECT_EQ(s.clauseCount, 5u);
    EXPECT_EQ(s.backwardSubsumed, 0u);
    EXPECT_TRUE(storeIsConsistent(s));
}

TEST_F(Insertion, StoredClausesSubsumedByNewOneAreDeletedUnderItsKeyOnly) {
    ASSERT_TRUE(insert({1, 2, 4}, 5));
    ASSERT_TRUE(insert({1, -2}, 5));
    ASSERT_TRUE(insert({2, -4}, 5));
    ASSERT_TRUE(insert({1, 4}, -5));
    ASSERT_TRUE(insert({1, 2}, 4));
    EXPECT_TRUE(insert({1}, 5));
    EXPECT_EQ(s.backwardSubsumed, 2u);
    EXPECT_EQ(allClauses(s), (Literals{{1, 2, 4}, {1, 4, -5}, {1, 5}, {2, -4, 5}}));
    EXPECT_EQ(s.clauseCount, 4u);
    EXPECT_EQ(s.forwardSubsumed, 0u);
    EXPECT_TRUE(storeIsConsistent(s));
}
