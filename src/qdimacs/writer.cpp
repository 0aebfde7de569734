// The formula as it stands, in QDIMACS: the prefix block by block with only
// the variables that still occur, then every clause, key literal first.

#include "store/solver.hpp"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <string>

void Solver::writeQdimacs(std::ostream& out) {
    out << "p cnf " << std::max(lastVar, headerVariables) << ' ' << clauseCount << '\n';
    for (uint32_t p = 0; p < lastPosition;) {
        uint32_t kind = varFlags[order[p]] & 1;
        out << (kind ? "e " : "a ");
        for (; p < lastPosition && (varFlags[order[p]] & 1) == kind; ++p) {
            Variable v = order[p];
            if (occurrences(v) != 0) out << v << ' ';
        }
        out << "0\n";
    }
    // Variables past the table's end were never touched and have no clauses.
    for (Variable v = 1; v <= lastVar && v < vars.capacity; ++v) {
        for (Literal key : {Literal(v), -Literal(v)}) {
            for (Clause* c = listHead(key); c; c = c->next) {
                out << key << ' ';
                for (uint32_t i = 0; i < c->size; ++i)
                    out << c->literals[i] << ' ';
                out << "0\n";
            }
        }
    }
    out.flush();
}

void Solver::writeDump(uint32_t number) {
    if (dumpFileName.empty()) return;
    std::string name = dumpFileName + "_";
    if (number != 0) name += std::to_string(number);
    std::ofstream out(name);
    if (!out) return;
    writeQdimacs(out);
}
