// Deciding a remainder with few universals by expanding all of them into one
// CNF for the SAT solver. The copies are built here, outside the store: each
// existential gets one copy per assignment of the universals before it, and
// each clause one copy per assignment of the universals its variables depend
// on, so no copy is made twice and no subsumption walk is needed.

#include "hybrid/remaining.hpp"

#include "driver/exceptions.hpp"

#include <algorithm>
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

// A refutation of the copies lifts to Q-resolution when every resolution on
// an outer variable combines clauses of one universal assignment only: the
// universal literals the copies dropped are then all false under that
// assignment and never clash. For a remainder exists X, forall U, exists Z
// the copies are found that way, by abstraction over X: a candidate X* is
// refuted under one assignment of U at a time, its failed assumptions give a
// clause over X whose derivation lies inside that assignment's copies, and
// the clauses over X are refuted together at the end.
namespace {

constexpr uint8_t outerVar = 1, innerVar = 2, middleVar = 3, universalVar = 4;

struct OuterRefuter {
    const Remaining& formula;
    Solver& solver;
    uint32_t k = 0;               // universals
    std::vector<uint8_t> kind;    // per variable
    std::vector<uint32_t> dense;  // per variable: outer 1.., inner 0.., universal bit
    std::vector<Variable> outer;  // by dense number - 1
    uint32_t innerCount = 0;
    std::vector<uint32_t> inner;  // clauses with an inner literal
    std::vector<uint32_t> shallow; // the others, over X after universal reduction
    std::vector<uint32_t> mask, falseBits; // per clause: its universals, and their false values

    OuterRefuter(const Remaining& formula, Solver& solver) : formula(formula), solver(solver) {}

    bool prepare() {
        if (formula.universals.empty() || solver.expansionCount > 0) return false;
        k = uint32_t(formula.universals.size());
        if (k > 24) return false;
        kind.assign(solver.lastVar + 1, 0);
        dense.assign(solver.lastVar + 1, 0);
        uint32_t first = solver.position(formula.universals.front());
        uint32_t last = solver.position(formula.universals.back());
        for (uint32_t i = 0; i < k; ++i) {
            kind[formula.universals[i]] = universalVar;
            dense[formula.universals[i]] = i;
        }
        for (Variable y : formula.existentials) {
            uint32_t p = solver.position(y);
            if (p < first) {
                kind[y] = outerVar;
                outer.push_back(y);
                dense[y] = uint32_t(outer.size());
            } else if (p > last) {
                kind[y] = innerVar;
                dense[y] = innerCount++;
            } else {
                kind[y] = middleVar;
            }
        }
        if (uint64_t(outer.size()) + (uint64_t(innerCount) + 1) * (uint64_t{1} << k) >= INT32_MAX)
            return false;
        mask.assign(formula.clauses.size(), 0);
        falseBits.assign(formula.clauses.size(), 0);
        for (uint32_t i = 0; i < formula.clauses.size(); ++i) {
            bool deep = false;
            uint32_t trueBits = 0;
            for (int32_t l : formula.clauses[i]) {
                Variable v = var(l);
                if (v >= kind.size() || kind[v] == 0 || kind[v] == middleVar) return false;
                deep |= kind[v] == innerVar;
                if (kind[v] != universalVar) continue;
                mask[i] |= uint32_t{1} << dense[v];
                (l > 0 ? trueBits : falseBits[i]) |= uint32_t{1} << dense[v];
            }
            if (trueBits & falseBits[i]) continue; // a tautology in U: never copied
            (deep ? inner : shallow).push_back(i);
        }
        return true;
    }

    int32_t copyOf(int32_t l, uint32_t sigma) const {
        Variable v = var(l);
        int32_t d = kind[v] == outerVar
                        ? int32_t(dense[v])
                        : int32_t(outer.size() + (uint64_t(dense[v]) << k) + sigma + 1);
        return l > 0 ? d : -d;
    }
    int32_t activation(uint32_t sigma) const {
        return int32_t(outer.size() + (uint64_t(innerCount) << k) + sigma + 1);
    }
    bool copied(uint32_t i, uint32_t sigma) const { return (sigma & mask[i]) == falseBits[i]; }

