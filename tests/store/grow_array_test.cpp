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
