#include "store/solver.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

std::string written(Solver& s) {
    std::ostringstream out;
    s.writeQdimacs(out);
    return out.str();
}

} // namespace

// The block of 3 is still written, though 3 occurs nowhere; clauses follow
// the key lists, variable by variable, positive list first.
TEST(Writer, PrefixKeepsEmptyBlocksAndClausesFollowTheKeyLists) {
    Solver s;
    declarePrefix(s, "eea");
    linkNew(s, {1}, 2);
    linkNew(s, {}, -1);
    EXPECT_EQ(written(s), "p cnf 3 2\ne 1 2 0\na 0\n-1 0\n2 1 0\n");
}

// The free variable 1 stands in an outermost existential block; nothing
// follows the innermost, existential block.
TEST(Writer, PrefixEndsWithTheInnermostBlock) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 4 2\na 2 0\ne 3 4 0\n1 2 3 0\n-1 -2 -4 0\n"));
    EXPECT_EQ(written(s), "p cnf 4 2\ne 1 0\na 2 0\ne 3 4 0\n3 1 2 0\n-4 -1 -2 0\n");
}
