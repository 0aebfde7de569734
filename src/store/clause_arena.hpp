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

    // What get(bytes) takes of a chunk: consecutive blocks of one chunk are neighbours.
    static size_t blockBytes(size_t bytes) { return (bytes + alignment - 1) & ~(alignment - 1); }

    void* get(size_t bytes) {
        bytes = blockBytes(bytes);
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

  private:
    static constexpr size_t alignment = alignof(void*);
    static constexpr size_t chunkBytes = size_t{4} << 20;

    bool addChunk(size_t bytes);

    struct Chunk {
        char* begin;
        char* end;
    };
    std::vector<Chunk> chunks; // sorted by address
    char* next = nullptr;
    char* end = nullptr;
    char* last = nullptr; // the block handed out last, while it may be given back
};
