// Counterexample-guided abstraction refinement for forall X exists Y, over
// the clauses rather than over copies of Y. Two incremental CaDiCaL solvers
// share one selection variable per clause: the outer one proposes X together
// with the clauses it leaves open, the inner one tries to satisfy exactly
// those clauses under assumptions. An answer only teaches the outer solver
// that X must leave open one of the clauses the answer does not satisfy, so
// it is first grown through failed assumptions to satisfy all it can.
//
// Existentials that the matrix defines as gates over X (Tseitin encodings,
// which most two-block formulas are) move to the outer solver with their
// defining clauses: one of their values is as much a consequence of X as X
// itself, and a refinement over gate outputs excludes whole regions of X
// where one over gate inputs excludes a handful of assignments.

#include "hybrid/refinement.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cassert>
#include <cstdlib>
#include <memory>
#include <unordered_map>

namespace refinement {
namespace {

// Variables renumbered densely: X as 1..universalCount, then Y.
struct DenseFormula {
    size_t universalCount = 0;
    size_t variableCount = 0;
    std::vector<std::vector<int32_t>> clauses; // no tautology, no repeated literal
    bool emptyClause = false;
};

DenseFormula densify(const TwoLevelFormula& formula) {
    DenseFormula dense;
    dense.universalCount = formula.universals.size();
    dense.variableCount = dense.universalCount + formula.existentials.size();
    std::unordered_map<int32_t, int32_t> index;
    for (size_t i = 0; i < dense.universalCount; ++i)
        index[formula.universals[i]] = int32_t(i + 1);
    for (size_t j = 0; j < formula.existentials.size(); ++j)
        index[formula.existentials[j]] = int32_t(dense.universalCount + j + 1);
    std::vector<int32_t> lits;
    for (const auto& clause : formula.clauses) {
        lits.clear();
        for (int32_t lit : clause) {
            auto found = index.find(std::abs(lit));
            assert(found != index.end());
            if (found != index.end()) lits.push_back(lit < 0 ? -found->second : found->second);
        }
        std::sort(lits.begin(), lits.end(), [](int32_t a, int32_t b) {
            return std::abs(a) < std::abs(b) || (std::abs(a) == std::abs(b) && a < b);
        });
        lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
        bool tautology = false;
        for (size_t i = 1; i < lits.size(); ++i)
            tautology |= lits[i] == -lits[i - 1];
        if (tautology) continue;
        dense.emptyClause |= lits.empty();
        dense.clauses.push_back(lits);
    }
    return dense;
}

struct Gate {
    int32_t variable;
    std::vector<uint32_t> clauses; // defining clause indices
};

// Gates with more inputs than this are only found as plain AND/OR patterns.
constexpr size_t truthTableInputs = 10;

// Finds existentials that a subset of the clauses defines as a function of X
// and of earlier gates, in that order. A subset defines y when, under every
// assignment of its other variables, it forbids exactly one value of y:
// "at most one" (functional) and "at least one" (total, no X left without a
// value for y) are both checked, on truth tables for narrow gates and
// structurally for wide AND/OR gates.
class GateFinder {
  public:
    explicit GateFinder(const DenseFormula& formula);
    std::vector<Gate> find();

  private:
    size_t slot(int32_t lit) const {
        return size_t(lit > 0 ? lit : int32_t(f.variableCount) - lit);
    }
    bool available(uint32_t c, int32_t y) const;
    bool findAnd(int32_t y, Gate& gate) const;
    bool findByTruthTable(int32_t y, Gate& gate) const;

