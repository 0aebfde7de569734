// Which usable sizes exist below 32 bytes depends on the allocator and on
// the sanitizers in front of it, so the tests ask for the classes first.

#include "store/clause_pool.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>
#include <map>

namespace {

class ClausePoolTest : public testing::Test {
  protected:
    void SetUp() override {
        for (size_t request = 1; request < ClausePool::poolClasses; ++request) {
            void* b = std::malloc(request);
            size_t usable = malloc_usable_size(b);
            std::free(b);
            if (usable < ClausePool::poolClasses) requestFor.emplace(usable, request);
        }
        if (requestFor.empty()) GTEST_SKIP() << "no usable size below 32 bytes";
        smallClass = requestFor.begin()->first;
        largeClass = requestFor.rbegin()->first;
    }

    // Puts a fresh block of the given class and returns its address.
    void* putBlock(size_t sizeClass) {
        void* b = std::malloc(requestFor.at(sizeClass));
        void* address = b;
        pool.put(b);
        EXPECT_EQ(b, nullptr);
        return address;
    }

    uint32_t pooled() const {
        uint32_t total = 0;
        for (uint32_t c : pool.counts)
            total += c;
        return total;
    }

    ClausePool pool{true};
    std::map<size_t, size_t> requestFor; // usable size -> a request that yields it
    size_t smallClass = 0;
    size_t largeClass = 0;
};

} // namespace

TEST_F(ClausePoolTest, GetTakesSmallestNonEmptyClassThatFitsElseAllocates) {
    void* large = putBlock(largeClass);
    for (size_t request : {largeClass, size_t{1}}) {
        void* got = pool.get(request);
        EXPECT_EQ(got, large) << "request " << request;
        EXPECT_EQ(pooled(), 0u);
        pool.put(got);
    }
    for (size_t request : {largeClass + 1, size_t{32}}) {
        void* fresh = pool.get(request);
        EXPECT_NE(fresh, large);
        EXPECT_GE(malloc_usable_size(fresh), request);
        std::free(fresh);
    }
    if (smallClass != largeClass) {
        void* small = putBlock(smallClass);
        void* got = pool.get(1);
        EXPECT_EQ(got, small);
        std::free(got);
    }
    EXPECT_EQ(pool.counts[largeClass], 1u);
}

TEST_F(ClausePoolTest, PutPoolsOnlySmallBlocksAndAtMost64PerClass) {
    void* big = std::malloc(64);
    pool.put(big);
    EXPECT_EQ(pooled(), 0u);
    for (int i = 0; i < 65; ++i)
        putBlock(smallClass);
    EXPECT_EQ(pooled(), ClausePool::maxPerClass);
}

TEST_F(ClausePoolTest, ReleaseCountsEightBytesOverheadAndFreesLargestFirst) {
    EXPECT_FALSE(pool.release(1));
    for (size_t shortfall : {0, 1}) {
        for (int i = 0; i < 3; ++i)
            putBlock(smallClass);
        EXPECT_EQ(pool.release(3 * (smallClass + 8) + shortfall), shortfall == 0);
        EXPECT_EQ(pooled(), 0u);
    }
    if (smallClass != largeClass) {
        putBlock(smallClass);
        putBlock(largeClass);
        EXPECT_TRUE(pool.release(1));
        EXPECT_EQ(pool.counts[smallClass], 1u);
    }
}
