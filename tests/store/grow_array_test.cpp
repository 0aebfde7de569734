#include "store/grow_array.hpp"

#include <cstring>
#include <gtest/gtest.h>

// Freed memory is left full of ones first, so that memory handed out again
// without zero-filling shows up as non-zero elements.
TEST(GrowArray, GrowsByDoublingOrToExactCountAndZeroFills) {
    for (uint32_t n = 1; n <= 64; n *= 2) {
        GrowArray<uint32_t> dirty;
        dirty.resize(n);
        std::memset(dirty.data, 0xff, n * sizeof(uint32_t));
    }
    GrowArray<uint32_t> a;
    a[0] = 7;
    a[3] = 9;
    EXPECT_EQ(a.capacity, 4u);
    a[20];
    EXPECT_EQ(a.capacity, 32u);
    EXPECT_EQ(a.get(1000), 0u); // reads past the end do not grow
    a.resize(10);
    EXPECT_EQ(a.capacity, 32u);
    a.resize(40);
    EXPECT_EQ(a.capacity, 40u);
    EXPECT_EQ(a[0], 7u);
    EXPECT_EQ(a[3], 9u);
    for (uint32_t i : {1u, 2u, 4u, 8u, 31u, 39u})
        EXPECT_EQ(a[i], 0u) << "element " << i;
    a.resize(0);
    EXPECT_EQ(a.data, nullptr);
}

// Doubling a 32-bit capacity past 2^31 would wrap to 0 and never end.
TEST(GrowArray, HugeIndexRaisesMemoryExhausted) {
    GrowArray<uint8_t> a;
    a[3] = 1;
    for (uint32_t i : {uint32_t{1} << 31, UINT32_MAX}) {
        try {
            a[i];
            ADD_FAILURE() << "index " << i << " did not throw";
        } catch (const MemoryException& e) {
            EXPECT_STREQ(e.message, "memory exhausted");
        }
    }
    EXPECT_THROW(a.resize(UINT32_MAX), MemoryException);
    EXPECT_EQ(a.capacity, 4u);
    EXPECT_EQ(a[3], 1u);
}
