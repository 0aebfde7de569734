#pragma once

#include "store/clause.hpp"
#include "store/clause_arena.hpp"
#include "store/clause_pool.hpp"
#include "store/grow_array.hpp"

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// What is read and updated of a variable for each of its literals that a
// clause brings or takes away: its place in the prefix and its occurrence
// counters. One record, so loading a large input waits on one scattered line
// per literal rather than on three.
struct VarState {
    uint32_t flags;     // bit 0 existential, position above it; 0 unquantified
    uint32_t count[2];  // [0] +v, [1] -v: clauses containing the literal
    uint32_t weight[2]; // summed lengths of those clauses
};

struct VarRecord {
    Clause* posHead;   // clauses keyed by +v
    Clause* negHead;   // clauses keyed by -v
    uint32_t posCount; // length of the positive list
    uint32_t negCount; // length of the negative list
};

// Clauses of one literal, unordered. Entries go stale lazily: a clause that
// left the store or lost the literal stays listed until a scan or the next
// collection drops it, so no mutation has to search a list.
//
// An entry is one word: the clause's address shifted above a 16-bit filter of
// its literals (see Solver::literalFilter). User addresses fit in 48 bits, so
// nothing is lost, and a scan reads the filter and the clause from the same
// line. A filter may hold bits its clause has lost, never lack one it holds.
struct OccurrenceList {
    uint64_t* words;
    uint32_t count;
    uint32_t capacity;

    Clause* clause(uint32_t j) const { return reinterpret_cast<Clause*>(words[j] >> 16); }
    uint16_t filter(uint32_t j) const { return uint16_t(words[j]); }
    static uint64_t word(const Clause* c, uint16_t filter) {
        assert(reinterpret_cast<uintptr_t>(c) >> 48 == 0);
        return uint64_t(reinterpret_cast<uintptr_t>(c)) << 16 | filter;
    }
};

// A watch entry carries a filter of the clause's literals, key included, so
// that a subsumption scan rejects almost every candidate without reading it.
// The filter never holds a bit the clause lacks: a clause that loses a
// literal is watched anew, and the entry it leaves behind is stale.
struct WatchEntry {
    Clause* clause;
    uint64_t filter;
};

// A watch list's block holds the smallest power of two of entries not below
// its count, at least one: it only grows by doubling, and a list that was
// compacted treats the rest of its block as lost. So the capacity is not
// stored, and a literal's index record takes one line.
struct WatchList {
    WatchEntry* entries;
    uint32_t count;
    uint32_t live; // clauses watched here now, or more: a pure literal's clauses leave uncounted

    uint32_t capacity() const { return entries ? std::bit_ceil(count) : 0; }
};

struct LiteralIndex {
    OccurrenceList occurs[2]; // [0] +v, [1] -v: clauses storing the literal
    WatchList watches[2];     // clauses watched under the literal
};
static_assert(sizeof(LiteralIndex) == 64);

struct Assignment {
    int32_t value;     // 1 true, -1 false, 0 unassigned
    uint32_t reasonId; // id of the clause that forced it
};

struct Substitution {
    uint32_t origin;    // variable an expansion copy was made from, else 0
    int32_t function;   // certificate literal standing for the variable, else 0
    int32_t expandedOn; // literal of the expanded universal false in this copy, else 0
};

struct ResolutionStep {
    uint32_t parentA;
    uint32_t parentB;
    uint32_t pivot;
};

struct ImplicationEntry {
    Literal literal;   // implied literal
    uint32_t clauseId; // the two-literal clause it came from
};

struct ImplicationList {
    ImplicationEntry* entries;
    uint32_t count;
    uint32_t capacity;
};

struct Implications {
    ImplicationList pos; // what +v implies
    ImplicationList neg; // what -v implies
};

// y is equivalent to x; x's variable is placed before y's.
struct EquivalenceRecord {
    Literal x;
    Literal y;
    uint32_t firstId;  // the clause in which x's variable occurs positively
    uint32_t secondId; // the clause in which it occurs negatively
};

