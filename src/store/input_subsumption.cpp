// Subsumption checks of input clauses. They find the same clauses as the
// checks made while solving, but they run while nothing has been strengthened
// or reordered yet, so the literal filters kept in the index entries are
// exact for every listed clause: a candidate whose filter does not fit is
// rejected without reading the clause, which is what keeps loading from
// waiting on memory for each candidate.

#include "store/solver.hpp"

// A subsumer is watched under one of its literals, all of which c holds.
// Keyed on a stored literal of c, it can only hold the literals before it.
bool Solver::inputSubsumer(const Clause* c, Literal key) {
    uint64_t filter = watchFilter(c, key);
    for (uint32_t i = 0; i <= c->size; ++i) {
        Literal lit = i < c->size ? c->literals[i] : key;
        const WatchList& list = watchList(lit);
        for (uint32_t j = 0; j < list.count; ++j) {
            if (list.entries[j].filter & ~filter) continue;
            const Clause* d = list.entries[j].clause;
            if (d->watch != lit || d->key() == 0) continue;
            uint32_t n = c->size;
            if (d->key() != key) {
                n = 0;
                while (n < c->size && c->literals[n] != d->key())
                    ++n;
                if (n == c->size) continue;
            }
            if (literalsWithin(d, c, n)) return true;
        }
    }
    return false;
}

uint32_t Solver::removeInputSubsumed(Literal key, const Clause* c) {
    if (c->size == 0) return removeSubsumed(key, c);
    Literal rarest = c->literals[0];
    for (uint32_t i = 1; i < c->size; ++i)
        if (occursCount(c->literals[i]) < occursCount(rarest)) rarest = c->literals[i];
    uint16_t filter = literalFilter(c, key);
    const OccurrenceList& list = occursList(rarest);
    uint32_t count = 0;
    for (uint32_t j = 0; j < list.count; ++j) {
        if (filter & ~list.filter(j)) continue;
        Clause* d = list.clause(j);
        if (d == c || d->key() != key || !literalsWithin(c, d, d->size)) continue;
        deleteClause(d);
        ++count;
    }
    return count;
}
