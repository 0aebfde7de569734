// Clause insertion and resolvent construction. Resolvents and copies enter
// the store through insertClause, input clauses through insertHeld, which
// makes the same tautology test, forward and backward subsumption and
// short-clause check, with the index sized ahead and the occurrence
// statistics counted when the clause was read.

#include "store/prefetch.hpp"
#include "store/solver.hpp"

// A resolvent of parents that do not clash holds no complementary pair;
// elimination says so and skips the test.
bool Solver::insertClause(Clause* clause, Literal key, bool tautologyPossible) {
    maybeCollectGarbage();
    assert(tautologyPossible || !isTautology(clause));
    if (tautologyPossible && isTautology(clause)) {
        releaseClause(clause);
        return true;
    }
    // The hybrid mode's expansion copies skip the subsumption checks: they go
    // straight on to a SAT solver, which does not need the formula kept small.
    uint32_t size = clause->size;
    if (!skipSubsumption) {
        if (storedSubsumer(clause, key)) {
            ++forwardSubsumed;
            releaseClause(clause);
            return true;
        }
        backwardSubsumed += removeSubsumed(key, clause);
    }
    for (uint32_t i = 0; i < size; ++i)
        addOccurrence(clause->literals[i], size + 1);
    addOccurrence(key, size + 1);
    linkClause(clause, key);
    indexClause(clause);
    ++clauseCount;
    return checkShortClause(clause, key);
}

Clause* Solver::resolve(const Clause* p, const Clause* n) {
    if (p->size == 0 || n->size == 0) {
        const Clause* other = p->size == 0 ? n : p;
        Clause* r = newClause(other->size, other->literals);
        reduceUniversals(r);
        return r;
    }
    // The sizes and the prefix table are read into locals: a store to out
    // could alias them, which would make every step reload them.
    uint32_t ps = p->size;
    uint32_t ns = n->size;
    literalBuffer.resize(ps + ns);
    Literal* out = literalBuffer.data;
    const VarState* states = varState.data;
    uint32_t stateCount = varState.capacity;
    // Each literal's position is looked up once, when the merge reaches it.
    auto at = [states, stateCount](const Clause* c, uint32_t i) {
        Variable x = var(c->literals[i]);
        return x < stateCount ? states[x].flags >> 1 : 0;
    };
    uint32_t k = 0;
    uint32_t i = 0;
    uint32_t j = 0;
    uint32_t pa = at(p, 0);
    uint32_t pb = at(n, 0);
    for (;;) {
        if (pa == pb) {
            Literal a = p->literals[i];
            if (a != n->literals[j]) return nullptr;
            out[k++] = a;
            ++i;
            ++j;
            if (i == ps || j == ns) break;
            pa = at(p, i);
            pb = at(n, j);
        } else if (pa < pb) {
            out[k++] = p->literals[i];
            if (++i == ps) break;
            pa = at(p, i);
        } else {
            out[k++] = n->literals[j];
            if (++j == ns) break;
            pb = at(n, j);
        }
    }
    while (i < ps)
        out[k++] = p->literals[i++];
    while (j < ns)
        out[k++] = n->literals[j++];
    while (k > 0 && !isExistential(var(out[k - 1])))
        --k;
    return newClause(k, out);
}

void Solver::reduceUniversals(Clause* clause) {
    while (clause->size > 0 && !isExistential(var(clause->literals[clause->size - 1])))
        --clause->size;
}

