// The answer line: TRUE or FALSE, or with --qdo the QDIMACS solution line
// that other solvers print, followed by the outermost block's values where
// the answer determines them.

#include "driver/run.hpp"

#include <iostream>

void printAnswer(karvona* solver, int answer) {
    bool valid = answer == KARVONA_TRUE;
    const int* values = nullptr;
    int count = karvona_values(solver, &values);
    if (count < 0) {
        std::cout << (valid ? "TRUE" : "FALSE") << std::endl;
        return;
    }
    int variables = 0, clauses = 0;
    karvona_header(solver, &variables, &clauses);
    std::cout << "s cnf " << (valid ? 1 : 0) << ' ' << variables << ' ' << clauses << std::endl;
    for (int i = 0; i < count; ++i)
        std::cout << "V " << values[i] << " 0" << std::endl;
}
