// Counterexample-guided abstraction refinement for forall X exists Y, over
// the clauses rather than over copies of Y. Two incremental CaDiCaL solvers
// share one selection variable per clause that has universal literals: the
// outer one proposes X together with the clauses it leaves open, the inner
// one tries to satisfy exactly those clauses with Y. An answer Y^i only
// teaches the outer solver that X must leave open one of the clauses Y^i
// does not satisfy, so each answer is first grown, with failed assumptions,
// to satisfy as many clauses as it can: a short refinement clause excludes
// many assignments of X at once. The refinements never mention Y, so the
// outer solver stays as small as the formula however many steps it takes.

#include "hybrid/refinement.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cassert>
#include <unordered_map>

namespace refinement {
namespace {

// Clauses with at least one universal literal. Literals are renumbered
// densely: X as 1..universalCount in the outer solver, Y as
// 1..existentialCount in the inner one. Clause k is selected by outer
// variable universalCount + 1 + k ("X leaves k open") and relaxed by inner
// variable existentialCount + 1 + k ("Y need not satisfy k").
struct MixedClauses {
    std::vector<uint32_t> universalStart{0};   // k -> first universal literal
    std::vector<int32_t> universalLiterals;    // outer literals
    std::vector<uint32_t> existentialStart{0}; // k -> first existential literal
    std::vector<int32_t> existentialLiterals;  // inner literals
    size_t size() const { return universalStart.size() - 1; }
};

// At most this many failed-assumption rounds grow one answer.
constexpr uint32_t growRounds = 16;

class Engine {
  public:
    explicit Engine(const TwoLevelFormula& formula) : formula(formula) {}
    Result run();

  private:
    bool load(); // false: some clause is empty
    int32_t selector(size_t k) const { return int32_t(universalCount + 1 + k); }
    int32_t relaxation(size_t k) const { return int32_t(existentialCount + 1 + k); }
    bool satisfiedByAnswer(size_t k) const;
    void readAnswer();
    void growAnswer(const std::vector<uint32_t>& open);

