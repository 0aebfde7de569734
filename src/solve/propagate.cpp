// Propagation between eliminations: pure literals, unit propagation and the
// substitution of detected equivalences, each one ordered pass rather than a
// fixpoint. Also the short-clause check that every new or shortened clause
// passes: a unit assigns its literal, and a two-literal clause is remembered
// as an implication, from which equivalences are found.
//
// The sweeps over the clauses that hold a variable take them from the
// occurrence index, in the order of a walk over the key lists of the later
// positions, so ids and conflicts come out as that walk would give them.

#include "store/solver.hpp"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace {

// A read whose value is not used. On a large formula, whose records lie on
// far more pages than the TLB covers, prefetch instructions made no
// measurable difference, while reading ahead what later steps will need
// does: the reads wait together, and beside the current step's.
inline void touch(const void* p) {
    asm volatile("" : : "r"(*static_cast<const volatile char*>(p)));
}

ImplicationList& listOf(GrowArray<Implications>& table, Literal lit) {
    return lit > 0 ? table[lit].pos : table[-lit].neg;
}

// Most lists stay short: the first block holds two entries and fits the
// allocator's smallest chunk.
void append(ImplicationList& list, ImplicationEntry entry) {
    if (list.count == list.capacity) {
        uint32_t capacity = list.capacity ? 2 * list.capacity : 2;
        void* grown = std::realloc(list.entries, capacity * sizeof(ImplicationEntry));
        if (!grown) throw MemoryException{{"memory exhausted"}};
        list.entries = static_cast<ImplicationEntry*>(grown);
        list.capacity = capacity;
    }
    list.entries[list.count++] = entry;
}

const ImplicationEntry* find(const ImplicationList& list, Literal lit) {
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.entries[i].literal == lit) return &list.entries[i];
    return nullptr;
}

} // namespace

bool Solver::assign(Variable v, int32_t value, uint32_t reason) {
    Assignment& a = assignment[v];
    if (a.value == -value) return false;
    a.value = value;
    a.reasonId = reason;
    trail.push_back(value > 0 ? Literal(v) : -Literal(v));
    return true;
}

bool Solver::checkShortClause(Clause* clause, Literal key) {
    if (clause->size == 0) {
        if (!assign(var(key), key > 0 ? 1 : -1, clause->id)) {
            recordConflict(clause, key);
            return false;
        }
    } else if (clause->size == 1) {
        recordImplication(clause, key);
    }
    return true;
}

void Solver::recordImplication(const Clause* clause, Literal key) {
    Literal a = clause->literals[0];
    Literal b = key;
    if (position(var(a)) > position(var(b))) std::swap(a, b);
    ImplicationList& fromNotA = listOf(implications, -a);
    if (!find(fromNotA, b)) append(fromNotA, ImplicationEntry{b, clause->id});
    if (var(a) >= implications.capacity) return;
    if (const ImplicationEntry* e = find(listOf(implications, a), -b)) {
        uint32_t k = e->clauseId;
        if (a > 0)
            pendingEquivalences.push_back(EquivalenceRecord{-a, b, clause->id, k});
        else
            pendingEquivalences.push_back(EquivalenceRecord{-a, b, k, clause->id});
    }
}

bool Solver::propagate() {
    eliminatePureLiterals();
    return propagateUnits() && processEquivalences();
}

