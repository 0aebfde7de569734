#include "hybrid/refinement.hpp"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

using refinement::TwoLevelFormula;
using Assignment = std::map<int32_t, bool>;

bool matrixHolds(const TwoLevelFormula& f, const Assignment& a) {
    return std::all_of(f.clauses.begin(), f.clauses.end(), [&](const auto& clause) {
        return std::any_of(clause.begin(), clause.end(),
                           [&](int32_t lit) { return a.at(std::abs(lit)) == (lit > 0); });
    });
}

// Calls visit with every assignment of vars added to base; stops at the
// first visit that returns true and reports whether one did.
template <typename Visit>
bool anyAssignment(const std::vector<int32_t>& vars, Assignment base, Visit visit) {
    for (uint32_t bits = 0; bits < (1u << vars.size()); ++bits) {
        for (size_t i = 0; i < vars.size(); ++i)
            base[vars[i]] = (bits >> i) & 1;
        if (visit(base)) return true;
    }
    return false;
}

Assignment fromLiterals(const std::vector<int32_t>& lits) {
    Assignment a;
    for (int32_t lit : lits)
        a[std::abs(lit)] = lit > 0;
    return a;
}

// Scattered variable numbers, clauses of length 0 to 4 (universal-only,
// tautologies and repeated literals included), empty blocks, and existentials
// defined as AND, OR or XOR gates over the variables before them.
TwoLevelFormula randomFormula(std::mt19937& rng) {
    TwoLevelFormula f;
    auto below = [&](uint32_t n) { return uint32_t(rng() % n); };
    uint32_t universalCount = below(6), existentialCount = below(6);
    std::vector<int32_t> vars;
    for (int32_t v = 1 + int32_t(below(3)); vars.size() < universalCount + existentialCount;
         v += 1 + int32_t(below(1000)))
        vars.push_back(v);
    std::shuffle(vars.begin(), vars.end(), rng);
    f.universals.assign(vars.begin(), vars.begin() + universalCount);
    f.existentials.assign(vars.begin() + universalCount, vars.end());
    std::vector<int32_t> inputs = f.universals;
    for (int32_t y : f.existentials) {
        auto input = [&] {
            return below(2) ? inputs[below(uint32_t(inputs.size()))]
                            : -inputs[below(uint32_t(inputs.size()))];
        };
        if (inputs.size() >= 2 && below(2)) {
            int32_t out = below(2) ? y : -y, a = input(), b = input();
            if (below(3)) { // out <-> a & b
                f.clauses.push_back({-out, a});
                f.clauses.push_back({-out, b});
                f.clauses.push_back({out, -a, -b});
            } else { // y <-> a ^ b
                for (int32_t sa : {1, -1})
                    for (int32_t sb : {1, -1})
                        f.clauses.push_back({sa * sb > 0 ? -out : out, sa * a, sb * b});
            }
        }
        inputs.push_back(y);
    }
    uint32_t clauseCount = below(14);
    for (uint32_t c = 0; c < clauseCount && !vars.empty(); ++c) {
        auto& clause = f.clauses.emplace_back();
        uint32_t length = below(50) == 0 ? 0 : 1 + below(4);
        for (uint32_t i = 0; i < length; ++i)
            clause.push_back(below(2) ? vars[below(uint32_t(vars.size()))]
                                      : -vars[below(uint32_t(vars.size()))]);
    }
    return f;
}

TEST(Refinement, AgreesWithBruteForceAndItsAnswersAndCounterexamplesHold) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        TwoLevelFormula f = randomFormula(rng);
        SCOPED_TRACE("round " + std::to_string(round));
        auto yWins = [&](const Assignment& x) {
            return anyAssignment(f.existentials, x,
                                 [&](const auto& a) { return matrixHolds(f, a); });
        };
        bool valid = !anyAssignment(f.universals, {}, [&](const auto& x) { return !yWins(x); });
        refinement::Options options;
        options.definedAnswers = round % 2;
        options.stepLimit = round % 3 == 0 ? 3 : 0;
        refinement::Result result = refinement::solveTwoLevel(f, options);
        if (!result.decided) {
            ASSERT_EQ(result.steps, options.stepLimit);
            continue;
        }
        ASSERT_EQ(result.valid, valid);
        if (!options.definedAnswers) ASSERT_TRUE(result.definitions.empty());
        ASSERT_GE(result.steps, 1u);
        if (!valid) {
            ASSERT_EQ(result.counterexample.size(), f.universals.size());
            Assignment x = fromLiterals(result.counterexample);
            for (int32_t v : f.universals)
                ASSERT_TRUE(x.count(v));
            ASSERT_FALSE(yWins(x));
            continue;
        }
        // Only certificates use the answers (without definitions), and
        // karvona-check proves that those cover every universal assignment
        // in the certified hybrid differential runs.
        ASSERT_FALSE(result.answers.empty());
    }
}

} // namespace