    // The clause's existential literals over X (universal reduction removes
    // the rest of a clause without inner literals).
    std::vector<int32_t> outerPart(uint32_t i) const {
        std::vector<int32_t> c;
        for (int32_t l : formula.clauses[i])
            if (kind[var(l)] == outerVar) c.push_back(l);
        return c;
    }

    bool run() {
        uint32_t all = (uint32_t{1} << k) - 1;
        CaDiCaL::Solver copies;
        copies.set("quiet", 1);
        // Inprocessing between the many short incremental calls costs more
        // than it saves: about twice the refinement rounds, a third of the time.
        copies.set("inprocessing", 0);
        copies.reserve(activation(all));
        for (uint32_t i : inner) {
            uint32_t free = all & ~mask[i];
            for (uint32_t s = free;; s = (s - 1) & free) {
                uint32_t sigma = s | falseBits[i];
                for (int32_t l : formula.clauses[i])
                    if (kind[var(l)] != universalVar) copies.add(copyOf(l, sigma));
                copies.add(-activation(sigma));
                copies.add(0);
                if (s == 0) break;
            }
        }
        // The abstraction over X, in the solver's own literals.
        CaDiCaL::Solver abstraction;
        abstraction.set("quiet", 1);
        abstraction.reserve(int(solver.lastVar));
        std::vector<std::vector<int32_t>> outerClauses;
        for (uint32_t i : shallow) {
            outerClauses.push_back(outerPart(i));
            for (int32_t l : outerClauses.back())
                abstraction.add(l);
            abstraction.add(0);
        }
        std::vector<uint32_t> lemmaCopy; // the assignment of U each learned clause came from
        std::vector<int32_t> candidate, failedCopies;
        while (abstraction.solve() == 10) {
            candidate.clear();
            for (Variable x : outer)
                candidate.push_back(abstraction.val(int(x)) > 0 ? int32_t(x) : -int32_t(x));
            for (int32_t l : candidate)
                copies.assume(copyOf(l, 0));
            for (uint32_t sigma = 0; sigma <= all; ++sigma)
                copies.assume(activation(sigma));
            if (copies.solve() == 10) return false; // true after all
            failedCopies.clear();
            for (uint32_t sigma = 0; sigma <= all; ++sigma)
                if (copies.failed(activation(sigma))) failedCopies.push_back(int32_t(sigma));
            bool learned = false;
            for (int32_t sigma : failedCopies) {
                // With one copy failed, the failed literals are already its core.
                if (failedCopies.size() > 1) {
                    for (int32_t l : candidate)
                        copies.assume(copyOf(l, 0));
                    copies.assume(activation(uint32_t(sigma)));
                    if (copies.solve() != 20) continue;
                }
                std::vector<int32_t> lemma;
                for (int32_t l : candidate)
                    if (copies.failed(copyOf(l, 0))) lemma.push_back(-l);
                for (int32_t l : lemma)
                    abstraction.add(l);
                abstraction.add(0);
                outerClauses.push_back(std::move(lemma));
                lemmaCopy.push_back(uint32_t(sigma));
                learned = true;
                break;
            }
            if (!learned) return false;
        }
        conclude(outerClauses, lemmaCopy);
        return true;
    }