// The first pass meets every position in order, and on a large input each
// visit of a pure variable waits on memory: its counters, its occurrence
// lists, the clauses listed there. Those of the positions a little further
// on are requested in stages, each once the one before it has arrived, so
// the waits overlap. Later passes visit few positions, far apart.
void Solver::requestPureCheck(uint32_t p) {
    constexpr uint32_t counters = 24;
    constexpr uint32_t lists = 12;
    constexpr uint32_t clauses = 6;
    constexpr uint32_t deletes = 3;
    constexpr uint32_t clausesPerList = 16;
    auto pureLiteral = [this](Variable w) -> Literal {
        if (eliminated.get(w) || !isExistential(w)) return 0;
        uint32_t pos = countOf(Literal(w));
        uint32_t neg = countOf(-Literal(w));
        if ((pos == 0) == (neg == 0)) return 0;
        return pos ? Literal(w) : -Literal(w);
    };
    if (p + counters < lastPosition) {
        Variable w = order.get(p + counters);
        if (w < eliminated.capacity) touch(eliminated.data + w);
        if (w < varState.capacity) touch(varState.data + w);
        if (w < literalIndex.capacity) touch(literalIndex.data + w);
        if (w < vars.capacity) touch(vars.data + w);
    }
    if (p + lists < lastPosition) {
        Variable w = order.get(p + lists);
        if (Literal l = w < literalIndex.capacity ? pureLiteral(w) : 0) {
            const OccurrenceList& list = literalIndex.data[w].occurs[l < 0];
            for (uint32_t j = 0; j < list.count && j < clausesPerList; j += 8)
                touch(list.words + j);
        }
    }
    if (p + clauses < lastPosition) {
        Variable w = order.get(p + clauses);
        if (Literal l = w < literalIndex.capacity ? pureLiteral(w) : 0) {
            const OccurrenceList& list = literalIndex.data[w].occurs[l < 0];
            for (uint32_t j = 0; j < list.count && j < clausesPerList; ++j)
                touch(list.clause(j));
        }
    }
    // The clauses have arrived by now; what deleting the live ones touches
    // is requested in turn. A clause that goes before its turn costs only
    // the request.
    if (p + deletes < lastPosition) {
        Variable w = order.get(p + deletes);
        if (Literal l = w < literalIndex.capacity ? pureLiteral(w) : 0) {
            const OccurrenceList& list = literalIndex.data[w].occurs[l < 0];
            for (uint32_t j = 0; j < list.count && j < clausesPerList; ++j)
                if (const Clause* c = list.clause(j); c->key() != 0) requestDelete(c);
        }
    }
}

// What deleting c will touch besides c: its neighbours in its key list, its
// key list's length, the counters of its literals and its watch list's record.
void Solver::requestDelete(const Clause* c) {
    if (c->prev) __builtin_prefetch(c->prev, 1);
    if (c->next) __builtin_prefetch(c->next, 1);
    if (Variable k = var(c->key()); k < vars.capacity) __builtin_prefetch(vars.data + k, 1);
    for (uint32_t i = 0; i <= c->size; ++i) // the key sits behind the literals
        if (Variable w = var(c->literals[i]); w < varState.capacity)
            __builtin_prefetch(varState.data + w, 1);
    if (c->watch != 0 && var(c->watch) < literalIndex.capacity)
        __builtin_prefetch(literalIndex.data + var(c->watch), 1);
}

// Every clause storing the pure literal l goes, and which goes first changes
// nothing visible, so they are taken as l's occurrence list gives them rather
// than in the order of a walk over the key lists. A batch of the list is
// read in one pass before any of it goes, so that the reads of its clauses
// wait together instead of each behind a deletion. A clause listed twice is
// gathered twice; its second turn finds it gone.
void Solver::deletePureClauses(Literal l) {
    constexpr uint32_t batch = 32;
    constexpr uint32_t ahead = 4;
    const OccurrenceList& list = occursList(l);
    auto holds = [l](const Clause* c) {
        for (uint32_t i = 0; i < c->size; ++i)
            if (c->literals[i] == l) return c->key() != 0;
        return false;
    };
    Clause* gathered[batch];
    for (uint32_t from = 0; from < list.count; from += batch) {
        uint32_t to = std::min(list.count, from + batch);
        uint32_t n = 0;
        for (uint32_t j = from; j < to; ++j) {
            if (j + ahead < list.count) __builtin_prefetch(list.clause(j + ahead));
            if (Clause* c = list.clause(j); holds(c)) gathered[n++] = c;
        }
        for (uint32_t k = 0; k < n; ++k)
            requestDelete(gathered[k]);
        for (uint32_t k = 0; k < n; ++k) {
            if (gathered[k]->key() == 0) continue;
            // Its watch list's count of live entries stays: it only decides
            // when the list is compacted, and reaching the list's record
            // would cost a miss for each clause. The list is cleared of the
            // entry at the next collection, or emptied if its variable goes.
            gathered[k]->watch = 0;
            deleteClause(gathered[k]);
        }
    }
}

