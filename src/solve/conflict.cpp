// The first contradiction decides the formula: there is no backtracking, so
// recording it only reports and clears the consistency flag; every caller
// then returns false up to the solve loop.

#include "store/solver.hpp"

#include <iostream>

void Solver::printStatistics() {
    std::cout << "Tot. Conflicts: " << totalConflicts << " (" << forwardSubsumed << " cov.; "
              << backwardSubsumed << " forward cov.)" << std::endl;
}

void Solver::recordConflict(Clause* /*clause*/, Literal literal) {
    if (showProgress) {
        std::cout << "Shortcut on #" << var(literal) << std::endl;
        printStatistics();
    }
    consistent = false;
}
