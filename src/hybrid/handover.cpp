// The hybrid mode's hand-over. Clause distribution is fast while the formula
// stays small and hopeless once it grows, so elimination runs under a clause
// budget; past it, the remainder goes to the engine that suits its prefix: a
// SAT solver when no universal is left, full expansion and then a SAT solver
// when few are, two-level refinement for a forall-exists remainder, clausal
// abstraction for any other prefix. With certificates, which the abstraction
// does not give, other shapes go back to elimination without a budget.
//
// A forall-exists input is mostly a circuit in Tseitin form, whose gates
// refinement recovers and elimination destroys, and each preparation of the
// clauses suits some circuits and not others. So such an input first meets
// refinement as read, then after propagation, each under a step limit that
// keeps the loss small where elimination alone is quick; after the budget,
// refinement without a limit works on the input as read unless certificates
// must describe the remainder. Other prefixes meet the abstraction once after
// propagation, under a step limit, for the same reason.

#include "hybrid/refinement.hpp"
#include "hybrid/remaining.hpp"
#include "hybrid/sat_backend.hpp"
#include "levels/levels.hpp"

#include <algorithm>
#include <iostream>

namespace {

// Full expansion is tried while the literals of all copies stay below a
// bound; a budget set by hand scales it, so small formulas reach every engine.
constexpr uint64_t expansionLiteralBound = uint64_t{1} << 26;
constexpr uint64_t expansionPerBudget = 64;

// Steps of the two early refinement runs. Where refinement succeeds on the
// benchmark circuits it needs at most a few hundred steps in one of the two
// preparations; a step costs about a millisecond on circuits where it fails.
constexpr uint64_t inputSteps = 400;
constexpr uint64_t propagatedSteps = 1000;
// SAT calls of the early clausal abstraction run on other prefixes.
constexpr uint64_t abstractionSteps = 2000;

refinement::TwoLevelFormula twoLevelOf(const Remaining& formula, Solver& solver) {
    refinement::TwoLevelFormula twoLevel;
    for (Variable x : formula.universals)
        twoLevel.universals.push_back(int32_t(x));
    for (Variable y : formula.existentials)
        if (solver.occurrences(y) > 0) twoLevel.existentials.push_back(int32_t(y));
    twoLevel.clauses = formula.clauses;
    return twoLevel;
}

// Every occurring universal before every occurring existential.
bool isTwoLevel(const Remaining& formula, Solver& solver) {
    if (formula.universals.empty()) return false;
    uint32_t last = solver.position(formula.universals.back());
    for (Variable y : formula.existentials)
        if (solver.occurrences(y) > 0 && solver.position(y) < last) return false;
    return true;
}

// Variables come in prefix order; a change of quantifier opens a block.
void addToBlocks(levels::Formula& formula, Variable v, bool universal) {
    if (formula.blocks.empty() || formula.blocks.back().universal != universal)
        formula.blocks.push_back({universal, {}});
    formula.blocks.back().variables.push_back(int32_t(v));
}

// The remainder's prefix as blocks, outermost first.
levels::Formula levelsOf(const Remaining& formula, Solver& solver) {
    std::vector<std::pair<uint32_t, Variable>> prefix;
    for (Variable x : formula.universals)
        prefix.emplace_back(solver.position(x), x);
    for (Variable y : formula.existentials)
        if (solver.occurrences(y) > 0) prefix.emplace_back(solver.position(y), y);
    std::sort(prefix.begin(), prefix.end());
    levels::Formula blocks;
    for (auto [p, v] : prefix)
        addToBlocks(blocks, v, !solver.isExistential(v));
    blocks.clauses = formula.clauses;
    return blocks;
}

} // namespace

// The clauses as read, before load-time subsumption removes clauses that
// gate recovery needs.
struct HybridInput {
    bool twoLevel = false;
    // Many quantifier blocks: elimination rarely finishes such a prefix, and
    // propagation rewrites the clauses the abstraction learns from into ones
    // that teach it less (incrementer: 58849 SAT calls as read, no answer
    // in 100000 after propagation). Such an input meets the abstraction as
    // read, before anything else.
    bool deep = false;
    uint32_t blockCount = 0;
    uint32_t lastUniversal = 0; // position, while reading
    refinement::TwoLevelFormula formula;
    std::vector<uint32_t> ids; // of the clauses
    int probe = -1;            // the answer of the run after propagation, -1 none
};