// A header may declare up to 2^31 - 1 variables and use a few of them,
// numbered anywhere below that. Tables indexed by those numbers would reach
// the header's count, so when it is far beyond what the prefix quantifies,
// the numbers above a bound are renumbered after it as they are read: the
// quantified ones in the order of their numbers, free ones as they appear.
// Every number printed or taken in is translated at that border; variables
// made while solving count on from the last input one in both numberings.
struct Renumbering {
    Variable above = UINT32_MAX;       // numbers up to this one keep their number
    std::vector<Variable> fileNumbers; // per variable above + 1 + i: its number in the input
    std::unordered_map<Variable, Variable> inside; // input number above the bound -> ours
    Variable lastInput = UINT32_MAX;               // last input variable, ours; set once loaded
    Variable lastInputFile = UINT32_MAX;           // the same place in the input's numbering

    bool active() const { return !fileNumbers.empty(); }
    Variable fileVariable(Variable v) const {
        if (v <= above) return v;
        if (v <= lastInput && v - above - 1 < fileNumbers.size()) return fileNumbers[v - above - 1];
        return lastInputFile + (v - lastInput);
    }
    Literal fileLiteral(Literal lit) const {
        Literal x = Literal(fileVariable(var(lit)));
        return lit < 0 ? -x : x;
    }
    // Ours from 1 to last, in the order of the numbers they are written as
    // (qdimacs/reader.cpp).
    std::vector<Variable> inWrittenOrder(Variable last) const;
    // A number that names no variable comes back as UINT32_MAX.
    Variable insideVariable(Variable v) const {
        if (v <= above) return v;
        auto found = inside.find(v);
        if (found != inside.end()) return found->second;
        return v > lastInputFile ? lastInput + (v - lastInputFile) : UINT32_MAX;
    }
};

// The certificate is written to a temporary file and renamed when complete,
// so a file under the final name is always a finished certificate.
struct CertificateFile {
    uint32_t lastIndex = 0; // last certificate index handed out
    uint32_t indexBase = 0; // indexes up to this one name input variables
    std::ofstream stream;
    std::string lines; // lines not yet handed to stream, the last one perhaps unfinished
    const Renumbering* numbering = nullptr; // the solver's, for the numbers written

    ~CertificateFile() { close(); }
    void open(const std::string& path);
    void close();
    uint32_t nextIndex();
    Literal shown(Literal x) const { return var(x) <= indexBase ? numbering->fileLiteral(x) : x; }
    void defineAnd(uint32_t k, const Literal* operands, uint32_t count);
    void defineIte(uint32_t k, Literal c, Literal t, Literal e);
    void defineGate(uint32_t k, char kind, const Literal* operands, uint32_t count);
    void writeStep(uint32_t i, uint32_t a, uint32_t b);
    void writeValid(const std::vector<std::pair<uint32_t, Literal>>& pairs);
    void writeInvalid(uint32_t n);
    void putNumber(uint32_t n);
    void putLiteral(Literal x); // as shown
    void endLine();
    void writeLines();

    // With --qdo the gates also stay in memory, to be evaluated at the end.
    bool keepGates = false;
    GrowArray<uint32_t> gateAt; // per index above indexBase: 1 + offset of its gate in gateWords, or 0
    std::vector<int32_t> gateWords; // per gate: 'A' or 'I', operand count, operands
    void keepGate(uint32_t k, char kind, const Literal* operands, uint32_t count);
    uint32_t gateOffset(uint32_t k) const { return k > indexBase ? gateAt.get(k - indexBase) : 0; }
};

// Input clauses held until all are read, in file order: runs of clauses cut
// one after the other from the loading arena, so that loading does not fill a
// table with a pointer per clause. A held clause is not changed before it is
// inserted, so its size still leads to the next one.
struct HeldRun {
    Clause* first;
    uint32_t count;

    static Clause* after(Clause* c) {
        char* next = reinterpret_cast<char*>(c) + ClauseArena::blockBytes(clauseBytes(c->size + 1));
        return reinterpret_cast<Clause*>(next);
    }
};

struct HybridInput; // hybrid/handover.cpp

