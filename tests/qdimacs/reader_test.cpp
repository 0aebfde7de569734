#include "store/solver.hpp"
#include "support/formulas.hpp"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Literals = std::vector<std::vector<Literal>>;

} // namespace

TEST(Reader, MalformedInputRaisesFileFormatExceptionWithItsMessage) {
    // The cli cases pin the messages of the common faults; these are the
    // corners beside them.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"c only a comment\nc and another\n", "p header missing"},
        {"1 2 0\n", "p header missing"},
        {"p cnf x 2\n1 0\n", "bogus variable number in header"},
        {"p cnf 3\n", "bogus number of clauses in header"},
        {"p cnf 3 1\n1 2147483648 0\n", "non-numeric token in clause"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        Solver s;
        try {
            loadText(s, text);
            ADD_FAILURE() << "no exception";
        } catch (const FileFormatException& e) {
            EXPECT_EQ(std::string(e.message), message);
        }
    }
}

// Comments, upper-case letters and split lines come with every generated
// formula of the differential runs; text after the declared clauses does not.
TEST(Reader, StopsAfterTheDeclaredNumberOfClauses) {
    Solver s;
    ASSERT_TRUE(loadText(s, "p cnf 2 2\ne 1 2 0\n1 2 0\n-1 -2\n0 -1 2 0 not read\n"));
    EXPECT_EQ(allClauses(s), (Literals{{-1, -2}, {1, 2}}));
    EXPECT_EQ(s.lastInputClauseId, 1u);
}
