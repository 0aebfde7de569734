// Deciding a remainder with few universals by expanding all of them into one
// CNF for the SAT solver. The copies are built here, outside the store: each
// existential gets one copy per assignment of the universals before it, and
// each clause one copy per assignment of the universals its variables depend
// on, so no copy is made twice and no subsumption walk is needed.

#include "hybrid/remaining.hpp"

#include <cadical.hpp>

bool expandedSatisfiable(const Remaining& formula, Solver& solver) {
    uint32_t k = uint32_t(formula.universals.size());
    GrowArray<uint32_t> depth; // per variable: universals before it (existential) or its index
    GrowArray<uint32_t> base;  // per existential: number of its first copy
    uint32_t next = 1;
    uint32_t u = 0;
    for (uint32_t p = 0; p < solver.lastPosition; ++p) {
        Variable v = solver.order[p];
        if (solver.eliminated[v]) continue;
        if (!solver.isExistential(v)) {
            if (u < k && formula.universals[u] == v) depth[v] = u++;
            continue;
        }
        depth[v] = u;
        base[v] = next;
        next += uint32_t{1} << u;
    }
    CaDiCaL::Solver sat;
    sat.reserve(int(next));
    for (const auto& c : formula.clauses) {
        uint32_t m = 0;
        for (int32_t l : c)
            if (solver.isExistential(var(l)) && depth[var(l)] > m) m = depth[var(l)];
        for (uint32_t bits = 0; bits < (uint32_t{1} << m); ++bits) {
            // Bit i of bits is the value of universal i.
            bool satisfied = false;
            for (int32_t l : c)
                if (!solver.isExistential(var(l)) && ((bits >> depth[var(l)]) & 1) == (l > 0))
                    satisfied = true;
            if (satisfied) continue;
            for (int32_t l : c) {
                Variable v = var(l);
                if (!solver.isExistential(v)) continue;
                int32_t copy = int32_t(base[v] + (bits & ((uint32_t{1} << depth[v]) - 1)));
                sat.add(l > 0 ? copy : -copy);
            }
            sat.add(0);
        }
    }
    return sat.solve() == 10;
}
