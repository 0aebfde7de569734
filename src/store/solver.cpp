// The formula store: per-variable tables grown on demand, clause
// records allocated through the pool, and the occurrence statistics that the
// heuristics read in constant time. Every change to a clause keeps them exact.

#include "store/solver.hpp"

#include <algorithm>
#include <cstdlib>

Solver::Solver() {
    literalBuffer.resize(16);
    certificate.numbering = &renumbering;
}

Solver::~Solver() {
    auto freeList = [this](Clause* c) {
        while (c) {
            Clause* next = c->next;
            freeClause(c);
            c = next;
        }
    };
    for (uint32_t v = 0; v < vars.capacity; ++v) {
        freeList(vars.data[v].posHead);
        freeList(vars.data[v].negHead);
    }
    for (uint32_t v = 0; v < functionClauses.capacity; ++v) {
        freeList(functionClauses.data[v].posHead);
        freeList(functionClauses.data[v].negHead);
    }
    for (uint32_t i = 0; i < inputClauseCopies.capacity; ++i)
        if (inputClauseCopies.data[i]) freeClause(inputClauseCopies.data[i]);
    for (Clause* c : retired)
        freeClause(c);
    for (uint32_t v = 0; v < literalIndex.capacity; ++v) {
        for (OccurrenceList& list : literalIndex.data[v].occurs)
            if (list.words && !listArena.owns(list.words)) std::free(list.words);
        for (WatchList& list : literalIndex.data[v].watches)
            if (list.entries && !listArena.owns(list.entries)) std::free(list.entries);
    }
    for (uint32_t v = 0; v < implications.capacity; ++v) {
        std::free(implications.data[v].pos.entries);
        std::free(implications.data[v].neg.entries);
    }
    clausePool.freeAll();
}

void Solver::setVariableCount(int32_t n) {
    // The per-variable tables are not sized here: they grow as variables are
    // touched, so a header declaring far more variables than occur costs no
    // memory.
    lastVar = n < 0 ? uint32_t(-int64_t{n}) : uint32_t(n);
    // Past the largest number a file can name, as the tables would be.
    if (renumbering.active() && renumbering.fileVariable(lastVar) > uint32_t(INT32_MAX))
        throw MemoryException{{"memory exhausted"}};
    // Only reported: the index's filters took the place of clause signatures.
    sigBucketWidth = (lastVar + 1) / 32 + 1;
}

// Variables made while solving (copies, the constant) are numbered after
// lastVar. When the header declares far more variables than occur, they are
// numbered after the last one that occurs instead, so that no table reaches
// the declared count; written certificate indexes still start above the
// header's.
void Solver::finishInput() {
    loading = false;
    lastInputClauseId = nextClauseId - 1;
    Variable used = 1;
    Variable usedFile = 1;
    for (uint32_t p = 0; p < lastPosition; ++p) {
        used = std::max(used, order.get(p));
        usedFile = std::max(usedFile, renumbering.fileVariable(order.get(p)));
    }
    bool far = lastVar > usedFile && lastVar - usedFile > std::max(usedFile, uint32_t{1} << 16);
    if (renumbering.active()) {
        renumbering.lastInputFile = far ? usedFile : lastVar;
        lastVar = used;
        renumbering.lastInput = used;
    } else {
        renumbering = Renumbering{};
        if (far) lastVar = used;
    }
    lastInputVar = lastVar;
    // Indexes that are never written (--qdo alone) follow the variables that
    // occur, so that a header near 2^31 - 1 leaves room for the gates.
    if (certificates && certificateFileName.empty()) certificate.lastIndex = lastInputVar;
    certificate.indexBase = certificate.lastIndex;
}

Clause* Solver::allocateClause(uint32_t n) {
    size_t bytes = clauseBytes(n);
    void* block = loading ? inputArena.get(bytes) : clausePool.get(bytes);
    while (!block) {
        if (!clausePool.release(10 * bytes)) throw MemoryException{{"memory exhausted"}};
        block = clausePool.get(bytes);
    }
    Clause* c = static_cast<Clause*>(block);
    c->size = n;
    c->next = nullptr;
    c->prev = nullptr;
    c->watch = 0;
    c->stamp = 0;
    c->id = 0;
    return c;
}

