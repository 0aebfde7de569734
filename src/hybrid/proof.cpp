// Resolution refutations from CaDiCaL. The library writes DRAT proofs, whose
// lemmas are reverse-unit-propagation steps, so the proof is replayed in
// three passes. A forward pass adds clauses and lemmas one by one, propagating
// at the top level, until the top level conflicts. A backward pass from that
// conflict re-derives each lemma the conflict needs by propagating its
// negation over the clauses before it; the conflict analysis lists the reason
// clauses it visits, in trail order, and marks them needed. A last forward
// pass turns each such list into a chain of binary resolutions, each
// resolvent non-tautological because both sides are falsified apart from the
// pivot. Deletions in the proof are ignored: what follows by propagation from
// some clauses follows from more of them.
//
// A chain may derive a subset of its lemma. A later chain that uses it then
// finds that clause falsified rather than unit and takes it as its conflict,
// so chains are computed over the clauses as derived, not as written.
//
// CaDiCaL is the one SAT library the solver depends on, and its binary DRAT
// is compact and cheap to parse. PicoSAT can trace the antecedents of its
// learned clauses instead, but unordered, so they would need this replay
// too, and it solves the large expansions this serves about 2.5 times
// slower than CaDiCaL.

#include "hybrid/proof.hpp"

#include "driver/exceptions.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cstdio>
#include <memory>
#include <unordered_map>

namespace proof {

namespace {

using Lit = uint32_t; // 2 * variable + 1 when negative, as in binary DRAT

constexpr uint32_t none = UINT32_MAX;

Lit encode(int32_t lit) {
    return lit > 0 ? 2u * uint32_t(lit) : 2u * uint32_t(-lit) + 1;
}
uint32_t var(Lit u) {
    return u >> 1;
}

// Input clauses then lemmas, each a run of literals in one array.
struct ClauseStore {
    std::vector<Lit> literals;
    std::vector<uint64_t> start;
    std::vector<uint32_t> size;

    void add(const Lit* first, uint32_t n) {
        start.push_back(literals.size());
        size.push_back(n);
        literals.insert(literals.end(), first, first + n);
    }
    uint32_t count() const { return uint32_t(start.size()); }
    Lit* begin(uint32_t c) { return literals.data() + start[c]; }
    Lit* end(uint32_t c) { return begin(c) + size[c]; }
};

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

// Reads the lemmas of a binary DRAT proof into the store; deletions are skipped.
bool readProof(FILE* file, ClauseStore& store, uint32_t varCount) {
    std::vector<Lit> lemma;
    for (int kind; (kind = getc_unlocked(file)) != EOF;) {
        if (kind != 'a' && kind != 'd') return false;
        lemma.clear();
        for (;;) {
            uint64_t value = 0;
            int shift = 0, byte;
            do {
                if ((byte = getc_unlocked(file)) == EOF || shift > 28) return false;
                value |= uint64_t(byte & 0x7f) << shift;
                shift += 7;
            } while (byte & 0x80);
            if (value == 0) break;
            if (var(Lit(value)) == 0 || var(Lit(value)) > varCount) return false;
            lemma.push_back(Lit(value));
        }
        if (kind == 'a') store.add(lemma.data(), uint32_t(lemma.size()));
    }
    return true;
}

class Replay {
  public:
    Replay(ClauseStore& store, uint32_t inputCount, uint32_t varCount)
        : store(store), inputCount(inputCount), value(2 * size_t(varCount) + 2, 0),
          position(varCount + 1), reason(varCount + 1, none), seen(varCount + 1, 0),
          assumed(varCount + 1, 0), watches(2 * size_t(varCount) + 2), coreWatches(watches.size()) {
    }

    // Adds clauses in order until the top level conflicts; false if it never does.
    bool forward() {
        uint32_t total = store.count();
        trailAt.resize(total);
        needed.assign(total, 0);
        for (uint32_t c = 0; c < total; ++c) {
            trailAt[c] = uint32_t(trail.size());
            limit = c + 1;
            uint32_t conflict = attach(c);
            if (conflict == none) conflict = propagate();
            if (conflict != none) {
                finalIndex = c;
                analyse(conflict, finalHints);
                return true;
            }
        }
        return false;
    }