struct Solver {
    GrowArray<VarRecord> vars;               // per variable [1, lastVar]: the two key lists
    uint32_t clauseCount = 0;                // clauses linked in vars
    uint32_t lastInputClauseId = 0;          // id of the last input clause
    bool loading = true;                     // true until finishInput
    uint32_t lastVar = 0;                    // highest variable number
    uint32_t lastInputVar = 0;               // lastVar at finishInput
    uint32_t lastPosition = 0;               // prefix positions handed out
    uint32_t existentialCount = 0;           // existentials not yet eliminated
    uint32_t universalCount = 0;             // universals not yet eliminated
    uint32_t sigBucketWidth = 1;             // variables per signature bit, for the statistics
    GrowArray<VarState> varState;            // per variable: prefix flags, counts and weights
    GrowArray<LiteralIndex> literalIndex;    // per variable, grows when indexed
    std::vector<Clause*> retired;            // left the store, freed by collectGarbage
    uint64_t indexEntries = 0;               // entries held by all index lists
    uint64_t staleEntries = 0;               // of those, about how many are stale
    uint32_t linkStamp = 0;                  // stamp of the last linked clause
    GrowArray<uint32_t> subsumeMark;         // per markIndex: 1 + index in the clause looked up
    Clause* recentSubsumers[32] = {};        // last subsumers found; cleared by collectGarbage
    uint64_t recentFilters[32] = {};         // their watch filters when found
    uint32_t recentNext = 0;                 // slot of recentSubsumers replaced next
    GrowArray<uint8_t> pureQueued;           // per variable: waits in pureWaiting
    std::vector<Variable> pureWaiting;       // may have become pure since last checked
    bool pureScanned = false;                // every position had its first check
    GrowArray<uint32_t> skipBelow;           // per position: 1 + a lower live position
    bool skipValid = false;                  // false once a variable occurs again
    GrowArray<uint32_t> occurringSkip;       // per position: 1 + a lower one, all between without occurrences
    GrowArray<uint32_t> innermostSkip;       // per position: 1 + a lower one, all between gone or universal
    GrowArray<uint32_t> boundSkip;           // per position: 1 + a lower one, all between eliminated
    std::vector<Literal> trail; // assigned literals, newest last
    std::vector<EquivalenceRecord> pendingEquivalences;
    GrowArray<Implications> implications; // per variable: two-literal implications
    GrowArray<Assignment> assignment;     // per variable
    Renumbering renumbering;              // input numbers far above the used count
    GrowArray<uint32_t> order;            // position -> variable [0, lastPosition)
    GrowArray<uint8_t> eliminated;        // per variable: 1 once removed
    GrowArray<Substitution> substitution; // per variable, certificates only
    uint32_t constantTrueLiteral = 0;
    GrowArray<VarRecord> functionClauses; // clause lists moved out for the certificate
    uint32_t nextClauseId = 0;
    CertificateFile certificate;
    GrowArray<ResolutionStep> resolutionParents; // per clause id
    GrowArray<Clause*> inputClauseCopies;        // per input clause id: full copy, key last
    GrowArray<Literal> literalBuffer;            // scratch for building clauses
    GrowArray<uint32_t> clashMark;               // per variable: 2 * epoch + sign in the marked clause
    uint32_t clashEpoch = 0;                     // current marking, see nextResolvent
    const Clause* clashMarked = nullptr;         // the positive parent marked in clashMark
    ClausePool clausePool{false};
    ClauseArena inputArena; // clauses created while loading
    ClauseArena listArena;  // index list blocks allocated while loading, of both kinds
    bool consistent = true; // false once the formula is known to be false
    uint32_t forwardSubsumed = 0;
    uint32_t backwardSubsumed = 0;
    uint32_t totalConflicts = 0;
    uint32_t fixedTautologies = 0;
    uint32_t expansionCount = 0; // universals expanded into copies

