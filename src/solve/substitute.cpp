// Equivalence substitution: y is equivalent to x, x's variable placed before
// y's and y existential, so y's variable w can be replaced by x everywhere
// and removed. The record may be stale by the time it is processed: once
// either variable has left the formula, the clauses that established it may
// be gone, and substituting would bring a removed variable back.

#include "store/solver.hpp"

bool Solver::substituteEquivalence(EquivalenceRecord record) {
    Literal x = record.x;
    Literal y = record.y;
    if (x < 0) {
        x = -x;
        y = -y;
    }
    Variable w = var(y);
    Variable xv = var(x);
    if (eliminated[w] || eliminated[xv] || occurrences(xv) == 0) return true;
    if (occurrences(w) <= 2) return true;

    // The defining clause resolved with an occurrence of y is (x | -y), with
    // one of -y it is (-x | y).
    auto retrace = [&](Clause* c, Literal replaced) {
        if (!certificates) return;
        uint32_t id = nextClauseId++;
        uint32_t parent = replaced == y ? record.firstId : record.secondId;
        resolutionParents[id] = ResolutionStep{parent, c->id, w};
        c->id = id;
    };

    // Clauses keyed by w: the replacement joins the stored literals and the
    // clause is keyed anew by its innermost existential literal.
    for (Literal key : {y, -y}) {
        Literal r = key == y ? x : -x;
        while (Clause* c = listHead(key)) {
            unlinkClause(c);
            --clauseCount;
            removeClauseOccurrences(c, key);
            bool tautology = false;
            bool present = false;
            for (uint32_t i = 0; i < c->size; ++i) {
                tautology = tautology || c->literals[i] == -r;
                present = present || c->literals[i] == r;
            }
            if (tautology) {
                retireClause(c);
                continue;
            }
            literalBuffer.resize(c->size + 1);
            Literal* out = literalBuffer.data;
            uint32_t k = 0;
            uint32_t rp = position(xv);
            bool placed = present;
            for (uint32_t i = 0; i < c->size; ++i) {
                if (!placed && position(var(c->literals[i])) > rp) {
                    out[k++] = r;
                    placed = true;
                }
                out[k++] = c->literals[i];
            }
            if (!placed) out[k++] = r;
            while (k > 0 && !isExistential(var(out[k - 1])))
                --k;
            Clause* d = newClause(k, out);
            d->id = c->id;
            retrace(d, key);
            retireClause(c);
            if (k == 0) {
                recordConflict(d, 0);
                releaseClause(d);
                return false;
            }
            --d->size;
            if (!insertClause(d, out[k - 1])) return false;
        }
    }

    // Clauses keyed after w that hold it as a stored literal.
    for (Clause* c : clausesHolding(w)) {
        Literal key = c->key();
        uint32_t i = storedIndex(c, w);
        Literal old = c->literals[i];
        Literal r = old == y ? x : -x;
        uint32_t j = 0;
        while (j < i && var(c->literals[j]) != xv)
            ++j;
        if (j < i && c->literals[j] == -r) {
            deleteClause(c);
            continue;
        }
        if (j < i) {
            removeLiteral(c, old);
            --occurrenceWeight(key);
            retrace(c, old);
            if (!checkShortClause(c, key)) return false;
        } else {
            uint32_t length = c->size + 1;
            removeOccurrence(old, length);
            addOccurrence(r, length);
            uint32_t rp = position(xv);
            while (i > 0 && position(var(c->literals[i - 1])) > rp) {
                c->literals[i] = c->literals[i - 1];
                --i;
            }
            c->literals[i] = r;
            // Its old entries lack the new literal's bit in their filters.
            listStored(c);
            literalLeft(c, old);
            retrace(c, old);
        }
    }

    rekeyClauses(w);
    for (Literal key : {Literal(w), -Literal(w)})
        while (Clause* c = listHead(key))
            deleteClause(c);
    --existentialCount;
    eliminated[w] = 1;
    if (keepInputClauses) {
        putDefiningClause(y, {-x}, record.secondId);
        putDefiningClause(-y, {x}, record.firstId);
        defineFunction(w);
        dropKeyLists(w);
    }
    return true;
}