    // Records, for every lemma the conclusion needs, the clauses its
    // propagation uses; false if a needed lemma does not propagate to a conflict.
    bool backward() {
        hintStart.assign(finalIndex + 1, 0);
        hintCount.assign(finalIndex + 1, 0);
        std::vector<uint32_t> hints;
        for (uint32_t c = finalIndex + 1; c-- > inputCount;) {
            undo(trailAt[c]);
            limit = c;
            if (!needed[c]) continue;
            hints.clear();
            if (!check(c, hints)) return false;
            hintStart[c] = hintArena.size();
            hintCount[c] = uint32_t(hints.size());
            hintArena.insert(hintArena.end(), hints.begin(), hints.end());
        }
        undo(0);
        return true;
    }

    // Turns the hint lists into resolution chains; step k gets id base + k.
    std::optional<Refutation> chains(const std::vector<uint32_t>& origin, uint32_t idBase) {
        base = idBase;
        outId.assign(store.count(), none);
        for (uint32_t c = 0; c < inputCount; ++c)
            outId[c] = origin[c];
        for (uint32_t c = inputCount; c <= finalIndex; ++c) {
            if (!needed[c]) continue;
            if (!chain(c, hintArena.data() + hintStart[c], hintCount[c])) return std::nullopt;
            if (store.size[c] == 0) return prune(outId[c]);
        }
        uint32_t c = store.count();
        store.add(nullptr, 0);
        needed.push_back(1);
        outId.push_back(none);
        if (!chain(c, finalHints.data(), uint32_t(finalHints.size())) || store.size[c] != 0)
            return std::nullopt;
        return prune(outId[c]);
    }

  private:
    struct Watch {
        uint32_t clause;
        Lit blocker;
    };

    ClauseStore& store;
    uint32_t inputCount;
    uint32_t finalIndex = 0;        // the clause whose addition made the top level conflict
    uint32_t limit = 0;             // clauses [0, limit) take part in propagation
    std::vector<int8_t> value;      // per literal: 1 true, -1 false, 0 unassigned
    std::vector<uint32_t> position; // per variable: index on the trail
    std::vector<uint32_t> reason;   // per variable: the implying clause, none for assumptions
    std::vector<uint8_t> seen;      // per variable: scratch of the conflict analysis
    std::vector<uint8_t> assumed;   // per variable: occurs in the lemma being checked
    std::vector<std::vector<Watch>> watches;     // per literal: clauses watching it
    std::vector<std::vector<Watch>> coreWatches; // the same for needed clauses
    std::vector<Lit> trail;
    size_t corePropagated = 0;     // trail entries whose watches were visited (needed clauses)
    size_t propagated = 0;         // trail entries whose watches were visited (all clauses)
    std::vector<uint32_t> trailAt; // per clause: trail length when it was added
    std::vector<uint8_t> needed;   // per clause: used by the refutation
    std::vector<uint32_t> finalHints;
    std::vector<uint64_t> hintStart; // per lemma: its hints in hintArena
    std::vector<uint32_t> hintCount;
    std::vector<uint32_t> hintArena;
    std::vector<uint32_t> outId; // per clause: the index of its derivation
    std::vector<Step> steps;
    uint32_t base = 0;

    void assign(Lit u, uint32_t why) {
        value[u] = 1;
        value[u ^ 1] = -1;
        position[var(u)] = uint32_t(trail.size());
        reason[var(u)] = why;
        trail.push_back(u);
    }

    void undo(size_t length) {
        while (trail.size() > length) {
            Lit u = trail.back();
            trail.pop_back();
            value[u] = value[u ^ 1] = 0;
        }
        propagated = std::min(propagated, length);
        corePropagated = std::min(corePropagated, length);
    }

    // Watches clause c and returns it if it conflicts at once. The watches
    // are the non-false literals if there are two, else the non-false one
    // and the false one assigned last, so that undoing the trail in order
    // keeps every watch invariant.
    uint32_t attach(uint32_t c) {
        Lit* lits = store.begin(c);
        uint32_t n = store.size[c];
        if (n == 0) return c;
        auto rank = [&](Lit u) -> uint64_t {
            return value[u] >= 0 ? UINT64_MAX : uint64_t(position[var(u)]);
        };
        for (uint32_t w = 0; w < std::min(n, 2u); ++w)
            for (uint32_t k = w + 1; k < n; ++k)
                if (rank(lits[k]) > rank(lits[w])) std::swap(lits[k], lits[w]);
        if (n == 1) {
            if (value[lits[0]] < 0) return c;
            if (value[lits[0]] == 0) assign(lits[0], c);
            return none;
        }
        watchList(c, lits[0]).push_back({c, lits[1]});
        watchList(c, lits[1]).push_back({c, lits[0]});
        if (value[lits[0]] < 0) return c;
        if (value[lits[0]] == 0 && value[lits[1]] < 0) assign(lits[0], c);
        return none;
    }