    bool showProgress = false;
    bool maxConflictsHeuristic = false;
    bool literalBoundHeuristic = false;
    bool innermostHeuristic = false;
    bool universalExpansion = false;
    bool expandUniversalsFirst = false;
    bool keepInputClauses = false;
    bool copyInputClauses = false;
    bool dumpFormula = false;
    bool scopeCombining = false;
    std::string certificateFileName;
    std::string dumpFileName;
    bool certificates = false;
    bool qdimacsOutput = false; // --qdo: keep what the outermost block's values need
    std::vector<int32_t> eliminationOrder;
    bool hybrid = false;          // hand hard remainders to the engines in hybrid/
    uint64_t hybridBudget = 0;    // clause budget of the elimination phase, 0 automatic
    bool hybridStarted = false;   // the first budget check was made
    bool hybridSettled = false;   // the hand-over was made or declined
    std::shared_ptr<HybridInput> hybridInput; // a forall-exists input, kept as read
    bool skipSubsumption = false; // copies enter without the subsumption walk

    Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;
    ~Solver();

    static const char* version() { return "karvona 2.01 (compiled Oct 30 2010)"; }
    static const char* versionNumber() { return "2.01"; }
    static const char* compileDate() { return "Oct 30 2010"; }

    // -u asks for expansion, but -U and -O entries can expand without it.
    bool expansionPossible() const { return universalExpansion || expansionCount > 0; }
    uint32_t flagsOf(Variable v) const { return varState.get(v).flags; }
    uint32_t& varFlag(Variable v) { return varState[v].flags; }
    bool isExistential(Variable v) const { return flagsOf(v) & 1; }
    uint32_t position(Variable v) const { return flagsOf(v) >> 1; }
    uint32_t occurrences(Variable v) const {
        VarState o = varState.get(v);
        return o.count[0] + o.count[1];
    }
    uint32_t& occurrenceCount(Literal lit) { return varState[var(lit)].count[lit < 0]; }
    uint32_t& occurrenceWeight(Literal lit) { return varState[var(lit)].weight[lit < 0]; }
    uint32_t countOf(Literal lit) const { return varState.get(var(lit)).count[lit < 0]; }
    // Index of c's stored literal on v, or c->size when it has none.
    uint32_t storedIndex(const Clause* c, Variable v) const {
        uint32_t i = 0;
        while (i < c->size && var(c->literals[i]) != v)
            ++i;
        return i;
    }
    uint32_t keyed(Variable v) const {
        VarRecord r = vars.get(v);
        return r.posCount + r.negCount;
    }
    Clause*& listHead(Literal key) { return key > 0 ? vars[key].posHead : vars[-key].negHead; }
    uint32_t& listCount(Literal key) { return key > 0 ? vars[key].posCount : vars[-key].negCount; }

    // Store operations, store/solver.cpp.
    void setVariableCount(int32_t n);
    void finishInput();
    Clause* allocateClause(uint32_t n);
    Clause* newClause(uint32_t n, const Literal* literals);
    Clause* newClause(uint32_t n, const Literal* stored, Literal key);
    void releaseClause(Clause*& clause);
    void freeClause(Clause* clause);
    // Inline: loading counts every literal it reads here.
    void addOccurrence(Literal lit, uint32_t length) {
        Variable v = var(lit);
        if (pureScanned || skipValid) noteOccurring(v);
        VarState& o = varState[v];
        ++o.count[lit < 0];
        o.weight[lit < 0] += length;
    }
    void noteOccurring(Variable v);
    void removeOccurrence(Literal lit, uint32_t length);
    void queuePureCheck(Variable v);
    void removeClauseOccurrences(const Clause* clause, Literal key);
    int removeLiteral(Clause* clause, Literal lit);
    Clause* copyClauseMapped(const Clause* clause, GrowArray<Variable>& map);
    bool isTautology(const Clause* clause) const;
    Literal certificateLiteral(Literal lit);

    // Clause index, store/clause_index.cpp.
    static uint32_t markIndex(Literal lit) { return 2 * var(lit) + (lit < 0); }
    void linkClause(Clause* clause, Literal key);
    void unlinkClause(Clause* clause);
    bool storedSubsumer(const Clause* c, Literal key);
    uint32_t removeSubsumed(Literal key, const Clause* c);
    void deleteClause(Clause* d);
    void retireClause(Clause* c);
    void dropKeyLists(Variable v);
    void detachKeyLists(Variable v);

