// QDIMACS text for the tools. The decorated writer is where the generator's
// syntactic oddities come from; the semantic ones (tautologies, free
// variables, empty clauses...) are already in the Formula.

#include "formula.hpp"

#include "random.hpp"

#include <cctype>
#include <cstdlib>
#include <set>

namespace {

class Writer {
  public:
    Writer(Text text, uint64_t seed) : text(text), random(seed) {}

    bool decorated() const { return text == Text::decorated; }

    void comment() {
        static const char* const bodies[] = {"",       " generated", " p cnf 1 1",
                                             " e 1 0", " 0",         " a -1 2 0"};
        if (!out.empty() && out.back() != '\n') out += '\n';
        out += 'c';
        out += bodies[random.below(6)];
        out += '\n';
    }
    void maybeComment(uint32_t percent) {
        if (decorated() && random.chance(percent)) comment();
    }

    // Between tokens of one line: usually a blank, sometimes a line break or
    // a tab, which the reader must treat alike.
    void gap() {
        if (!decorated()) {
            out += ' ';
            return;
        }
        uint32_t r = random.below(100);
        out += r < 4 ? "\n" : r < 7 ? "\t" : r < 10 ? "  " : " ";
    }

    void quantifierLine(const QuantifierLine& line) {
        char letter = line.universal ? 'a' : 'e';
        if (decorated() && random.chance(10)) letter = char(std::toupper(letter));
        out += letter;
        for (int32_t v : line.variables) {
            gap();
            out += std::to_string(v);
        }
        gap();
        out += "0\n";
    }

    void clause(const std::vector<int32_t>& literals, bool lineEnd) {
        for (int32_t lit : literals) {
            out += std::to_string(lit);
            gap();
        }
        out += lineEnd ? "0\n" : "0 ";
    }

    Text text;
    Random random;
    std::string out;
};

} // namespace

std::string writeQdimacs(const Formula& formula, Text text, uint64_t layoutSeed) {
    Writer w(text, layoutSeed);
    bool depqbf = text == Text::depqbf;
    size_t clauseCount = 0;
    for (const auto& c : formula.clauses)
        if (!depqbf || !c.empty()) ++clauseCount;
    if (w.decorated())
        for (uint32_t i = w.random.below(3); i > 0; --i)
            w.comment();
    w.out +=
        "p cnf " + std::to_string(formula.variableCount) + ' ' + std::to_string(clauseCount) + '\n';
    for (const QuantifierLine& line : formula.prefix) {
        if (depqbf && line.variables.empty()) continue;
        w.maybeComment(15);
        w.quantifierLine(line);
    }
    for (size_t i = 0; i < formula.clauses.size(); ++i) {
        const auto& c = formula.clauses[i];
        if (depqbf && c.empty()) continue;
        w.maybeComment(8);
        bool last = i + 1 == formula.clauses.size();
        w.clause(c, last || !w.decorated() || !w.random.chance(20));
    }
    w.maybeComment(30);
    return w.out;
}

namespace {

class Scanner {
  public:
    explicit Scanner(const std::string& text) : text(text) {}

    // Skips white space and, outside the header and quantifier lines,
    // comments; true if a token follows. Like karvona, a token starting with
    // 'c' opens a comment that runs to the line end.
    bool skip() {
        for (;;) {
            while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next])))
                ++next;
            if (inLine || next == text.size() || text[next] != 'c') return next < text.size();
            while (next < text.size() && text[next] != '\n')
                ++next;
        }
    }

    std::string word() {
        if (!skip()) return "";
        size_t start = next;
        while (next < text.size() && !std::isspace(static_cast<unsigned char>(text[next])))
            ++next;
        return text.substr(start, next - start);
    }

    char peek() { return skip() ? text[next] : '\0'; }
    void advance() { ++next; }

    bool number(int64_t& value) {
        std::string w = word();
        if (w.empty()) return false;
        // The whole word must be the number: a NUL byte inside it would end
        // strtoll's scan early.
        char* end = nullptr;
        value = std::strtoll(w.c_str(), &end, 10);
        return end == w.c_str() + w.size() && value >= INT32_MIN && value <= INT32_MAX;
    }

    bool inLine = false;

  private:
    const std::string& text;
    std::string::size_type next = 0;
};

} // namespace

bool readQdimacs(const std::string& text, Formula& formula, std::string& error) {
    formula = Formula{};
    Scanner in(text);
    int64_t n = 0;
    int64_t m = 0;
    bool p = in.word() == "p";
    in.inLine = true;
    if (!p || in.word() != "cnf" || !in.number(n) || !in.number(m) || n == 0 || n < -INT32_MAX ||
        m <= 0) {
        error = "bad header";
        return false;
    }
    in.inLine = false;
    n = n < 0 ? -n : n; // karvona takes a negative variable count by its magnitude
    formula.variableCount = int32_t(n);
    for (char ch = in.peek(); ch == 'a' || ch == 'e' || ch == 'A' || ch == 'E'; ch = in.peek()) {
        in.advance(); // the letter alone: "e1 2 0" quantifies 1 and 2
        QuantifierLine line;
        line.universal = ch == 'a' || ch == 'A';
        in.inLine = true;
        for (;;) {
            int64_t v = 0;
            if (!in.number(v) || v < 0 || v > n) {
                error = "bad quantifier line";
                return false;
            }
            if (v == 0) break;
            line.variables.push_back(int32_t(v));
        }
        in.inLine = false;
        formula.prefix.push_back(line);
    }
    std::set<int32_t> quantified;
    for (const QuantifierLine& line : formula.prefix)
        for (int32_t v : line.variables)
            if (!quantified.insert(v).second) {
                error = "variable quantified twice";
                return false;
            }
    std::vector<int32_t> clause;
    while (int64_t(formula.clauses.size()) < m) {
        int64_t x = 0;
        if (!in.number(x) || x < -n || x > n) {
            error = "bad or missing clause";
            return false;
        }
        if (x == 0) {
            formula.clauses.push_back(clause);
            clause.clear();
        } else {
            clause.push_back(int32_t(x));
        }
    }
    return true;
}

std::vector<int32_t> freeVariables(const Formula& formula) {
    std::vector<bool> quantified(size_t(formula.variableCount) + 1);
    for (const QuantifierLine& line : formula.prefix)
        for (int32_t v : line.variables)
            quantified[size_t(v)] = true;
    std::vector<int32_t> result;
    std::vector<bool> seen(quantified.size());
    for (const auto& c : formula.clauses)
        for (int32_t lit : c) {
            size_t v = size_t(std::abs(lit));
            if (!quantified[v] && !seen[v]) {
                seen[v] = true;
                result.push_back(int32_t(v));
            }
        }
    return result;
}
