#pragma once

#include <cstddef>
#include <cstdint>

using Variable = uint32_t; // 1 to lastVar; 0 is no variable
using Literal = int32_t;   // +v or -v; 0 is no literal

inline Variable var(Literal lit) {
    return lit < 0 ? Variable(-int64_t{lit}) : Variable(lit);
}

// One allocation: the header, then the stored literals inline, sorted by
// ascending prefix position. The key literal (innermost) is not counted in
// size; input clauses and resolvents keep it physically in literals[size].
struct Clause {
    uint32_t size;          // stored literals, key not counted
    Clause* next;           // next clause under the same key literal
    uint32_t id;            // clause id; input clauses first, in file order
    uint32_t signature;     // one bit per variable bucket of the stored literals
    uint32_t signatureSize; // size when the signature was last computed
    Literal literals[];
};

inline size_t clauseBytes(uint32_t n) {
    return offsetof(Clause, literals) + size_t{n} * sizeof(Literal);
}