    // Occurrence index, store/occurrence_index.cpp.
    OccurrenceList& occursList(Literal lit) { return literalIndex[var(lit)].occurs[lit < 0]; }
    WatchList& watchList(Literal lit) { return literalIndex[var(lit)].watches[lit < 0]; }
    // Reads the one count rather than a copy of the whole index record.
    uint32_t occursCount(Literal lit) const {
        Variable v = var(lit);
        return v < literalIndex.capacity ? literalIndex.data[v].occurs[lit < 0].count : 0;
    }
    // One of 16 bits per literal; a clause's filter covers its key too.
    static uint16_t literalBit(Literal lit) {
        return uint16_t(1u << ((uint32_t(lit) * 0x9E3779B1u) >> 28));
    }
    static uint16_t literalFilter(const Clause* c, Literal key) {
        uint16_t filter = literalBit(key);
        for (uint32_t i = 0; i < c->size; ++i)
            filter |= literalBit(c->literals[i]);
        return filter;
    }
    // One of 64 bits per literal, for the watch entries.
    static uint64_t watchBit(Literal lit) {
        return uint64_t{1} << ((uint32_t(lit) * 0x9E3779B1u) >> 26);
    }
    static uint64_t watchFilter(const Clause* c, Literal key) {
        uint64_t filter = watchBit(key);
        for (uint32_t i = 0; i < c->size; ++i)
            filter |= watchBit(c->literals[i]);
        return filter;
    }
    void pushEntry(OccurrenceList& list, Clause* c, uint16_t filter = 0);
    void pushWatch(WatchList& list, Clause* c);
    void countHeld(Clause* const* held, uint32_t n);
    void sizeIndexLists();
    void watchPlanned(Clause* c, uint64_t filter);
    void listHeld(Clause* c, uint16_t filter);
    void* grownBlock(const ClauseArena& arena, void* old, size_t bytes, size_t used);
    void indexClause(Clause* c);
    // The old key of a re-keyed clause: its literals, and so its filter, stay.
    void addStored(Clause* c, Literal lit) { pushEntry(occursList(lit), c); }
    void listStored(Clause* c);
    void literalLeft(Clause* c, Literal lit);
    void rewatch(Clause* c);
    void unwatch(const Clause* c);
    void compactWatches(Literal lit);
    std::vector<Clause*> clausesHolding(Variable v);
    void emptyIndexLists(Variable v);
    void compactOccurs(Literal lit);
    void maybeCollectGarbage();
    void collectGarbage();

    // Subsumption checks of input clauses, store/input_subsumption.cpp.
    bool inputSubsumer(const Clause* c, Literal key, uint64_t filter);
    uint32_t removeInputSubsumed(Literal key, const Clause* c, uint16_t filter);

    // Reading and loading, qdimacs/reader.cpp and qdimacs/load.cpp.
    bool load(const std::string& path);
    void prepareInput();
    bool finishLoad(bool result);
    bool readQdimacs(std::FILE* stream);
    void renumberPrefix(std::vector<Variable>& prefix,
                        const std::vector<std::pair<Variable, uint32_t>>& lateFlags);
    Literal renumberedLiteral(Literal lit);
    enum class Prepared { dropped, held, allUniversal };
    Prepared prepareClause(uint32_t count, Literal* literals, Clause*& prepared);
    void refuteByInputClause();

    // Formula writer, qdimacs/writer.cpp.
    void writeQdimacs(std::ostream& out);
    void writeDump(uint32_t number);

    // Solve loop, solve/solve.cpp.
    bool solve();
    bool walkPrefix();
    bool eliminable(Variable v);

