// The formula as it stands, in QDIMACS: the prefix block by block with only
// the variables that still occur, then every clause, key literal first.

#include "store/solver.hpp"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

void Solver::writeQdimacs(std::ostream& out) {
    const Renumbering& numbers = renumbering;
    Variable shownLast = numbers.fileVariable(lastVar);
    if (numbers.active() && lastVar <= lastInputVar) shownLast = numbers.lastInputFile;
    out << "p cnf " << std::max(shownLast, headerVariables) << ' ' << clauseCount << '\n';
    for (uint32_t p = 0; p < lastPosition;) {
        uint32_t kind = varFlag(order[p]) & 1;
        out << (kind ? "e " : "a ");
        for (; p < lastPosition && (varFlag(order[p]) & 1) == kind; ++p) {
            Variable v = order[p];
            if (occurrences(v) != 0) out << numbers.fileVariable(v) << ' ';
        }
        out << "0\n";
    }
    // Variables past the table's end were never touched and have no clauses.
    // Renumbered ones are listed by their input numbers.
    Variable last = std::min(lastVar, vars.capacity ? vars.capacity - 1 : 0);
    for (Variable v : numbers.inWrittenOrder(last)) {
        for (Literal key : {Literal(v), -Literal(v)}) {
            for (Clause* c = listHead(key); c; c = c->next) {
                out << numbers.fileLiteral(key) << ' ';
                for (uint32_t j = 0; j < c->size; ++j)
                    out << numbers.fileLiteral(c->literals[j]) << ' ';
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
