// Function certificates: the definition graph, the dependency check on the
// composed functions, and CaDiCaL's verdict on the matrix.

#include "verdicts.hpp"

namespace {

// forall 1 2 3 exists 4, with variables up to 20 so that gates start at 21.
// 4 must be true when (1 -2) or (3) is false, and may be true only when
// (-1 -3) holds.
const std::string threeUniversals = "p cnf 20 3\na 1 2 3 0\ne 4 0\n4 1 -2 0\n4 3 0\n-4 -1 -3 0\n";
const std::string orOfTwoAnds = "E 21 A -1 2 0\nE 22 A -3 0\nE 23 I 21 21 22\n";

TEST(Functions, GatesComposeInAnyLineOrder) {
    expectTrue(threeUniversals, certificate(orOfTwoAnds + "CONCLUDE VALID 4 23 "));
    expectTrue(threeUniversals,
               certificate("E 23 I 21 21 22\nE 22 A -3 0\nE 21 A -1 2 0\nCONCLUDE VALID 4 23 "));
    // A chain far deeper than the call stack, written outermost gate first.
    constexpr int depth = 100000;
    std::string gates;
    for (int k = 3 + depth; k > 3; --k)
        gates += "E " + std::to_string(k) + " A " + std::to_string(k == 4 ? 1 : k - 1) + " 0\n";
    expectTrue("p cnf 2 2\na 1 0\ne 2 0\n2 -1 0\n-2 1 0\n",
               certificate(gates + "CONCLUDE VALID 2 " + std::to_string(3 + depth) + " "));
}

TEST(Functions, WrongFunctionIsCaughtBySat) {
    expectRejected(threeUniversals, certificate(orOfTwoAnds + "CONCLUDE VALID 4 21 "), 5,
                   "the functions falsify input clause 2 under the universal assignment ");
    expectRejected(threeUniversals, certificate(orOfTwoAnds + "CONCLUDE VALID 4 -23 "), 5,
                   "the functions falsify input clause ");
    // An all-universal clause is false whatever the functions are.
    expectRejected("p cnf 2 2\na 1 0\ne 2 0\n1 0\n2 0\n",
                   certificate("E 3 A 0\nCONCLUDE VALID 2 3 "), 3,
                   "the functions falsify input clause 1 under the universal assignment -1");
}

// x must be true exactly when all of u universals are: enumerated over
// several words with 8, left to the SAT solver with 40.
std::string allOf(int u) {
    std::string f = "p cnf " + std::to_string(u + 1) + " 2\na";
    std::string wide = std::to_string(u + 1);
    for (int v = 1; v <= u; ++v)
        f += " " + std::to_string(v), wide += " -" + std::to_string(v);
    return f + " 0\ne " + std::to_string(u + 1) + " 0\n" + wide + " 0\n-" + std::to_string(u + 1) +
           " 1 0\n";
}

TEST(Functions, ManyUniversalsAreEnumeratedOrLeftToSat) {
    for (int u : {8, 40}) {
        std::string g = std::to_string(u + 2), and_ = "E " + g + " A";
        for (int v = 1; v <= u; ++v)
            and_ += " " + std::to_string(v);
        and_ += " 0\n";
        expectTrue(allOf(u), certificate(and_ + "CONCLUDE VALID " + std::to_string(u + 1) + " " +
                                         g + " "));
        expectRejected(allOf(u), certificate("CONCLUDE VALID "), 2,
                       u == 8 ? "the functions falsify input clause 1 under the universal "
                                "assignment 1 2 3 4 5 6 7 8"
                              : "the functions falsify input clause 1 under the universal "
                                "assignment 1 2 3 4 5 6 7 8 9 10 11 12 ...");
    }
}

TEST(Functions, ConstantsAndUnlistedExistentials) {
    std::string needsTrue = "p cnf 2 1\na 1 0\ne 2 0\n2 1 0\n";
    expectTrue(needsTrue, certificate("E 3 A 0\nCONCLUDE VALID 2 3 "));
    expectRejected(needsTrue, certificate("E 3 A 0\nCONCLUDE VALID 2 -3 "), 3,
                   "the functions falsify input clause 1 under the universal assignment -1");
    expectRejected(needsTrue, certificate("CONCLUDE VALID "), 2,
                   "the functions falsify input clause 1 under the universal assignment -1");
    // Nothing to define: 2 false satisfies (1 -2); the tautology is skipped.
    expectTrue("p cnf 2 2\na 1 0\ne 2 0\n1 -2 0\n-1 1 0\n", certificate("CONCLUDE VALID "));
    // The unlisted 3 is false when a gate uses it.
    std::string f = "p cnf 3 1\na 1 0\ne 2 0\ne 3 0\n2 0\n";
    expectTrue(f, certificate("E 4 A -3 0\nCONCLUDE VALID 2 4 "));
    expectRejected(f, certificate("E 4 A 3 0\nCONCLUDE VALID 2 4 "), 3,
                   "the functions falsify input clause 1");
}

TEST(Functions, DependenciesFollowThePrefix) {
    std::string late = "p cnf 20 3\ne 4 0\na 1 2 3 0\n4 1 -2 0\n4 3 0\n-4 -1 -3 0\n";
    expectRejected(late, certificate(orOfTwoAnds + "CONCLUDE VALID 4 23 "), 5,
                   "the function of variable 4 depends on universal variable 3, which is "
                   "quantified after it");
    // Structural support counts: 7 is constant false but mentions 5.
    expectRejected("p cnf 5 1\na 1 0\ne 4 0\na 5 0\n4 1 0\n",
                   certificate("E 6 A -1 0\nE 7 A 5 -5 0\nE 8 I 7 7 6\nCONCLUDE VALID 4 8 "), 5,
                   "the function of variable 4 depends on universal variable 5");
    // Listed functions are substituted transitively: 2 uses 4, whose
    // function may use 3 but 2's may not.
    std::string f = "p cnf 4 2\na 1 0\ne 2 0\na 3 0\ne 4 0\n2 -1 0\n4 -1 0\n";
    expectTrue(f, certificate("E 5 A 4 0\nCONCLUDE VALID 2 5 4 1 "));
    expectRejected(f, certificate("E 5 A 4 0\nCONCLUDE VALID 2 5 4 3 "), 3,
                   "the function of variable 2 depends on universal variable 3");
    // A free variable is outermost: it may depend on no universal at all.
    std::string free = "p cnf 2 1\na 1 0\n1 2 0\n";
    expectTrue(free, certificate("E 3 A 0\nCONCLUDE VALID 2 3 "));
    expectRejected(free, certificate("CONCLUDE VALID 2 1 "), 2,
                   "the function of variable 2 depends on universal variable 1");
}

TEST(Functions, DefinitionGraphMustBeSound) {
    std::string f = "p cnf 3 1\na 1 0\ne 2 0\ne 3 0\n2 0\n";
    expectRejected(f, certificate("E 4 A 5 0\nE 5 I 4 4 1\nCONCLUDE VALID "), 2,
                   "gate 4 depends on itself");
    expectRejected(f, certificate("E 4 A 2 0\nCONCLUDE VALID 2 4 "), 3,
                   "the function of variable 2 depends on variable 2 itself");
    expectRejected(f, certificate("E 4 A 3 0\nE 5 A 2 0\nCONCLUDE VALID 2 4 3 5 "), 4,
                   "the function of variable 2 depends on variable 2 itself");
    expectRejected(f, certificate("E 4 A -1 9 0\nCONCLUDE VALID 2 4 "), 2,
                   "gate 4 uses the undefined index 9");
    expectRejected(f, certificate("CONCLUDE VALID 2 7 "), 2,
                   "the function of variable 2 uses the undefined index 7");
    expectRejected(f, certificate("E 4 A 0\nE 4 A 0\nCONCLUDE VALID 2 4 "), 3,
                   "index 4 is already defined on line 2");
    expectRejected(f, certificate("E 3 A 0\nCONCLUDE VALID 2 3 "), 2,
                   "gate 3 redefines input variable 3");
}

TEST(Functions, ConclusionListsEachExistentialInputOnce) {
    std::string f = "p cnf 3 1\na 1 0\ne 2 0\ne 3 0\n2 0\n";
    expectRejected(f, certificate("E 4 A 0\nCONCLUDE VALID 1 4 "), 3,
                   "universal variable 1 is given a function");
    expectRejected(f, certificate("E 4 A 0\nCONCLUDE VALID 2 4 2 4 "), 3,
                   "variable 2 is listed twice");
    expectRejected(f, certificate("CONCLUDE VALID 9 1 "), 2,
                   "variable 9 is not an input variable (the formula has 3)");
}

} // namespace
