#include "store/solver.hpp"
#include "support/formulas.hpp"
#include "support/store_checks.hpp"

#include <gtest/gtest.h>
#include <utility>

TEST(SolverStore, SetVariableCountTakesMagnitudeAndLeavesTablesToUse) {
    for (auto [n, width] : {std::pair{1, 1u}, {30, 1u}, {31, 2u}, {62, 2u}, {63, 3u}, {100, 4u}}) {
        Solver s;
        s.setVariableCount(n);
        EXPECT_EQ(s.sigBucketWidth, width) << "lastVar " << n;
    }
    Solver s;
    s.setVariableCount(-7);
    EXPECT_EQ(s.lastVar, 7u);
    s.varFlags[7] = 5;
    s.posOccurrences[7] = 2;
    s.setVariableCount(2000000000);
    EXPECT_EQ(s.varFlags.get(7), 5u);
    EXPECT_EQ(s.posOccurrences.get(7), 2u);
    EXPECT_EQ(s.negOccurrenceWeight.get(40), 0u);
    EXPECT_LE(s.varFlags.capacity, 8u);
    EXPECT_EQ(s.vars.capacity, 0u);
}

TEST(SolverStore, SignatureBitsFollowBucketWidthAndAreRecomputedWhenItChanges) {
    Solver s;
    s.setVariableCount(40);
    ASSERT_EQ(s.sigBucketWidth, 2u);
    Clause* shared = makeClause(s, {2, -3});
    EXPECT_EQ(shared->signature, 1u << 1);
    EXPECT_EQ(shared->signatureSize, 2u);
    Clause* last = makeClause(s, {1, -40});
    EXPECT_EQ(last->signature, (1u << 0) | (1u << 20));

    s.linkClause(shared, 40);
    s.linkClause(last, -39);
    s.setVariableCount(63);
    ASSERT_EQ(s.sigBucketWidth, 3u);
    EXPECT_EQ(shared->signature, (1u << 0) | (1u << 1));
    EXPECT_EQ(last->signature, (1u << 0) | (1u << 13));
}

TEST(SolverStore, RemoveLiteralShiftsRestAndLowersTheirWeights) {
    Solver s;
    declarePrefix(s, "eeeee");
    Clause* c = linkNew(s, {1, -2, 3, 4}, 5);

    EXPECT_EQ(s.removeLiteral(c, 2), -1);
    EXPECT_EQ(storedLiterals(c), (std::vector<Literal>{1, 3, 4}));
    EXPECT_EQ(s.removeLiteral(c, 3), 1);
    EXPECT_EQ(storedLiterals(c), (std::vector<Literal>{1, 4}));
    s.posOccurrenceWeight[5] -= 2; // the caller accounts for the key
    EXPECT_TRUE(storeIsConsistent(s));
    EXPECT_EQ(s.posOccurrenceWeight[1], 3u);

    EXPECT_EQ(s.removeLiteral(c, -2), 0);
    EXPECT_EQ(storedLiterals(c), (std::vector<Literal>{1, 4}));
    EXPECT_TRUE(storeIsConsistent(s));
}

TEST(SolverStore, CopyClauseMappedRenamesOnlyTheMappedInnerTail) {
    Solver s;
    declarePrefix(s, "eeaeeeeee");
    GrowArray<Variable> map;
    map[1] = 9;
    map[4] = 7;
    map[5] = 8;
    Clause* source = makeClause(s, {1, -3, -4, 5}, 6);

    Clause* copy = s.copyClauseMapped(source, map);
    EXPECT_EQ(storedLiterals(copy), (std::vector<Literal>{1, -3, -7, 8}));
    EXPECT_EQ(copy->signature, (1u << 1) | (1u << 3) | (1u << 7) | (1u << 8));
    EXPECT_EQ(copy->id, 0u);
    s.releaseClause(copy);

    s.certificates = true;
    map[5] = 0;
    copy = s.copyClauseMapped(source, map);
    EXPECT_EQ(storedLiterals(copy), storedLiterals(source));
    EXPECT_EQ(copy->id, 6u);
    s.releaseClause(copy);
    s.releaseClause(source);
}