    const TwoLevelFormula& formula;
    size_t universalCount = 0;
    size_t existentialCount = 0;
    MixedClauses mixed;
    CaDiCaL::Solver outer;         // X and selectors; refinements
    CaDiCaL::Solver inner;         // Y and relaxations; the matrix
    std::vector<int8_t> candidate; // outer variable -> value of X*, [1, universalCount]
    std::vector<int8_t> answer;    // inner variable -> value of Y*, [1, existentialCount]
};

bool Engine::load() {
    // CaDiCaL reports some events on standard output; that belongs to the driver.
    outer.set("quiet", 1);
    inner.set("quiet", 1);
    universalCount = formula.universals.size();
    existentialCount = formula.existentials.size();
    std::unordered_map<int32_t, int32_t> index; // X -> positive, Y -> negative
    for (size_t i = 0; i < universalCount; ++i)
        index[formula.universals[i]] = int32_t(i + 1);
    for (size_t j = 0; j < existentialCount; ++j)
        index[formula.existentials[j]] = -int32_t(j + 1);

    std::vector<int32_t> universal, existential;
    std::vector<std::vector<int32_t>> innerOnly;
    for (const auto& clause : formula.clauses) {
        universal.clear();
        existential.clear();
        for (int32_t lit : clause) {
            auto found = index.find(lit < 0 ? -lit : lit);
            assert(found != index.end());
            if (found == index.end()) continue;
            int32_t v = found->second;
            if (v > 0)
                universal.push_back(lit < 0 ? -v : v);
            else
                existential.push_back(lit < 0 ? v : -v);
        }
        auto tautology = [](std::vector<int32_t>& lits) {
            std::sort(lits.begin(), lits.end(), [](int32_t a, int32_t b) {
                return std::abs(a) < std::abs(b) || (std::abs(a) == std::abs(b) && a < b);
            });
            lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
            for (size_t i = 1; i < lits.size(); ++i)
                if (lits[i] == -lits[i - 1]) return true;
            return false;
        };
        if (tautology(universal) || tautology(existential)) continue;
        if (universal.empty() && existential.empty()) return false;
        if (universal.empty()) {
            innerOnly.push_back(existential);
            continue;
        }
        mixed.universalLiterals.insert(mixed.universalLiterals.end(), universal.begin(),
                                       universal.end());
        mixed.universalStart.push_back(uint32_t(mixed.universalLiterals.size()));
        mixed.existentialLiterals.insert(mixed.existentialLiterals.end(), existential.begin(),
                                         existential.end());
        mixed.existentialStart.push_back(uint32_t(mixed.existentialLiterals.size()));
    }

    outer.reserve(int(universalCount + mixed.size()));
    inner.reserve(int(existentialCount + mixed.size()));
    for (const auto& clause : innerOnly) {
        for (int32_t lit : clause)
            inner.add(lit);
        inner.add(0);
    }
    for (size_t k = 0; k < mixed.size(); ++k) {
        // Selecting k forces every universal literal of k false.
        int32_t s = selector(k);
        for (uint32_t i = mixed.universalStart[k]; i < mixed.universalStart[k + 1]; ++i) {
            outer.add(-s);
            outer.add(-mixed.universalLiterals[i]);
            outer.add(0);
        }
        outer.freeze(s);
        // Prefer candidates that leave many clauses open: they are the hard ones.
        outer.phase(s);
        int32_t r = relaxation(k);
        for (uint32_t i = mixed.existentialStart[k]; i < mixed.existentialStart[k + 1]; ++i)
            inner.add(mixed.existentialLiterals[i]);
        inner.add(r);
        inner.add(0);
        inner.freeze(r);
        inner.phase(-r);
    }
    return true;
}

bool Engine::satisfiedByAnswer(size_t k) const {
    for (uint32_t i = mixed.existentialStart[k]; i < mixed.existentialStart[k + 1]; ++i) {
        int32_t lit = mixed.existentialLiterals[i];
        if (answer[size_t(std::abs(lit))] == (lit > 0)) return true;
    }
    return false;
}

void Engine::readAnswer() {
    for (size_t j = 1; j <= existentialCount; ++j)
        answer[j] = inner.val(int(j)) > 0;
}

// Try to make the answer satisfy the clauses it leaves open as well, keeping
// every clause it satisfies now. A failed round drops the open clauses in
// its core from the attempt; a successful one leaves only dropped ones open.
void Engine::growAnswer(const std::vector<uint32_t>& open) {
    std::vector<uint32_t> attempt = open;
    std::vector<uint32_t> kept;
    for (uint32_t round = 0; round < growRounds && !attempt.empty(); ++round) {
        for (size_t k = 0; k < mixed.size(); ++k)
            if (satisfiedByAnswer(k)) inner.assume(-relaxation(k));
        for (uint32_t k : attempt)
            inner.assume(-relaxation(k));
        if (inner.solve() == 10) {
            readAnswer();
            return;
        }
        kept.clear();
        for (uint32_t k : attempt)
            if (!inner.failed(-relaxation(k))) kept.push_back(k);
        attempt.swap(kept);
    }
}

Result Engine::run() {
    Result result;
    if (!load()) {
        // An empty clause: every X is a counterexample.
        result.steps = 1;
        for (int32_t x : formula.universals)
            result.counterexample.push_back(-x);
        return result;
    }
    candidate.assign(universalCount + 1, 0);
    answer.assign(existentialCount + 1, 0);
    std::vector<uint32_t> open;
    for (;;) {
        ++result.steps;
        if (outer.solve() == 20) {
            result.valid = true;
            return result;
        }
        for (size_t i = 1; i <= universalCount; ++i)
            candidate[i] = outer.val(int(i)) > 0;
        for (size_t k = 0; k < mixed.size(); ++k) {
            bool leftOpen = true;
            for (uint32_t i = mixed.universalStart[k]; leftOpen && i < mixed.universalStart[k + 1];
                 ++i) {
                int32_t lit = mixed.universalLiterals[i];
                leftOpen = candidate[size_t(std::abs(lit))] != (lit > 0);
            }
            if (leftOpen) inner.assume(-relaxation(k));
        }
        if (inner.solve() == 20) {
            for (size_t i = 0; i < universalCount; ++i)
                result.counterexample.push_back(candidate[i + 1] ? formula.universals[i]
                                                                 : -formula.universals[i]);
            return result;
        }
        readAnswer();
        open.clear();
        for (size_t k = 0; k < mixed.size(); ++k)
            if (!satisfiedByAnswer(k)) open.push_back(uint32_t(k));
        if (!open.empty()) {
            growAnswer(open);
            open.clear();
            for (size_t k = 0; k < mixed.size(); ++k)
                if (!satisfiedByAnswer(k)) open.push_back(uint32_t(k));
        }
        auto& y = result.answers.emplace_back();
        for (size_t j = 0; j < existentialCount; ++j)
            y.push_back(answer[j + 1] ? formula.existentials[j] : -formula.existentials[j]);
        if (open.empty()) {
            result.valid = true;
            return result;
        }
        // X must leave open one of the clauses this answer does not satisfy.
        for (uint32_t k : open)
            outer.add(selector(k));
        outer.add(0);
    }
}

} // namespace

Result solveTwoLevel(const TwoLevelFormula& formula) {
    return Engine(formula).run();
}

} // namespace refinement
