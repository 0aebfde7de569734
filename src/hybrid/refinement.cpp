// Counterexample-guided abstraction refinement for forall X exists Y. Two
// incremental CaDiCaL solvers: the outer one proposes X, the inner one
// answers with Y under assumptions that select the clauses X leaves open.
// The outer solver speaks of clauses, not of copies of Y: one selection
// variable per clause ("X leaves it open", forcing its outer literals false),
// so a refinement is one clause over selectors.
//
// Most two-block formulas are circuits in Tseitin form, and a refinement
// over gate inputs excludes a handful of universal assignments at a time.
// So gates are recovered first. Existentials defined over X (outer gates)
// move to the outer solver with their defining clauses. Gates over the free
// existentials (inner gates) stay in the inner solver, but an answer refines
// only through its free existentials: the outer solver receives a copy of
// the inner gates under those values, recomputed from X, shared between
// answers where the copies coincide. The refinement then demands that X
// falsify the matrix under that answer, which excludes every X the answer
// serves, not just those that reproduce its gate values.

#include "hybrid/refinement.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cassert>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <map>
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
    // Gates over the base variables and earlier gates, which join the base.
    std::vector<Gate> find();
    // Adds the existentials that no clauses could define at all.
    void addUndefinable();
    std::vector<bool> defined; // variable -> in the base or a gate output

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
    bool unconstrained = false;                      // every clause counts as available
};

uint64_t pairKey(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    return uint64_t(uint32_t(a)) << 32 | uint32_t(b);
}

