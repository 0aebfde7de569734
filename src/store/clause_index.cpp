// The key lists list every clause once, under its innermost literal, and fix
// the order in which sweeps meet clauses. Subsumption lookups do not walk
// them: every clause is also watched under one of its literals, the least
// frequent when it was linked, so a stored subsumer of a new clause sits in
// the watch list of one of the new clause's literals, and a clause the new
// one subsumes stores all of its literals, so the shortest occurrence list
// among them holds it. Each candidate then passes exactly the test the walk
// of its key list would have made, so the same clauses are found. That walk
// filtered by signatures; they were exact whenever a test ran, so the subset
// tests alone decide the same, and clauses no longer carry them.

#include "store/solver.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <utility>
#include <cstdio>

namespace {

// Backward subsumption filters this many occurrence entries at a time.
constexpr uint32_t stretch = 64;

bool sameLiterals(const Clause* a, const Clause* b) {
    for (uint32_t i = 0; i < a->size; ++i)
        if (a->literals[i] != b->literals[i]) return false;
    return true;
}

// The test made on d when c, cut to its first n stored literals, is looked
// up in d's key list.
bool subsumesFirst(const Clause* d, const Clause* c, uint32_t n) {
    if (d->size == n) return sameLiterals(d, c);
    if (d->size > n) return false;
    if (d->size == 0) return true;
    return literalsWithin(d, c, n);
}

} // namespace

void Solver::linkClause(Clause* clause, Literal key) {
    Clause*& head = listHead(key);
    clause->setKey(key);
    clause->prev = nullptr;
    clause->next = head;
    if (head) head->prev = clause;
    head = clause;
    clause->stamp = ++linkStamp;
    ++listCount(key);
}

void Solver::unlinkClause(Clause* clause) {
    if (clause->prev)
        clause->prev->next = clause->next;
    else
        listHead(clause->key()) = clause->next;
    if (clause->next) clause->next->prev = clause->prev;
    --listCount(clause->key());
}

// Whether a stored clause equals or subsumes c. A subsumer is keyed by its
// innermost literal: key itself, or an existential stored literal of c, in
// which case only the literals of c before it can be in the subsumer.
bool Solver::storedSubsumer(const Clause* c, Literal key) {
    // Most candidates hold a literal that c lacks. The literals of c are
    // marked with their index, so such a candidate fails on its first foreign
    // literal instead of a merge over c. Only a candidate whose literals all
    // lie in the allowed part of c gets the exact test.
    uint32_t n = c->size;
    // The table is grown once for all of c's literals and then used through
    // a plain pointer: a store through the table's own reference would make
    // every later access reload its bounds. A literal beyond them is not c's.
    uint32_t top = markIndex(key);
    for (uint32_t i = 0; i < n; ++i)
        top = std::max(top, markIndex(c->literals[i]));
    subsumeMark[top | 1];
    uint32_t* marks = subsumeMark.data;
    uint32_t bound = subsumeMark.capacity;
    auto mark = [marks](Literal lit) -> uint32_t& { return marks[markIndex(lit)]; };
    auto markOf = [marks, bound](Literal lit) {
        uint32_t x = markIndex(lit);
        return x < bound ? marks[x] : 0;
    };
    for (uint32_t i = n; i-- > 0;)
        mark(c->literals[i]) = i + 1;
    mark(key) = n + 1;
    auto plausible = [&](const Clause* d) {
        uint32_t limit = n;
        if (d->key() != key) {
            limit = markOf(d->key());
            if (limit == 0 || limit > n) return false;
            --limit;
        }
        if (d->size > limit) return false;
        for (uint32_t i = 0; i < d->size; ++i) {
            uint32_t m = markOf(d->literals[i]);
            if (m == 0 || m > limit) return false;
        }
        return true;
    };
    auto covers = [&](const Clause* d) {
        if (!plausible(d)) return false;
        if (d->key() == key) return subsumesFirst(d, c, c->size);
        // plausible found d's key among c's literals, marked with 1 + its index.
        return isExistential(var(d->key())) && subsumesFirst(d, c, markOf(d->key()) - 1);
    };
    auto remember = [&](Clause* d) {
        for (Clause* r : recentSubsumers)
            if (r == d) return;
        recentSubsumers[recentNext] = d;
        recentFilters[recentNext] = watchFilter(d, d->key());
        recentNext = (recentNext + 1) % std::size(recentSubsumers);
    };
    auto finish = [&](bool found) {
        for (uint32_t i = 0; i < n; ++i)
            mark(c->literals[i]) = 0;
        mark(key) = 0;
        return found;
    };
    // A candidate whose filter has a bit that c's lacks holds a literal c
    // lacks, so only the few that fit are read at all.
    uint64_t filter = watchFilter(c, key);
    // A clause that subsumed one resolvent tends to subsume its siblings, so
    // the last few subsumers are tried first, newest first, and one that
    // covers c again counts as the newest. A hit of a scan also moves to the
    // front of its watch list, where the next pass looks before any full scan.
    // Any stored clause that covers c would be met by the scans, so trying
    // some of them early changes nothing but the time. A remembered filter
    // may have outlived a literal of its clause; that only skips the shortcut.
    constexpr uint32_t slots = sizeof recentSubsumers / sizeof recentSubsumers[0];
    for (uint32_t i = slots; i > 0; --i) {
        uint32_t k = (recentNext + i - 1) % slots;
        Clause* d = recentSubsumers[k];
        if (d && !(recentFilters[k] & ~filter) && d->key() != 0 && covers(d)) {
            uint32_t last = (recentNext + slots - 1) % slots;
            std::swap(recentSubsumers[k], recentSubsumers[last]);
            std::swap(recentFilters[k], recentFilters[last]);
            return finish(true);
        }
    }
    constexpr uint32_t fronts = 2;
    // Four filters are tested per branch: nearly every entry fails, and the
    // clause is read only for one that fits.
    uint64_t outside = ~filter;
    auto nextFit = [outside](const WatchEntry* e, uint32_t j, uint32_t to) {
        for (; j + 4 <= to; j += 4)
            if (!(e[j].filter & outside) | !(e[j + 1].filter & outside) |
                !(e[j + 2].filter & outside) | !(e[j + 3].filter & outside))
                break;
        for (; j < to; ++j)
            if (!(e[j].filter & outside)) return j;
        return to;
    };
    auto scan = [&](Literal lit, uint32_t from, uint32_t to) {
        WatchList& list = watchList(lit);
        WatchEntry* e = list.entries;
        to = std::min(to, list.count);
        for (uint32_t j = nextFit(e, from, to); j < to; j = nextFit(e, j + 1, to)) {
            Clause* d = e[j].clause;
            if (d->watch != lit || d->key() == 0 || !covers(d)) continue;
            std::swap(e[0], e[j]);
            remember(d);
            return true;
        }
        return false;
    };
    // The second pass starts behind the fronts, so a list is cleared only
    // before the first pass has looked at its front.
    for (uint32_t i = 0; i <= n; ++i) {
        Literal lit = i < n ? c->literals[i] : key;
        WatchList& list = watchList(lit);
        if (list.count > 2 * list.live + 8) compactWatches(lit);
        if (scan(lit, 0, fronts)) return finish(true);
    }
    for (uint32_t i = 0; i <= n; ++i)
        if (scan(i < n ? c->literals[i] : key, fronts, UINT32_MAX)) return finish(true);
    return finish(false);
}

