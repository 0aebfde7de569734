// The solve loop walks the prefix from the innermost position outwards and
// removes one variable per step: eliminated if existential, expanded if
// universal. The cursor moves outward only once the innermost remaining
// variable is gone; a step on an outer variable leaves it where it is.

#include "store/solver.hpp"

#include <algorithm>
#include <iostream>
#include <vector>

// Clause distribution on an existential is sound when no universal that still
// occurs is placed after it, or when it is the innermost literal of every
// clause it occurs in (its clauses then share no variable inner to it).
//
// With certificates, a refutation over copies is replayed over the input
// clauses, where the two copies of an expanded universal's scope become one
// again. Resolving on a variable outside that scope while its clauses may
// still hold copies from it would then meet both signs of the universal, so
// such a step waits until those copies are gone. The innermost variable is
// always safe: copies are placed after everything that existed before them.
bool Solver::eliminable(Variable v) {
    if (occurrences(v) == keyed(v)) return true;
    std::vector<Variable> scopes; // universals whose copies v belongs to
    if (certificates && expansionCount > 0)
        for (Variable x = v; x > lastInputVar && substitution[x].origin != 0;
             x = substitution[x].origin)
            scopes.push_back(var(substitution[x].expandedOn));
    for (uint32_t p = position(v) + 1; p < lastPosition; ++p) {
        Variable x = order[p];
        if (occurrences(x) == 0 || eliminated[x]) continue;
        if (!isExistential(x)) return false;
        if (!certificates || expansionCount == 0) continue;
        for (Variable y = x; y > lastInputVar && substitution[y].origin != 0;
             y = substitution[y].origin) {
            Variable u = var(substitution[y].expandedOn);
            if (std::find(scopes.begin(), scopes.end(), u) == scopes.end()) return false;
        }
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
        std::cout << "Last Variable: " << std::max(lastVar, headerVariables) << std::endl;
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
    if (certificates) startCertificate();
    bool answer = walkPrefix();
    if (certificates) finishCertificate();
    return answer;
}

bool Solver::walkPrefix() {
    uint32_t pos = lastPosition;
    if (hybrid) {
        int decided = hybridFirst();
        if (decided >= 0) return decided == 1;
    }
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
                std::cout << "Found constraints on universal #" << renumbering.fileVariable(v)
                          << std::endl;
            if (certificates) writeRefutation(vars[v].posHead ? vars[v].posHead : vars[v].negHead);
            return false;
        }

        bool chosen = false;
        uint32_t c = pos;
        while (!chosen && !eliminationOrder.empty()) {
            int32_t e = eliminationOrder.front();
            eliminationOrder.erase(eliminationOrder.begin());
            Variable w = renumbering.insideVariable(var(e));
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
            // The heuristics never pick an unsound outer variable, but they
            // do not know the replay rule for certificates.
            if (certificates && c != pos && isExistential(order[c]) && !eliminable(order[c]))
                c = pos;
        }

        if (hybrid && !hybridSettled && overBudget(order[c])) {
            int decided = handOver();
            if (decided >= 0) return decided == 1;
            pos = lastPosition;
            continue;
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
    if (certificates) writeConclusion(true);
    return true;
}
