// The refutation written for a false formula: the resolution steps that the
// final clause depends on, found by walking the recorded parents back to the
// input clauses. Both walks use explicit stacks, since derivations can be
// far deeper than the call stack.
//
// After universal expansion the recorded steps are over copies; they are
// recomputed over the input clauses, with every pivot mapped back to the
// variable it was copied from, and a step whose recomputed resolvent would
// be a tautology is rotated below the steps that use it.

#include "store/solver.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <vector>

namespace {

bool emptyStep(const ResolutionStep& s) {
    return s.parentA == 0 && s.parentB == 0;
}

using Dependents = std::map<uint32_t, std::vector<uint32_t>>;

// The sign of the literal on v in c: +1, -1, or 0 when c has none.
int signOn(const Clause* c, Variable v) {
    for (uint32_t i = 0; i < c->size; ++i)
        if (var(c->literals[i]) == v) return c->literals[i] > 0 ? 1 : -1;
    return 0;
}

} // namespace

void Solver::writeRefutation(const Clause* finalClause) {
    GrowArray<ResolutionStep> requiredSteps;
    collectRequiredSteps(finalClause->id, requiredSteps);
    if (expansionPossible()) removeTautologies(finalClause->id, requiredSteps);
    // The block is known only once loading is over.
    if (qdimacsOutput && (loading || outermostUniversal))
        recordRefutedClause(finalClause->id, requiredSteps);
    certificate.close();
    startCertificate();
    uint32_t n = writeResolutionSteps(requiredSteps, finalClause->id);
    writeConclusion(false, n);
}

void Solver::collectRequiredSteps(uint32_t finalId, GrowArray<ResolutionStep>& requiredSteps) {
    if (showProgress) std::cout << "Calculating required resolvents..." << std::endl;
    requiredSteps[finalId];
    GrowArray<uint8_t> visited;
    std::vector<uint32_t> stack{finalId};
    while (!stack.empty()) {
        uint32_t id = stack.back();
        stack.pop_back();
        if (visited[id]) continue;
        visited[id] = 1;
        ResolutionStep step = resolutionParents.get(id);
        requiredSteps[id] = step;
        if (step.parentB != 0) stack.push_back(step.parentB);
        if (step.parentA != 0) stack.push_back(step.parentA);
    }
}

Variable Solver::rootVariable(Variable v) {
    while (substitution[v].origin != 0 && substitution[v].origin != v)
        v = substitution[v].origin;
    return v;
}

bool Solver::isTautologicalResolvent(const Clause* a, const Clause* b, Variable pivot) const {
    for (uint32_t i = 0; i < a->size; ++i) {
        Literal l = a->literals[i];
        if (var(l) == pivot) continue;
        for (uint32_t j = 0; j < b->size; ++j)
            if (b->literals[j] == -l) return true;
    }
    return false;
}

Clause* Solver::resolveOnPivot(const Clause* a, const Clause* b, Variable pivot, bool reduce) {
    int sa = signOn(a, pivot);
    int sb = signOn(b, pivot);
    if (sa == 0 || sb != -sa)
        throw SolverException{{"BUG: Illegal pivot variable for resolution."}};
    literalBuffer.resize(a->size + b->size);
    Literal* out = literalBuffer.data;
    uint32_t k = 0;
    uint32_t i = 0;
    uint32_t j = 0;
    auto take = [&](Literal l) {
        if (var(l) != pivot && (k == 0 || out[k - 1] != l)) out[k++] = l;
    };
    while (i < a->size || j < b->size) {
        if (i == a->size)
            take(b->literals[j++]);
        else if (j == b->size)
            take(a->literals[i++]);
        else if (position(var(b->literals[j])) < position(var(a->literals[i])))
            take(b->literals[j++]);
        else
            take(a->literals[i++]);
    }
    while (reduce && k > 0 && !isExistential(var(out[k - 1])))
        --k;
    return newClause(k, out);
}

