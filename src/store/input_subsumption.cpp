// Subsumption checks of input clauses. They find the same clauses as the
// checks made while solving, but they run while nothing has been strengthened
// or reordered yet, so the literal filters kept in the index entries are
// exact for every listed clause: a candidate whose filter does not fit is
// rejected without reading the clause, which is what keeps loading from
// waiting on memory for each candidate. Loading computes each clause's
// filters once and hands them to both checks.

#include "store/solver.hpp"

// A subsumer is watched under one of its literals, all of which c holds.
// Keyed on a stored literal of c, it can only hold the literals before it.
// Every literal of an input clause has its index record by now, so the table
// is read without the growing access.
bool Solver::inputSubsumer(const Clause* c, Literal key, uint64_t filter) {
    const LiteralIndex* index = literalIndex.data;
    uint32_t size = c->size;
    for (uint32_t i = 0; i <= size; ++i) {
        Literal lit = i < size ? c->literals[i] : key;
        assert(var(lit) < literalIndex.capacity);
        const WatchList& list = index[var(lit)].watches[lit < 0];
        const WatchEntry* e = list.entries;
        for (uint32_t j = 0, count = list.count; j < count; ++j) {
            if (e[j].filter & ~filter) continue;
            const Clause* d = e[j].clause;
            if (d->watch != lit || d->key() == 0) continue;
            uint32_t n = size;
            if (d->key() != key) {
                n = 0;
                while (n < size && c->literals[n] != d->key())
                    ++n;
                if (n == size) continue;
            }
            if (literalsWithin(d, c, n)) return true;
        }
    }
    return false;
}

uint32_t Solver::removeInputSubsumed(Literal key, const Clause* c, uint16_t filter) {
    if (c->size == 0) return removeSubsumed(key, c);
    for (uint32_t i = 0; i < c->size; ++i)
        assert(var(c->literals[i]) < literalIndex.capacity);
    const LiteralIndex* index = literalIndex.data;
    auto held = [index](Literal lit) { return index[var(lit)].occurs[lit < 0].count; };
    Literal rarest = c->literals[0];
    uint32_t fewest = held(rarest);
    for (uint32_t i = 1; i < c->size; ++i) {
        if (uint32_t n = held(c->literals[i]); n < fewest) {
            fewest = n;
            rarest = c->literals[i];
        }
    }
    const OccurrenceList& list = index[var(rarest)].occurs[rarest < 0];
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
