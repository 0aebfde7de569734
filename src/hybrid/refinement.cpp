// Placeholder two-level refinement: one fresh SAT call per check and one
// abstraction clause per answer; the real engine replaces it.

#include "hybrid/refinement.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cstdlib>

namespace refinement {

Result solveTwoLevel(const TwoLevelFormula& formula) {
    Result result;
    int32_t top = 0;
    for (int32_t x : formula.universals)
        top = std::max(top, x);
    for (int32_t y : formula.existentials)
        top = std::max(top, y);
    CaDiCaL::Solver abstraction;
    for (int32_t x : formula.universals)
        abstraction.add(x), abstraction.add(-x), abstraction.add(0);
    std::vector<bool> universal(top + 1, false);
    for (int32_t x : formula.universals)
        universal[x] = true;
    for (;;) {
        ++result.steps;
        if (abstraction.solve() != 10) {
            result.valid = true;
            return result;
        }
        std::vector<int32_t> candidate;
        for (int32_t x : formula.universals)
            candidate.push_back(abstraction.val(x) > 0 ? x : -x);
        CaDiCaL::Solver check;
        for (const auto& c : formula.clauses) {
            for (int32_t l : c)
                check.add(l);
            check.add(0);
        }
        for (int32_t l : candidate)
            check.add(l), check.add(0);
        for (int32_t y : formula.existentials)
            check.add(y), check.add(-y), check.add(0);
        if (check.solve() != 10) {
            result.counterexample = candidate;
            return result;
        }
        std::vector<int32_t> answer;
        for (int32_t y : formula.existentials)
            answer.push_back(check.val(y) > 0 ? y : -y);
        std::vector<bool> yTrue(top + 1, false);
        for (int32_t l : answer)
            if (l > 0) yTrue[l] = true;
        // X must falsify every universal literal of some clause the answer leaves open.
        std::vector<int32_t> selectors;
        for (const auto& c : formula.clauses) {
            bool satisfied = false;
            for (int32_t l : c) {
                int32_t v = std::abs(l);
                if (!universal[v] && (l > 0) == yTrue[v]) satisfied = true;
            }
            if (satisfied) continue;
            int32_t s = ++top;
            selectors.push_back(s);
            for (int32_t l : c)
                if (universal[std::abs(l)])
                    abstraction.add(-s), abstraction.add(-l), abstraction.add(0);
        }
        for (int32_t s : selectors)
            abstraction.add(s);
        abstraction.add(0);
        result.answers.push_back(answer);
    }
}

} // namespace refinement