namespace {

struct HandOver {
    Solver& solver;

    void announce(const char* engine, const Remaining& formula) {
        if (!solver.showProgress) return;
        std::cout << "Hybrid hand-over to " << engine << ": " << formula.universals.size()
                  << " universals, " << formula.existentials.size() << " existentials, "
                  << formula.clauses.size() << " clauses, " << formula.literalCount() << " literals"
                  << std::endl;
    }

    int refuted(const Remaining& formula, const std::vector<uint32_t>& used,
                const std::vector<std::vector<int32_t>>& clauses) {
        if (solver.certificates) {
            auto refutation = proof::refute(clauses);
            if (!refutation) throw SolverException{{"BUG: SAT back end and proof disagree."}};
            certifyRefutation(solver, formula, used, *refutation);
        }
        solver.consistent = false;
        return 0;
    }

    int satBackEnd(const Remaining& formula) {
        auto model = satisfy(formula.clauses, solver.lastVar);
        if (!model) {
            std::vector<uint32_t> used(formula.clauses.size());
            for (uint32_t i = 0; i < used.size(); ++i)
                used[i] = i;
            return refuted(formula, used, formula.clauses);
        }
        if (solver.certificates) certifyModel(solver, formula, *model);
        return 1;
    }

    // Innermost first, so no universal is ever copied.
    int expandAll(const Remaining& formula) {
        solver.skipSubsumption = true;
        for (auto u = formula.universals.rbegin(); u != formula.universals.rend(); ++u)
            if (!solver.expandUniversal(*u)) return 0;
        solver.skipSubsumption = false;
        Remaining expanded(solver);
        if (!expanded.universals.empty()) return -1;
        announce("SAT back end", expanded);
        return satBackEnd(expanded);
    }

    // Any prefix; no certificate comes of it.
    int abstraction(const Remaining& formula, uint64_t stepLimit = 0) {
        return abstraction(levelsOf(formula, solver), stepLimit);
    }

    int abstraction(const levels::Formula& formula, uint64_t stepLimit) {
        levels::Options options;
        options.stepLimit = stepLimit;
        levels::Result result = levels::solve(formula, options);
        if (solver.showProgress)
            std::cout << "Abstraction steps: " << result.steps
                      << ", refinements: " << result.refinements
                      << ", levels: " << result.levelCount << std::endl;
        if (result.answer == 0) solver.consistent = false;
        return result.answer;
    }

    // -1: the step limit ran out. The input as read replaces the remainder
    // only where no certificate is written.
    int refine(const Remaining& formula, uint64_t stepLimit = 0,
               const refinement::TwoLevelFormula* input = nullptr) {
        refinement::TwoLevelFormula twoLevel;
        if (!input) twoLevel = twoLevelOf(formula, solver);
        refinement::Options options;
        options.definedAnswers = true;
        options.stepLimit = stepLimit;
        refinement::Result result = refinement::solveTwoLevel(input ? *input : twoLevel, options);
        if (solver.showProgress)
            std::cout << "Refinement steps: " << result.steps
                      << ", answers: " << result.answers.size() << std::endl;
        if (!result.decided) return -1;
        if (result.valid) {
            if (solver.certificates)
                certifyAnswers(solver, formula, result.answers, result.definitions);
            return 1;
        }
        if (input && !solver.certificates) {
            solver.consistent = false;
            return 0;
        }
        // Under X*, the clauses it leaves open lose their universal literals.
        std::vector<int8_t> value(solver.lastVar + 1, 0);
        for (int32_t l : result.counterexample)
            value[var(l)] = l > 0 ? 1 : -1;
        std::vector<uint32_t> used;
        std::vector<std::vector<int32_t>> restricted;
        for (uint32_t i = 0; i < formula.clauses.size(); ++i) {
            std::vector<int32_t> rest;
            bool satisfied = false;
            for (int32_t l : formula.clauses[i]) {
                if (solver.isExistential(var(l)))
                    rest.push_back(l);
                else if ((l > 0 ? 1 : -1) == value[var(l)])
                    satisfied = true;
            }
            if (satisfied) continue;
            used.push_back(i);
            restricted.push_back(std::move(rest));
        }
        return refuted(formula, used, restricted);
    }
};

} // namespace

