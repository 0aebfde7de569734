// Recursion over the occurring variables in prefix order; each clause is
// checked once, right after its innermost variable got a value, since it is
// open until then. Variables that occur nowhere cannot change the value and
// are skipped, which keeps the recursion as deep as the formula really is.

#include "brute_force.hpp"

#include <cstdlib>
#include <stdexcept>

namespace {

struct BitClause {
    uint64_t positive = 0; // bit i: the i-th variable of the order occurs positively
    uint64_t negative = 0;
};

class Evaluator {
  public:
    explicit Evaluator(const Formula& formula) {
        std::vector<bool> occurs(size_t(formula.variableCount) + 1);
        for (const auto& c : formula.clauses)
            for (int32_t lit : c)
                occurs[size_t(std::abs(lit))] = true;

        std::vector<int> index(occurs.size(), -1);
        auto place = [&](int32_t v, bool universal) {
            if (!occurs[size_t(v)] || index[size_t(v)] >= 0) return;
            if (universals.size() == maxBruteForceVariables)
                throw std::length_error("too many variables for brute force");
            index[size_t(v)] = int(universals.size());
            universals.push_back(universal);
        };
        for (int32_t v : freeVariables(formula))
            place(v, false);
        for (const QuantifierLine& line : formula.prefix)
            for (int32_t v : line.variables)
                place(v, line.universal);

        closing.resize(universals.size() + 1);
        for (const auto& c : formula.clauses) {
            if (c.empty()) continue;
            BitClause bits;
            int innermost = 0;
            for (int32_t lit : c) {
                int i = index[size_t(std::abs(lit))];
                (lit > 0 ? bits.positive : bits.negative) |= uint64_t{1} << i;
                if (i > innermost) innermost = i;
            }
            if (bits.positive & bits.negative) continue;
            closing[size_t(innermost) + 1].push_back(bits);
        }
    }

    bool value() const { return valueFrom(0, 0); }

  private:
    // depth variables have values, bit i of assignment being the i-th.
    bool valueFrom(size_t depth, uint64_t assignment) const {
        for (const BitClause& c : closing[depth])
            if (!(c.positive & assignment) && !(c.negative & ~assignment)) return false;
        if (depth == universals.size()) return true;
        uint64_t bit = uint64_t{1} << depth;
        bool first = valueFrom(depth + 1, assignment);
        if (universals[depth] ? !first : first) return first;
        return valueFrom(depth + 1, assignment | bit);
    }

    std::vector<bool> universals;                // per occurring variable, in prefix order
    std::vector<std::vector<BitClause>> closing; // [d]: clauses decided once d variables are set
};

} // namespace

bool evaluateByBruteForce(const Formula& formula) {
    return Evaluator(formula).value();
}
