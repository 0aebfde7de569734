// Clause insertion and resolvent construction. insertClause is the only way
// a clause enters the store, so the tautology test, forward and backward
// subsumption, the occurrence statistics and the short-clause check apply to
// input clauses, resolvents and copies alike.

#include "store/solver.hpp"

bool Solver::insertClause(Clause* clause, Literal key) {
    maybeCollectGarbage();
    if (isTautology(clause)) {
        releaseClause(clause);
        return true;
    }
    // The hybrid mode's expansion copies skip the subsumption checks: they go
    // straight on to a SAT solver, which does not need the formula kept small.
    uint32_t size = clause->size;
    if (loading) {
        if (inputSubsumer(clause, key)) {
            ++forwardSubsumed;
            releaseClause(clause);
            return true;
        }
        backwardSubsumed += removeInputSubsumed(key, clause);
    } else if (!skipSubsumption) {
        if (storedSubsumer(clause, key)) {
            ++forwardSubsumed;
            releaseClause(clause);
            return true;
        }
        backwardSubsumed += removeSubsumed(key, clause);
    }
    if (loading && copyInputClauses) {
        Clause* copy = newClause(size + 1, clause->literals);
        copy->literals[size] = key;
        copy->id = clause->id;
        inputClauseCopies[clause->id] = copy;
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
    literalBuffer.resize(p->size + n->size);
    Literal* out = literalBuffer.data;
    uint32_t k = 0;
    uint32_t i = 0;
    uint32_t j = 0;
    while (i < p->size && j < n->size) {
        Literal a = p->literals[i];
        Literal b = n->literals[j];
        uint32_t pa = position(var(a));
        uint32_t pb = position(var(b));
        if (pa == pb) {
            if (a != b) return nullptr;
            out[k++] = a;
            ++i;
            ++j;
        } else if (pa < pb) {
            out[k++] = a;
            ++i;
        } else {
            out[k++] = b;
            ++j;
        }
    }
    while (i < p->size)
        out[k++] = p->literals[i++];
    while (j < n->size)
        out[k++] = n->literals[j++];
    while (k > 0 && !isExistential(var(out[k - 1])))
        --k;
    return newClause(k, out);
}

void Solver::reduceUniversals(Clause* clause) {
    while (clause->size > 0 && !isExistential(var(clause->literals[clause->size - 1])))
        --clause->size;
}
