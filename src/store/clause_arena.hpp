#pragma once

#include <cstddef>
#include <vector>

// Bump allocation in large chunks for the clauses read from the input: they
// are created by the million in one pass and mostly die together, so a
// per-clause malloc and free is pure overhead. A block is given back only if
// it was the last one handed out (a clause rejected right after it was
// built); any other block stays until the arena goes. Whether a block came
// from here is answered from the chunk addresses.
class ClauseArena {
  public:
    ClauseArena() = default;
    ClauseArena(const ClauseArena&) = delete;
    ClauseArena& operator=(const ClauseArena&) = delete;
    ~ClauseArena();

    void* get(size_t bytes) {
        bytes = (bytes + alignment - 1) & ~(alignment - 1);
        if (size_t(end - next) < bytes && !addChunk(bytes)) return nullptr;
        last = next;
        next += bytes;
        return last;
    }
    // False when block is not from the arena.
    bool put(void* block) {
        if (!owns(block)) return false;
        if (block == last) {
            next = last;
            last = nullptr;
        }
        return true;
    }
    bool owns(const void* block) const;

    // Blocks of a few sizes that are given back in any order (growing lists):
    // a returned block waits for the next request of its size, or is split
    // for a smaller one, since lists that grew long outgrow blocks no other
    // list might reach.
    void* getSized(size_t bytes) {
        unsigned c = sizeClass(bytes);
        void*& head = recycled[c];
        if (!head && !splitLarger(c, bytes)) return get(bytes);
        void* block = head;
        head = *static_cast<void**>(block);
        return block;
    }
    void recycle(void* block, size_t bytes) {
        void*& head = recycled[sizeClass(bytes)];
        *static_cast<void**>(block) = head;
        head = block;
    }

  private:
    static constexpr size_t alignment = alignof(void*);
    static constexpr size_t chunkBytes = size_t{4} << 20;

    bool addChunk(size_t bytes);
    bool splitLarger(unsigned c, size_t bytes);
    // Requested sizes are a fixed multiple of a power of two, so a block of
    // the next class is twice as large.
    static unsigned sizeClass(size_t bytes) { return unsigned(64 - __builtin_clzll(bytes)); }

    struct Chunk {
        char* begin;
        char* end;
    };
    std::vector<Chunk> chunks; // sorted by address
    char* next = nullptr;
    char* end = nullptr;
    char* last = nullptr; // the block handed out last, while it may be given back
    void* recycled[65] = {}; // per size class: returned blocks, linked through their first word
};