// While reading, the prefix is known by positions only; a clause with an
// existential before the last universal ends the keeping.
void Solver::keepInputClause(const Literal* literals, uint32_t count, uint32_t id) {
    if (!hybridInput) {
        hybridInput = std::make_shared<HybridInput>();
        // A budget set by hand is there to make small formulas reach the later engines.
        // Flags 0 may also be a universal at position 0; missing it only
        // skips the early runs for an input whose sole universal it is.
        bool universal = false;
        for (Variable v = 1; v <= lastVar && v < varState.capacity; ++v) {
            if (flagsOf(v) == 0 || isExistential(v)) continue;
            universal = true;
            hybridInput->lastUniversal = std::max(hybridInput->lastUniversal, position(v));
        }
        hybridInput->twoLevel = hybridBudget == 0 && universal;
        // The prefix order is complete only after reading; positions are not.
        std::vector<uint32_t> prefix;
        for (Variable v = 1; v <= lastVar; ++v)
            if (flagsOf(v) != 0) prefix.push_back(flagsOf(v));
        std::sort(prefix.begin(), prefix.end());
        int quantifier = -1;
        for (uint32_t flags : prefix) {
            if (int(flags & 1) == quantifier) continue;
            quantifier = int(flags & 1);
            ++hybridInput->blockCount;
        }
        hybridInput->deep = hybridBudget == 0 && hybridInput->blockCount > 3;
    }
    HybridInput& input = *hybridInput;
    if (!input.twoLevel && !input.deep) return;
    for (uint32_t i = 0; i < count && input.twoLevel; ++i) {
        if (isExistential(var(literals[i])) && position(var(literals[i])) < input.lastUniversal) {
            input.twoLevel = false;
            if (input.deep) break;
            input.formula.clauses = {};
            input.ids = {};
            return;
        }
    }
    input.formula.clauses.emplace_back(literals, literals + count);
    input.ids.push_back(id);
}

// Before propagation: refinement on the input as read.
int Solver::hybridFirst() {
    if (hybridInput && hybridInput->deep && !certificates) {
        HybridInput& input = *hybridInput;
        levels::Formula deep;
        std::vector<uint8_t> occurs(lastVar + 1, 0);
        for (const auto& c : input.formula.clauses)
            for (int32_t l : c)
                occurs[var(l)] = 1;
        for (uint32_t p = 0; p < lastPosition; ++p) {
            Variable v = order[p];
            if (occurs[v]) addToBlocks(deep, v, !isExistential(v));
        }
        deep.clauses = std::move(input.formula.clauses);
        input.formula.clauses = {};
        input.ids = {};
        HandOver engine{*this};
        if (showProgress) {
            Remaining formula(*this);
            formula.clauses = deep.clauses;
            engine.announce("clausal abstraction of the input", formula);
        }
        int answer = engine.abstraction(deep, abstractionSteps * input.blockCount);
        if (answer >= 0) return answer;
    }
    if (!hybridInput || !hybridInput->twoLevel) {
        hybridInput.reset();
        return -1;
    }
    Remaining formula(*this);
    if (!isTwoLevel(formula, *this)) {
        hybridInput.reset();
        return -1;
    }
    // The input's own clauses and ids stand in for the stored ones: each
    // stored clause is one of them or follows from one.
    formula.clauses = hybridInput->formula.clauses;
    formula.ids = hybridInput->ids;
    refinement::TwoLevelFormula& input = hybridInput->formula;
    std::vector<uint8_t> occurs(lastVar + 1, 0);
    for (const auto& c : input.clauses)
        for (int32_t l : c)
            occurs[var(l)] = 1;
    for (uint32_t p = 0; p < lastPosition; ++p) {
        Variable v = order[p];
        if (!occurs[v]) continue;
        (isExistential(v) ? input.existentials : input.universals).push_back(int32_t(v));
    }
    HandOver engine{*this};
    engine.announce("refinement", formula);
    int answer = engine.refine(formula, inputSteps, &input);
    if (answer == 1 && certificates) writeConclusion(true);
    return answer;
}