// The held input clauses in file order, each with the checks and side
// effects of insertClause. Every list's block is in place already, so the
// lines that a clause's insertion waits on are asked for well ahead: first
// its literals' index records, counters and key list, then, once those are
// there, the list blocks they point to and the head of its key list.
bool Solver::insertHeld(const std::vector<HeldRun>& runs) {
    constexpr uint32_t recordsAhead = 24;
    constexpr uint32_t blocksAhead = 12;
    auto records = [this](const Clause* c) {
        for (uint32_t i = 0; i <= c->size; ++i) {
            Variable v = var(c->literals[i]);
            prefetchLine(literalIndex.data + v);
        }
        // A key record spans two lines for a quarter of the variables.
        if (Variable k = var(c->key()); k < vars.capacity) {
            __builtin_prefetch(vars.data + k, 1);
            __builtin_prefetch(&vars.data[k].negCount, 1);
        }
    };
    auto blocks = [this](const Clause* c) {
        const OccurrenceList* rarest = nullptr;
        for (uint32_t i = 0; i <= c->size; ++i) {
            Literal lit = c->literals[i];
            const LiteralIndex& x = literalIndex.data[var(lit)];
            const WatchList& w = x.watches[lit < 0];
            // A list of a few entries often ends in the next line.
            if (w.count) {
                __builtin_prefetch(w.entries);
                __builtin_prefetch(&w.entries[w.count - 1].filter);
            }
            if (i == c->size) break;
            const OccurrenceList& o = x.occurs[lit < 0];
            __builtin_prefetch(o.words + o.count, 1);
            if (!rarest || o.count < rarest->count) rarest = &o;
        }
        if (rarest && rarest->count) __builtin_prefetch(rarest->words);
        const WatchList& planned = watchList(c->watch);
        __builtin_prefetch(planned.entries + planned.count, 1);
        Literal key = c->key();
        if (Variable k = var(key); k < vars.capacity) {
            Clause* head = key > 0 ? vars.data[k].posHead : vars.data[k].negHead;
            // Only its link back is written, which may lie in its second line.
            if (head) __builtin_prefetch(&head->prev, 1);
        }
    };
    // The clauses from the one asked for the records to the one inserted,
    // found by walking the runs; a clause is stepped over before it goes in.
    constexpr uint32_t window = 32;
    static_assert(window > recordsAhead && window > blocksAhead);
    Clause* ahead[window];
    uint32_t n = 0;
    for (const HeldRun& run : runs)
        n += run.count;
    size_t run = 0;
    uint32_t taken = 0; // of runs[run]
    auto take = [&](uint32_t j) {
        if (taken == runs[run].count) {
            ++run;
            taken = 0;
        }
        Clause* c = taken == 0 ? runs[run].first : HeldRun::after(ahead[(j - 1) % window]);
        ++taken;
        ahead[j % window] = c;
        records(c);
    };
    for (uint32_t j = 0; j < n && j < recordsAhead; ++j)
        take(j);
    for (uint32_t j = 0; j < n && j < blocksAhead; ++j)
        blocks(ahead[j % window]);
    for (uint32_t j = 0; j < n; ++j) {
        if (j + recordsAhead < n) take(j + recordsAhead);
        if (j + blocksAhead < n) blocks(ahead[(j + blocksAhead) % window]);
        if (!insertHeldClause(ahead[j % window])) return false;
    }
    return true;
}

// insertClause's loading branch, for a clause whose watch is planned and
// whose literals were counted when it was read. One pass over the literals
// makes the tautology test and both filters, which the subsumption checks,
// the lists and the watch then share.
bool Solver::insertHeldClause(Clause* clause) {
    maybeCollectGarbage();
    Literal key = clause->key();
    uint32_t size = clause->size;
    auto drop = [&] {
        removeClauseOccurrences(clause, key);
        releaseClause(clause);
        return true;
    };
    uint64_t watchBits = watchBit(key);
    uint16_t literalBits = literalBit(key);
    bool tautology = false;
    for (uint32_t i = 0; i < size; ++i) {
        Literal lit = clause->literals[i];
        watchBits |= watchBit(lit);
        literalBits |= literalBit(lit);
        tautology |= i > 0 && lit == -clause->literals[i - 1];
    }
    assert(tautology == isTautology(clause));
    if (tautology) return drop();
    if (inputSubsumer(clause, key, watchBits)) {
        ++forwardSubsumed;
        return drop();
    }
    backwardSubsumed += removeInputSubsumed(key, clause, literalBits);
    if (copyInputClauses) {
        Clause* copy = newClause(size + 1, clause->literals);
        copy->id = clause->id;
        inputClauseCopies[clause->id] = copy;
    }
    linkClause(clause, key);
    listHeld(clause, literalBits);
    watchPlanned(clause, watchBits);
    ++clauseCount;
    // A longer clause is no unit and no implication, and the check is out of
    // line: a call per input clause costs a percent of loading.
    return size > 1 || checkShortClause(clause, key);
}
