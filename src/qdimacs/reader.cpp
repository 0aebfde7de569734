// QDIMACS reader: one pass over a buffered byte stream, the prefix written
// straight into order and the variables' flags, each clause sorted by
// position while it is read and handed to prepareClause. Malformed input always
// ends in a FileFormatException; nothing malformed reaches the store.
//
// Free variables (used in clauses, named in no quantifier line) belong to an
// outermost existential block. Their number is unknown until the clauses are
// read, so the reader reserves room for all unquantified variables in front
// of the prefix and closes the unused gap at the end of input; shifting every
// position by the same amount keeps the stored clauses sorted.

#include "store/solver.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Large reads: a plain file's bytes then come straight from the page cache
// into this buffer, with no second copy through the stream's own. A small
// formula should not pay for the large buffer, so it comes only once the
// first megabyte has been read in small blocks; the buffer is left
// uninitialised, as only the bytes read are ever looked at.
constexpr size_t firstBufferSize = size_t{1} << 16;
constexpr size_t bufferSize = size_t{1} << 18;
constexpr size_t smallFileBytes = size_t{1} << 20;
constexpr size_t padding = 8;

class Scanner {
  public:
    // A few bytes more than the data: a 0 behind the last byte read stops
    // every in-place loop without a bounds check, and a word may be loaded
    // from any position up to it.
    explicit Scanner(std::FILE* file) : file(file), buffer(new char[firstBufferSize + padding]) {}

    int peek() {
        if (next == end && !fill()) return EOF;
        return static_cast<unsigned char>(buffer[next]);
    }
    void advance() { ++next; }

    void skipBlanks() {
        for (int ch = peek(); isBlank(ch); ch = peek())
            advance();
    }

    // Skips white space and whole lines that start with 'c'.
    void skipBlanksAndComments() {
        for (;;) {
            skipBlanks();
            if (peek() != 'c') return;
            skipLine();
        }
    }

    void skipLine() {
        for (int ch = peek(); ch != EOF; ch = peek()) {
            advance();
            if (ch == '\n') return;
        }
    }

    // A maximal run of non-blank bytes; empty at end of input.
    std::string word() {
        skipBlanks();
        std::string w;
        for (int ch = peek(); ch != EOF && !isBlank(ch); ch = peek()) {
            w.push_back(char(ch));
            advance();
        }
        return w;
    }

    enum class Token { number, notNumber, end };

    // A decimal integer in the 32-bit signed range, as a whole token.
    Token number(int64_t& value) {
        skipBlanks();
        int ch = peek();
        if (ch == EOF) return Token::end;
        bool negative = false;
        if (ch == '-' || ch == '+') {
            negative = ch == '-';
            advance();
            ch = peek();
        }
        bool digits = false;
        bool fits = true;
        int64_t v = 0;
        while (ch >= '0' && ch <= '9') {
            digits = true;
            v = v * 10 + (ch - '0');
            if (v > int64_t{1} << 31) fits = false, v = int64_t{1} << 31;
            advance();
            ch = peek();
        }
        bool whole = ch == EOF || isBlank(ch);
        while (ch != EOF && !isBlank(ch)) {
            advance();
            ch = peek();
        }
        value = negative ? -v : v;
        if (!digits || !whole || !fits || value > INT32_MAX) return Token::notNumber;
        return Token::number;
    }