    // Unit propagation over the clauses below limit; returns a conflicting
    // clause or none. Needed clauses propagate first and the others only
    // when the needed ones are done, so that conflicts reuse what the
    // refutation has anyway: this keeps proofs and checking small.
    uint32_t propagate() {
        for (;;) {
            while (corePropagated < trail.size()) {
                uint32_t conflict = visit<true>(trail[corePropagated++] ^ 1);
                if (conflict != none) return conflict;
            }
            if (propagated == trail.size()) return none;
            uint32_t conflict = visit<false>(trail[propagated++] ^ 1);
            if (conflict != none) return conflict;
        }
    }

    std::vector<Watch>& watchList(uint32_t c, Lit u) {
        return needed[c] ? coreWatches[u] : watches[u];
    }

    // Visits the watches of a falsified literal in the needed clauses' lists
    // or in the others'. A clause found needed in the others' lists moves to
    // the needed ones. Watches of clauses at or past limit are dropped: the
    // backward pass only ever lowers limit.
    template <bool core> uint32_t visit(Lit falsified) {
        std::vector<Watch>& list = core ? coreWatches[falsified] : watches[falsified];
        size_t i = 0, j = 0;
        uint32_t conflict = none;
        for (; i < list.size(); ++i) {
            Watch w = list[i];
            if (w.clause >= limit) continue;
            if (value[w.blocker] > 0) {
                list[j++] = w;
                continue;
            }
            bool moved = !core && needed[w.clause];
            Lit* lits = store.begin(w.clause);
            uint32_t n = store.size[w.clause];
            if (lits[0] == falsified) std::swap(lits[0], lits[1]);
            Lit other = lits[0];
            if (other != w.blocker && value[other] > 0) {
                w.blocker = other;
                (moved ? coreWatches[falsified].push_back(w) : void(list[j++] = w));
                continue;
            }
            uint32_t k = 2;
            while (k < n && value[lits[k]] < 0)
                ++k;
            if (k < n) {
                std::swap(lits[1], lits[k]);
                watchList(w.clause, lits[1]).push_back({w.clause, other});
                continue;
            }
            (moved ? coreWatches[falsified].push_back(w) : void(list[j++] = w));
            if (value[other] < 0) {
                conflict = w.clause;
                ++i;
                break;
            }
            assign(other, w.clause);
        }
        for (; i < list.size(); ++i)
            list[j++] = list[i];
        list.resize(j);
        return conflict;
    }

    // Propagates the negation of lemma c over the clauses before it and
    // collects the hints of the conflict; the trail is left as it was.
    bool check(uint32_t c, std::vector<uint32_t>& hints) {
        size_t topLevel = trail.size();
        for (Lit* u = store.begin(c); u != store.end(c); ++u)
            assumed[var(*u)] = 1;
        uint32_t conflict = none;
        for (Lit* u = store.begin(c); u != store.end(c) && conflict == none; ++u)
            if (value[*u] > 0)
                conflict = reason[var(*u)]; // the lemma holds at the top level
            else if (value[*u] == 0)
                assign(*u ^ 1, none);
        if (conflict == none) conflict = propagate();
        if (conflict != none) analyse(conflict, hints);
        for (Lit* u = store.begin(c); u != store.end(c); ++u)
            assumed[var(*u)] = 0;
        undo(topLevel);
        return conflict != none;
    }

    // The reasons behind the conflict in trail order, then the conflict.
    void analyse(uint32_t conflict, std::vector<uint32_t>& hints) {
        std::vector<uint32_t> heap, visited;
        auto visit = [&](uint32_t c, Lit skip) {
            needed[c] = 1;
            for (Lit* u = store.begin(c); u != store.end(c); ++u) {
                uint32_t v = var(*u);
                if (*u == skip || seen[v] || assumed[v]) continue;
                seen[v] = 1;
                visited.push_back(v);
                heap.push_back(position[v]);
                std::push_heap(heap.begin(), heap.end());
            }
        };
        visit(conflict, none);
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end());
            Lit u = trail[heap.back()];
            heap.pop_back();
            hints.push_back(reason[var(u)]);
            visit(reason[var(u)], u);
        }
        for (uint32_t v : visited)
            seen[v] = 0;
        std::reverse(hints.begin(), hints.end());
        hints.push_back(conflict);
    }

