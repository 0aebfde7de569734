// Functions of existential variables, built when a variable leaves the
// formula from the clauses it still occurs in, and written at once as gates.
// A function refers to universals and to existentials still in the formula
// at that moment; those leave later, so the definitions never form a cycle.

#include "store/solver.hpp"

Literal Solver::defineDnf(const Clause* list) {
    uint32_t terms = 0;
    std::vector<Literal> operands;
    for (const Clause* c = list; c; c = c->next) {
        uint32_t k = certificate.nextIndex();
        operands.clear();
        for (uint32_t i = 0; i < c->size; ++i)
            operands.push_back(-certificateLiteral(c->literals[i]));
        certificate.defineAnd(k, operands.data(), c->size);
        literalBuffer[terms++] = Literal(k);
    }
    Literal acc = literalBuffer[0];
    for (uint32_t i = 1; i < terms; ++i) {
        uint32_t m = certificate.nextIndex();
        certificate.defineIte(m, acc, acc, literalBuffer[i]);
        acc = Literal(m);
    }
    return acc;
}

Literal Solver::constantTrue() {
    if (constantTrueLiteral != 0) return Literal(constantTrueLiteral);
    Variable v = lastVar + 1;
    setVariableCount(int32_t(v));
    eliminated[v] = 1;
    order[lastPosition] = v;
    varFlag(v) = 2 * lastPosition + 1;
    ++lastPosition;
    uint32_t k = certificate.nextIndex();
    substitution[v].function = Literal(k);
    constantTrueLiteral = k;
    certificate.defineAnd(k, nullptr, 0);
    return Literal(k);
}

void Solver::defineFunction(Variable v) {
    VarRecord& r = vars[v];
    uint32_t p = r.posCount;
    uint32_t n = r.negCount;
    int32_t a = assignment[v].value;
    Literal f;
    if (p + n == 0) {
        if (v <= lastInputVar) {
            substitution[v].function = 0;
            return;
        }
        f = -constantTrue();
    } else if (p > 0 && a != -1) {
        if (n > 0 && a != 1) {
            f = p > n ? -defineDnf(r.negHead) : defineDnf(r.posHead);
            detachKeyLists(v);
            functionClauses[v] = vars[v];
            vars[v] = VarRecord{};
        } else {
            f = constantTrue();
        }
    } else {
        f = -constantTrue();
    }
    if (v > lastInputVar) {
        Literal k = substitution[v].function;
        certificate.defineAnd(uint32_t(k), &f, 1);
    }
    substitution[v].function = f;
}

void Solver::completeFunctions() {
    if (constantTrueLiteral == 0) constantTrue();
    for (Variable v = 1; v <= lastVar; ++v)
        if (substitution[v].function == 0) substitution[v].function = -Literal(constantTrueLiteral);
}

void Solver::writeConclusion(bool valid, uint32_t finalNumber) {
    if (!valid) {
        certificate.writeInvalid(finalNumber);
        return;
    }
    if (expansionPossible()) completeFunctions();
    std::vector<std::pair<uint32_t, Literal>> pairs;
    for (Variable v : renumbering.inWrittenOrder(lastInputVar))
        if (isExistential(v) && substitution[v].function != 0)
            pairs.emplace_back(v, substitution[v].function);
    certificate.writeValid(pairs);
    if (qdimacsOutput && !outermostUniversal) evaluateOutermostFunctions(pairs);
}

// A clause that ties a leaving variable to what replaces it; it exists only
// to build the variable's function and is never part of the formula.
void Solver::putDefiningClause(Literal key, std::initializer_list<Literal> stored, uint32_t id) {
    Clause* c = newClause(uint32_t(stored.size()), stored.begin(), key);
    c->id = id;
    linkClause(c, key);
}
