// The hybrid mode's hand-over. Clause distribution is fast while the formula
// stays small and hopeless once it grows, so elimination runs under a clause
// budget; past it, the remainder goes to the engine that suits its prefix: a
// SAT solver when no universal is left, full expansion and then a SAT solver
// when few are, two-level refinement for a forall-exists remainder. Any other
// shape goes back to elimination without a budget.

#include "hybrid/refinement.hpp"
#include "hybrid/remaining.hpp"
#include "hybrid/sat_backend.hpp"

#include <algorithm>
#include <iostream>

namespace {

// Full expansion is tried while the literals of all copies stay below a
// bound; a budget set by hand scales it, so small formulas reach every engine.
constexpr uint64_t expansionLiteralBound = uint64_t{1} << 26;
constexpr uint64_t expansionPerBudget = 64;

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

    int refine(const Remaining& formula) {
        refinement::TwoLevelFormula twoLevel;
        for (Variable x : formula.universals)
            twoLevel.universals.push_back(int32_t(x));
        for (Variable y : formula.existentials)
            if (solver.occurrences(y) > 0) twoLevel.existentials.push_back(int32_t(y));
        twoLevel.clauses = formula.clauses;
        refinement::Options options;
        options.definedAnswers = true;
        refinement::Result result = refinement::solveTwoLevel(twoLevel, options);
        if (solver.showProgress)
            std::cout << "Refinement steps: " << result.steps
                      << ", answers: " << result.answers.size() << std::endl;
        if (result.valid) {
            if (solver.certificates)
                certifyAnswers(solver, formula, result.answers, result.definitions);
            return 1;
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

bool Solver::overBudget(Variable next) {
    // A formula whose full expansion is cheap goes to the SAT solver before
    // elimination lengthens its clauses. Without certificates only: a false
    // expansion cannot be certified, and elimination would then have lost
    // its budget.
    if (!hybridStarted) {
        hybridStarted = true;
        if (!certificates) {
            Remaining formula(*this);
            uint64_t bound =
                hybridBudget != 0 ? expansionPerBudget * hybridBudget : expansionLiteralBound;
            if (!formula.universals.empty() && expandedLiteralCount(formula, *this) <= bound)
                return true;
        }
    }
    uint64_t input = uint64_t{lastInputClauseId} + 1;
    uint64_t limit = hybridBudget != 0 ? hybridBudget : 2 * input + 1000;
    uint64_t growth = isExistential(next) ? uint64_t{posOccurrences[next]} * negOccurrences[next]
                                          : uint64_t{clauseCount};
    return clauseCount + growth > limit;
}

int Solver::handOver() {
    hybridSettled = true;
    HandOver engine{*this};
    Remaining formula(*this);
    int answer = -1;
    size_t universals = formula.universals.size();
    uint32_t firstExistential = lastPosition;
    for (Variable y : formula.existentials)
        if (occurrences(y) > 0) firstExistential = std::min(firstExistential, position(y));
    uint64_t expansionBound =
        hybridBudget != 0 ? expansionPerBudget * hybridBudget : expansionLiteralBound;
    bool twoLevel = universals > 0 && position(formula.universals.back()) < firstExistential;
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
        engine.announce("refinement", formula);
        answer = engine.refine(formula);
    } else if (answer < 0) {
        engine.announce("elimination", formula);
    }
    if (answer == 1 && certificates) writeConclusion(true);
    return answer;
}
