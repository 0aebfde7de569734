// Per-literal occurrence and watch lists beside the key lists, so that the
// sweeps pay for the clauses that hold a literal, not for every later key
// list. The lists are never searched for removal: a clause that leaves the
// store or loses a literal leaves a stale entry that the next scan of that
// list drops, and retired clauses are freed only by a collection that clears
// every list first. Collections run when stale entries reach half the index,
// so their cost stays proportional to the mutations that caused them.
//
// Each occurrence entry also carries a 16-bit filter of the listed clause's
// literals, key included, so that backward subsumption rejects almost every
// candidate without touching it. While the input is loaded the filters are
// exact; later one may keep the bit of a literal its clause lost, which only
// lets a candidate through to the full test. A clause that gains a literal
// is listed anew under each literal it holds; the entries without the new bit
// stay until it leaves, and cost a scan no more than a filter test. Watch
// entries carry 64-bit filters, since forward subsumption scans watch lists
// for every resolvent. The list blocks of loading time are cut from one area,
// sized from the whole input before any clause goes in; a list that outgrows
// its block after loading moves to the heap.

#include "store/prefetch.hpp"
#include "store/solver.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

bool stores(const Clause* c, Literal lit) {
    for (uint32_t i = 0; i < c->size; ++i)
        if (c->literals[i] == lit) return true;
    return false;
}

// The literal of c, key included, held by the fewest clauses; the key on a tie.
Literal fewestHeld(const Solver& s, const Clause* c) {
    Literal best = c->key();
    uint32_t fewest = s.countOf(best);
    for (uint32_t i = 0; i < c->size; ++i) {
        uint32_t n = s.countOf(c->literals[i]);
        if (n < fewest) {
            fewest = n;
            best = c->literals[i];
        }
    }
    return best;
}

} // namespace

// A list block grown to bytes, from the heap: a block in a loading area is
// copied out, any other is reallocated. Loading itself never grows a list, as
// every block it fills was sized from the whole input.
void* Solver::grownBlock(const ClauseArena& arena, void* old, size_t bytes, size_t used) {
    void* grown;
    if (old && arena.owns(old)) {
        grown = std::malloc(bytes);
        if (grown) std::memcpy(grown, old, used);
    } else {
        grown = std::realloc(old, bytes);
    }
    if (!grown) throw MemoryException{{"memory exhausted"}};
    return grown;
}

// A filter of 0 is computed here; every clause's filter has its key's bit.
void Solver::pushEntry(OccurrenceList& list, Clause* c, uint16_t filter) {
    if (filter == 0) filter = literalFilter(c, c->key());
    if (list.count == list.capacity) {
        // The heap has a minimum block anyway.
        uint32_t capacity = list.capacity ? 2 * list.capacity : 4;
        constexpr size_t slot = sizeof(uint64_t);
        list.words = static_cast<uint64_t*>(
            grownBlock(listArena, list.words, capacity * slot, list.count * slot));
        list.capacity = capacity;
    }
    list.words[list.count++] = OccurrenceList::word(c, filter);
    ++indexEntries;
}

// Watch lists carry their filters at every stage, so their blocks hold
// whole entries.
void Solver::pushWatch(WatchList& list, Clause* c) {
    if (uint32_t full = list.capacity(); list.count == full) {
        uint32_t capacity = full ? 2 * full : 1;
        list.entries = static_cast<WatchEntry*>(grownBlock(
            listArena, list.entries, capacity * sizeof(WatchEntry), list.count * sizeof(WatchEntry)));
    }
    list.entries[list.count++] = WatchEntry{c, watchFilter(c, c->key())};
    ++indexEntries;
}

void Solver::indexClause(Clause* c) {
    listStored(c);
    rewatch(c);
}

// The literal of c that the fewest stored clauses hold.
void Solver::rewatch(Clause* c) {
    Literal best = fewestHeld(*this, c);
    c->watch = best;
    pushWatch(watchList(best), c);
    ++watchList(best).live;
}

// Clauses defining functions are linked but never watched.
void Solver::unwatch(const Clause* c) {
    if (c->key() != 0 && c->watch != 0) --watchList(c->watch).live;
}

