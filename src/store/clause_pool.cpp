// The clause pool keeps at most 64 blocks per usable size below 32 bytes,
// and one spare block above.
// Which blocks qualify depends on the allocator (and on sanitizers), so the
// class of a block is always asked of the allocator, never assumed.

#include "store/clause_pool.hpp"

#include <cstdlib>
#include <malloc.h>

void* ClausePool::get(size_t bytes) {
    if (spare && bytes <= spareSize) {
        void* block = spare;
        spare = nullptr;
        spareSize = 0;
        return block;
    }
    for (size_t c = bytes; c < poolClasses; ++c) {
        PoolNode* node = heads[c];
        if (!node) continue;
        heads[c] = node->next;
        --counts[c];
        void* block = node->block;
        std::free(node);
        return block;
    }
    return std::malloc(bytes);
}

void ClausePool::put(void*& block) {
    size_t c = malloc_usable_size(block);
    PoolNode* node = nullptr;
    if (c < poolClasses && counts[c] < maxPerClass)
        node = static_cast<PoolNode*>(std::malloc(sizeof(PoolNode)));
    if (node) {
        *node = PoolNode{block, uint32_t(c), heads[c]};
        heads[c] = node;
        ++counts[c];
    } else if (c >= poolClasses && c > spareSize) {
        std::free(spare);
        spare = block;
        spareSize = c;
    } else {
        std::free(block);
    }
    block = nullptr;
}

bool ClausePool::release(size_t bytes) {
    size_t freed = 0;
    if (spare) {
        std::free(spare);
        spare = nullptr;
        freed += spareSize + 8;
        spareSize = 0;
        if (freed >= bytes) return true;
    }
    for (uint32_t c = poolClasses; c-- > 0;) {
        while (PoolNode* node = heads[c]) {
            heads[c] = node->next;
            --counts[c];
            freed += node->sizeClass + 8;
            std::free(node->block);
            std::free(node);
            if (freed >= bytes) return true;
        }
    }
    return false;
}

void ClausePool::freeAll() {
    for (uint32_t c = 0; c < poolClasses; ++c) {
        while (PoolNode* node = heads[c]) {
            heads[c] = node->next;
            std::free(node->block);
            std::free(node);
        }
        counts[c] = 0;
    }
    std::free(spare);
    spare = nullptr;
    spareSize = 0;
}