    const DenseFormula& f;
    std::vector<std::vector<uint32_t>> occurrences;  // literal slot -> clause indices
    std::unordered_map<uint64_t, uint32_t> binaries; // literal pair -> clause index
    std::vector<bool> defined;                       // variable -> universal or gate output
};

uint64_t pairKey(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    return uint64_t(uint32_t(a)) << 32 | uint32_t(b);
}

GateFinder::GateFinder(const DenseFormula& formula)
    : f(formula), occurrences(2 * formula.variableCount + 1),
      defined(formula.variableCount + 1, false) {
    for (uint32_t c = 0; c < f.clauses.size(); ++c) {
        for (int32_t lit : f.clauses[c])
            occurrences[slot(lit)].push_back(c);
        if (f.clauses[c].size() == 2)
            binaries.emplace(pairKey(f.clauses[c][0], f.clauses[c][1]), c);
    }
    for (size_t v = 1; v <= f.universalCount; ++v)
        defined[v] = true;
}

bool GateFinder::available(uint32_t c, int32_t y) const {
    return std::all_of(f.clauses[c].begin(), f.clauses[c].end(), [&](int32_t lit) {
        return std::abs(lit) == y || defined[size_t(std::abs(lit))];
    });
}

// output <-> AND(inputs): (output | -inputs...) and (-output | input) each.
bool GateFinder::findAnd(int32_t y, Gate& gate) const {
    for (int32_t output : {y, -y})
        for (uint32_t c : occurrences[slot(output)]) {
            if (f.clauses[c].size() < 2 || !available(c, y)) continue;
            gate.clauses.assign(1, c);
            for (int32_t lit : f.clauses[c]) {
                if (lit == output) continue;
                auto found = binaries.find(pairKey(-output, -lit));
                if (found == binaries.end()) break;
                gate.clauses.push_back(found->second);
            }
            if (gate.clauses.size() == f.clauses[c].size()) return true;
        }
    return false;
}

bool GateFinder::findByTruthTable(int32_t y, Gate& gate) const {
    std::vector<uint32_t> candidates;
    std::vector<int32_t> inputs;
    for (int32_t lit : {y, -y})
        for (uint32_t c : occurrences[slot(lit)]) {
            if (!available(c, y)) continue;
            candidates.push_back(c);
            for (int32_t other : f.clauses[c])
                if (std::abs(other) != y &&
                    std::find(inputs.begin(), inputs.end(), std::abs(other)) == inputs.end())
                    inputs.push_back(std::abs(other));
            if (inputs.size() > truthTableInputs) return false;
        }
    if (candidates.empty()) return false;
    // Per clause, the input assignments under which it forbids its value of y.
    size_t rows = size_t(1) << inputs.size();
    size_t words = (rows + 63) / 64;
    std::vector<std::vector<uint64_t>> forbids(candidates.size(), std::vector<uint64_t>(words));
    for (size_t i = 0; i < candidates.size(); ++i)
        for (size_t row = 0; row < rows; ++row) {
            bool falsified = true;
            for (int32_t lit : f.clauses[candidates[i]]) {
                if (std::abs(lit) == y) continue;
                size_t bit =
                    size_t(std::find(inputs.begin(), inputs.end(), std::abs(lit)) - inputs.begin());
                if (((row >> bit) & 1) == (lit > 0)) {
                    falsified = false;
                    break;
                }
            }
            if (falsified) forbids[i][row / 64] |= uint64_t(1) << (row % 64);
        }
    auto positive = [&](size_t i) {
        const auto& clause = f.clauses[candidates[i]];
        return std::find(clause.begin(), clause.end(), y) != clause.end();
    };
    auto functional = [&](const std::vector<bool>& used) {
        for (size_t w = 0; w < words; ++w) {
            uint64_t covered = 0;
            for (size_t i = 0; i < candidates.size(); ++i)
                if (used[i]) covered |= forbids[i][w];
            uint64_t all =
                w + 1 < words || rows % 64 == 0 ? ~uint64_t(0) : (uint64_t(1) << (rows % 64)) - 1;
            if (covered != all) return false;
        }
        return true;
    };
    std::vector<bool> used(candidates.size(), true);
    if (!functional(used)) return false;
    // Drop clauses the definition does not need, such as constraints on y.
    for (size_t i = 0; i < candidates.size(); ++i) {
        used[i] = false;
        if (!functional(used)) used[i] = true;
    }
    for (size_t w = 0; w < words; ++w) {
        uint64_t forbidsTrue = 0, forbidsFalse = 0;
        for (size_t i = 0; i < candidates.size(); ++i)
            if (used[i]) (positive(i) ? forbidsFalse : forbidsTrue) |= forbids[i][w];
        if (forbidsTrue & forbidsFalse) return false;
    }
    gate.clauses.clear();
    for (size_t i = 0; i < candidates.size(); ++i)
        if (used[i]) gate.clauses.push_back(candidates[i]);
    return true;
}

std::vector<Gate> GateFinder::find() {
    std::vector<Gate> gates;
    std::vector<int32_t> work;
    std::vector<bool> queued(f.variableCount + 1, true);
    for (int32_t y = int32_t(f.variableCount); y > int32_t(f.universalCount); --y)
        work.push_back(y);
    while (!work.empty()) {
        int32_t y = work.back();
        work.pop_back();
        queued[size_t(y)] = false;
        Gate gate{y, {}};
        if (defined[size_t(y)] || !(findAnd(y, gate) || findByTruthTable(y, gate))) continue;
        defined[size_t(y)] = true;
        gates.push_back(std::move(gate));
        // Variables sharing a clause with y may have become definable.
        for (int32_t lit : {y, -y})
            for (uint32_t c : occurrences[slot(lit)])
                for (int32_t other : f.clauses[c]) {
                    size_t v = size_t(std::abs(other));
                    if (!defined[v] && !queued[v]) {
                        queued[v] = true;
                        work.push_back(int32_t(v));
                    }
                }
    }
    return gates;
}

// At most this many failed-assumption rounds grow one answer.
constexpr uint32_t growRounds = 16;

// One refinement run. Outer and inner solvers both number variables as the
// dense formula does; X and gate outputs live in the outer solver, the other
// existentials in the inner one. Clause k of the mixed ones is selected by
// outer variable variableCount + 1 + k ("X leaves k open") and relaxed by
// inner variable variableCount + 1 + k ("Y need not satisfy k").
class Engine {
  public:
    Engine(const DenseFormula& formula, const std::vector<Gate>& gates);
    // Fills valid, steps, and dense answers or the counterexample in value.
    bool run(uint64_t& steps, std::vector<std::vector<int8_t>>& answers);
    std::vector<int8_t> value; // dense variable -> current value, [1, variableCount]

