// Refutations are checked against their own input: every resolvent is
// recomputed from its parents, so a wrong pivot sign, a tautology, a parent
// defined later or a last clause that is not empty fails whatever the SAT
// solver did. Satisfiability of the small cases is settled by brute force.

#include "brute_force.hpp"
#include "hybrid/proof.hpp"

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>

namespace {

using Cnf = std::vector<std::vector<int32_t>>;

// Empty when r refutes cnf, else what is wrong.
std::string verify(const Cnf& cnf, const proof::Refutation& r) {
    const uint32_t inputs = uint32_t(cnf.size());
    std::vector<std::set<int32_t>> derived;
    auto clause = [&](uint32_t id, std::set<int32_t>& out) -> std::string {
        if (id >= inputs + derived.size())
            return "clause " + std::to_string(id) + " not yet defined";
        if (id >= inputs) {
            out = derived[id - inputs];
            return "";
        }
        out = std::set<int32_t>(cnf[id].begin(), cnf[id].end());
        for (int32_t lit : out)
            if (out.count(-lit)) return "tautological input " + std::to_string(id);
        return "";
    };
    for (const proof::Step& s : r.steps) {
        std::string at = "step " + std::to_string(derived.size()) + ": ";
        std::set<int32_t> a, b;
        if (auto e = clause(s.parentA, a); !e.empty()) return at + e;
        if (auto e = clause(s.parentB, b); !e.empty()) return at + e;
        if (s.pivot <= 0 || !a.erase(s.pivot) || !b.erase(-s.pivot)) return at + "pivot signs";
        a.insert(b.begin(), b.end());
        for (int32_t lit : a)
            if (a.count(-lit)) return at + "tautological resolvent";
        derived.push_back(std::move(a));
    }
    std::set<int32_t> last;
    if (auto e = clause(r.emptyClause, last); !e.empty()) return "conclusion: " + e;
    return last.empty() ? "" : "concluded clause is not empty";
}

bool satisfiable(const Cnf& cnf, int variables) {
    return evaluateByBruteForce(Formula{variables, {}, cnf});
}

Cnf randomCnf(std::mt19937& rng, int variables, int clauses, int width) {
    Cnf cnf(clauses);
    for (auto& c : cnf)
        for (int k = 0; k < width; ++k) {
            int32_t v = int32_t(rng() % variables) + 1;
            c.push_back(rng() % 2 ? v : -v);
        }
    return cnf;
}

// Renames variables far apart, repeats literals and mixes in tautologies,
// none of which may change the answer.
Cnf disguise(Cnf cnf, std::mt19937& rng) {
    for (auto& c : cnf) {
        for (int32_t& lit : c)
            lit = lit > 0 ? lit * 9973 + 1000000 : lit * 9973 - 1000000;
        if (rng() % 4 == 0) c.push_back(c[rng() % c.size()]);
    }
    for (int k = 0; k < 3; ++k) {
        auto pos = cnf.begin() + rng() % (cnf.size() + 1);
        int32_t v = std::abs((*cnf.begin())[0]);
        cnf.insert(pos, {v, -int32_t(rng() % 5 + 1), -v});
    }
    return cnf;
}

TEST(Refute, RandomCnfsAreRefutedExactlyWhenUnsatisfiable) {
    std::mt19937 rng(1);
    int refuted = 0;
    for (int round = 0; round < 200; ++round) {
        int variables = 6 + round % 8;
        Cnf cnf = randomCnf(rng, variables, variables * (40 + round % 20) / 10, 3);
        bool sat = satisfiable(cnf, variables);
        if (round % 2) cnf = disguise(cnf, rng);
        auto r = proof::refute(cnf);
        ASSERT_EQ(r.has_value(), !sat) << "round " << round;
        if (r) {
            ++refuted;
            ASSERT_EQ(verify(cnf, *r), "") << "round " << round;
        }
    }
    EXPECT_GT(refuted, 60);
    // Beyond enumeration: dense random 3-CNFs are unsatisfiable.
    for (int k = 0; k < 3; ++k) {
        Cnf cnf = randomCnf(rng, 150, 750, 3);
        if (k == 2) cnf = disguise(cnf, rng);
        auto r = proof::refute(cnf);
        ASSERT_TRUE(r.has_value()) << "large case " << k;
        EXPECT_EQ(verify(cnf, *r), "") << "large case " << k;
    }
}

TEST(Refute, DegenerateInputs) {
    // An empty input clause is the refutation; nothing needs deriving.
    auto r = proof::refute({{1, 2}, {-1}, {}, {3}});
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->emptyClause, 2u);
    EXPECT_TRUE(r->steps.empty());

    // Repeated literals merge, and units clash in one step on a huge variable.
    const int32_t big = 2147483000;
    Cnf units{{5, -5}, {big, big}, {-big}};
    r = proof::refute(units);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(verify(units, *r), "");
    ASSERT_EQ(r->steps.size(), 1u);
    EXPECT_EQ(r->steps[0].pivot, big);

    EXPECT_FALSE(proof::refute({}).has_value());
    EXPECT_FALSE(proof::refute({{1, -1}, {1, 1}}).has_value());
}

} // namespace
