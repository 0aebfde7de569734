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
// size; it sits in literals[size], so a linked clause needs room for one
// literal more than it stores. Most input clauses hold two literals, and
// the header is a third of such a clause: it keeps only what cannot be
// derived.
// The key lists are doubly linked so that a clause found through the
// occurrence index leaves its list without a walk; the link stamp orders the
// clauses of one list (newest first) without walking it either.
struct Clause {
    uint32_t size;  // stored literals, key not counted
    uint32_t id;    // clause id; input clauses first, in file order
    Clause* next;   // next clause under the same key literal
    Clause* prev;   // previous clause under the same key, null at the head
    Literal watch;  // the literal whose watch list holds it, see storedSubsumer
    uint32_t stamp; // link order: larger is nearer the head of its list
    Literal literals[];

    // The list it is linked in; 0 once it left the store.
    Literal key() const { return literals[size]; }
    void setKey(Literal key) { literals[size] = key; }
};
static_assert(offsetof(Clause, literals) == 32);

inline size_t clauseBytes(uint32_t n) {
    return offsetof(Clause, literals) + size_t{n} * sizeof(Literal);
}

// Every literal of small occurs among the first n literals of large; both are
// sorted by position and hold no variable twice.
inline bool literalsWithin(const Clause* small, const Clause* large, uint32_t n) {
    if (small->size > n) return false;
    uint32_t j = 0;
    for (uint32_t i = 0; i < small->size; ++i, ++j) {
        while (j < n && large->literals[j] != small->literals[i])
            ++j;
        if (j == n) return false;
    }
    return true;
}