// The pass visits positions in increasing order as a full walk would, but
// only those of queued variables: any other variable was not pure when it was
// last checked and none of its counts has dropped to zero since. A variable
// queued during the pass at or before the current position waits for the
// next pass, as a full walk would not come back to it either.
bool Solver::eliminatePureLiterals() {
    // The first pass takes every position from a counter rather than the
    // heap; only positions beyond it would go there.
    std::vector<uint32_t> positions; // a min-heap
    auto later = std::greater<uint32_t>();
    uint32_t scan = 0;
    uint32_t scanEnd = 0;
    if (!pureScanned) {
        pureScanned = true;
        for (Variable v : pureWaiting)
            pureQueued[v] = 0;
        pureWaiting.clear();
        scanEnd = lastPosition;
    }
    bool started = false;
    uint32_t current = 0;
    std::vector<Variable> nextPass;
    auto takeWaiting = [&] {
        for (Variable w : pureWaiting) {
            if (started && position(w) <= current) {
                nextPass.push_back(w);
            } else if (position(w) >= scanEnd) {
                positions.push_back(position(w));
                std::push_heap(positions.begin(), positions.end(), later);
            }
        }
        pureWaiting.clear();
    };
    takeWaiting();
    while (scan < scanEnd || !positions.empty()) {
        uint32_t p;
        if (scan < scanEnd && (positions.empty() || scan <= positions.front())) {
            p = scan++;
            requestPureCheck(p);
        } else {
            std::pop_heap(positions.begin(), positions.end(), later);
            p = positions.back();
            positions.pop_back();
        }
        if (started && p <= current) continue;
        started = true;
        current = p;
        Variable v = order[p];
        pureQueued[v] = 0;
        if (!eliminated[v] && occurrences(v) != 0 && isExistential(v) &&
            (varState[v].count[0] == 0 || varState[v].count[1] == 0)) {
            Literal l = varState[v].count[0] != 0 ? Literal(v) : -Literal(v);
            while (Clause* c = listHead(l))
                deleteClause(c);
            deletePureClauses(l);
            if (certificates) {
                putDefiningClause(l, {}, 0);
                defineFunction(v);
            }
            dropKeyLists(v);
            emptyIndexLists(v);
            eliminated[v] = 1;
            --existentialCount;
        }
        takeWaiting();
    }
    pureWaiting.swap(nextPass);
    return true;
}

bool Solver::propagateUnits() {
    while (!trail.empty()) {
        Literal l = trail.back();
        trail.pop_back();
        Variable v = var(l);
        if (occurrences(v) == 0) continue;
        // The unit clause itself justifies every deletion below; without it
        // the literal is not known to hold in the current formula.
        Clause* unit = listHead(l);
        while (unit && unit->size != 0)
            unit = unit->next;
        if (!unit) continue;
        for (Clause* c = listHead(l); c;) {
            Clause* next = c->next;
            if (c != unit) deleteClause(c);
            c = next;
        }
        for (Clause* c : clausesHolding(v)) {
            Literal key = c->key();
            int removed = removeLiteral(c, l);
            --occurrenceWeight(key);
            if (removed > 0) {
                deleteClause(c);
                continue;
            }
            if (certificates) {
                uint32_t id = nextClauseId++;
                resolutionParents[id] = ResolutionStep{assignment[v].reasonId, c->id, v};
                c->id = id;
            }
            if (!checkShortClause(c, key)) return false;
        }
    }
    return true;
}

// Innermost y first; among equal positions the record found first. Records
// found while substituting join the same queue.
bool Solver::processEquivalences() {
    struct Entry {
        uint32_t position;
        uint64_t sequence;
        EquivalenceRecord record;
        bool operator<(const Entry& o) const {
            return position != o.position ? position < o.position : sequence > o.sequence;
        }
    };
    std::vector<Entry> queue;
    uint64_t sequence = 0;
    auto takePending = [&] {
        for (const EquivalenceRecord& r : pendingEquivalences) {
            queue.push_back(Entry{position(var(r.y)), sequence++, r});
            std::push_heap(queue.begin(), queue.end());
        }
        pendingEquivalences.clear();
    };
    takePending();
    while (!queue.empty()) {
        std::pop_heap(queue.begin(), queue.end());
        EquivalenceRecord record = queue.back().record;
        queue.pop_back();
        if (!substituteEquivalence(record)) return false;
        takePending();
    }
    return true;
}