// Scans skip stale entries without reading their clauses, so a list that is
// mostly stale is cleared here rather than scanned again and again. An entry
// left behind by a rewatch under the same literal has an outdated filter.
void Solver::compactWatches(Literal lit) {
    WatchList& w = watchList(lit);
    uint32_t kept = 0;
    for (uint32_t j = 0; j < w.count; ++j) {
        const Clause* c = w.entries[j].clause;
        if (c->watch == lit && c->key() != 0 && w.entries[j].filter == watchFilter(c, c->key()))
            w.entries[kept++] = w.entries[j];
    }
    uint32_t dropped = w.count - kept;
    indexEntries -= dropped;
    staleEntries -= std::min<uint64_t>(staleEntries, dropped);
    w.count = kept;
}

// Every entry gets the clause's current filter, key included.
void Solver::listStored(Clause* c) {
    uint16_t filter = literalFilter(c, c->key());
    for (uint32_t i = 0; i < c->size; ++i)
        pushEntry(occursList(c->literals[i]), c, filter);
}

// The watch entry's filter would keep the bit of the lost literal, so the
// clause is watched anew even when its watch stays.
void Solver::literalLeft(Clause* c, Literal) {
    if (c->key() == 0) return;
    staleEntries += 2;
    unwatch(c);
    rewatch(c);
}

// Each entry's clause is read, at random; asking for a few ahead overlaps
// those misses even in the short lists most literals have.
void Solver::compactOccurs(Literal lit) {
    constexpr uint32_t ahead = 4;
    OccurrenceList& list = occursList(lit);
    for (uint32_t j = 0; j < ahead && j < list.count; ++j)
        __builtin_prefetch(list.clause(j));
    uint32_t kept = 0;
    for (uint32_t j = 0; j < list.count; ++j) {
        if (j + ahead < list.count) __builtin_prefetch(list.clause(j + ahead));
        Clause* c = list.clause(j);
        if (c->key() != 0 && stores(c, lit)) list.words[kept++] = list.words[j];
    }
    uint32_t dropped = list.count - kept;
    indexEntries -= dropped;
    staleEntries -= std::min<uint64_t>(staleEntries, dropped);
    list.count = kept;
}

// A variable that has left the prefix is never stored again, and its lists
// hold only stale entries once its clauses are gone: they are emptied rather
// than cleaned.
void Solver::emptyIndexLists(Variable v) {
    if (v >= literalIndex.capacity) return;
    LiteralIndex& x = literalIndex.data[v];
    uint64_t dropped = 0;
    for (int side = 0; side < 2; ++side) {
        dropped += x.occurs[side].count + x.watches[side].count;
        x.occurs[side].count = 0;
        x.watches[side].count = 0;
        x.watches[side].live = 0;
    }
    indexEntries -= dropped;
    staleEntries -= std::min<uint64_t>(staleEntries, dropped);
}

// The clauses storing v or -v, in the order of a walk over the key lists of
// the positions after v (positive list first, each list from its head). Each
// clause's place in that walk is computed once, after the prefix records of
// all the keys have been asked for, and the sort compares only those.
std::vector<Clause*> Solver::clausesHolding(Variable v) {
    uint32_t p = position(v);
    compactOccurs(Literal(v));
    compactOccurs(-Literal(v));
    std::vector<std::pair<uint64_t, Clause*>> placed;
    for (Literal lit : {Literal(v), -Literal(v)}) {
        const OccurrenceList& list = occursList(lit);
        for (uint32_t j = 0; j < list.count; ++j)
            if (Variable k = var(list.clause(j)->key()); k < varState.capacity)
                __builtin_prefetch(varState.data + k);
    }
    for (Literal lit : {Literal(v), -Literal(v)}) {
        const OccurrenceList& list = occursList(lit);
        for (uint32_t j = 0; j < list.count; ++j) {
            Clause* c = list.clause(j);
            uint32_t q = position(var(c->key()));
            uint64_t place = uint64_t{q} << 33 | uint64_t{c->key() < 0} << 32 | ~c->stamp;
            if (q > p) placed.emplace_back(place, c);
        }
    }
    std::sort(placed.begin(), placed.end());
    std::vector<Clause*> found;
    found.reserve(placed.size());
    for (size_t i = 0; i < placed.size(); ++i)
        if (i == 0 || placed[i].second != placed[i - 1].second) found.push_back(placed[i].second);
    return found;
}

void Solver::maybeCollectGarbage() {
    if (staleEntries > 8192 && 2 * staleEntries > indexEntries + literalIndex.capacity)
        collectGarbage();
}

void Solver::collectGarbage() {
    for (uint32_t v = 1; v < literalIndex.capacity; ++v) {
        LiteralIndex& x = literalIndex.data[v];
        for (int side = 0; side < 2; ++side) {
            Literal lit = side == 0 ? Literal(v) : -Literal(v);
            compactOccurs(lit);
            compactWatches(lit);
            x.watches[side].live = x.watches[side].count;
        }
    }
    for (Clause*& c : recentSubsumers)
        c = nullptr;
    for (Clause*& c : retired)
        releaseClause(c);
    retired.clear();
    staleEntries = 0;
}

