#pragma once

#include "driver/exceptions.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

// A table that grows when it is indexed past its end: the capacity doubles
// from 1 and new elements are zero-filled, so callers never check bounds.
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
    ~GrowArray() { std::free(data); }

    T& at(uint32_t i) {
        if (i >= capacity) grow(i);
        return data[i];
    }
    T& operator[](uint32_t i) { return at(i); }

    // Reads without growing; an index past the end reads as a zero element.
    T get(uint32_t i) const { return i < capacity ? data[i] : T{}; }

    void resize(uint32_t n) {
        if (n == 0) {
            std::free(data);
            data = nullptr;
            capacity = 0;
        } else if (n > capacity) {
            reallocate(n);
        }
    }

  private:
    void grow(uint32_t i) {
        if (i >= maxCapacity) throw MemoryException{{"memory exhausted"}};
        uint32_t n = capacity == 0 ? 1 : capacity;
        while (n <= i)
            n *= 2;
        reallocate(n);
    }

    void reallocate(uint32_t n) {
        if (n > maxCapacity) throw MemoryException{{"memory exhausted"}};
        void* grown = std::realloc(static_cast<void*>(data), size_t{n} * sizeof(T));
        if (!grown) throw MemoryException{{"memory exhausted"}};
        data = static_cast<T*>(grown);
        std::memset(static_cast<void*>(data + capacity), 0, size_t{n - capacity} * sizeof(T));
        capacity = n;
    }
};
