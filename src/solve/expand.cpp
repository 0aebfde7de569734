// Universal expansion: the part of the formula inside the universal's scope
// is copied once for each of its values, in fresh variables appended to the
// prefix. Copies of one value keep the relative order of the variables they
// copy, and the two copies share no inner variable, so appending both at
// the innermost end keeps the prefix equivalent. Every copy enters through
// insertClause, so copies already implied are dropped.

#include "store/solver.hpp"

#include <iostream>

bool Solver::expandUniversal(Variable u) {
    if (eliminated[u]) return true;
    if (showProgress) printStepProgress("Expanding #", u);
    if (occurrences(u) == 0) {
        --universalCount;
        eliminated[u] = 1;
        return true;
    }
    uint32_t f0 = forwardSubsumed;
    uint32_t c0 = clauseCount;
    uint32_t last = lastPosition;
    uint32_t s = position(u) + 1;
    while (s < last && !isExistential(order[s]))
        ++s;

    GrowArray<Variable> mapTrue;  // x -> its copy for u = true
    GrowArray<Variable> mapFalse; // x -> its copy for u = false
    mapTrue.resize(lastVar + 1);
    mapFalse.resize(lastVar + 1);
    uint32_t newVar = lastVar;
    for (uint32_t p = s; p < last; ++p) {
        Variable x = order[p];
        if (eliminated[x] || occurrences(x) == 0) continue;
        uint32_t kind = varFlag(x) & 1;
        for (GrowArray<Variable>* map : {&mapTrue, &mapFalse}) {
            Variable copy = ++newVar;
            (*map)[x] = copy;
            uint32_t q = lastPosition++;
            order[q] = copy;
            varFlag(copy) = 2 * q + kind;
            if (keepInputClauses) {
                Literal falseHere = map == &mapTrue ? -Literal(u) : Literal(u);
                substitution[copy] = Substitution{x, Literal(certificate.nextIndex()), falseHere};
            }
        }
        if (kind)
            existentialCount += 2;
        else
            universalCount += 2;
    }
    setVariableCount(int32_t(newVar));

    for (uint32_t p = s; p < last; ++p) {
        Variable x = order[p];
        if (mapTrue[x] == 0) continue;
        for (Literal key : {Literal(x), -Literal(x)}) {
            Literal keyTrue = key > 0 ? Literal(mapTrue[x]) : -Literal(mapTrue[x]);
            Literal keyFalse = key > 0 ? Literal(mapFalse[x]) : -Literal(mapFalse[x]);
            while (Clause* c = listHead(key)) {
                int removed = removeLiteral(c, Literal(u));
                if (removed != 0) --occurrenceWeight(key);
                Clause* copyTrue = removed > 0 ? nullptr : copyClauseMapped(c, mapTrue);
                Clause* copyFalse = removed < 0 ? nullptr : copyClauseMapped(c, mapFalse);
                deleteClause(c);
                if (copyTrue && !insertClause(copyTrue, keyTrue)) {
                    if (copyFalse) releaseClause(copyFalse);
                    return false;
                }
                if (copyFalse && !insertClause(copyFalse, keyFalse)) return false;
            }
        }
        if (keepInputClauses && isExistential(x)) {
            // x is x+ where u holds and x- where it does not.
            Literal pt = Literal(mapTrue[x]);
            Literal pf = Literal(mapFalse[x]);
            Literal lu = Literal(u);
            putDefiningClause(-Literal(x), {-lu, pt}, 0);
            putDefiningClause(-Literal(x), {lu, pf}, 0);
            putDefiningClause(Literal(x), {-lu, -pt}, 0);
            putDefiningClause(Literal(x), {lu, -pf}, 0);
            defineFunction(x);
            dropKeyLists(x);
        }
        eliminated[x] = 1;
        if (isExistential(x))
            --existentialCount;
        else
            --universalCount;
    }

    if (showProgress)
        std::cout << (lastPosition - last) << " new variables, " << int32_t(clauseCount - c0)
                  << " new clauses (" << (forwardSubsumed - f0) << " cov.)" << std::endl;
    --universalCount;
    eliminated[u] = 1;
    ++expansionCount;
    return propagate();
}
