// The answer line: TRUE or FALSE, or with --qdo the QDIMACS solution line
// that other solvers print, followed by the outermost block's values where
// the answer determines them.

#include "driver/run.hpp"
#include "store/solver.hpp"

#include <iostream>

void printAnswer(const Solver& solver, bool answer) {
    if (!solver.qdimacsOutput) {
        std::cout << (answer ? "TRUE" : "FALSE") << std::endl;
        return;
    }
    std::cout << "s cnf " << (answer ? 1 : 0) << ' ' << solver.headerVariables << ' '
              << solver.headerClauses << std::endl;
    for (Literal l : solver.qdimacsValues(answer))
        std::cout << "V " << l << " 0" << std::endl;
}
