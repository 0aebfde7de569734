// QDIMACS for the checker. The clause numbers must match karvona's, so this
// reader accepts the same corners the solver accepts: comments wherever a
// token may start, clauses spread over lines, and nothing read after the
// declared number of clauses. A lone 0 is skipped without a number, while a
// tautology keeps its number so that later clauses are not renumbered.

#include "check/check_certificate.hpp"

#include <algorithm>
#include <cstdlib>

namespace check {

namespace {

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text(text) {}

    // At the end of a text that ends in a newline, the last line is meant,
    // not the empty one after it.
    size_t line() const {
        bool pastLastNewline = at == text.size() && !text.empty() && text.back() == '\n';
        return pastLastNewline ? lineNumber - 1 : lineNumber;
    }

    void skipBlanks() {
        for (; at < text.size() && isBlank(text[at]); ++at)
            if (text[at] == '\n') ++lineNumber;
    }

    void skipLine() {
        while (at < text.size() && text[at] != '\n')
            ++at;
    }

    // Skips blanks and everything from a 'c' up to the end of its line.
    void skipBlanksAndComments() {
        for (;;) {
            skipBlanks();
            if (at == text.size() || text[at] != 'c') return;
            skipLine();
        }
    }

    // The next character after blanks and comments; 0 at the end.
    char peek() {
        skipBlanksAndComments();
        return at < text.size() ? text[at] : 0;
    }
    void advance() { ++at; }

    // A maximal run of non-blank characters; empty at the end.
    std::string_view word() {
        skipBlanks();
        size_t start = at;
        while (at < text.size() && !isBlank(text[at]))
            ++at;
        return text.substr(start, at - start);
    }

  private:
    std::string_view text;
    size_t at = 0;
    size_t lineNumber = 1;
};

// A decimal integer of at most 31 bits of magnitude, as the whole word.
bool parseInteger(std::string_view w, int64_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < w.size() && (w[i] == '-' || w[i] == '+')) negative = w[i++] == '-';
    if (i == w.size()) return false;
    int64_t v = 0;
    for (; i < w.size(); ++i) {
        if (w[i] < '0' || w[i] > '9') return false;
        v = v * 10 + (w[i] - '0');
        if (v > INT32_MAX) return false;
    }
    value = negative ? -v : v;
    return true;
}

[[noreturn]] void fail(size_t line, std::string why) {
    throw FormulaException{line, why};
}

// karvona takes a negative variable count by its magnitude, so the count
// may carry a sign; the clause count may not.
int64_t headerNumber(Scanner& in, const char* what, bool magnitude) {
    std::string_view w = in.word();
    int64_t value = 0;
    bool number = parseInteger(w, value);
    if (magnitude && value < 0) value = -value;
    if (!number || value <= 0)
        fail(in.line(), std::string("bogus ") + what + " in header: " + quoted(w));
    return value;
}

} // namespace

