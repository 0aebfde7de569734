#include "store/grow_array.hpp"

#include <gtest/gtest.h>

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

// Large tables are mapped and grown by moving pages: the elements written
// must survive each move, and every new element reads as zero, also after
// the table was given back and grown again. Sizes that are no multiple of a
// large page come in as well.
TEST(GrowArray, LargeTableKeepsElementsAndZeroFills) {
    GrowArray<uint32_t> a;
    for (int round = 0; round < 2; ++round) {
        a.resize(1'234'567);
        for (uint32_t i = 1; i <= (uint32_t{1} << 23); i *= 2) {
            EXPECT_EQ(a[i + 1], 0u) << i;
            a[i] = i;
        }
        for (uint32_t i = 1; i <= (uint32_t{1} << 23); i *= 2)
            EXPECT_EQ(a.get(i), i);
        EXPECT_EQ(a.get(3 << 21), 0u);
        a.resize(0);
    }
}
