// Certificates for answers the engines find outside the store. Variables and
// clauses from before the hand-over already have their functions and trace
// entries; these pieces only add the remainder's, so that the store's writers
// produce one certificate for the whole run.
//
// A TRUE answer gives each remaining existential a function of the universals:
// a constant from a SAT model (expansion copies are recombined by the store's
// own expansion functions), or, after refinement, a case split over the
// answers Y^1..Y^k taking Y^i's value where the matrix holds under Y^i. A
// FALSE answer replays a propositional refutation of the remainder on the
// stored clauses as new trace entries; under a universal assignment the
// clauses keep their universal literals, all false there, so the replay ends
// in an all-universal clause that universal reduction empties.

#include "hybrid/remaining.hpp"

#include <map>
#include <set>

namespace {

void setFunction(Solver& solver, Variable v, Literal f) {
    // An expansion copy is already referred to by its own index.
    if (v > solver.lastInputVar) {
        Literal k = solver.substitution[v].function;
        solver.certificate.defineAnd(uint32_t(k), &f, 1);
    }
    solver.substitution[v].function = f;
    solver.eliminated[v] = 1;
}

} // namespace

void certifyModel(Solver& solver, const Remaining& formula, const std::vector<int8_t>& value) {
    Literal t = solver.constantTrue();
    for (Variable v : formula.existentials)
        setFunction(solver, v, v < value.size() && value[v] > 0 ? t : -t);
}

void certifyAnswers(Solver& solver, const Remaining& formula,
                    const std::vector<std::vector<int32_t>>& answers) {
    Literal t = solver.constantTrue();
    std::map<Variable, uint32_t> slot;
    for (Variable y : formula.existentials)
        slot.emplace(y, uint32_t(slot.size()));
    // values[y's slot][i]: y's value in answer i.
    std::vector<std::vector<bool>> values(slot.size(), std::vector<bool>(answers.size()));
    std::vector<Literal> holds; // per answer: the matrix holds under it
    std::vector<Literal> operands;
    for (const auto& answer : answers) {
        std::map<Variable, bool> yTrue;
        for (int32_t l : answer) {
            yTrue[var(l)] = l > 0;
            values[slot.at(var(l))][holds.size()] = l > 0;
        }
        std::set<std::vector<Literal>> open; // universal parts of the clauses left open
        for (const auto& c : formula.clauses) {
            std::vector<Literal> rest;
            bool satisfied = false;
            for (int32_t l : c) {
                if (!solver.isExistential(var(l)))
                    rest.push_back(solver.certificateLiteral(l));
                else if (auto it = yTrue.find(var(l)); it != yTrue.end() && it->second == (l > 0))
                    satisfied = true;
            }
            if (!satisfied) open.insert(rest);
        }
        std::vector<Literal> clauseHolds;
        for (const auto& rest : open) {
            operands.clear();
            for (Literal l : rest)
                operands.push_back(-l);
            uint32_t g = solver.certificate.nextIndex(); // every literal false
            solver.certificate.defineAnd(g, operands.data(), uint32_t(operands.size()));
            clauseHolds.push_back(-Literal(g));
        }
        uint32_t m = solver.certificate.nextIndex();
        solver.certificate.defineAnd(m, clauseHolds.data(), uint32_t(clauseHolds.size()));
        holds.push_back(Literal(m));
    }
    // Existentials with the same values in every answer share one function.
    std::map<std::vector<bool>, Literal> shared;
    for (Variable y : formula.existentials) {
        const std::vector<bool>& own = values[slot.at(y)];
        auto [it, fresh] = shared.emplace(own, 0);
        if (fresh) {
            Literal f = own.empty() || !own.back() ? -t : t;
            for (size_t i = own.empty() ? 0 : own.size() - 1; i-- > 0;) {
                Literal here = own[i] ? t : -t;
                if (here == f) continue;
                uint32_t k = solver.certificate.nextIndex();
                solver.certificate.defineIte(k, holds[i], here, f);
                f = Literal(k);
            }
            it->second = f;
        }
        setFunction(solver, y, it->second);
    }
}

uint32_t recordSteps(Solver& solver, std::vector<uint32_t> ids, const proof::Refutation& refutation) {
    for (const proof::Step& s : refutation.steps) {
        uint32_t id = solver.nextClauseId++;
        solver.resolutionParents[id] =
            ResolutionStep{ids[s.parentA], ids[s.parentB], uint32_t(s.pivot)};
        ids.push_back(id);
    }
    return ids[refutation.emptyClause];
}

void concludeRefutation(Solver& solver, uint32_t finalId) {
    Clause* last = solver.newClause(0, nullptr);
    last->id = finalId;
    solver.writeRefutation(last);
    solver.releaseClause(last);
}

void certifyRefutation(Solver& solver, const Remaining& formula, const std::vector<uint32_t>& used,
                       const proof::Refutation& refutation) {
    std::vector<uint32_t> ids; // proof clause index -> clause id
    for (uint32_t i : used)
        ids.push_back(formula.ids[i]);
    concludeRefutation(solver, recordSteps(solver, std::move(ids), refutation));
}
