// Refutations: clause numbering as karvona numbers input clauses, the
// recomputed Q-resolvents, and the ways a derivation can fail to be one.

#include "verdicts.hpp"

#include <pthread.h>

namespace {

// forall 1 exists 2 3: (1 2) (-2 3) (-3); false, since -3, -2 and then the
// universal 1 alone remain.
const std::string chain = "p cnf 3 3\na 1 0\ne 2 3 0\n1 2 0\n-2 3 0\n-3 0\n";

TEST(Refutation, ResolventsAreRecomputedInAnyLineOrder) {
    expectFalse(chain, certificate("4 * 2 3 0\n5 * 1 4 0\nCONCLUDE INVALID 5"));
    // Parents with higher numbers than their step, and parents swapped.
    expectFalse(chain, certificate("4 * 5 1 0\n5 * 3 2 0\nCONCLUDE INVALID 4"));
    // A trailing newline after the conclusion is harmless.
    expectFalse(chain, certificate("4 * 2 3 0\n5 * 1 4 0\nCONCLUDE INVALID 5\n"));
    // Only steps reachable from the conclusion are checked.
    expectFalse(chain, certificate("4 * 2 3 0\n5 * 1 4 0\n9 * 1 1 0\n10 * 77 3 0\n"
                                   "CONCLUDE INVALID 5"));
}

TEST(Refutation, LoneZeroTakesNoNumberButTautologyKeepsOne) {
    // The tautology is clause 2 and the lone 0 is skipped, so the chain's
    // clauses are 1, 3 and 4.
    std::string f = "p cnf 3 5\na 1 0\ne 2 3 0\n1 2 0\n0\n2 -2 1 0\n-2 3 0\n-3 0\n";
    expectFalse(f, certificate("5 * 3 4 0\n6 * 1 5 0\nCONCLUDE INVALID 6"));
    expectRejected(f, certificate("5 * 2 4 0\n6 * 1 5 0\nCONCLUDE INVALID 6"), 2,
                   "step 5 uses the tautological input clause 2");
    expectRejected(f, certificate("CONCLUDE INVALID 2"), 2,
                   "concluded clause 2 is a tautological input clause");
    // Repeated literals count once.
    expectFalse("p cnf 1 2\ne 1 0\n1 1 0\n-1 -1 0\n", certificate("3 * 1 2 0\nCONCLUDE INVALID 3"));
}

TEST(Refutation, UniversalReductionByPrefixPosition) {
    // exists 1 forall 2 exists 3: (1 2 3) keeps 2 until 3 is resolved away.
    std::string f = "p cnf 3 3\ne 1 0\na 2 0\ne 3 0\n1 2 3 0\n-3 0\n-1 0\n";
    expectFalse(f, certificate("4 * 1 2 0\n5 * 4 3 0\nCONCLUDE INVALID 5"));
    // Input clauses are reduced before use: (1 2) is (1) and (-1 -2) is (-1).
    expectFalse("p cnf 2 2\ne 1 0\na 2 0\n1 2 0\n-1 -2 0\n",
                certificate("3 * 1 2 0\nCONCLUDE INVALID 3"));
    // An all-universal input clause is empty and may be concluded directly.
    std::string universalClause = "p cnf 2 2\na 1 0\ne 2 0\n-1 2 0\n1 0\n";
    expectFalse(universalClause, certificate("CONCLUDE INVALID 2"));
    expectRejected(universalClause, certificate("CONCLUDE INVALID 1"), 2,
                   "concluded clause 1 is not empty after universal reduction: -1 2");
    // A free variable is existential and outermost: (1 3) reduces to (3).
    expectRejected("p cnf 3 2\na 1 0\ne 2 0\n1 3 0\n2 0\n", certificate("CONCLUDE INVALID 1"), 2,
                   "concluded clause 1 is not empty after universal reduction: 3");
}

TEST(Refutation, ParentsMustClashOnExactlyOneExistential) {
    expectRejected(chain, certificate("4 * 1 3 0\nCONCLUDE INVALID 4"), 2,
                   "step 4: clauses 1 and 3 clash on no variable");
    expectRejected(chain, certificate("4 * 3 3 0\nCONCLUDE INVALID 4"), 2,
                   "step 4: clauses 3 and 3 clash on no variable");
    expectRejected("p cnf 2 2\ne 1 2 0\n1 2 0\n-1 -2 0\n",
                   certificate("3 * 1 2 0\nCONCLUDE INVALID 3"), 2,
                   "step 3: clauses 1 and 2 clash on more than one variable (1 and 2)");
    expectRejected("p cnf 3 2\na 1 0\ne 2 3 0\n1 2 0\n-1 3 0\n",
                   certificate("3 * 1 2 0\nCONCLUDE INVALID 3"), 2,
                   "step 3: clauses 1 and 2 clash only on the universal variable 1");
}

TEST(Refutation, ClauseNumbersMustNameSomethingDefinedWithoutCycles) {
    expectRejected(chain, certificate("4 * 4 3 0\nCONCLUDE INVALID 4"), 2,
                   "step 4 names clause 4, which depends on step 4");
    expectRejected(chain, certificate("4 * 1 6 0\n5 * 2 3 0\n6 * 5 4 0\nCONCLUDE INVALID 4"), 4,
                   "step 6 names clause 4, which depends on step 6");
    expectRejected(chain, certificate("4 * 2 3 0\n5 * 1 9 0\nCONCLUDE INVALID 5"), 3,
                   "step 5 names clause 9, which is neither");
    expectRejected(chain, certificate("4 * 0 3 0\nCONCLUDE INVALID 4"), 2,
                   "step 4 names clause 0, which is neither");
    expectRejected(chain, certificate("4 * 2 3 0\nCONCLUDE INVALID 7"), 3,
                   "concluded clause 7 is neither an input clause nor derived by a step");
    expectRejected(chain, certificate("3 * 2 1 0\nCONCLUDE INVALID 3"), 2,
                   "step 3 redefines input clause 3");
    expectRejected(chain, certificate("4 * 2 3 0\n4 * 1 2 0\nCONCLUDE INVALID 4"), 3,
                   "clause 4 is already defined on line 2");
    expectRejected(chain, certificate("4 * 2 3 0\nCONCLUDE INVALID 4"), 3,
                   "concluded clause 4 is not empty after universal reduction: -2");
}

// exists 1..n: (1) (-1 2) ... (-(n-1) n) (-n), refuted by a chain of n steps
// written last step first, each naming the next line's clause.
void deepDerivation() {
    constexpr int n = 40000;
    std::string f = "p cnf " + std::to_string(n) + " " + std::to_string(n + 1) + "\ne";
    for (int v = 1; v <= n; ++v)
        f += " " + std::to_string(v);
    f += " 0\n1 0\n";
    for (int v = 2; v <= n; ++v)
        f += std::to_string(-(v - 1)) + " " + std::to_string(v) + " 0\n";
    f += std::to_string(-n) + " 0\n";
    // Clause n + 1 is (-n); step n + 1 + k resolves away variable n + 1 - k.
    std::string steps;
    for (int k = n; k >= 1; --k) {
        int clause = n + 1 + k;
        int previous = k == 1 ? n + 1 : clause - 1;
        int input = n + 1 - k; // (-(v-1) v) for v = n + 1 - k, or (1) at the end
        steps += std::to_string(clause) + " * " + std::to_string(input) + " " +
                 std::to_string(previous) + " 0\n";
    }
    expectFalse(f, certificate(steps + "CONCLUDE INVALID " + std::to_string(2 * n + 1)));
}

// Runs body on a thread with a small stack, so that recursion as deep as a
// long derivation overflows it even though the main thread's stack is large.
void onSmallStack(void (*body)()) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 512 * 1024);
    pthread_t thread;
    auto start = [](void* f) -> void* {
        reinterpret_cast<void (*)()>(f)();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, start, reinterpret_cast<void*>(body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(Refutation, DeepDerivationNeedsNoRecursion) {
    onSmallStack(deepDerivation);
}

} // namespace