  private:
    int32_t selector(size_t k) const { return int32_t(f.variableCount + 1 + k); }
    bool satisfiedByAnswer(size_t k) const;
    void readAnswer();
    void growAnswer(const std::vector<uint32_t>& open);

    const DenseFormula& f;
    std::vector<bool> outerVariable;     // dense variable -> in the outer solver
    std::vector<uint32_t> mixed;         // k -> clause index; with outer and maybe inner literals
    std::vector<uint32_t> innerStart{0}; // k -> first inner literal of mixed clause k
    std::vector<int32_t> innerLiterals;
    CaDiCaL::Solver outer;
    CaDiCaL::Solver inner;
};

Engine::Engine(const DenseFormula& formula, const std::vector<Gate>& gates) : f(formula) {
    // CaDiCaL reports some events on standard output; that belongs to the driver.
    outer.set("quiet", 1);
    inner.set("quiet", 1);
    size_t n = f.variableCount;
    value.assign(n + 1, 0);
    outerVariable.assign(n + 1, false);
    for (size_t v = 1; v <= f.universalCount; ++v)
        outerVariable[v] = true;
    std::vector<bool> defining(f.clauses.size(), false);
    for (const Gate& gate : gates) {
        outerVariable[size_t(gate.variable)] = true;
        for (uint32_t c : gate.clauses)
            defining[c] = true;
    }
    for (uint32_t c = 0; c < f.clauses.size(); ++c) {
        const auto& clause = f.clauses[c];
        if (defining[c]) {
            for (int32_t lit : clause)
                outer.add(lit);
            outer.add(0);
            continue;
        }
        bool hasOuter = std::any_of(clause.begin(), clause.end(), [&](int32_t lit) {
            return outerVariable[size_t(std::abs(lit))];
        });
        if (!hasOuter) {
            for (int32_t lit : clause)
                inner.add(lit);
            inner.add(0);
            continue;
        }
        int32_t s = selector(mixed.size());
        mixed.push_back(c);
        for (int32_t lit : clause) {
            if (outerVariable[size_t(std::abs(lit))]) {
                // Selecting the clause forces each of its outer literals false.
                outer.add(-s);
                outer.add(-lit);
                outer.add(0);
            } else {
                inner.add(lit);
                innerLiterals.push_back(lit);
            }
        }
        innerStart.push_back(uint32_t(innerLiterals.size()));
        inner.add(s);
        inner.add(0);
        outer.freeze(s);
        inner.freeze(s);
        // Prefer candidates that leave many clauses open: they are the hard
        // ones. Prefer answers that satisfy many.
        outer.phase(s);
        inner.phase(-s);
    }
    outer.reserve(int(n + mixed.size()));
    inner.reserve(int(n + mixed.size()));
}

bool Engine::satisfiedByAnswer(size_t k) const {
    for (uint32_t i = innerStart[k]; i < innerStart[k + 1]; ++i) {
        int32_t lit = innerLiterals[i];
        if (value[size_t(std::abs(lit))] == (lit > 0)) return true;
    }
    return false;
}

void Engine::readAnswer() {
    for (size_t v = 1; v <= f.variableCount; ++v)
        if (!outerVariable[v]) value[v] = inner.val(int(v)) > 0;
}

// Try to make the answer satisfy the clauses it leaves open as well, keeping
// every clause it satisfies now. A failed round drops the open clauses in
// its core from the attempt; a successful one leaves only dropped ones open.
void Engine::growAnswer(const std::vector<uint32_t>& open) {
    std::vector<uint32_t> attempt = open;
    std::vector<uint32_t> kept;
    for (uint32_t round = 0; round < growRounds && !attempt.empty(); ++round) {
        for (size_t k = 0; k < mixed.size(); ++k)
            if (satisfiedByAnswer(k)) inner.assume(-selector(k));
        for (uint32_t k : attempt)
            inner.assume(-selector(k));
        if (inner.solve() == 10) {
            readAnswer();
            return;
        }
        kept.clear();
        for (uint32_t k : attempt)
            if (!inner.failed(-selector(k))) kept.push_back(k);
        attempt.swap(kept);
    }
}

bool Engine::run(uint64_t& steps, std::vector<std::vector<int8_t>>& answers) {
    std::vector<uint32_t> open;
    for (;;) {
        ++steps;
        if (outer.solve() == 20) return true;
        for (size_t v = 1; v <= f.variableCount; ++v)
            if (outerVariable[v]) value[v] = outer.val(int(v)) > 0;
        for (size_t k = 0; k < mixed.size(); ++k) {
            const auto& clause = f.clauses[mixed[k]];
            bool leftOpen = std::none_of(clause.begin(), clause.end(), [&](int32_t lit) {
                return outerVariable[size_t(std::abs(lit))] &&
                       value[size_t(std::abs(lit))] == (lit > 0);
            });
            if (leftOpen) inner.assume(-selector(k));
        }
        if (inner.solve() == 20) return false;
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
        answers.push_back(value);
        if (open.empty()) return true;
        // X must leave open one of the clauses this answer does not satisfy.
        for (uint32_t k : open)
            outer.add(selector(k));
        outer.add(0);
    }
}

int32_t literal(const TwoLevelFormula& formula, size_t universalCount, int32_t lit) {
    size_t v = size_t(std::abs(lit));
    int32_t original = v <= universalCount ? formula.universals[v - 1]
                                           : formula.existentials[v - universalCount - 1];
    return lit < 0 ? -original : original;
}

} // namespace

Result solveTwoLevel(const TwoLevelFormula& formula, const Options& options) {
    Result result;
    DenseFormula dense = densify(formula);
    size_t universalCount = dense.universalCount;
    if (dense.emptyClause) {
        // Every X is a counterexample.
        result.steps = 1;
        for (int32_t x : formula.universals)
            result.counterexample.push_back(-x);
        return result;
    }
    std::vector<Gate> gates = GateFinder(dense).find();
    std::vector<std::vector<int8_t>> answers;
    auto engine = std::make_unique<Engine>(dense, gates);
    result.valid = engine->run(result.steps, answers);
    if (result.valid && !gates.empty() && !options.definedAnswers) {
        gates.clear();
        answers.clear();
        engine = std::make_unique<Engine>(dense, gates);
        result.valid = engine->run(result.steps, answers);
        assert(result.valid);
    }
    if (!result.valid) {
        for (size_t v = 1; v <= universalCount; ++v)
            result.counterexample.push_back(
                literal(formula, universalCount, engine->value[v] ? int32_t(v) : -int32_t(v)));
        return result;
    }
    for (const auto& answer : answers) {
        auto& y = result.answers.emplace_back();
        for (size_t v = universalCount + 1; v <= dense.variableCount; ++v)
            y.push_back(literal(formula, universalCount, answer[v] ? int32_t(v) : -int32_t(v)));
    }
    for (const Gate& gate : gates) {
        Definition& definition = result.definitions.emplace_back();
        definition.variable = literal(formula, universalCount, gate.variable);
        for (uint32_t c : gate.clauses) {
            auto& clause = definition.clauses.emplace_back();
            for (int32_t lit : dense.clauses[c])
                clause.push_back(literal(formula, universalCount, lit));
        }
    }
    return result;
}

} // namespace refinement
