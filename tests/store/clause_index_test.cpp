#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

class ClauseIndex : public testing::Test {
  protected:
    void SetUp() override {
        declarePrefix(s, "eeeee");
        s.finishInput();
    }

    // Asks the store whether a transient clause under key is subsumed.
    bool subsumed(std::initializer_list<Literal> literals, Literal key) {
        Clause* c = makeClause(s, literals);
        bool found = s.storedSubsumer(c, key);
        s.releaseClause(c);
        return found;
    }

    Solver s;
};

} // namespace

TEST_F(ClauseIndex, SubsumerIsDuplicateOrShorterSubsetButNeverLongerClause) {
    EXPECT_FALSE(subsumed({1, 2}, 5));
    linkNew(s, {1, 2, 3}, 5);
    linkNew(s, {1, -4}, 5);

    EXPECT_FALSE(subsumed({1, 2}, 5));
    EXPECT_TRUE(subsumed({1, 2, 3}, 5));
    EXPECT_TRUE(subsumed({1, 2, 3, 4}, 5));
    EXPECT_TRUE(subsumed({1, 3, -4}, 5));
    EXPECT_FALSE(subsumed({-1, 2, 3}, 5));
    EXPECT_FALSE(subsumed({1, 2, 3}, -5));

    // A clause that is its key alone subsumes everything under that key.
    linkNew(s, {}, 4);
    EXPECT_TRUE(subsumed({1, 2, 3}, 4));
    EXPECT_TRUE(subsumed({}, 4));
    EXPECT_FALSE(subsumed({1}, -4));
    EXPECT_TRUE(storeIsConsistent(s));
}

TEST_F(ClauseIndex, RemoveSubsumedDeletesDuplicatesAndLongerSupersetsOnly) {
    linkNew(s, {1}, 5);
    linkNew(s, {1, 2, 4}, 5);
    linkNew(s, {1, -2, 4}, 5);
    linkNew(s, {1, 2}, 5);
    linkNew(s, {1, 2}, -5);
    Clause* self = linkNew(s, {1, 2}, 5);

    EXPECT_EQ(s.removeSubsumed(5, self), 2u);
    EXPECT_EQ(keyList(s, 5), (Literals{{1, 2}, {1, -2, 4}, {1}}));
    EXPECT_EQ(keyList(s, -5), (Literals{{1, 2}}));
    EXPECT_EQ(s.clauseCount, 4u);
    EXPECT_TRUE(storeIsConsistent(s));

    Clause* unit = linkNew(s, {}, 5);
    EXPECT_EQ(s.removeSubsumed(5, unit), 3u);
    EXPECT_EQ(keyList(s, 5), (Literals{{}}));
    EXPECT_EQ(s.clauseCount, 2u);
    EXPECT_TRUE(storeIsConsistent(s));
}

// A clause that lost a literal keeps its key behind what it still stores,
// subsumes by exactly that, and is watched anew if it was watched under the
// literal it lost.
TEST_F(ClauseIndex, ClauseThatLostALiteralSubsumesByWhatItHolds) {
    linkNew(s, {1, 4}, 5);
    Clause* d = linkNew(s, {1, 2, 3}, 5);
    ASSERT_EQ(d->watch, 2);
    ASSERT_EQ(s.removeLiteral(d, 2), 1);
    EXPECT_EQ(d->key(), 5);
    EXPECT_NE(d->watch, 2);
    --s.occurrenceWeight(5); // the caller accounts for the key
    EXPECT_TRUE(storeIsConsistent(s));

    EXPECT_TRUE(subsumed({1, 3}, 5));
    EXPECT_TRUE(subsumed({1, 2, 3}, 5));
    EXPECT_FALSE(subsumed({1, 2}, 5));
    Clause* c = makeClause(s, {3});
    EXPECT_EQ(s.removeSubsumed(5, c), 1u);
    s.releaseClause(c);
    EXPECT_EQ(s.clauseCount, 1u);
    EXPECT_TRUE(storeIsConsistent(s));
}

// The sweeps meet clauses in the order of a walk over the key lists of the
// later positions, positive list first, newest first, whatever the order in
// which the occurrence lists hold them; deleted clauses leave the lists and
// the index.
TEST_F(ClauseIndex, ClausesHoldingFollowsKeyListOrderAndForgetsDeletedClauses) {
    Clause* a = linkNew(s, {1, 2}, -4);
    Clause* b = linkNew(s, {-2}, 5);
    Clause* c = linkNew(s, {2, 3}, 4);
    Clause* d = linkNew(s, {1, 2}, 5);
    Clause* e = linkNew(s, {-1, 2}, 4);
    linkNew(s, {1, 3}, 4);
    EXPECT_EQ(s.clausesHolding(2), (std::vector<Clause*>{e, c, a, d, b}));

    s.deleteClause(c); // from the middle of the list of 4
    s.deleteClause(b); // the head, and only clause, of 5
    EXPECT_EQ(s.clausesHolding(2), (std::vector<Clause*>{e, a, d}));
    EXPECT_EQ(keyList(s, 4), (Literals{{1, 3}, {-1, 2}}));
    EXPECT_TRUE(storeIsConsistent(s));
    s.collectGarbage();
    EXPECT_TRUE(s.retired.empty());
    EXPECT_TRUE(storeIsConsistent(s));
}

// Input clauses are checked through the literal filters kept beside the
// index entries while loading; a collection that compacts the lists has to
// move the filters with their entries.
TEST(InputSubsumption, FindsTheSameClausesAfterACollectionCompactedTheLists) {
    Solver s;
    declarePrefix(s, "eeeeee");
    Clause* gone = linkNew(s, {1, 2}, 5);
    linkNew(s, {1, 3}, 6);
    linkNew(s, {2}, 5);
    linkNew(s, {1, 4}, 6);
    s.deleteClause(gone);
    s.collectGarbage();
    auto subsumed = [&](std::initializer_list<Literal> literals, Literal key) {
        Clause* c = makeClause(s, literals);
        bool found = s.inputSubsumer(c, key, Solver::watchFilter(c, key));
        s.releaseClause(c);
        return found;
    };
    EXPECT_TRUE(subsumed({1, 3, 4}, 6));
    EXPECT_TRUE(subsumed({1, 2}, 5));
    EXPECT_FALSE(subsumed({1, 3}, 5));
    EXPECT_TRUE(subsumed({2, 5}, 6)); // by {2} keyed on the stored literal 5
    EXPECT_FALSE(subsumed({1, 5}, 6));

    Clause* c = makeClause(s, {1});
    EXPECT_EQ(s.removeInputSubsumed(6, c, Solver::literalFilter(c, 6)), 2u);
    s.releaseClause(c);
    EXPECT_EQ(keyList(s, 6), Literals{});
    EXPECT_TRUE(storeIsConsistent(s));
}
