// The short-clause check that every new or shortened clause passes: a unit
// assigns its literal, and a two-literal clause is remembered as an
// implication, from which equivalences are found.

#include "store/solver.hpp"

#include <cstdlib>

namespace {

ImplicationList& listOf(GrowArray<Implications>& table, Literal lit) {
    return lit > 0 ? table[lit].pos : table[-lit].neg;
}

void append(ImplicationList& list, ImplicationEntry entry) {
    if (list.count == list.capacity) {
        uint32_t capacity = list.capacity ? 2 * list.capacity : 4;
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

bool Solver::propagate() {
    return true;
}

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
    computeSignature(clause);
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