    // Decision heuristics, solve/heuristics.cpp.
    uint32_t chooseInnermost(uint32_t pos);
    uint32_t chooseStackSize(uint32_t pos);
    uint32_t liveAtOrBelow(uint32_t p);
    uint32_t occurringAtOrBelow(uint32_t p);
    uint32_t chooseMaxConflicts(uint32_t pos);
    uint32_t chooseLiteralBound(uint32_t pos);
    int32_t eliminationCost(Variable x);
    int32_t expansionCost(Variable x);
    int32_t variableCost(Variable x);

    // Propagation, solve/propagate.cpp.
    bool propagate();
    bool assign(Variable v, int32_t value, uint32_t reason);
    bool checkShortClause(Clause* clause, Literal key);
    void recordImplication(const Clause* clause, Literal key);
    bool eliminatePureLiterals();
    void requestPureCheck(uint32_t p);
    void requestDelete(const Clause* c);
    void deletePureClauses(Literal l);
    bool propagateUnits();
    bool processEquivalences();
    bool substituteEquivalence(EquivalenceRecord record);

    // Clause insertion and resolution, solve/insert.cpp.
    bool insertClause(Clause* clause, Literal key, bool tautologyPossible = true);
    bool insertHeld(const std::vector<HeldRun>& runs);
    bool insertHeldClause(Clause* clause);
    Clause* resolve(const Clause* p, const Clause* n);
    void reduceUniversals(Clause* clause);

    // Existential elimination, solve/eliminate.cpp.
    bool eliminateExistential(Variable v);
    void rekeyClauses(Variable v);
    Clause* nextResolvent(Variable v, Clause*& posCursor, Clause*& negCursor);
    void markForClashes(const Clause* p);
    bool clashesWithMarked(const Clause* n);
    void printStepProgress(const char* action, Variable v);

    // Universal expansion, solve/expand.cpp.
    bool expandUniversal(Variable u);

    // Conflicts, solve/conflict.cpp.
    void recordConflict(Clause* clause, Literal literal);
    void printStatistics();

    // Certificate file, certificate/certificate_file.cpp.
    void startCertificate();
    void finishCertificate();

    // Resolution trace and refutation, certificate/trace.cpp.
    void writeRefutation(const Clause* finalClause);
    void collectRequiredSteps(uint32_t finalId, GrowArray<ResolutionStep>& requiredSteps);
    void removeTautologies(uint32_t finalId, GrowArray<ResolutionStep>& requiredSteps);
    Clause* resolveOnPivot(const Clause* a, const Clause* b, Variable pivot, bool reduce = true);
    bool isTautologicalResolvent(const Clause* a, const Clause* b, Variable pivot) const;
    Variable rootVariable(Variable v);
    uint32_t writeResolutionSteps(GrowArray<ResolutionStep>& requiredSteps, uint32_t finalId);

    // Hybrid mode, hybrid/handover.cpp: 1 true, 0 false, -1 keep eliminating.
    void keepInputClause(const Literal* literals, uint32_t count, uint32_t id);
    int hybridFirst();
    bool overBudget(Variable next);
    int handOver();

    // Function output, certificate/functions.cpp.
    Literal defineDnf(const Clause* list);
    Literal constantTrue();
    void defineFunction(Variable v);
    void completeFunctions();
    void writeConclusion(bool valid, uint32_t finalNumber = 0);
    void putDefiningClause(Literal key, std::initializer_list<Literal> stored, uint32_t id);

    // QDIMACS output (--qdo): the outermost block's values, certificate/outermost.cpp.
    // They come from the certificate bookkeeping, run without a file unless -c asks for one.
    uint32_t headerVariables = 0;
    uint32_t headerClauses = 0;
    std::vector<Variable> outermostBlock; // its variables in prefix order
    bool outermostUniversal = false;
    std::vector<Literal> outermostValues; // true formula: what the block's functions give
    std::vector<Literal> refutedClause;   // false formula: the final clause before reduction
    void findOutermostBlock();
    void evaluateOutermostFunctions(const std::vector<std::pair<uint32_t, Literal>>& pairs);
    void recordRefutedClause(uint32_t finalId, const GrowArray<ResolutionStep>& requiredSteps);
    std::vector<Literal> qdimacsValues(bool answer) const;
};
