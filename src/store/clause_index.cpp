// The key lists are the formula's only index: every clause is listed once,
// under its innermost literal. Subsumption lookups stay within one list and
// reject most candidates by signature before the ordered subset scan.

#include "store/solver.hpp"

#include <cstdlib>

namespace {

// Every literal of small occurs in large; both are sorted by position.
bool subset(const Clause* small, const Clause* large) {
    uint32_t j = 0;
    for (uint32_t i = 0; i < small->size; ++i) {
        Literal d = small->literals[i];
        while (j < large->size && large->literals[j] != d)
            ++j;
        if (j == large->size) return false;
    }
    return true;
}

bool sameLiterals(const Clause* a, const Clause* b) {
    for (uint32_t i = 0; i < a->size; ++i)
        if (a->literals[i] != b->literals[i]) return false;
    return true;
}

} // namespace

void Solver::computeSignature(Clause* clause) const {
    uint32_t s = 0;
    for (uint32_t i = 0; i < clause->size; ++i)
        s |= signatureBit(var(clause->literals[i]));
    clause->signature = s;
    clause->signatureSize = clause->size;
}

void Solver::recomputeSignatures() {
    for (uint32_t v = 1; v <= lastVar && v < vars.capacity; ++v) {
        for (Clause* c = vars.data[v].posHead; c; c = c->next)
            computeSignature(c);
        for (Clause* c = vars.data[v].negHead; c; c = c->next)
            computeSignature(c);
    }
}

void Solver::linkClause(Clause* clause, Literal key) {
    Clause*& head = listHead(key);
    clause->next = head;
    head = clause;
    ++listCount(key);
}

Clause* Solver::findSubsumer(Literal key, const Clause* c) {
    uint32_t n = c->size;
    for (Clause* d = listHead(key); d; d = d->next) {
        if (d->size == n) {
            if (sameLiterals(d, c)) return d;
        } else if (d->size < n) {
            if (d->size == 0) return d;
            if ((d->signature & ~c->signature) == 0 && subset(d, c)) return d;
        }
    }
    return nullptr;
}

uint32_t Solver::removeSubsumed(Literal key, const Clause* c) {
    uint32_t n = c->size;
    uint32_t count = 0;
    Clause* prev = nullptr;
    for (Clause* d = listHead(key); d;) {
        Clause* next = d->next;
        bool subsumed = false;
        if (d != c && d->size == n)
            subsumed = sameLiterals(d, c);
        else if (d != c && d->size > n)
            subsumed = n == 0 || ((c->signature & ~d->signature) == 0 && subset(c, d));
        if (subsumed) {
            deleteClause(prev, d, key);
            ++count;
        } else {
            prev = d;
        }
        d = next;
    }
    return count;
}

void Solver::deleteClause(Clause* prev, Clause* d, Literal key) {
    if (prev)
        prev->next = d->next;
    else
        listHead(key) = d->next;
    --listCount(key);
    removeClauseOccurrences(d, key);
    --clauseCount;
    releaseClause(d);
}

void Solver::dropKeyLists(Variable v) {
    VarRecord& r = vars[v];
    for (Clause* heads[] = {r.posHead, r.negHead}; Clause * c : heads) {
        while (c) {
            Clause* next = c->next;
            std::free(c);
            c = next;
        }
    }
    r = VarRecord{};
}
