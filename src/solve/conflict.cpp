// The first contradiction decides the formula: there is no backtracking, so
// recording it only reports and clears the consistency flag; every caller
// then returns false up to the solve loop.

#include "store/solver.hpp"

#include <iostream>

void Solver::printStatistics() {
    std::cout << "Tot. Conflicts: " << totalConflicts << " (" << forwardSubsumed << " cov.; "
              << backwardSubsumed << " forward cov.)" << std::endl;
}

void Solver::recordConflict(Clause* clause, Literal literal) {
    if (showProgress) {
        std::cout << "Shortcut on #" << renumbering.fileVariable(var(literal)) << std::endl;
        printStatistics();
    }
    if (certificates) {
        if (literal != 0) {
            // The unit against the reason of the opposite value: an empty clause.
            Clause* empty = newClause(0, nullptr);
            empty->id = loading ? lastInputClauseId + 1 : nextClauseId++;
            Variable v = var(literal);
            resolutionParents[empty->id] = ResolutionStep{clause->id, assignment[v].reasonId, v};
            writeRefutation(empty);
            releaseClause(empty);
        } else {
            writeRefutation(clause);
        }
    }
    consistent = false;
}
