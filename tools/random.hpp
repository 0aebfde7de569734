#pragma once

// A small seeded generator whose streams are the same on every platform and
// standard library, so a seed printed by one machine replays on another.
// (The std distributions are implementation-defined, hence not used.)

#include <cstdint>
#include <utility>
#include <vector>

class Random {
  public:
    explicit Random(uint64_t seed) : state(seed) {}

    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0. The modulo bias is irrelevant for n this small.
    uint32_t below(uint32_t n) { return uint32_t(next() % n); }
    uint32_t between(uint32_t low, uint32_t high) { return low + below(high - low + 1); }
    bool chance(uint32_t percent) { return below(100) < percent; }

    template <typename T> void shuffle(std::vector<T>& items) {
        for (size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[below(uint32_t(i))]);
    }

  private:
    uint64_t state;
};

// Independent streams for one seed: the formula, its layout and each option
// set's order all replay on their own, whatever else changes.
inline uint64_t streamSeed(uint64_t seed, uint64_t stream) {
    Random r(seed * 0x100000001b3ull + stream);
    return r.next();
}
