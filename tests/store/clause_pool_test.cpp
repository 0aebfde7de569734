// Which usable sizes exist below 32 bytes depends on the allocator and on
// the sanitizers in front of it, so the tests ask for the classes first.

#include "store/clause_pool.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>
#include <map>
#include <vector>

namespace {

// Usable size below 32 -> a request that yields a block of that size.
std::map<size_t, size_t> pooledClasses() {
    std::map<size_t, size_t> classes;
    for (size_t request = 1; request < ClausePool::poolClasses; ++request) {
        void* b = std::malloc(request);
        size_t usable = malloc_usable_size(b);
        std::free(b);
        if (usable < ClausePool::poolClasses) classes.emplace(usable, request);
    }
    return classes;
}

uint32_t pooledTotal(const ClausePool& pool) {
    uint32_t total = 0;
    for (uint32_t c : pool.counts)
        total += c;
    return total;
}

class ClausePoolTest : public testing::Test {
  protected:
    void SetUp() override {
        classes = pooledClasses();
        if (classes.empty()) GTEST_SKIP() << "allocator reports no usable size below 32";
        smallClass = classes.begin()->first;
        largeClass = classes.rbegin()->first;
    }

    // Puts a fresh block of the given class and returns its address.
    void* putBlock(size_t sizeClass) {
        void* b = std::malloc(classes.at(sizeClass));
        void* address = b;
        pool.put(b);
        EXPECT_EQ(b, nullptr);
        return address;
    }

    ClausePool pool{true};
    std::map<size_t, size_t> classes;
    size_t smallClass = 0;
    size_t largeClass = 0;
};

} // namespace

TEST_F(ClausePoolTest, GetTakesSmallestNonEmptyClassThatFitsElseAllocates) {
    void* large = putBlock(largeClass);
    EXPECT_EQ(pool.counts[largeClass], 1u);
    // Every class fits a request of one byte; the only pooled block is taken.
    void* got = pool.get(1);
    EXPECT_EQ(got, large);
    EXPECT_EQ(pooledTotal(pool), 0u);
    pool.put(got);

    void* fresh = pool.get(largeClass + 1);
    EXPECT_NE(fresh, large);
    EXPECT_GE(malloc_usable_size(fresh), largeClass + 1);
    std::free(fresh);
    void* big = pool.get(32);
    EXPECT_NE(big, large);
    EXPECT_EQ(pool.counts[largeClass], 1u);
    std::free(big);

    if (smallClass != largeClass) {
        void* small = putBlock(smallClass);
        got = pool.get(smallClass);
        EXPECT_EQ(got, small);
        std::free(got);
    }
}

TEST_F(ClausePoolTest, PutPoolsOnlySmallBlocksAndAtMost64PerClass) {
    void* big = std::malloc(64);
    ASSERT_GE(malloc_usable_size(big), 32u);
    pool.put(big);
    EXPECT_EQ(big, nullptr);
    EXPECT_EQ(pooledTotal(pool), 0u);

    for (int i = 0; i < 65; ++i)
        putBlock(smallClass);
    EXPECT_EQ(pool.counts[smallClass], ClausePool::maxPerClass);
    EXPECT_EQ(pooledTotal(pool), ClausePool::maxPerClass);
}

TEST_F(ClausePoolTest, ReleaseCountsEightBytesOverheadAndFreesLargestFirst) {
    EXPECT_FALSE(pool.release(1));

    for (int i = 0; i < 3; ++i)
        putBlock(smallClass);
    EXPECT_TRUE(pool.release(3 * (smallClass + 8)));
    EXPECT_EQ(pooledTotal(pool), 0u);

    for (int i = 0; i < 3; ++i)
        putBlock(smallClass);
    EXPECT_FALSE(pool.release(3 * (smallClass + 8) + 1));
    EXPECT_EQ(pooledTotal(pool), 0u);

    if (smallClass != largeClass) {
        putBlock(smallClass);
        putBlock(largeClass);
        EXPECT_TRUE(pool.release(1));
        EXPECT_EQ(pool.counts[largeClass], 0u);
        EXPECT_EQ(pool.counts[smallClass], 1u);
    }
}
