// Reading the remainder out of the store for an engine that works on plain
// clause lists. Clauses keep their universal literals: a refutation found
// under a universal assignment is replayed on them.

#include "hybrid/remaining.hpp"

Remaining::Remaining(Solver& solver) {
    for (uint32_t p = 0; p < solver.lastPosition; ++p) {
        Variable v = solver.order[p];
        if (solver.eliminated[v]) continue;
        if (solver.isExistential(v))
            existentials.push_back(v);
        else if (solver.occurrences(v) > 0)
            universals.push_back(v);
        for (Literal key : {Literal(v), -Literal(v)}) {
            for (const Clause* c = solver.listHead(key); c; c = c->next) {
                std::vector<int32_t> literals(c->literals, c->literals + c->size);
                literals.push_back(key);
                clauses.push_back(std::move(literals));
                ids.push_back(c->id);
            }
        }
    }
}

size_t Remaining::literalCount() const {
    size_t n = 0;
    for (const auto& c : clauses)
        n += c.size();
    return n;
}