Formula readFormula(std::string_view text) {
    Scanner in(text);
    std::string_view w = in.word();
    while (!w.empty() && w[0] == 'c') {
        in.skipLine();
        w = in.word();
    }
    if (w != "p") fail(in.line(), "p header missing");
    if (in.word() != "cnf") fail(in.line(), "cnf header missing");
    Formula f;
    f.variableCount = uint32_t(headerNumber(in, "variable count", true));
    uint32_t declared = uint32_t(headerNumber(in, "clause count", false));
    uint32_t n = f.variableCount;
    // The tables grow with the variables that occur: a header may declare
    // far more than the file uses.
    auto occurs = [&f](uint32_t v) {
        f.lastNamed = std::max(f.lastNamed, v);
        if (v >= f.position.size() && v <= Formula::farBase) {
            f.position.resize(size_t{v} + 1, 0);
            f.universal.resize(size_t{v} + 1, 0);
        }
    };
    occurs(0);

    uint32_t nextPosition = 1;
    for (char ch = in.peek(); ch == 'a' || ch == 'e' || ch == 'A' || ch == 'E'; ch = in.peek()) {
        in.advance();
        for (;;) {
            w = in.word();
            int64_t v = 0;
            if (w.empty()) fail(in.line(), "quantifier line not terminated by 0");
            if (!parseInteger(w, v))
                fail(in.line(), "non-numeric token " + quoted(w) + " in quantifier line");
            if (v == 0) break;
            if (v < 0) fail(in.line(), "negative variable in quantifier line");
            if (v > n)
                fail(in.line(), "variable " + std::to_string(v) + " exceeds the header's count " +
                                    std::to_string(n));
            occurs(uint32_t(v));
            bool universal = ch == 'a' || ch == 'A';
            if (v > Formula::farBase) {
                if (!f.farQuantified.emplace(uint32_t(v), 2 * nextPosition + universal).second)
                    fail(in.line(), "variable " + std::to_string(v) + " quantified twice");
                ++nextPosition;
                continue;
            }
            if (f.position[v] != 0)
                fail(in.line(), "variable " + std::to_string(v) + " quantified twice");
            f.position[v] = nextPosition++;
            f.universal[v] = universal;
        }
    }

    f.clauseStart.push_back(0);
    f.tautology.push_back(0);
    std::vector<int32_t> clause;
    for (uint32_t read = 0; read < declared;) {
        in.skipBlanksAndComments();
        w = in.word();
        int64_t x = 0;
        if (w.empty())
            fail(in.line(), "not enough clauses in file: " + std::to_string(declared) +
                                " declared, " + std::to_string(read) + " complete");
        if (!parseInteger(w, x)) fail(in.line(), "non-numeric token " + quoted(w) + " in clause");
        if (std::llabs(x) > n)
            fail(in.line(), "variable " + std::to_string(std::llabs(x)) +
                                " exceeds the header's count " + std::to_string(n));
        if (x != 0) {
            occurs(uint32_t(std::llabs(x)));
            clause.push_back(int32_t(x));
            continue;
        }
        ++read;
        if (clause.empty()) continue;
        std::sort(clause.begin(), clause.end(), [](int32_t a, int32_t b) {
            return std::abs(a) != std::abs(b) ? std::abs(a) < std::abs(b) : a < b;
        });
        clause.erase(std::unique(clause.begin(), clause.end()), clause.end());
        bool tautology = false;
        for (size_t i = 1; i < clause.size(); ++i)
            tautology = tautology || clause[i] == -clause[i - 1];
        f.literals.insert(f.literals.end(), clause.begin(), clause.end());
        f.clauseStart.push_back(f.literals.size());
        f.tautology.push_back(tautology);
        clause.clear();
    }
    // Numbers the file's size can pay for get their table entries now.
    if (f.lastNamed > Formula::farBase &&
        f.lastNamed - Formula::farBase <= 4 * (f.literals.size() + nextPosition)) {
        f.position.resize(size_t{f.lastNamed} + 1, 0);
        f.universal.resize(size_t{f.lastNamed} + 1, 0);
        for (auto [v, flags] : f.farQuantified) {
            f.position[v] = flags / 2;
            f.universal[v] = flags & 1;
        }
        f.farQuantified.clear();
        f.lastNamed = 0;
    }
    return f;
}

void renumberFar(Formula& f, Certificate& certificate) {
    if (f.lastNamed <= Formula::farBase) return;
    uint32_t n = f.variableCount;
    std::vector<uint32_t>& far = f.farNumbers;
    auto note = [&](int64_t lit) {
        uint64_t v = uint64_t(lit < 0 ? -lit : lit);
        if (v > Formula::farBase && v <= n) far.push_back(uint32_t(v));
    };
    for (int32_t lit : f.literals)
        note(lit);
    for (auto [v, flags] : f.farQuantified)
        note(v);
    for (auto [v, lit] : certificate.functions)
        note(v), note(lit);
    for (int32_t lit : certificate.operands)
        note(lit);
    std::sort(far.begin(), far.end());
    far.erase(std::unique(far.begin(), far.end()), far.end());
    auto renumbered = [&](int64_t lit) {
        uint64_t v = uint64_t(lit < 0 ? -lit : lit);
        if (v <= Formula::farBase || v > n) return lit;
        int64_t ours =
            Formula::farBase + 1 + (std::lower_bound(far.begin(), far.end(), v) - far.begin());
        return lit < 0 ? -ours : ours;
    };
    for (int32_t& lit : f.literals)
        lit = int32_t(renumbered(lit));
    for (auto& [v, lit] : certificate.functions)
        v = uint32_t(renumbered(v)), lit = int32_t(renumbered(lit));
    for (int32_t& lit : certificate.operands)
        lit = int32_t(renumbered(lit));
    size_t size = Formula::farBase + 1 + far.size();
    f.position.resize(size, 0);
    f.universal.resize(size, 0);
    for (auto [v, flags] : f.farQuantified) {
        uint32_t ours = uint32_t(renumbered(v));
        f.position[ours] = flags / 2;
        f.universal[ours] = flags & 1;
    }
    f.farQuantified.clear();
}

} // namespace check