GateFinder::GateFinder(const DenseFormula& formula)
    : defined(formula.variableCount + 1, false), f(formula),
      occurrences(2 * formula.variableCount + 1) {
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
        return unconstrained || std::abs(lit) == y || defined[size_t(std::abs(lit))];
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

void GateFinder::addUndefinable() {
    unconstrained = true;
    std::vector<int32_t> undefinable;
    for (int32_t y = int32_t(f.universalCount) + 1; y <= int32_t(f.variableCount); ++y) {
        Gate gate{y, {}};
        if (!defined[size_t(y)] && !findAnd(y, gate) && !findByTruthTable(y, gate))
            undefinable.push_back(y);
    }
    unconstrained = false;
    for (int32_t y : undefinable)
        defined[size_t(y)] = true;
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

// At most this many failed-assumption rounds shrink the target of a candidate.
constexpr uint32_t targetRounds = 16;
// Ends of substituted gate clauses, which no literal equals: the output
// occurs positively or negatively in the clause.
constexpr int32_t positiveEnd = INT32_MAX;
constexpr int32_t negativeEnd = INT32_MIN;

enum class Outcome { open, valid, invalid };

// One refinement run. Both solvers number the formula's variables as the
// dense formula does. X and the gates over X (outer gates) live in the outer
// solver, the other existentials in the inner one: free inputs and the gates
// over them (inner gates). Mixed clause k, one with outer literals, is
// selected by outer variable variableCount + 1 + k ("X leaves k open") and
// relaxed by the inner variable of the same number ("Y need not satisfy k").
// Further outer variables are allocated as refinements need them.
class Engine {
  public:
    Engine(const DenseFormula& formula, const std::vector<Gate>& outerGates,
           const std::vector<Gate>& innerGates);
    // One candidate and its check. Invalid: the counterexample is in value.
    Outcome step();
    std::vector<int8_t> value;                // dense variable -> current value, [1, variableCount]
    std::vector<std::vector<int8_t>> answers; // values of every answer so far

  private:
    int32_t selector(size_t k) const { return int32_t(f.variableCount + 1 + k); }
    bool satisfiedByAnswer(size_t k) const;
    void readAnswer();
    void seekConflict();
    bool propose();
    void refine();
    int32_t copyGate(const Gate& gate);
    int32_t openSelector(std::vector<int32_t>& lits);

    const DenseFormula& f;
    const std::vector<Gate> innerGates;  // a copy: the caller reuses its own
    std::vector<bool> outerVariable;     // dense variable -> in the outer solver
    std::vector<uint32_t> mixed;         // k -> clause index
    std::vector<int32_t> mixedOf;        // clause index -> k, or -1
    std::vector<uint32_t> innerStart{0}; // k -> first inner literal of mixed clause k
    std::vector<int32_t> innerLiterals;
    std::vector<uint32_t> checked; // clauses a refinement speaks of: not defining a gate
    std::vector<uint32_t> target;  // mixed clauses the next candidate should leave open
    int32_t nextOuter;             // next free outer variable
    int32_t truth;                 // outer variable fixed true
    std::vector<int32_t> image;    // dense variable -> outer literal under the answer
    std::map<std::vector<int32_t>, int32_t> copies;    // substituted gate clauses -> output
    std::map<std::vector<int32_t>, int32_t> selectors; // outer literals -> "all false"
    std::vector<int32_t> scratch;
    CaDiCaL::Solver outer;
    CaDiCaL::Solver inner;
};

Engine::Engine(const DenseFormula& formula, const std::vector<Gate>& outerGates,
               const std::vector<Gate>& innerGates)
    : f(formula), innerGates(innerGates) {
    // CaDiCaL reports some events on standard output; that belongs to the driver.
    outer.set("quiet", 1);
    inner.set("quiet", 1);
    // Without inner gates an answer refines through every clause it leaves
    // open, so every answer starts from "satisfy each clause" rather than
    // from the previous answer's saved values, which leave more open (one
    // instance: 775 steps, where saved values had no answer after 3000).
    // With inner gates the saved values need far fewer steps (one instance).
    if (innerGates.empty()) inner.set("forcephase", 1);
    size_t n = f.variableCount;
    value.assign(n + 1, 0);
    image.assign(n + 1, 0);
    outerVariable.assign(n + 1, false);
    for (size_t v = 1; v <= f.universalCount; ++v)
        outerVariable[v] = true;
    std::vector<bool> defining(f.clauses.size(), false), outerDefining(f.clauses.size(), false);
    for (const Gate& gate : outerGates) {
        outerVariable[size_t(gate.variable)] = true;
        for (uint32_t c : gate.clauses)
            outerDefining[c] = defining[c] = true;
    }
    for (const Gate& gate : innerGates)
        for (uint32_t c : gate.clauses)
            defining[c] = true;
    mixedOf.assign(f.clauses.size(), -1);
    for (uint32_t c = 0; c < f.clauses.size(); ++c) {
        const auto& clause = f.clauses[c];
        if (!defining[c]) checked.push_back(c);
        if (outerDefining[c]) {
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
        mixedOf[c] = int32_t(mixed.size());
        mixed.push_back(c);
        scratch.clear();
        for (int32_t lit : clause) {
            if (outerVariable[size_t(std::abs(lit))]) {
                // Selecting the clause forces each of its outer literals false.
                outer.add(-s);
                outer.add(-lit);
                outer.add(0);
                scratch.push_back(lit);
            } else {
                inner.add(lit);
                innerLiterals.push_back(lit);
            }
        }
        std::sort(scratch.begin(), scratch.end());
        selectors.emplace(scratch, s);
        innerStart.push_back(uint32_t(innerLiterals.size()));
        inner.add(s);
        inner.add(0);
        inner.freeze(s);
        // Prefer candidates that leave many clauses open: they are the hard
        // ones. Prefer answers that satisfy many.
        outer.phase(s);
        inner.phase(-s);
    }
    nextOuter = selector(mixed.size());
    truth = nextOuter++;
    outer.add(truth);
    outer.add(0);
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

// Asks whether one answer satisfies every clause. If not, the clauses in the
// core are ones no answer satisfies together: the next candidate should
// leave as many of them open as the refinements allow.
void Engine::seekConflict() {
    for (size_t k = 0; k < mixed.size(); ++k)
        inner.assume(-selector(k));
    target.clear();
    if (inner.solve() == 10) {
        readAnswer();
        return;
    }
    for (size_t k = 0; k < mixed.size(); ++k)
        if (inner.failed(-selector(k))) target.push_back(uint32_t(k));
}

// A candidate leaving the target open where it can; false: none at all.
bool Engine::propose() {
    std::vector<uint32_t> kept;
    for (uint32_t round = 0; round < targetRounds && !target.empty(); ++round) {
        for (uint32_t k : target)
            outer.assume(selector(k));
        if (outer.solve() == 10) return true;
        kept.clear();
        for (uint32_t k : target)
            if (!outer.failed(selector(k))) kept.push_back(k);
        target.swap(kept);
    }
    return outer.solve() == 10;
}

// The output of an inner gate under the answer's free inputs, as an outer
// literal: constant, or a copy of the gate over the outer literals it still
// depends on. Equal copies are shared between answers.
int32_t Engine::copyGate(const Gate& gate) {
    int32_t y = gate.variable;
    scratch.clear();
    for (uint32_t c : gate.clauses) {
        size_t start = scratch.size();
        int32_t own = 0;
        bool satisfied = false;
        for (int32_t lit : f.clauses[c]) {
            if (std::abs(lit) == y) {
                own = lit;
                continue;
            }
            int32_t mapped = lit > 0 ? image[size_t(lit)] : -image[size_t(-lit)];
            if (mapped == truth)
                satisfied = true;
            else if (mapped != -truth)
                scratch.push_back(mapped);
        }
        if (satisfied) {
            scratch.resize(start);
            continue;
        }
        if (scratch.size() == start) // every input falsifies the rest: forced
            return own > 0 ? truth : -truth;
        std::sort(scratch.begin() + long(start), scratch.end());
        scratch.push_back(own > 0 ? positiveEnd : negativeEnd);
    }
    auto [found, inserted] = copies.emplace(scratch, nextOuter);
    if (!inserted) return found->second;
    int32_t copy = nextOuter++;
    size_t start = 0;
    for (size_t i = 0; i < scratch.size(); ++i) {
        if (scratch[i] != positiveEnd && scratch[i] != negativeEnd) continue;
        for (size_t j = start; j < i; ++j)
            outer.add(scratch[j]);
        outer.add(scratch[i] == positiveEnd ? copy : -copy);
        outer.add(0);
        start = i + 1;
    }
    return copy;
}

// An outer variable that forces every one of lits false.
int32_t Engine::openSelector(std::vector<int32_t>& lits) {
    std::sort(lits.begin(), lits.end());
    auto [found, inserted] = selectors.emplace(lits, nextOuter);
    if (!inserted) return found->second;
    int32_t s = nextOuter++;
    for (int32_t lit : lits) {
        outer.add(-s);
        outer.add(-lit);
        outer.add(0);
    }
    outer.phase(s);
    return s;
}

// X must falsify the matrix under the answer's free inputs, with every
// inner gate recomputed from X: a clause of the answer's copy left open.
void Engine::refine() {
    for (size_t v = 1; v <= f.variableCount; ++v)
        image[v] = outerVariable[v] ? int32_t(v) : value[v] ? truth : -truth;
    for (const Gate& gate : innerGates)
        image[size_t(gate.variable)] = copyGate(gate);
    std::vector<int32_t> refinement, lits;
    for (uint32_t c : checked) {
        lits.clear();
        bool satisfied = false;
        for (int32_t lit : f.clauses[c]) {
            int32_t mapped = lit > 0 ? image[size_t(lit)] : -image[size_t(-lit)];
            if (mapped == truth)
                satisfied = true;
            else if (mapped != -truth)
                lits.push_back(mapped);
        }
        if (satisfied) continue;
        // The answer satisfies the matrix under the candidate, so no clause
        // is false whatever X.
        assert(!lits.empty());
        refinement.push_back(openSelector(lits));
    }
    std::sort(refinement.begin(), refinement.end());
    refinement.erase(std::unique(refinement.begin(), refinement.end()), refinement.end());
    for (int32_t s : refinement)
        outer.add(s);
    outer.add(0);
}

Outcome Engine::step() {
    if (!propose()) return Outcome::valid;
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
    if (inner.solve() == 20) return Outcome::invalid;
    readAnswer();
    bool allSatisfied = true;
    for (size_t k = 0; allSatisfied && k < mixed.size(); ++k)
        allSatisfied = satisfiedByAnswer(k);
    if (!allSatisfied) {
        seekConflict();
        allSatisfied = target.empty();
    }
    answers.push_back(value);
    if (allSatisfied) return Outcome::valid;
    refine();
    return Outcome::open;
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
    GateFinder finder(dense);
    std::vector<Gate> outerGates = finder.find();
    finder.addUndefinable();
    std::vector<Gate> innerGates = finder.find();
    // Refining through copies of the inner gates excludes more per answer,
    // refining through the answer's clauses leads elsewhere; on some formulas
    // either one is far faster than the other, so they take turns.
    std::vector<std::unique_ptr<Engine>> engines;
    engines.push_back(std::make_unique<Engine>(dense, outerGates, innerGates));
    if (!innerGates.empty())
        engines.push_back(std::make_unique<Engine>(dense, outerGates, std::vector<Gate>{}));
    // Equal shares of time rather than of steps: their steps differ in cost.
    std::vector<double> spent(engines.size(), 0.0);
    Engine* done = nullptr;
    Outcome outcome = Outcome::open;
    while (!done) {
        if (options.stepLimit && result.steps == options.stepLimit) {
            result.decided = false;
            return result;
        }
        size_t turn = size_t(std::min_element(spent.begin(), spent.end()) - spent.begin());
        auto start = std::chrono::steady_clock::now();
        ++result.steps;
        outcome = engines[turn]->step();
        spent[turn] +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (outcome == Outcome::open) continue;
        done = engines[turn].get();
        if (turn > 0) innerGates.clear(); // its answers carry the inner gates' values
    }
    result.valid = outcome == Outcome::valid;
    if (result.valid && !(outerGates.empty() && innerGates.empty()) && !options.definedAnswers) {
        outerGates.clear();
        innerGates.clear();
        engines.clear();
        engines.push_back(std::make_unique<Engine>(dense, outerGates, innerGates));
        done = engines[0].get();
        do {
            if (options.stepLimit && result.steps == options.stepLimit) {
                result.decided = false;
                return result;
            }
            ++result.steps;
        } while ((outcome = done->step()) == Outcome::open);
        result.valid = outcome == Outcome::valid;
        assert(result.valid);
    }
    if (!result.valid) {
        for (size_t v = 1; v <= universalCount; ++v)
            result.counterexample.push_back(
                literal(formula, universalCount, done->value[v] ? int32_t(v) : -int32_t(v)));
        return result;
    }
    for (const auto& answer : done->answers) {
        auto& y = result.answers.emplace_back();
        for (size_t v = universalCount + 1; v <= dense.variableCount; ++v)
            y.push_back(literal(formula, universalCount, answer[v] ? int32_t(v) : -int32_t(v)));
    }
    outerGates.insert(outerGates.end(), innerGates.begin(), innerGates.end());
    for (const Gate& gate : outerGates) {
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