// Loading holds every input clause before inserting any, counting each
// literal's clauses in the occurrence counters and its clauses as a key in its
// watch list's live field; the difference is its stored count, so a held
// clause touches the index records of its key and its watch only. Each clause
// is watched under its literal held by the fewest clauses read up to it, as
// insertion would choose (the reader plans it while counting), and every list
// then gets a block of its final size, all of them cut from one area: nothing
// is moved while the clauses go in, and the blocks' addresses are known ahead
// of the insertion. A list keeps the block after loading; its first growth
// copies it out.
//
// The records counted in are scattered, so a batch of held clauses is
// counted with the records of the clauses a little ahead requested.
void Solver::countHeld(Clause* const* held, uint32_t n) {
    constexpr uint32_t ahead = 16;
    auto request = [this](const Clause* c) {
        for (Variable v : {var(c->key()), var(c->watch)})
            if (v < literalIndex.capacity) prefetchLine(literalIndex.data + v);
    };
    for (uint32_t j = 0; j < n && j < ahead; ++j)
        request(held[j]);
    for (uint32_t j = 0; j < n; ++j) {
        if (j + ahead < n) request(held[j + ahead]);
        Literal key = held[j]->key();
        ++watchList(key).live;
        ++watchList(held[j]->watch).count;
    }
}

// A literal's occurrence block and its watch block are cut side by side:
// inserting a clause appends to the one and scans the other for most of its
// literals, and then both are mostly in one line, or in neighbouring ones.
void Solver::sizeIndexLists() {
    size_t bytes = 0;
    for (uint32_t v = 1; v < literalIndex.capacity; ++v) {
        VarState counted = varState.get(v);
        for (int side = 0; side < 2; ++side) {
            OccurrenceList& o = literalIndex.data[v].occurs[side];
            if (uint32_t stored = counted.count[side] - literalIndex.data[v].watches[side].live)
                o.capacity = stored;
            bytes += o.capacity * sizeof(uint64_t);
            if (uint32_t k = literalIndex.data[v].watches[side].count)
                bytes += std::bit_ceil(k) * sizeof(WatchEntry);
        }
    }
    char* block = nullptr;
    if (bytes) block = static_cast<char*>(listArena.get(bytes));
    if (bytes && !block) throw MemoryException{{"memory exhausted"}};
    for (uint32_t v = 1; v < literalIndex.capacity; ++v) {
        for (int side = 0; side < 2; ++side) {
            OccurrenceList& o = literalIndex.data[v].occurs[side];
            if (o.capacity) {
                o.words = reinterpret_cast<uint64_t*>(block);
                block += o.capacity * sizeof(uint64_t);
            }
            // Pages of the table past the variables used are never written.
            WatchList& w = literalIndex.data[v].watches[side];
            if (w.count) {
                w.entries = reinterpret_cast<WatchEntry*>(block);
                block += std::bit_ceil(w.count) * sizeof(WatchEntry);
                w.count = 0;
            }
            if (w.live) w.live = 0;
        }
    }
}

// A planned watch always has room: only the clause that planned it takes it.
void Solver::watchPlanned(Clause* c, uint64_t filter) {
    assert(filter == watchFilter(c, c->key()));
    WatchList& list = literalIndex.data[var(c->watch)].watches[c->watch < 0];
    assert(list.entries);
    list.entries[list.count++] = WatchEntry{c, filter};
    ++list.live;
    ++indexEntries;
}

// listStored for a held clause, whose filter is known. Its lists were sized
// for every held clause that stores their literals, so an entry always fits;
// only a list that was never sized would go through pushEntry.
void Solver::listHeld(Clause* c, uint16_t filter) {
    assert(filter == literalFilter(c, c->key()));
    LiteralIndex* index = literalIndex.data;
    uint64_t word = OccurrenceList::word(c, filter);
    uint32_t added = 0;
    for (uint32_t i = 0, size = c->size; i < size; ++i) {
        Literal lit = c->literals[i];
        OccurrenceList& list = index[var(lit)].occurs[lit < 0];
        if (list.count == list.capacity) [[unlikely]] {
            pushEntry(list, c, filter);
            continue;
        }
        list.words[list.count++] = word;
        ++added;
    }
    indexEntries += added;
}
