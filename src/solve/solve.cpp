// The solve loop walks the prefix from the innermost position outwards and
// removes one variable per step: eliminated if existential, expanded if
// universal. The cursor moves outward only once the innermost remaining
// variable is gone; a step on an outer variable leaves it where it is.

#include "store/solver.hpp"

#include <iostream>

// Clause distribution on an existential is sound when no universal that still
// occurs is placed after it, or when it is the innermost literal of every
// clause it occurs in (its clauses then share no variable inner to it).
bool Solver::eliminable(Variable v) {
    if (occurrences(v) == keyed(v)) return true;
    for (uint32_t p = position(v) + 1; p < lastPosition; ++p) {
        Variable x = order[p];
        if (!isExistential(x) && !eliminated[x] && occurrences(x) > 0) return false;
    }
    return true;
}

bool Solver::solve() {
    if (showProgress) {
        const char* heuristic = literalBoundHeuristic   ? "Literal Bound"
                                : maxConflictsHeuristic ? "Max Conflicts"
                                : innermostHeuristic    ? "Innermost"
                                                        : "Stack Size";
        std::cout << "Version      : " << versionNumber() << std::endl;
        std::cout << "Compiled     : " << compileDate() << std::endl;
        std::cout << "Last Variable: " << lastVar << std::endl;
        std::cout << "Quant. Vars  : " << lastPosition << std::endl;
        std::cout << "Orig. Clauses: " << uint32_t(lastInputClauseId + 1) << std::endl;
        std::cout << "Clauses      : " << clauseCount << std::endl;
        std::cout << "Heuristic    : " << heuristic << std::endl;
        std::cout << "Sig. Buckets : " << sigBucketWidth << std::endl;
    }
    if (keepInputClauses) {
        substitution.resize(lastVar + 1);
        functionClauses.resize(lastVar + 1);
    }
    if (!consistent) {
        if (showProgress) std::cout << "Invalid known after load." << std::endl;
        return false;
    }
    uint32_t pos = lastPosition;
    if (!propagate()) return false;
    if (dumpFormula) writeDump(0);

    for (;;) {
        Variable v = order[pos];
        bool gone = eliminated[v] || (!isExistential(v) && occurrences(v) == 0);
        if (gone) {
            if (pos == 0) break;
            --pos;
            continue;
        }
        if (!isExistential(v) && (vars[v].posHead || vars[v].negHead)) {
            if (showProgress)
                std::cout << "Found constraints on universal #" << Literal(v) << std::endl;
            return false;
        }

        bool chosen = false;
        uint32_t c = pos;
        while (!chosen && !eliminationOrder.empty()) {
            int32_t e = eliminationOrder.front();
            eliminationOrder.erase(eliminationOrder.begin());
            Variable w = var(e);
            uint32_t p = position(w);
            bool legal = w <= lastVar && p <= pos && order[p] == w;
            if (legal && isExistential(w) && !eliminated[w]) legal = eliminable(w);
            if (legal) {
                c = p;
                chosen = true;
            } else {
                std::cout << "Warning: Illegal variable in elimination order: " << e << std::endl;
            }
        }
        if (!chosen && expandUniversalsFirst && pos > 0) {
            for (uint32_t q = pos; q >= 1 && !chosen; --q) {
                Variable x = order[q];
                if (!isExistential(x) && occurrences(x) > 0) {
                    c = q;
                    chosen = true;
                }
            }
        }
        if (!chosen) {
            c = literalBoundHeuristic   ? chooseLiteralBound(pos)
                : maxConflictsHeuristic ? chooseMaxConflicts(pos)
                : innermostHeuristic    ? chooseInnermost(pos)
                                        : chooseStackSize(pos);
        }

        Variable w = order[c];
        bool last = false;
        if (c == pos) {
            last = pos == 0;
            --pos;
        }
        if (!isExistential(w)) {
            if (!expandUniversal(w)) return false;
            pos = lastPosition;
            continue;
        }
        if (!eliminateExistential(w)) return false;
        if (last) break;
    }

    if (showProgress) printStatistics();
    return true;
}
