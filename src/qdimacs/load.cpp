// Loading: every input clause enters here. Repeated literals are merged and
// a clause holding both signs of a variable is dropped as satisfied before
// universal reduction, so no stored clause ever holds its key's variable
// twice. Dropped clauses still take an id, keeping ids in file order.

#include "qdimacs/input_file.hpp"
#include "store/solver.hpp"

#include <cstdio>
#include <iostream>

// A stream that ends too early is more likely a broken compressed file than
// a broken formula, so the decompressor's status goes first then.
bool Solver::load(const std::string& path) {
    prepareInput();
    InputFile input(path);
    bool result;
    try {
        result = readQdimacs(input.stream());
    } catch (const FileFormatException&) {
        if (std::feof(input.stream())) input.finish();
        throw;
    }
    input.finish();
    return finishLoad(result);
}

// --qdo takes its values from the certificate bookkeeping, kept in memory.
void Solver::prepareInput() {
    if (!qdimacsOutput) return;
    certificates = keepInputClauses = copyInputClauses = true;
    certificate.keepGates = true;
}

bool Solver::finishLoad(bool result) {
    if (qdimacsOutput) findOutermostBlock();
    if (!result && certificates) finishCertificate();
    return result;
}

// The clause as it will be stored, with its id; or why there is none. An
// all-universal clause decides the formula, but only once every clause before
// it is in, so its refutation is written by the caller. The literals come
// placed (sorted by position, each variable with its record) and are merged
// where they are.
Solver::Prepared Solver::prepareClause(uint32_t count, Literal* literals, Clause*& prepared) {
    if (count == 0) {
        std::cout << "Warning: ignoring empty clause in input." << std::endl;
        return Prepared::dropped;
    }
    // Literals on one variable are neighbours, since they share a position.
    uint32_t k = 1;
    Variable previous = var(literals[0]);
    for (uint32_t i = 1; i < count; ++i) {
        Literal lit = literals[i];
        Variable v = var(lit);
        if (v == previous) {
            if (literals[k - 1] == lit) continue;
            ++nextClauseId;
            return Prepared::dropped;
        }
        literals[k++] = lit;
        previous = v;
    }
    uint32_t full = k;
    if (hybrid) keepInputClause(literals, full, nextClauseId);
    while (k > 0 && !isExistential(var(literals[k - 1])))
        --k;
    if (k == 0) {
        if (qdimacsOutput) refutedClause.assign(literals, literals + full);
        return Prepared::allUniversal;
    }
    prepared = newClause(k - 1, literals, literals[k - 1]);
    prepared->id = nextClauseId++;
    return Prepared::held;
}

// The refutation is the all-universal input clause itself, under its own number.
void Solver::refuteByInputClause() {
    if (!certificates) return;
    Clause* empty = newClause(0, nullptr);
    empty->id = nextClauseId;
    writeRefutation(empty);
    releaseClause(empty);
}
