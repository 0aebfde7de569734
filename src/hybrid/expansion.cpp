// Deciding a remainder with few universals by expanding all of them into one
// CNF for the SAT solver. The copies are built here, outside the store: each
// existential gets one copy per assignment of the universals before it, and
// each clause one copy per assignment of the universals its variables depend
// on, so no copy is made twice and no subsumption walk is needed.

#include "hybrid/remaining.hpp"

#include <cadical.hpp>

namespace {

// Per variable: for an existential, the number of universals before it; for
// a universal, its index. Per existential: the number of its first copy.
struct Copies {
    GrowArray<uint32_t> depth;
    GrowArray<uint32_t> base;
    uint32_t next = 1;
    uint64_t total = 0; // copies of all existentials, which may not fit next

    Copies(const Remaining& formula, Solver& solver) {
        uint32_t k = uint32_t(formula.universals.size());
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
            total += uint64_t{1} << u;
        }
    }

    // The universals a clause's copies are made for: those before its
    // innermost existential, and its own (a clause of universals only is
    // false where they all are).
    uint32_t scope(const std::vector<int32_t>& c, Solver& solver) {
        uint32_t m = 0;
        for (int32_t l : c) {
            uint32_t d = depth[var(l)] + (solver.isExistential(var(l)) ? 0 : 1);
            if (d > m) m = d;
        }
        return m;
    }
};

} // namespace

uint64_t expandedLiteralCount(const Remaining& formula, Solver& solver) {
    if (formula.universals.size() > 30) return UINT64_MAX;
    Copies copies(formula, solver);
    // Every copy is a variable of the SAT solver, which costs it far more
    // than a literal; the count also keeps the copy numbers within 31 bits.
    if (copies.total >= (uint64_t{1} << 31) / 8) return UINT64_MAX;
    uint64_t n = 8 * copies.total;
    for (const auto& c : formula.clauses) {
        // A copy is made only where every universal literal of c is false.
        uint32_t existentials = 0;
        for (int32_t l : c)
            existentials += solver.isExistential(var(l));
        uint32_t fixed = uint32_t(c.size()) - existentials;
        n += uint64_t{existentials} << (copies.scope(c, solver) - fixed);
    }
    return n;
}

bool expandedSatisfiable(const Remaining& formula, Solver& solver) {
    Copies copies(formula, solver);
    GrowArray<uint32_t>& depth = copies.depth;
    CaDiCaL::Solver sat;
    sat.set("quiet", 1); // it would report clauses false at the root on standard output
    sat.reserve(int(copies.next));
    for (const auto& c : formula.clauses) {
        uint32_t m = copies.scope(c, solver);
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
                int32_t copy = int32_t(copies.base[v] + (bits & ((uint32_t{1} << depth[v]) - 1)));
                sat.add(l > 0 ? copy : -copy);
            }
            sat.add(0);
        }
    }
    return sat.solve() == 10;
}