Clause* Solver::newClause(uint32_t n, const Literal* literals) {
    Clause* c = allocateClause(n);
    for (uint32_t i = 0; i < n; ++i)
        c->literals[i] = literals[i];
    return c;
}

// A clause to be linked keeps its key behind the stored literals.
Clause* Solver::newClause(uint32_t n, const Literal* stored, Literal key) {
    Clause* c = allocateClause(n + 1);
    for (uint32_t i = 0; i < n; ++i)
        c->literals[i] = stored[i];
    c->size = n;
    c->setKey(key);
    return c;
}

void Solver::releaseClause(Clause*& clause) {
    void* block = clause;
    if (!inputArena.put(block)) clausePool.put(block);
    clause = nullptr;
}

void Solver::freeClause(Clause* clause) {
    if (!inputArena.owns(clause)) std::free(clause);
}

// A variable can become pure only when one of its counts drops to zero, and
// it can occur again only as a new variable; both queue it for the next
// pure-literal pass, which then checks only the queued variables. Before the
// first pass, which checks every position, there is nothing to note, and
// loading skips reading the other sign's count.
void Solver::noteOccurring(Variable v) {
    if (occurrences(v) == 0) {
        skipValid = false;
        queuePureCheck(v);
    }
}

void Solver::removeOccurrence(Literal lit, uint32_t length) {
    VarState& o = varState[var(lit)];
    o.weight[lit < 0] -= length;
    if (--o.count[lit < 0] == 0) queuePureCheck(var(lit));
}

void Solver::queuePureCheck(Variable v) {
    uint8_t& queued = pureQueued[v];
    if (queued) return;
    queued = 1;
    pureWaiting.push_back(v);
}

void Solver::removeClauseOccurrences(const Clause* clause, Literal key) {
    uint32_t length = clause->size + 1;
    for (uint32_t i = 0; i < clause->size; ++i)
        removeOccurrence(clause->literals[i], length);
    removeOccurrence(key, length);
}

int Solver::removeLiteral(Clause* clause, Literal lit) {
    Variable v = var(lit);
    uint32_t n = clause->size;
    uint32_t i = 0;
    while (i < n && var(clause->literals[i]) != v)
        ++i;
    if (i == n) return 0;
    Literal x = clause->literals[i];
    // The key moves along, to stay in literals[size].
    for (uint32_t j = i + 1; j <= n; ++j)
        clause->literals[j - 1] = clause->literals[j];
    clause->size = n - 1;
    removeOccurrence(x, n + 1);
    literalLeft(clause, x);
    for (uint32_t j = 0; j < clause->size; ++j) {
        --occurrenceWeight(clause->literals[j]);
    }
    return x == lit ? 1 : -1;
}

// The copy is linked under its own key, so it gets room for it.
Clause* Solver::copyClauseMapped(const Clause* clause, GrowArray<Variable>& map) {
    Clause* copy = newClause(clause->size, clause->literals, clause->key());
    for (uint32_t i = copy->size; i-- > 0;) {
        Literal lit = copy->literals[i];
        Variable m = map.get(var(lit));
        if (m == 0) break;
        copy->literals[i] = lit > 0 ? Literal(m) : -Literal(m);
    }
    if (certificates) copy->id = clause->id;
    return copy;
}

// Literals on one variable share a position and the literals are sorted by
// position, so complementary pairs are always neighbours.
bool Solver::isTautology(const Clause* clause) const {
    for (uint32_t i = 1; i < clause->size; ++i)
        if (clause->literals[i] == -clause->literals[i - 1]) return true;
    return false;
}

Literal Solver::certificateLiteral(Literal lit) {
    Variable v = var(lit);
    if (isExistential(v)) {
        int32_t f = substitution[v].function;
        if (f == 0) return lit;
        return lit > 0 ? f : -f;
    }
    if (substitution[v].origin == 0) return lit;
    while (substitution[v].origin != 0)
        v = substitution[v].origin;
    return lit > 0 ? Literal(v) : -Literal(v);
}