    // The next number after blanks and comment lines, as number() reads it.
    // Almost every token of a clause is a plain literal of at most seven
    // digits ending before the buffer does; that case is read eight bytes at
    // once, and a longer literal a byte at a time. Anything else (a comment,
    // a sign '+', a malformed token, the buffer's end) goes the general way
    // from the token's start.
    Token clauseNumber(int64_t& value) {
        const char* data = buffer.get();
        const char* p = data + next;
        while (isBlank(static_cast<unsigned char>(*p)))
            ++p;
        bool negative = *p == '-';
        const char* digits = p + negative;
        // The padding behind the data makes eight bytes readable at any
        // position up to the end; the 0 at the end is no digit.
        uint64_t word;
        std::memcpy(&word, digits, sizeof word);
        // A digit's high nibble is 3, and adding 6 leaves it so. A carry out of
        // a byte comes only from a byte that is no digit, and only disturbs
        // bytes behind it. The top bit stops the count at seven digits.
        uint64_t notDigit = ((word & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u) |
                            (((word + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) ^ 0x3030303030303030u);
        unsigned length = unsigned(std::countr_zero(notDigit | uint64_t{1} << 63)) / 8;
        if (length == 0 || !isBlank(static_cast<unsigned char>(digits[length])))
            return longNumber(size_t(p - data), value);
        // The digits, most significant first, moved to the word's top bytes:
        // below them are zero digits. Then pairs, quadruples and the whole are
        // summed as in a multiply-add tree.
        uint64_t v = (word - 0x3030303030303030u) << ((64 - 8 * length) & 63);
        v = v * 10 + (v >> 8);
        v = ((v & 0x000000FF000000FFu) * (100 + (uint64_t{1000000} << 32)) +
             ((v >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t{10000} << 32))) >>
            32;
        // The blank behind it is taken too.
        next = size_t(digits + length + 1 - data);
        value = negative ? -int64_t(v) : int64_t(v);
        return Token::number;
    }

  private:
    // clauseNumber's other cases, from the token's start: up to ten digits a
    // byte at a time, and anything else the general way.
    [[gnu::noinline]] Token longNumber(size_t start, int64_t& value) {
        const char* data = buffer.get();
        next = start;
        bool negative = data[start] == '-';
        const char* digits = data + start + negative;
        const char* q = digits;
        uint64_t v = 0;
        while (q - digits < 10 && unsigned(*q - '0') < 10)
            v = v * 10 + unsigned(*q++ - '0');
        if (q != digits && size_t(q - data) < end && isBlank(static_cast<unsigned char>(*q)) &&
            v <= INT32_MAX) {
            next = size_t(q - data);
            value = negative ? -int64_t(v) : int64_t(v);
            return Token::number;
        }
        skipBlanksAndComments();
        return number(value);
    }

    static bool isBlank(int ch) { return ch == ' ' || unsigned(ch - '\t') <= unsigned('\r' - '\t'); }

    bool fill() {
        consumed += end;
        if (capacity < bufferSize && consumed >= smallFileBytes) {
            buffer.reset(new char[bufferSize + padding]);
            capacity = bufferSize;
        }
        end = std::fread(buffer.get(), 1, capacity, file);
        std::memset(buffer.get() + end, 0, padding);
        next = 0;
        return end > 0;
    }

    std::FILE* file;
    std::unique_ptr<char[]> buffer;
    size_t capacity = firstBufferSize;
    size_t consumed = 0; // bytes read before the buffer's current contents
    size_t next = 0;
    size_t end = 0;
};

// Tables of records are indexed at random while loading; a record may
// straddle two cache lines, and both are asked for.
template <typename T> void prefetchWhole(const T* record) {
    const char* first = reinterpret_cast<const char*>(record);
    __builtin_prefetch(first);
    __builtin_prefetch(first + sizeof(T) - 1);
}

[[noreturn]] void formatError(const char* message) {
    throw FileFormatException{{message}};
}

} // namespace

bool Solver::readQdimacs(std::FILE* stream) {
    Scanner in(stream);
    forwardSubsumed = 0;
    totalConflicts = 0;

    std::string w = in.word();
    while (!w.empty() && w[0] == 'c') {
        in.skipLine();
        w = in.word();
    }
    if (w != "p") formatError("p header missing");
    if (in.word() != "cnf") formatError("cnf header missing");
    int64_t n = 0;
    if (in.number(n) != Scanner::Token::number || n == 0)
        formatError("bogus variable number in header");
    setVariableCount(int32_t(n));
    int64_t declared = 0;
    if (in.number(declared) != Scanner::Token::number || declared <= 0)
        formatError("bogus number of clauses in header");
    uint32_t m = uint32_t(declared);
    headerVariables = lastVar;
    headerClauses = m;
    if (certificates) resolutionParents.resize(m);
    certificate.lastIndex = lastVar;

    // Tables grow with the variables that occur, never to the header's count,
    // which may be far larger than the file. While the prefix is read, a
    // quantified variable's flags hold its position plus one, so that flags 0
    // mean "not quantified".
    //
    // Quantified numbers above plainBound get their flags once the prefix is
    // read, when it is known whether they are renumbered. Meanwhile a bitmap
    // of the header's size, whose pages are only touched where numbers fall,
    // finds them quantified twice; past 32 MB of address space a set does.
    constexpr uint32_t plainBound = uint32_t{1} << 16;
    std::vector<Variable> prefix;
    std::vector<std::pair<Variable, uint32_t>> lateFlags;
    std::unique_ptr<uint64_t, decltype(&std::free)> seen(nullptr, &std::free);
    std::unordered_set<Variable> seenFar;
    if (lastVar > plainBound && lastVar <= uint32_t{1} << 28) {
        seen.reset(static_cast<uint64_t*>(std::calloc(lastVar / 64 + 1, sizeof(uint64_t))));
        if (!seen) throw MemoryException{{"memory exhausted"}};
    }
    auto firstTime = [&](Variable v) {
        if (!seen) return seenFar.insert(v).second;
        uint64_t& word = seen.get()[v / 64];
        uint64_t bit = uint64_t{1} << (v % 64);
        bool fresh = !(word & bit);
        word |= bit;
        return fresh;
    };
    for (;;) {
        in.skipBlanksAndComments();
        int ch = in.peek();
        if (ch != 'a' && ch != 'e' && ch != 'A' && ch != 'E') break;
        in.advance();
        uint32_t kind = (ch == 'e' || ch == 'E') ? 1 : 0;
        for (;;) {
            int64_t v = 0;
            Scanner::Token t = in.number(v);
            if (t == Scanner::Token::end) formatError("quantifier line not terminated by 0");
            if (t == Scanner::Token::notNumber) formatError("non-numeric token in quantifier line");
            if (v == 0) break;
            if (v < 0) formatError("negative variable in quantifier line");
            if (v > lastVar)
                formatError("variable in quantifier line exceeds the header's variable count");
            uint32_t flags = 2 * (uint32_t(prefix.size()) + 1) + kind;
            if (v > plainBound) {
                if (!firstTime(uint32_t(v))) formatError("variable quantified twice");
                lateFlags.emplace_back(uint32_t(v), flags);
            } else {
                if (flagsOf(uint32_t(v)) != 0) formatError("variable quantified twice");
                varFlag(uint32_t(v)) = flags;
            }
            prefix.push_back(uint32_t(v));
            if (kind)
                ++existentialCount;
            else
                ++universalCount;
        }
    }

    seen.reset();
    seenFar = {};
    if (lastVar > plainBound) renumberPrefix(prefix, lateFlags);

    // Room for the free variables in front of the prefix. Only the positions
    // move: order is written once the number of free variables is known.
    // Quantified positions then start at reserved and free ones at 0, so with
    // room reserved, flags 0 still mean "not quantified"; without room every
    // variable is quantified.
    uint32_t quantifiedCount = uint32_t(prefix.size());
    uint32_t reserved = lastVar - quantifiedCount;
    uint32_t freeCount = 0;
    for (Variable v : prefix)
        varFlag(v) += 2 * reserved - 2;
    lastPosition = reserved + quantifiedCount;

    if (copyInputClauses) {
        inputClauseCopies.resize(m);
        lastInputClauseId = m;
    }

    // Clauses are read in batches, placed by position and prepared one by
    // one, and held; their literals are counted as they come in the
    // occurrence counters, and each batch in the index records for the lists'
    // sizes. Until loading is over nothing needs the counters exact: a clause
    // that is not stored is taken off them again. Once all are held, every
    // index list is sized and they are inserted in file order.
    // Loading decides the formula at an all-universal clause or at a unit
    // whose opposite unit came before it, and reading stops there as it
    // would if each clause were inserted when read; a format error is raised
    // only after the clauses before it are inserted, since one of them may
    // already decide the formula. The placing of a batch runs a few clauses
    // ahead of the preparing, and a formula decided within a batch keeps the
    // free variables those clauses numbered.
    constexpr uint32_t batchClauses = 256;
    constexpr uint32_t placeAhead = 16;
    GrowArray<Literal> batch;        // the batch's literals, clause after clause
    uint32_t ends[batchClauses + 1]; // clause c of the batch is literals [ends[c], ends[c + 1])
    batch.resize(1024);
    ends[0] = 0;
    // Every quantified variable's record was written with the prefix and a
    // free one's is written here when it first occurs, so once a literal is
    // placed its variable's record is inside the table.
    // A long clause is sorted once its variables are numbered: inserting
    // literal by literal costs the square of its length. Both sorts are
    // stable, so the literals end in the same order.
    constexpr uint32_t insertionLength = 32;
    auto place = [&](uint32_t c) {
        Literal* literals = batch.data + ends[c];
        uint32_t k = ends[c + 1] - ends[c];
        bool inserting = k <= insertionLength;
        for (uint32_t i = 0; i < k; ++i) {
            Literal lit = literals[i];
            Variable v = var(lit);
            uint32_t flags = flagsOf(v);
            if (reserved > 0 && flags == 0) {
                uint32_t p = freeCount++;
                order[p] = v;
                flags = 2 * p + 1;
                varFlag(v) = flags;
                ++existentialCount;
            }
            assert(v < varState.capacity);
            if (!inserting) continue;
            uint32_t pos = flags >> 1;
            const VarState* states = varState.data;
            uint32_t j = i;
            for (; j > 0 && pos < states[var(literals[j - 1])].flags >> 1; --j)
                literals[j] = literals[j - 1];
            literals[j] = lit;
        }
        if (!inserting) {
            const VarState* states = varState.data;
            std::stable_sort(literals, literals + k, [states](Literal a, Literal b) {
                return states[var(a)].flags >> 1 < states[var(b)].flags >> 1;
            });
        }
    };
    std::vector<HeldRun> runs;
    std::vector<Clause*> held; // of the current batch
    GrowArray<uint8_t> units; // per variable: 1 a positive, 2 a negative unit was held
    Variable highest = 0;     // of the held clauses' variables
    Clause* last = nullptr;   // held last
    // A held clause's literals are counted in and its watch is planned in one
    // pass. Nothing is checked for purity before loading is over, so counting
    // needs no note, and placing gave every variable its record. The watch is
    // the literal held by the fewest clauses read up to it, the key on a tie,
    // as insertion would choose; no variable occurs twice in a clause, so a
    // count is final for the clause once it is raised.
    assert(!pureScanned && !skipValid);
    auto hold = [&](Clause* c) {
        uint32_t length = c->size + 1;
        VarState* states = varState.data;
        auto count = [&](Literal lit) {
            Variable v = var(lit);
            highest = std::max(highest, v);
            states[v].weight[lit < 0] += length;
            return ++states[v].count[lit < 0];
        };
        Literal fewestLiteral = 0;
        uint32_t fewest = UINT32_MAX;
        for (uint32_t i = 0; i < c->size; ++i)
            if (uint32_t n = count(c->literals[i]); n < fewest)
                fewest = n, fewestLiteral = c->literals[i];
        Literal key = c->key();
        c->watch = count(key) <= fewest ? key : fewestLiteral;
        if (!runs.empty() && HeldRun::after(last) == c)
            ++runs.back().count;
        else
            runs.push_back({c, 1});
        last = c;
        held.push_back(c);
        if (c->size > 0) return true;
        uint8_t& signs = units[var(key)];
        signs |= key > 0 ? 1 : 2;
        return signs != 3;
    };

    // Literals up to this number need neither an error nor renumbering.
    Variable plainVariables = std::min(lastVar, renumbering.above);
    uint32_t read = 0;
    bool decided = false;
    bool allUniversal = false;
    const char* problem = nullptr;
    while (read < m && !decided && !problem) {
        uint32_t wanted = std::min(batchClauses, m - read);
        uint32_t n = 0;
        Literal* out = batch.data;
        Literal* outEnd = out + batch.capacity;
        // Reading a batch grows none of the solver's tables.
        const VarState* states = varState.data;
        uint32_t stateCount = varState.capacity;
        while (n < wanted) {
            int64_t x = 0;
            Scanner::Token t = in.clauseNumber(x);
            if (t != Scanner::Token::number) {
                problem = t == Scanner::Token::end ? "not enough clauses in file"
                                                   : "non-numeric token in clause";
                break;
            }
            if (x == 0) {
                ends[++n] = uint32_t(out - batch.data);
                continue;
            }
            Literal lit = Literal(x);
            Variable v = var(lit);
            if (v > plainVariables) {
                if (v > lastVar) {
                    problem = "variable in clause exceeds the header's variable count";
                    break;
                }
                lit = renumberedLiteral(lit);
                v = var(lit);
            }
            if (v < stateCount) prefetchWhole(states + v);
            if (out == outEnd) {
                uint32_t used = uint32_t(out - batch.data);
                batch.at(used);
                out = batch.data + used;
                outEnd = batch.data + batch.capacity;
            }
            *out++ = lit;
        }
        held.clear();
        for (uint32_t c = 0; c < n && c < placeAhead; ++c)
            place(c);
        for (uint32_t c = 0; c < n && !decided; ++c) {
            if (c + placeAhead < n) place(c + placeAhead);
            Clause* prepared = nullptr;
            Prepared result = prepareClause(ends[c + 1] - ends[c], batch.data + ends[c], prepared);
            if (result == Prepared::allUniversal)
                decided = allUniversal = true;
            else if (result == Prepared::held && !hold(prepared))
                decided = true;
            ++read;
        }
        countHeld(held.data(), uint32_t(held.size()));
    }
    batch.resize(0);
    held = {};

    // Counting in the index records grew the table up to the highest variable
    // held; it still does, since collection reads the table's capacity.
    if (highest) literalIndex[highest];
    sizeIndexLists();
    bool inserted = insertHeld(runs);
    runs = {};
    if (!inserted) return false;
    if (allUniversal) {
        refuteByInputClause();
        return false;
    }
    if (problem) formatError(problem);

    // Close the unused part of the reserved room.
    uint32_t unused = reserved - freeCount;
    for (uint32_t i = 0; i < quantifiedCount; ++i) {
        Variable v = prefix[i];
        order[freeCount + i] = v;
        varFlag(v) -= 2 * unused;
    }
    lastPosition -= unused;

    finishInput();
    return true;
}

// Numbers are renumbered only when the header declares far more variables
// than the prefix quantifies; a bound with room for twice the quantified ones
// leaves every ordinary input as it is.
void Solver::renumberPrefix(std::vector<Variable>& prefix,
                            const std::vector<std::pair<Variable, uint32_t>>& lateFlags) {
    uint64_t room = 2 * uint64_t{prefix.size()} + (uint64_t{1} << 16);
    Variable bound = Variable(std::min(room, uint64_t{lastVar}));
    renumbering.above = bound;
    std::vector<std::pair<Variable, uint32_t>> beyond;
    for (const auto& [v, flags] : lateFlags) {
        if (v <= bound)
            varFlag(v) = flags;
        else
            beyond.emplace_back(v, flags);
    }
    std::sort(beyond.begin(), beyond.end());
    for (const auto& [v, flags] : beyond) {
        Variable ours = bound + 1 + Variable(renumbering.fileNumbers.size());
        renumbering.fileNumbers.push_back(v);
        renumbering.inside.emplace(v, ours);
        varFlag(ours) = flags;
    }
    for (Variable& v : prefix)
        if (v > bound) v = renumbering.inside.at(v);
}

std::vector<Variable> Renumbering::inWrittenOrder(Variable last) const {
    std::vector<Variable> listed;
    for (Variable v = 1; v <= last; ++v)
        listed.push_back(v);
    if (active())
        std::stable_sort(listed.begin(), listed.end(), [this](Variable a, Variable b) {
            return fileVariable(a) < fileVariable(b);
        });
    return listed;
}

// A free variable above the bound, met for the first time, takes the next number.
Literal Solver::renumberedLiteral(Literal lit) {
    Variable v = var(lit);
    auto [found, added] = renumbering.inside.try_emplace(v, 0);
    if (added) {
        found->second = renumbering.above + 1 + Variable(renumbering.fileNumbers.size());
        renumbering.fileNumbers.push_back(v);
    }
    return lit < 0 ? -Literal(found->second) : Literal(found->second);
}