void Solver::removeTautologies(uint32_t finalId, GrowArray<ResolutionStep>& requiredSteps) {
    // Who uses each clause of the derivation.
    if (showProgress) std::cout << "Finding resolution dependencies..." << std::endl;
    Dependents dependents;
    std::vector<uint32_t> stack{finalId};
    while (!stack.empty()) {
        uint32_t c = stack.back();
        stack.pop_back();
        ResolutionStep step = resolutionParents.get(c);
        if (emptyStep(step)) continue;
        for (uint32_t parent : {step.parentB, step.parentA}) {
            std::vector<uint32_t>& list = dependents[parent];
            if (std::find(list.begin(), list.end(), c) == list.end()) {
                stack.push_back(parent);
                list.push_back(c);
            }
        }
    }

    std::vector<Clause*> resolvents; // recomputed clause per id, or null
    std::vector<uint32_t> tautologicalSteps;
    auto clauseOf = [&](uint32_t id) -> Clause* {
        return id < resolvents.size() ? resolvents[id] : nullptr;
    };
    auto setClause = [&](uint32_t id, Clause* c) {
        if (id >= resolvents.size()) resolvents.resize(id + 1, nullptr);
        if (resolvents[id]) {
            Clause* old = resolvents[id];
            releaseClause(old);
        }
        resolvents[id] = c;
    };

    // Who uses each clause in requiredSteps. After the first pass, a pass
    // looks only at the users of the clauses the previous one computed and at
    // the steps a repair rewrote: no other step can have become computable.
    std::vector<std::vector<uint32_t>> users(requiredSteps.capacity);
    auto addUser = [&](uint32_t parent, uint32_t id) {
        if (parent >= users.size()) users.resize(parent + 1);
        users[parent].push_back(id);
    };
    for (uint32_t id = 0; id < requiredSteps.capacity; ++id) {
        ResolutionStep step = requiredSteps.data[id];
        if (emptyStep(step)) continue;
        addUser(step.parentA, id);
        addUser(step.parentB, id);
    }
    bool firstPass = true;
    std::vector<uint32_t> candidates;

    for (;;) {
        // Recompute in passes: a pass uses only clauses of earlier passes.
        if (showProgress) std::cout << "Calculating resolvents..." << std::endl;
        while (tautologicalSteps.empty()) {
            if (firstPass) {
                candidates.clear();
                for (uint32_t id = 0; id < requiredSteps.capacity; ++id)
                    candidates.push_back(id);
                firstPass = false;
            } else {
                std::sort(candidates.begin(), candidates.end());
                candidates.erase(std::unique(candidates.begin(), candidates.end()),
                                 candidates.end());
            }
            std::vector<uint32_t> pass;
            pass.swap(candidates);
            std::vector<std::pair<uint32_t, Clause*>> fresh;
            for (uint32_t id : pass) {
                if (id >= requiredSteps.capacity || clauseOf(id)) continue;
                ResolutionStep step = requiredSteps.data[id];
                if (emptyStep(step)) {
                    if (id <= lastInputClauseId && inputClauseCopies.get(id)) {
                        const Clause* in = inputClauseCopies.data[id];
                        fresh.emplace_back(id, newClause(in->size, in->literals));
                    }
                    continue;
                }
                Clause* b = clauseOf(step.parentB);
                Clause* a = clauseOf(step.parentA);
                if (!a || !b) continue;
                Variable p = rootVariable(step.pivot);
                if (isTautologicalResolvent(b, a, p))
                    tautologicalSteps.push_back(id);
                else
                    fresh.emplace_back(id, resolveOnPivot(b, a, p));
            }
            if (fresh.empty()) break;
            for (auto& [id, c] : fresh) {
                setClause(id, c);
                if (id < users.size())
                    candidates.insert(candidates.end(), users[id].begin(), users[id].end());
            }
        }
        if (tautologicalSteps.empty()) break;

        fixedTautologies += uint32_t(tautologicalSteps.size());
        if (showProgress)
            std::cout << "Fixing " << tautologicalSteps.size() << " tautologies..." << std::endl;
        while (!tautologicalSteps.empty()) {
            uint32_t t = tautologicalSteps.back();
            tautologicalSteps.pop_back();
            ResolutionStep ts = resolutionParents[t];
            Variable pt = rootVariable(ts.pivot);
            std::vector<uint32_t> users = dependents[t];
            for (uint32_t c : users) {
                ResolutionStep cs = resolutionParents[c];
                uint32_t other = cs.parentB != t ? cs.parentB : cs.parentA;
                Variable q = rootVariable(cs.pivot);
                // Resolve the other parent of c with one side of t first.
                auto rotate = [&](uint32_t side) -> uint32_t {
                    Clause* s = clauseOf(side);
                    Clause* o = clauseOf(other);
                    if (!s || !o || signOn(s, q) != -signOn(o, q) ||
                        isTautologicalResolvent(s, o, q))
                        return side;
                    uint32_t n = nextClauseId++;
                    ResolutionStep ns{other, side, q};
                    resolutionParents[n] = ns;
                    requiredSteps[n] = ns;
                    addUser(other, n);
                    addUser(side, n);
                    candidates.push_back(n);
                    dependents[n].push_back(c);
                    std::vector<uint32_t>& list = dependents[side];
                    auto at = std::find(list.begin(), list.end(), t);
                    if (at != list.end())
                        *at = n;
                    else
                        list.push_back(n);
                    return n;
                };
                uint32_t x = rotate(ts.parentB);
                uint32_t y = rotate(ts.parentA);
                ResolutionStep rewritten{y, x, pt};
                resolutionParents[c] = rewritten;
                requiredSteps[c] = rewritten;
                addUser(x, c);
                addUser(y, c);
                candidates.push_back(c);
                if (c < resolvents.size() && resolvents[c]) setClause(c, nullptr);
            }
            resolutionParents[t] = ResolutionStep{};
            requiredSteps[t] = ResolutionStep{};
        }
    }
    if (!certificateFileName.empty())
        std::cout << "Fixed Tautologies: " << fixedTautologies << std::endl;
    for (Clause* c : resolvents)
        if (c) releaseClause(c);
}

uint32_t Solver::writeResolutionSteps(GrowArray<ResolutionStep>& requiredSteps, uint32_t finalId) {
    for (uint32_t i = 1; i <= requiredSteps.capacity; ++i) {
        ResolutionStep s = requiredSteps.data[i - 1];
        if (!emptyStep(s)) certificate.writeStep(i, s.parentB + 1, s.parentA + 1);
    }
    return finalId + 1;
}
