// Certificates for answers the engines find outside the store. Variables and
// clauses from before the hand-over already have their functions and trace
// entries; these pieces only add the remainder's, so that the store's writers
// produce one certificate for the whole run.
//
// A TRUE answer gives each remaining existential a function of the universals:
// a constant from a SAT model (expansion copies are recombined by the store's
// own expansion functions), or, after refinement, a case split over the
// answers Y^1..Y^k taking Y^i's value where the matrix holds under Y^i; the
// existentials the matrix defines follow their definitions instead. A
// FALSE answer replays a propositional refutation of the remainder on the
// stored clauses as new trace entries; under a universal assignment the
// clauses keep their universal literals, all false there, so the replay ends
// in an all-universal clause that universal reduction empties.

#include "hybrid/remaining.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

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

namespace {

// AND gates written once per operand list, with constants folded, so that
// definitions over the universals alone, and clauses the answers leave open
// alike, cost one gate however many answers share them.
class Gates {
  public:
    explicit Gates(Solver& solver) : solver(solver), t(solver.constantTrue()) {}
    Literal truth() const { return t; }

    Literal conjunction(std::vector<Literal> operands) {
        std::sort(operands.begin(), operands.end());
        operands.erase(std::unique(operands.begin(), operands.end()), operands.end());
        if (std::binary_search(operands.begin(), operands.end(), -t)) return -t;
        std::erase(operands, t);
        for (Literal l : operands)
            if (std::binary_search(operands.begin(), operands.end(), -l)) return -t;
        if (operands.empty()) return t;
        if (operands.size() == 1) return operands[0];
        auto [it, fresh] = ands.emplace(std::move(operands), 0);
        if (fresh) {
            uint32_t k = solver.certificate.nextIndex();
            solver.certificate.defineAnd(k, it->first.data(), uint32_t(it->first.size()));
            it->second = Literal(k);
        }
        return it->second;
    }

    // True when one of the clauses holds.
    Literal disjunction(const std::vector<Literal>& operands) {
        std::vector<Literal> negated;
        for (Literal l : operands)
            negated.push_back(-l);
        return -conjunction(std::move(negated));
    }

  private:
    Solver& solver;
    Literal t;
    std::map<std::vector<Literal>, Literal> ands;
};

// The certificate literal of lit with the existentials valued as in value.
Literal mapped(Solver& solver, const std::unordered_map<Variable, Literal>& value, int32_t lit) {
    if (!solver.isExistential(var(lit))) return solver.certificateLiteral(lit);
    auto it = value.find(var(lit));
    Literal l = it == value.end() ? -solver.constantTrue() : it->second;
    return lit > 0 ? l : -l;
}

// d is true exactly when a clause containing +d has every other literal false.
Literal defined(Solver& solver, Gates& gates, const std::unordered_map<Variable, Literal>& value,
                const refinement::Definition& definition) {
    std::vector<Literal> terms, operands;
    for (const auto& clause : definition.clauses) {
        if (std::find(clause.begin(), clause.end(), definition.variable) == clause.end()) continue;
        operands.clear();
        for (int32_t l : clause)
            if (var(l) != Variable(definition.variable))
                operands.push_back(-mapped(solver, value, l));
        terms.push_back(gates.conjunction(operands));
    }
    return gates.disjunction(terms);
}

std::vector<int32_t> normalised(std::vector<int32_t> clause) {
    std::sort(clause.begin(), clause.end());
    clause.erase(std::unique(clause.begin(), clause.end()), clause.end());
    return clause;
}

} // namespace

void certifyAnswers(Solver& solver, const Remaining& formula,
                    const std::vector<std::vector<int32_t>>& answers,
                    const std::vector<refinement::Definition>& definitions) {
    Gates gates(solver);
    Literal t = gates.truth();
    std::set<Variable> isDefined;
    // Defining clauses hold by construction once their variable follows its
    // definition, so only the others decide whether an answer serves.
    std::set<std::vector<int32_t>> defining;
    for (const auto& d : definitions) {
        isDefined.insert(Variable(d.variable));
        for (const auto& c : d.clauses)
            defining.insert(normalised(c));
    }
    std::vector<Variable> free;
    for (Variable y : formula.existentials)
        if (!isDefined.count(y)) free.push_back(y);
    std::map<Variable, uint32_t> slot;
    for (Variable y : free)
        slot.emplace(y, uint32_t(slot.size()));
    std::vector<bool> checked;
    for (const auto& c : formula.clauses)
        checked.push_back(definitions.empty() || !defining.count(normalised(c)));
    // values[y's slot][i]: y's value in answer i.
    std::vector<std::vector<bool>> values(slot.size(), std::vector<bool>(answers.size()));
    std::vector<Literal> holds; // per answer: the matrix holds under it
    std::vector<Literal> clauseHolds, rest;
    std::unordered_map<Variable, Literal> value;
    for (const auto& answer : answers) {
        value.clear();
        for (int32_t l : answer) {
            if (isDefined.count(var(l))) continue;
            value[var(l)] = l > 0 ? t : -t;
            values[slot.at(var(l))][holds.size()] = l > 0;
        }
        for (const auto& d : definitions)
            value[Variable(d.variable)] = defined(solver, gates, value, d);
        clauseHolds.clear();
        for (size_t i = 0; i < formula.clauses.size(); ++i) {
            if (!checked[i]) continue;
            rest.clear();
            for (int32_t l : formula.clauses[i])
                rest.push_back(mapped(solver, value, l));
            clauseHolds.push_back(gates.disjunction(rest));
        }
        holds.push_back(gates.conjunction(clauseHolds));
    }
    // Free existentials with the same values in every answer share one function.
    std::map<std::vector<bool>, Literal> shared;
    value.clear();
    for (Variable y : free) {
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
        value[y] = it->second;
        setFunction(solver, y, it->second);
    }
    // Under the answer the case split picks, each definition takes the
    // value it had in that answer, so the matrix holds there.
    for (const auto& d : definitions) {
        Literal f = defined(solver, gates, value, d);
        value[Variable(d.variable)] = f;
        setFunction(solver, Variable(d.variable), f);
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
