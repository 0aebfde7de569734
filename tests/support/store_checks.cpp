// The store keeps counts and weights incrementally; these checks
// recompute them from scratch so that any operation that forgets one piece
// of bookkeeping is caught right after it runs.

#include "support/store_checks.hpp"

#include <algorithm>
#include <set>
#include <vector>

namespace {

struct Tally {
    uint32_t count = 0;
    uint32_t weight = 0;
};

testing::AssertionResult checkClause(const Solver& s, const Clause* c, Literal key) {
    auto fail = [&] {
        return testing::AssertionFailure() << "clause id " << c->id << " under key " << key << ": ";
    };
    if (!s.isExistential(var(key))) return fail() << "universal key";
    for (uint32_t i = 0; i < c->size; ++i) {
        Variable v = var(c->literals[i]);
        if (i > 0 && s.position(var(c->literals[i - 1])) >= s.position(v))
            return fail() << "literals not strictly sorted at index " << i;
        if (s.position(v) >= s.position(var(key)))
            return fail() << "literal " << c->literals[i] << " not outer to the key";
    }
    return testing::AssertionSuccess();
}

// An entry whose filter has every bit of the clause's, so no scan can skip it.
bool listed(const OccurrenceList& list, const Clause* c) {
    uint16_t filter = Solver::literalFilter(c, c->key());
    for (uint32_t j = 0; j < list.count; ++j)
        if (list.clause(j) == c && !(filter & ~list.filter(j))) return true;
    return false;
}

// A watch entry whose filter is exactly the clause's, so no scan can skip it.
bool watched(const WatchList& list, const Clause* c) {
    uint64_t filter = Solver::watchFilter(c, c->key());
    for (uint32_t j = 0; j < list.count; ++j)
        if (list.entries[j].clause == c && list.entries[j].filter == filter) return true;
    return false;
}

// The occurrence index against the key lists: every clause listed under
// each literal it stores and watched under one of its literals, and every
// entry either a linked clause or one that left the store and is still
// allocated (retired, moved out for the certificate, or an input clause).
testing::AssertionResult indexIsConsistent(const Solver& s) {
    std::set<const Clause*> linked, gone(s.retired.begin(), s.retired.end());
    for (Variable v = 1; v < s.functionClauses.capacity; ++v)
        for (const Clause* c : {s.functionClauses.data[v].posHead, s.functionClauses.data[v].negHead})
            for (; c; c = c->next)
                gone.insert(c);
    for (Variable v = 1; v < s.vars.capacity; ++v) {
        for (Literal key : {Literal(v), -Literal(v)}) {
            const Clause* prev = nullptr;
            for (const Clause* c = key > 0 ? s.vars.data[v].posHead : s.vars.data[v].negHead; c;
                 prev = c, c = c->next) {
                auto fail = [&] {
                    return testing::AssertionFailure()
                           << "clause id " << c->id << " under key " << key << ": ";
                };
                if (c->key() != key) return fail() << "records key " << c->key();
                if (c->prev != prev) return fail() << "wrong back link";
                if (prev && prev->stamp <= c->stamp) return fail() << "stamp out of list order";
                for (uint32_t i = 0; i < c->size; ++i) {
                    Literal l = c->literals[i];
                    if (!listed(s.literalIndex.get(var(l)).occurs[l < 0], c))
                        return fail() << "missing from the occurrences of " << l
                                      << " or its filter lacks a bit";
                }
                Literal w = c->watch;
                bool holds = w == key;
                for (uint32_t i = 0; i < c->size; ++i)
                    holds = holds || c->literals[i] == w;
                if (!holds) return fail() << "watched under " << w << ", which it lacks";
                if (!watched(s.literalIndex.get(var(w)).watches[w < 0], c))
                    return fail() << "missing from the watches of " << w << " or filter outdated";
                linked.insert(c);
            }
        }
    }
    uint64_t entries = 0;
    for (Variable v = 1; v < s.literalIndex.capacity; ++v) {
        const LiteralIndex& x = s.literalIndex.data[v];
        std::vector<const Clause*> listedHere;
        for (const OccurrenceList* list : {&x.occurs[0], &x.occurs[1]})
            for (uint32_t j = 0; j < list->count; ++j) {
                const Clause* c = list->clause(j);
                // Input subsumption rejects by these filters: one that lacks a bit would hide a clause.
                if (s.loading && c->key() != 0 &&
                    list->filter(j) != Solver::literalFilter(c, c->key()))
                    return testing::AssertionFailure() << "variable " << v << ": outdated filter";
                listedHere.push_back(c);
            }
        for (const WatchList* list : {&x.watches[0], &x.watches[1]})
            for (uint32_t j = 0; j < list->count; ++j)
                listedHere.push_back(list->entries[j].clause);
        entries += listedHere.size();
        for (const Clause* c : listedHere)
            if (c->key() != 0 ? !linked.count(c) : !gone.count(c) && !s.inputArena.owns(c))
                return testing::AssertionFailure() << "variable " << v << " lists a clause "
                                                   << "that is neither stored nor kept";
    }
    if (entries != s.indexEntries)
        return testing::AssertionFailure()
               << entries << " index entries, indexEntries is " << s.indexEntries;
    return testing::AssertionSuccess();
}

} // namespace

testing::AssertionResult storeIsConsistent(const Solver& s) {
    uint32_t tables = std::max({s.vars.capacity, s.varState.capacity, s.lastVar + 1});
    std::vector<Tally> pos(tables), neg(tables);
    auto tally = [&](Literal lit, uint32_t length) {
        Tally& t = lit > 0 ? pos[var(lit)] : neg[var(lit)];
        ++t.count;
        t.weight += length;
    };
    uint32_t linked = 0;
    for (Variable v = 1; v < s.vars.capacity; ++v) {
        VarRecord r = s.vars.get(v);
        for (Literal key : {Literal(v), -Literal(v)}) {
            uint32_t length = 0;
            for (const Clause* c = key > 0 ? r.posHead : r.negHead; c; c = c->next) {
                if (auto ok = checkClause(s, c, key); !ok) return ok;
                for (uint32_t i = 0; i < c->size; ++i)
                    tally(c->literals[i], c->size + 1);
                tally(key, c->size + 1);
                ++length;
            }
            if (length != (key > 0 ? r.posCount : r.negCount))
                return testing::AssertionFailure()
                       << "list of " << key << " holds " << length << " clauses, count says "
                       << (key > 0 ? r.posCount : r.negCount);
            linked += length;
        }
    }
    if (linked != s.clauseCount)
        return testing::AssertionFailure()
               << linked << " clauses linked, clauseCount is " << s.clauseCount;
    for (Variable v = 1; v < tables; ++v) {
        VarState o = s.varState.get(v);
        Tally p{o.count[0], o.weight[0]};
        Tally n{o.count[1], o.weight[1]};
        if (p.count != pos[v].count || p.weight != pos[v].weight || n.count != neg[v].count ||
            n.weight != neg[v].weight)
            return testing::AssertionFailure()
                   << "variable " << v << ": maintained +" << p.count << "/" << p.weight << " -"
                   << n.count << "/" << n.weight << ", recounted +" << pos[v].count << "/"
                   << pos[v].weight << " -" << neg[v].count << "/" << neg[v].weight
                   << " (count/weight)";
    }
    return indexIsConsistent(s);
}