bool Solver::overBudget(Variable next) {
    // A formula whose full expansion is cheap goes to the SAT solver before
    // elimination lengthens its clauses. Without certificates only: a false
    // expansion cannot be certified, and elimination would then have lost
    // its budget. A forall-exists input still whole meets refinement again;
    // other prefixes meet the abstraction.
    if (!hybridStarted) {
        hybridStarted = true;
        Remaining formula(*this);
        if (!certificates) {
            uint64_t bound =
                hybridBudget != 0 ? expansionPerBudget * hybridBudget : expansionLiteralBound;
            if (!formula.universals.empty() && expandedLiteralCount(formula, *this) <= bound)
                return true;
        }
        if (hybridInput && isTwoLevel(formula, *this)) {
            HandOver engine{*this};
            engine.announce("refinement", formula);
            hybridInput->probe = engine.refine(formula, propagatedSteps);
            if (hybridInput->probe >= 0) return true;
        } else if (!certificates && !formula.universals.empty() && !isTwoLevel(formula, *this)) {
            // Elimination lengthens the clauses the abstraction learns from.
            HandOver engine{*this};
            engine.announce("clausal abstraction", formula);
            int answer = engine.abstraction(formula, abstractionSteps);
            if (answer >= 0) {
                hybridInput = std::make_shared<HybridInput>();
                hybridInput->probe = answer;
                return true;
            }
        }
    }
    uint64_t input = uint64_t{lastInputClauseId} + 1;
    uint64_t limit = hybridBudget != 0 ? hybridBudget : 2 * input + 1000;
    uint64_t growth = isExistential(next) ? uint64_t{occurrenceCount(Literal(next))} *
                                                occurrenceCount(-Literal(next))
                                          : uint64_t{clauseCount};
    return clauseCount + growth > limit;
}

int Solver::handOver() {
    hybridSettled = true;
    if (hybridInput && hybridInput->probe >= 0) {
        if (hybridInput->probe == 1 && certificates) writeConclusion(true);
        return hybridInput->probe;
    }
    HandOver engine{*this};
    Remaining formula(*this);
    int answer = -1;
    size_t universals = formula.universals.size();
    uint64_t expansionBound =
        hybridBudget != 0 ? expansionPerBudget * hybridBudget : expansionLiteralBound;
    bool twoLevel = isTwoLevel(formula, *this);
    if (universals == 0) {
        engine.announce("SAT back end", formula);
        answer = engine.satBackEnd(formula);
    } else if (expandedLiteralCount(formula, *this) <= expansionBound) {
        engine.announce("expansion", formula);
        bool satisfiable = expandedSatisfiable(formula, *this);
        // A refutation of the copies lifts to one of the clauses only when
        // built for it, which refuteExpanded does for an exists-forall-exists
        // remainder; other false ones are left to refinement or elimination. A
        // TRUE is certified by expanding in the store, whose functions
        // recombine the copies.
        if (!certificates) {
            consistent = satisfiable;
            answer = satisfiable ? 1 : 0;
        } else if (satisfiable) {
            answer = engine.expandAll(formula);
        } else if (refuteExpanded(formula, *this)) {
            answer = 0;
        }
    }
    if (answer < 0 && twoLevel) {
        bool asRead = hybridInput && hybridInput->twoLevel && !certificates;
        engine.announce(asRead ? "refinement of the input" : "refinement", formula);
        answer = engine.refine(formula, 0, asRead ? &hybridInput->formula : nullptr);
    } else if (answer < 0 && !certificates) {
        engine.announce("clausal abstraction", formula);
        answer = engine.abstraction(formula);
    } else if (answer < 0) {
        engine.announce("elimination", formula);
    }
    if (answer == 1 && certificates) writeConclusion(true);
    return answer;
}
