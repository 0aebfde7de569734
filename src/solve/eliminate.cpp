// Existential elimination by clause distribution. Every non-tautological
// resolvent on the pivot replaces the pivot's clauses. Resolvents enter the
// store through insertClause like any other clause, so subsumption and the
// short-clause check apply to them too. The pivot's own lists are never
// touched by those insertions: no resolvent holds the pivot.

#include "store/solver.hpp"

#include <iostream>

// Shared by elimination and expansion: the share of positions gone and the
// clause count relative to the input.
void Solver::printStepProgress(const char* action, Variable v) {
    long double gone = lastPosition - existentialCount - universalCount;
    long double a = 100.0L * gone / lastPosition;
    long double b = static_cast<long double>(clauseCount) / lastInputClauseId * 100.0L;
    std::cout << action << renumbering.fileVariable(v) << " (" << double(a)
              << "%), clauses: " << clauseCount << " (" << double(b) << "%) " << std::endl;
}

void Solver::rekeyClauses(Variable v) {
    VarRecord& own = vars[v];
    if (occurrences(v) == own.posCount + own.negCount) return;
    for (Clause* c : clausesHolding(v)) {
        Literal key = c->key();
        uint32_t i = storedIndex(c, v);
        unlinkClause(c);
        Literal removed = c->literals[i];
        for (uint32_t j = i + 1; j < c->size; ++j)
            c->literals[j - 1] = c->literals[j];
        c->literals[c->size - 1] = key;
        linkClause(c, removed);
        // Same literals as before, so the watch stays; the old key is stored now.
        addStored(c, key);
        ++staleEntries;
    }
}

// Most pairs of parents clash on a second variable. The positive parent's
// literals are marked once for all its partners, so a clash is found by one
// lookup per literal of the negative parent instead of a merge up to it.
// Parents clash mostly on inner variables, so the lookups start there.
void Solver::markForClashes(const Clause* p) {
    if (++clashEpoch >= (uint32_t{1} << 30)) {
        clashEpoch = 1;
        clashMark.resize(0);
    }
    for (uint32_t i = 0; i < p->size; ++i) {
        Literal lit = p->literals[i];
        clashMark[var(lit)] = 2 * clashEpoch + (lit > 0);
    }
    clashMarked = p;
}

bool Solver::clashesWithMarked(const Clause* n) {
    uint32_t stamp = 2 * clashEpoch;
    for (uint32_t j = n->size; j-- > 0;) {
        Literal lit = n->literals[j];
        if (clashMark.get(var(lit)) == stamp + (lit < 0)) return true;
    }
    return false;
}

Clause* Solver::nextResolvent(Variable v, Clause*& posCursor, Clause*& negCursor) {
    VarRecord& r = vars[v];
    if (!r.posHead) {
        for (Clause* n = r.negHead; n; n = n->next)
            removeClauseOccurrences(n, -Literal(v));
        return nullptr;
    }
    while (posCursor) {
        if (!negCursor) {
            removeClauseOccurrences(posCursor, Literal(v));
            posCursor = posCursor->next;
            negCursor = r.negHead;
            continue;
        }
        Clause* n = negCursor;
        negCursor = n->next;
        if (posCursor != clashMarked) markForClashes(posCursor);
        Clause* resolvent = clashesWithMarked(n) ? nullptr : resolve(posCursor, n);
        if (!posCursor->next) removeClauseOccurrences(n, -Literal(v));
        if (!resolvent) continue;
        resolvent->id = nextClauseId++;
        if (certificates)
            resolutionParents[resolvent->id] = ResolutionStep{posCursor->id, n->id, 0};
        return resolvent;
    }
    return nullptr;
}

bool Solver::eliminateExistential(Variable v) {
    if (eliminated[v]) return true;
    if (showProgress) printStepProgress("Eliminating #", v);
    uint32_t s0 = forwardSubsumed;
    rekeyClauses(v);
    clashMarked = nullptr;
    Clause* posCursor = vars[v].posHead;
    Clause* negCursor = vars[v].negHead;
    uint32_t count = 0;
    while (Clause* r = nextResolvent(v, posCursor, negCursor)) {
        if (certificates) resolutionParents[r->id].pivot = v;
        if (r->size == 0) {
            recordConflict(r, 0);
            releaseClause(r);
            return false;
        }
        --r->size;
        ++count;
        if (!insertClause(r, r->literals[r->size], false)) return false;
    }
    totalConflicts += count;
    if (showProgress)
        std::cout << count << " conflicts (" << (forwardSubsumed - s0) << " cov)." << std::endl;
    clauseCount -= vars[v].posCount + vars[v].negCount;
    if (certificates) defineFunction(v);
    dropKeyLists(v);
    --existentialCount;
    eliminated[v] = 1;
    return propagate();
}
