// Tests build formulas from literal text; fmemopen lets that text go through
// the same FILE-based reader as a file on disk.

#include "support/formulas.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

bool loadText(Solver& solver, const std::string& text) {
    std::string buffer = text.empty() ? std::string(" ") : text; // fmemopen rejects size 0
    std::unique_ptr<std::FILE, FileCloser> file(fmemopen(buffer.data(), buffer.size(), "r"));
    if (!file) throw FileSystemException{{"fmemopen failed"}};
    return solver.readQdimacs(file.get());
}

Clause* makeClause(Solver& solver, std::initializer_list<Literal> literals, uint32_t id) {
    // Room for the key, in case the clause is linked.
    Clause* c = solver.newClause(uint32_t(literals.size()), literals.begin(), 0);
    c->id = id;
    return c;
}

std::vector<Literal> storedLiterals(const Clause* clause) {
    return std::vector<Literal>(clause->literals, clause->literals + clause->size);
}

std::vector<std::vector<Literal>> keyList(const Solver& solver, Literal key) {
    VarRecord r = solver.vars.get(var(key));
    std::vector<std::vector<Literal>> clauses;
    for (const Clause* c = key > 0 ? r.posHead : r.negHead; c; c = c->next)
        clauses.push_back(storedLiterals(c));
    return clauses;
}

void declarePrefix(Solver& solver, const std::string& kinds) {
    solver.setVariableCount(int32_t(kinds.size()));
    for (uint32_t p = 0; p < kinds.size(); ++p) {
        bool existential = kinds[p] == 'e';
        solver.order[p] = p + 1;
        solver.varFlag(p + 1) = 2 * p + (existential ? 1 : 0);
        ++(existential ? solver.existentialCount : solver.universalCount);
    }
    solver.lastPosition = uint32_t(kinds.size());
}

std::vector<std::vector<Literal>> allClauses(const Solver& solver) {
    std::vector<std::vector<Literal>> clauses;
    for (Variable v = 1; v < solver.vars.capacity; ++v) {
        for (Literal key : {Literal(v), -Literal(v)}) {
            for (std::vector<Literal>& c : keyList(solver, key)) {
                c.push_back(key);
                clauses.push_back(c);
            }
        }
    }
    std::sort(clauses.begin(), clauses.end());
    return clauses;
}

Clause* linkNew(Solver& solver, std::initializer_list<Literal> literals, Literal key) {
    Clause* c = makeClause(solver, literals, solver.nextClauseId++);
    for (Literal lit : literals)
        solver.addOccurrence(lit, c->size + 1);
    solver.addOccurrence(key, c->size + 1);
    solver.linkClause(c, key);
    solver.indexClause(c);
    ++solver.clauseCount;
    return c;
}