    // Replays the hints of lemma c under its negation and resolves them into
    // the lemma (or a subset), which replaces the lemma's literals.
    bool chain(uint32_t c, const uint32_t* hints, uint32_t hintTotal) {
        std::vector<Lit> assumptions(store.begin(c), store.end(c));
        for (Lit u : assumptions)
            if (value[u] == 0) {
                value[u] = -1;
                value[u ^ 1] = 1;
                trail.push_back(u ^ 1);
            }
        size_t assumptionCount = trail.size();
        uint32_t conflict = none;
        bool valid = true;
        for (uint32_t h = 0; h < hintTotal && valid; ++h) {
            uint32_t d = hints[h];
            Lit open = 0;
            uint32_t opens = 0;
            for (Lit* u = store.begin(d); u != store.end(d); ++u)
                if (value[*u] >= 0) {
                    open = *u;
                    ++opens;
                }
            if (opens == 0) {
                conflict = d;
                break;
            }
            if (opens > 1)
                valid = false;
            else if (value[open] == 0) {
                value[open] = 1;
                value[open ^ 1] = -1;
                reason[var(open)] = d;
                trail.push_back(open);
            }
        }
        valid = valid && conflict != none;
        std::vector<Lit> resolvent;
        if (valid) resolve(c, conflict, assumptionCount, resolvent);
        for (Lit u : trail)
            value[u] = value[u ^ 1] = 0;
        trail.clear();
        if (!valid) return false;
        std::copy(resolvent.begin(), resolvent.end(), store.begin(c));
        store.size[c] = uint32_t(resolvent.size());
        return true;
    }

    // Resolves the conflict clause with the reasons of the trail entries
    // from the last down to the assumptions, recording one step each.
    void resolve(uint32_t c, uint32_t conflict, size_t assumptionCount,
                 std::vector<Lit>& resolvent) {
        std::vector<Lit> members;
        auto add = [&](uint32_t d, Lit skip) {
            for (Lit* u = store.begin(d); u != store.end(d); ++u)
                if (*u != skip && !seen[var(*u)]) {
                    seen[var(*u)] = 1;
                    members.push_back(*u);
                }
        };
        add(conflict, none);
        uint32_t current = outId[conflict];
        for (size_t k = trail.size(); k-- > assumptionCount;) {
            Lit u = trail[k];
            if (!seen[var(u)]) continue;
            uint32_t d = reason[var(u)];
            seen[var(u)] = 0;
            bool positive = (u & 1) == 0;
            steps.push_back(
                {positive ? outId[d] : current, positive ? current : outId[d], int32_t(var(u))});
            current = base + uint32_t(steps.size() - 1);
            add(d, u);
        }
        for (Lit u : members)
            if (seen[var(u)]) {
                seen[var(u)] = 0;
                resolvent.push_back(u);
            }
        outId[c] = current;
    }

    // Keeps the steps the empty clause depends on, renumbered in order.
    std::optional<Refutation> prune(uint32_t empty) {
        Refutation result{empty, {}};
        if (empty < base) return result;
        std::vector<uint8_t> keep(steps.size(), 0);
        std::vector<uint32_t> stack{empty - base};
        keep[empty - base] = 1;
        while (!stack.empty()) {
            const Step& s = steps[stack.back()];
            stack.pop_back();
            for (uint32_t parent : {s.parentA, s.parentB})
                if (parent >= base && !keep[parent - base]) {
                    keep[parent - base] = 1;
                    stack.push_back(parent - base);
                }
        }
        std::vector<uint32_t> renumbered(steps.size(), none);
        auto map = [&](uint32_t id) { return id < base ? id : renumbered[id - base]; };
        for (size_t k = 0; k < steps.size(); ++k) {
            if (!keep[k]) continue;
            renumbered[k] = base + uint32_t(result.steps.size());
            result.steps.push_back({map(steps[k].parentA), map(steps[k].parentB), steps[k].pivot});
        }
        result.emptyClause = map(empty);
        return result;
    }
};

