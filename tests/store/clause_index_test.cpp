#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>

namespace {

using Literals = std::vector<std::vector<Literal>>;

class ClauseIndex : public testing::Test {
  protected:
    void SetUp() override { declarePrefix(s, "eeeee"); }

    // Asks findSubsumer about a transient clause under key.
    Clause* subsumerOf(std::initializer_list<Literal> literals, Literal key) {
        Clause* c = makeClause(s, literals);
        Clause* found = s.findSubsumer(key, c);
        s.releaseClause(c);
        return found;
    }

    Solver s;
};

} // namespace

TEST_F(ClauseIndex, FindSubsumerReturnsDuplicateOrShorterSubsetButNeverLongerClause) {
    EXPECT_EQ(subsumerOf({1, 2}, 5), nullptr);
    Clause* d1 = linkNew(s, {1, 2, 3}, 5);
    Clause* d2 = linkNew(s, {1, -4}, 5);

    EXPECT_EQ(subsumerOf({1, 2}, 5), nullptr);
    EXPECT_EQ(subsumerOf({1, 2, 3}, 5), d1);
    EXPECT_EQ(subsumerOf({1, 2, 3, 4}, 5), d1);
    EXPECT_EQ(subsumerOf({1, 3, -4}, 5), d2);
    EXPECT_EQ(subsumerOf({-1, 2, 3}, 5), nullptr);
    EXPECT_EQ(subsumerOf({1, 2, 3}, -5), nullptr);

    // A clause that is its key alone subsumes everything under that key.
    Clause* unit = linkNew(s, {}, 4);
    EXPECT_EQ(subsumerOf({1, 2, 3}, 4), unit);
    EXPECT_EQ(subsumerOf({}, 4), unit);
    EXPECT_EQ(subsumerOf({1}, -4), nullptr);
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

// removeLiteral leaves the signature as it was; the extra bit may hide a
// subsumption but must never invent one. A clause watched under the literal
// it loses is watched anew.
TEST_F(ClauseIndex, ClauseThatLostALiteralSubsumesByWhatItHolds) {
    linkNew(s, {1, 4}, 5);
    Clause* d = linkNew(s, {1, 2, 3}, 5);
    ASSERT_EQ(d->watch, 2);
    ASSERT_EQ(s.removeLiteral(d, 2), 1);
    EXPECT_NE(d->watch, 2);
    --s.posOccurrenceWeight[5]; // the caller accounts for the key
    EXPECT_TRUE(storeIsConsistent(s));

    EXPECT_EQ(subsumerOf({1, 3}, 5), d);
    EXPECT_EQ(subsumerOf({1, 2, 3}, 5), d);
    EXPECT_EQ(subsumerOf({1, 2}, 5), nullptr);
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
