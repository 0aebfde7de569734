#pragma once

#include <cstddef>
#include <cstdint>

// Recycles small memory blocks by the usable size the allocator reports for
// them, so that short clauses created and deleted in bulk skip malloc/free.
// Of the larger blocks it keeps one, the largest of the last two put back:
// elimination builds each resolvent and mostly drops it at once, so the next
// one usually fits in the block of the last.
struct ClausePool {
    static constexpr uint32_t poolClasses = 32;
    static constexpr uint32_t maxPerClass = 64;

    struct PoolNode {
        void* block;
        uint32_t sizeClass; // usable size of block in bytes
        PoolNode* next;
    };

    bool ownsBlocks;                   // destruction frees the pooled blocks
    PoolNode* heads[poolClasses] = {}; // free list per usable size
    uint32_t counts[poolClasses] = {}; // blocks in each free list
    void* spare = nullptr;             // one larger block kept for the next get it fits
    size_t spareSize = 0;              // its usable size, 0 without one

    explicit ClausePool(bool owns) : ownsBlocks(owns) {}
    ClausePool(const ClausePool&) = delete;
    ClausePool& operator=(const ClausePool&) = delete;
    ~ClausePool() {
        if (ownsBlocks) freeAll();
    }

    void* get(size_t bytes); // null when the allocator fails
    void put(void*& block);  // block becomes null
    bool release(size_t bytes);
    void freeAll();
};