// Solves with CaDiCaL and replays its proof; nullopt with refutation unset
// when the CNF is satisfiable, false when the proof could not be replayed.
bool solveAndReplay(ClauseStore& store, uint32_t varCount, const std::vector<uint32_t>& origin,
                    uint32_t idBase, bool plain, std::optional<Refutation>& refutation) {
    std::unique_ptr<FILE, FileCloser> file(tmpfile());
    if (!file) throw FileSystemException{{"cannot create a temporary file for the SAT proof"}};
    uint32_t inputCount = store.count();
    {
        CaDiCaL::Solver sat;
        sat.set("quiet", 1);
        sat.set("binary", 1);
        if (plain) sat.configure("plain");
        sat.trace_proof(file.get(), "proof");
        for (uint32_t c = 0; c < inputCount; ++c) {
            for (Lit* u = store.begin(c); u != store.end(c); ++u)
                sat.add(*u & 1 ? -int(var(*u)) : int(var(*u)));
            sat.add(0);
        }
        int result = sat.solve();
        if (result == 10) return true;
        if (result != 20) return false;
        sat.close_proof_trace();
    }
    rewind(file.get());
    if (!readProof(file.get(), store, varCount)) return false;
    file.reset();
    Replay replay(store, inputCount, varCount);
    if (!replay.forward() || !replay.backward()) return false;
    refutation = replay.chains(origin, idBase);
    return refutation.has_value();
}

} // namespace

std::optional<Refutation> refute(const std::vector<std::vector<int32_t>>& clauses) {
    // Dense variables for the SAT solver; a table when the numbers are not
    // too sparse, a hash map otherwise.
    size_t literalTotal = 0;
    uint32_t maxVariable = 0;
    for (const auto& clause : clauses) {
        literalTotal += clause.size();
        for (int32_t lit : clause)
            maxVariable = std::max(maxVariable, uint32_t(std::abs(lit)));
    }
    bool table = maxVariable <= 8 * literalTotal + 1024;
    std::vector<uint32_t> denseTable(table ? maxVariable + 1 : 0, 0);
    std::unordered_map<uint32_t, uint32_t> denseMap;
    std::vector<int32_t> original{0}; // per dense variable
    auto dense = [&](uint32_t v) {
        uint32_t& d = table ? denseTable[v] : denseMap[v];
        if (d == 0) {
            d = uint32_t(original.size());
            original.push_back(int32_t(v));
        }
        return d;
    };

    ClauseStore store;
    std::vector<uint32_t> origin; // per stored clause: its input index
    std::vector<uint32_t> stamp;  // per literal: 1 + the last clause it occurred in
    std::vector<Lit> lits;
    for (uint32_t i = 0; i < clauses.size(); ++i) {
        if (clauses[i].empty()) return Refutation{i, {}};
        lits.clear();
        bool tautology = false;
        for (int32_t lit : clauses[i]) {
            uint32_t d = dense(uint32_t(std::abs(lit)));
            Lit u = encode(lit > 0 ? int32_t(d) : -int32_t(d));
            if (stamp.size() <= (u | 1)) stamp.resize(2 * (u | 1) + 2, 0);
            if (stamp[u ^ 1] == i + 1) tautology = true;
            if (stamp[u] == i + 1) continue;
            stamp[u] = i + 1;
            lits.push_back(u);
        }
        if (tautology) continue;
        store.add(lits.data(), uint32_t(lits.size()));
        origin.push_back(i);
    }
    stamp = {};
    uint32_t varCount = uint32_t(original.size() - 1);
    uint32_t inputCount = store.count();

    std::optional<Refutation> refutation;
    for (bool plain : {false, true}) {
        store.literals.resize(store.start.size() > inputCount ? store.start[inputCount]
                                                              : store.literals.size());
        store.start.resize(inputCount);
        store.size.resize(inputCount);
        if (solveAndReplay(store, varCount, origin, uint32_t(clauses.size()), plain, refutation)) {
            if (refutation)
                for (Step& s : refutation->steps)
                    s.pivot = original[s.pivot];
            return refutation;
        }
    }
    throw SolverException{{"BUG: the SAT solver's proof could not be replayed."}};
}

} // namespace proof
