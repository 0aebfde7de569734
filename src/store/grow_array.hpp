#pragma once

#include "driver/exceptions.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <type_traits>

// A table that grows when it is indexed past its end: the capacity doubles
// from 1 and new elements are zero-filled, so callers never check bounds.
// A large table is mapped directly: its new part then comes as zero pages
// that become resident only when touched, so a table sized for the highest
// variable costs memory for the variables used, and growing it moves pages
// instead of copying them. Large pages are not asked for: on a virtual
// machine that hands freed memory back to its host, a fresh 2 MB page costs
// far more than the faults and TLB misses of small ones save.
template <typename T> struct GrowArray {
    static_assert(std::is_trivially_copyable_v<T>, "GrowArray moves elements with realloc");

    // Above this many elements the capacity would no longer fit in 32 bits
    // once doubled; such an index is treated like any failed allocation.
    static constexpr uint32_t maxCapacity = uint32_t{1} << 31;

    T* data = nullptr;
    uint32_t capacity = 0; // elements allocated; all of them valid

    GrowArray() = default;
    GrowArray(const GrowArray&) = delete;
    GrowArray& operator=(const GrowArray&) = delete;
    ~GrowArray() { release(); }

    T& at(uint32_t i) {
        if (i >= capacity) grow(i);
        return data[i];
    }
    T& operator[](uint32_t i) { return at(i); }

    // Reads without growing; an index past the end reads as a zero element.
    // A reference, so that reading one field of a large element loads only
    // that field.
    const T& get(uint32_t i) const {
        static constexpr T zero{};
        return i < capacity ? data[i] : zero;
    }

    void resize(uint32_t n) {
        if (n == 0) {
            release();
        } else if (n > capacity) {
            reallocate(n);
        }
    }

  private:
    static constexpr size_t mapBytes = size_t{128} << 10;

    static size_t mappedBytes(uint32_t n) {
        size_t bytes = size_t{n} * sizeof(T);
        return bytes < mapBytes ? 0 : (bytes + 4095) & ~size_t{4095};
    }

    // The slow paths stay out of line: tables are indexed all over.
    [[gnu::noinline]] void release() {
        if (size_t mapped = mappedBytes(capacity))
            munmap(data, mapped);
        else
            std::free(data);
        data = nullptr;
        capacity = 0;
    }

    [[gnu::noinline, gnu::cold]] void grow(uint32_t i) {
        if (i >= maxCapacity) throw MemoryException{{"memory exhausted"}};
        uint32_t n = capacity == 0 ? 1 : capacity;
        while (n <= i)
            n *= 2;
        reallocate(n);
    }

    [[gnu::noinline]] void reallocate(uint32_t n) {
        if (n > maxCapacity) throw MemoryException{{"memory exhausted"}};
        size_t mapped = mappedBytes(n);
        if (mapped == 0) {
            void* grown = std::realloc(static_cast<void*>(data), size_t{n} * sizeof(T));
            if (!grown) throw MemoryException{{"memory exhausted"}};
            data = static_cast<T*>(grown);
            std::memset(static_cast<void*>(data + capacity), 0, size_t{n - capacity} * sizeof(T));
        } else if (size_t old = mappedBytes(capacity)) {
            void* grown = mremap(data, old, mapped, MREMAP_MAYMOVE);
            if (grown == MAP_FAILED) throw MemoryException{{"memory exhausted"}};
            data = static_cast<T*>(grown);
        } else {
            void* fresh = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (fresh == MAP_FAILED) throw MemoryException{{"memory exhausted"}};
            if (capacity) std::memcpy(fresh, static_cast<void*>(data), size_t{capacity} * sizeof(T));
            std::free(data);
            data = static_cast<T*>(fresh);
        }
        capacity = n;
    }
};