    // Derives a subset of the learned clause from the copies of one
    // assignment of U, in the trace; returns its id and sets its literals.
    uint32_t deriveLemma(std::vector<int32_t>& lemma, uint32_t sigma) {
        std::vector<int8_t> inLemma(solver.lastVar + 1, 0);
        for (int32_t l : lemma)
            inLemma[var(l)] = l > 0 ? 1 : -1;
        std::vector<std::vector<int32_t>> restricted;
        std::vector<uint32_t> ids;
        std::vector<std::vector<int32_t>> lifted; // existential literals, sorted by variable
        for (uint32_t i : inner) {
            if (!copied(i, sigma)) continue;
            std::vector<int32_t> rest, full;
            bool satisfied = false;
            for (int32_t l : formula.clauses[i]) {
                Variable v = var(l);
                if (kind[v] == universalVar) continue;
                full.push_back(l);
                if (kind[v] == outerVar && inLemma[v] != 0) {
                    if (inLemma[v] != (l > 0 ? 1 : -1)) satisfied = true;
                    continue;
                }
                rest.push_back(l);
            }
            if (satisfied) continue;
            std::sort(full.begin(), full.end(), [](int32_t a, int32_t b) { return var(a) < var(b); });
            restricted.push_back(std::move(rest));
            ids.push_back(formula.ids[i]);
            lifted.push_back(std::move(full));
        }
        auto refutation = proof::refute(restricted);
        if (!refutation) throw SolverException{{"BUG: expansion lemma not refuted."}};
        for (const proof::Step& s : refutation->steps)
            lifted.push_back(resolve(lifted[s.parentA], lifted[s.parentB], s.pivot));
        lemma = lifted[refutation->emptyClause];
        for (int32_t l : lemma)
            if (kind[var(l)] != outerVar || inLemma[var(l)] != (l > 0 ? 1 : -1))
                throw SolverException{{"BUG: expansion lemma lifts to a wider clause."}};
        return recordSteps(solver, std::move(ids), *refutation);
    }

    // The resolvent as the checker computes it, existential literals only.
    static std::vector<int32_t> resolve(const std::vector<int32_t>& a, const std::vector<int32_t>& b,
                                        int32_t pivot) {
        std::vector<int32_t> r;
        size_t i = 0, j = 0;
        uint32_t clashes = 0;
        bool pivotClash = false;
        while (i < a.size() || j < b.size()) {
            uint32_t va = i < a.size() ? var(a[i]) : UINT32_MAX;
            uint32_t vb = j < b.size() ? var(b[j]) : UINT32_MAX;
            if (va < vb) {
                r.push_back(a[i++]);
            } else if (vb < va) {
                r.push_back(b[j++]);
            } else if (a[i] == b[j]) {
                r.push_back(a[i]);
                ++i, ++j;
            } else {
                ++clashes;
                pivotClash |= a[i] == pivot;
                ++i, ++j;
            }
        }
        if (clashes != 1 || !pivotClash)
            throw SolverException{{"BUG: Illegal pivot variable for resolution."}};
        return r;
    }

    void conclude(const std::vector<std::vector<int32_t>>& outerClauses,
                  const std::vector<uint32_t>& lemmaCopy) {
        auto refutation = proof::refute(outerClauses);
        if (!refutation) throw SolverException{{"BUG: expansion abstraction not refuted."}};
        std::vector<uint8_t> used(outerClauses.size(), 0);
        if (refutation->emptyClause < used.size()) used[refutation->emptyClause] = 1;
        for (const proof::Step& s : refutation->steps)
            for (uint32_t p : {s.parentA, s.parentB})
                if (p < used.size()) used[p] = 1;
        // The clauses over X as derived: the lemmas may come out narrower.
        std::vector<std::vector<int32_t>> derived;
        std::vector<uint32_t> derivedIds, ids(outerClauses.size(), 0);
        bool narrowed = false;
        for (size_t j = 0; j < outerClauses.size(); ++j) {
            if (j >= shallow.size() && !used[j]) continue;
            derived.push_back(outerClauses[j]);
            ids[j] = j < shallow.size()
                         ? formula.ids[shallow[j]]
                         : deriveLemma(derived.back(), lemmaCopy[j - shallow.size()]);
            narrowed |= derived.back().size() != outerClauses[j].size();
            derivedIds.push_back(ids[j]);
        }
        // A narrower clause may lack a pivot of the first refutation.
        if (narrowed) {
            refutation = proof::refute(derived);
            if (!refutation) throw SolverException{{"BUG: narrowed lemmas not refuted."}};
            ids = std::move(derivedIds);
        }
        concludeRefutation(solver, recordSteps(solver, std::move(ids), *refutation));
        solver.consistent = false;
    }
};

} // namespace

bool refuteExpanded(const Remaining& formula, Solver& solver) {
    OuterRefuter refuter(formula, solver);
    return refuter.prepare() && refuter.run();
}