uint32_t Solver::removeSubsumed(Literal key, const Clause* c) {
    uint32_t n = c->size;
    uint32_t count = 0;
    if (n == 0) {
        for (Clause* d = listHead(key); d;) {
            Clause* next = d->next;
            if (d != c) {
                deleteClause(d);
                ++count;
            }
            d = next;
        }
        return count;
    }
    Literal rarest = c->literals[0];
    for (uint32_t i = 1; i < n; ++i)
        if (occursCount(c->literals[i]) < occursCount(rarest)) rarest = c->literals[i];
    // Deleting leaves the occurrence lists as they are; a stale entry, or a
    // second entry of a deleted clause, fails the key test.
    // An entry whose filter lacks a bit of c's holds a clause without one of
    // c's literals, so only the few that fit are read. Whether one fits is
    // too even a chance to branch on: a stretch of the list is filtered
    // without branches first, and the clauses that fit are asked for before
    // any of them is read. A clause's key sits behind its literals, often a
    // line after its header, so it is read only for a clause long enough to
    // be subsumed.
    uint16_t filter = literalFilter(c, key);
    const OccurrenceList& list = occursList(rarest);
    const uint64_t* words = list.words;
    uint32_t fit[stretch];
    for (uint32_t from = 0; from < list.count; from += stretch) {
        uint32_t to = std::min(list.count, from + stretch);
        uint32_t k = 0;
        for (uint32_t j = from; j < to; ++j) {
            fit[k] = j;
            k += (filter & ~uint16_t(words[j])) == 0;
        }
        for (uint32_t i = 0; i < k; ++i)
            __builtin_prefetch(list.clause(fit[i]));
        for (uint32_t i = 0; i < k; ++i) {
            Clause* d = list.clause(fit[i]);
            if (d == c || d->size < n || d->key() != key) continue;
            bool subsumed = d->size == n ? sameLiterals(d, c) : literalsWithin(c, d, d->size);
            if (subsumed) {
                deleteClause(d);
                ++count;
            }
        }
    }
    return count;
}

void Solver::deleteClause(Clause* d) {
    unlinkClause(d);
    removeClauseOccurrences(d, d->key());
    --clauseCount;
    retireClause(d);
}

// The index may still list c; it is freed once the lists have been cleared
// of it. A block of the input arena can be given back only while loading,
// so an input clause retired later just stays where it is until the end.
void Solver::retireClause(Clause* c) {
    unwatch(c);
    staleEntries += c->size + 1;
    c->setKey(0);
    if (loading || !inputArena.owns(c)) retired.push_back(c);
}

void Solver::dropKeyLists(Variable v) {
    VarRecord& r = vars[v];
    for (Clause* heads[] = {r.posHead, r.negHead}; Clause * c : heads) {
        while (c) {
            Clause* next = c->next;
            retireClause(c);
            c = next;
        }
    }
    r = VarRecord{};
}

// The lists of v leave the store for good but stay allocated elsewhere.
void Solver::detachKeyLists(Variable v) {
    VarRecord r = vars.get(v);
    for (Clause* heads[] = {r.posHead, r.negHead}; Clause * c : heads) {
        for (; c; c = c->next) {
            unwatch(c);
            staleEntries += c->size + 1;
            c->setKey(0);
        }
    }
}
