// Chunks are kept sorted by address so that owns() is a binary search: it
// runs on every release of a clause, also of clauses that never came from
// here. They are mapped directly, in small pages: loading fills them densely
// but once, and a fresh large page can cost more than all the faults it
// saves (see store/grow_array.hpp).

#include "store/clause_arena.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

ClauseArena::~ClauseArena() {
    for (const Chunk& c : chunks)
        munmap(c.begin, size_t(c.end - c.begin));
}

bool ClauseArena::addChunk(size_t bytes) {
    size_t size = std::max(bytes, chunkBytes);
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    char* begin = static_cast<char*>(mapped);
    Chunk chunk{begin, begin + size};
    auto at = std::upper_bound(chunks.begin(), chunks.end(), begin,
                               [](const char* p, const Chunk& c) { return p < c.begin; });
    chunks.insert(at, chunk);
    next = begin;
    end = begin + size;
    last = nullptr;
    return true;
}

// The halving step is a conditional move, not a branch: the blocks asked
// about come in no order, so a branch would be mispredicted at every step.
bool ClauseArena::owns(const void* block) const {
    if (chunks.empty()) return false;
    const char* p = static_cast<const char*>(block);
    const Chunk* base = chunks.data();
    for (size_t n = chunks.size(); n > 1; n -= n / 2)
        base = base[n / 2].begin <= p ? base + n / 2 : base;
    return base->begin <= p && p < base->end;
}

