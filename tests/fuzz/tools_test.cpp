// Tests of the differential machinery itself: an oracle or generator that is
// wrong would let wrong answers of karvona through unnoticed. The driver's
// own verdicts are tested end to end on a fake karvona (CMakeLists.txt).

#include "brute_force.hpp"
#include "differential.hpp"
#include "generator.hpp"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

Formula parse(const std::string& text) {
    Formula f;
    std::string error;
    EXPECT_TRUE(readQdimacs(text, f, error)) << error << "\n" << text;
    return f;
}

TEST(BruteForce, QuantifierOrderAndFormatCornersDecideAsKarvonaDoes) {
    struct Case {
        const char* text;
        bool value;
    } cases[] = {
        // x == y: true when y may depend on x, false the other way round.
        {"p cnf 2 2\na 1 0\ne 2 0\n1 -2 0\n-1 2 0\n", true},
        {"p cnf 2 2\ne 2 0\na 1 0\n1 -2 0\n-1 2 0\n", false},
        // A universal placed inside several blocks keeps its scope.
        {"p cnf 4 4\ne 1 0\na 2 0\ne 3 0\na 4 0\n1 -3 0\n-1 3 0\n3 2 0\n-3 -2 0\n", false},
        {"p cnf 3 2\ne 1 0\na 2 0\ne 3 0\n2 -3 0\n-2 3 0\n", true},
        // Free variable 2 is existential and outside the universal 1.
        {"p cnf 2 2\na 1 0\n1 2 0\n-1 -2 0\n", false},
        {"p cnf 3 2\na 1 0\ne 3 0\n1 2 3 0\n-1 -2 0\n", true},
        // A lone 0 is ignored rather than making the formula false.
        {"p cnf 2 3\ne 1 2 0\n1 2 0\n0\n-1 0\n", true},
        // Complementary literals make a clause true, repeated ones are harmless.
        {"p cnf 2 2\na 1 0\ne 2 0\n1 2 -2 0\n-1 1 0\n", true},
        {"p cnf 2 3\ne 1 2 0\n1 1 0\n-1 -1 2 0\n-2 -2 0\n", false},
        // Comments after the header, split lines, upper case, empty
        // quantifier lines, unused variables; nothing after the clauses.
        {"c x\np cnf 9 3\nc y\nE 1 0\na 0\nA 2\n 0\nc z\n1\n2 0 -1 2 0 c\n-2 1 0\n", false},
        {"p cnf 1 1\ne 1 0\n1 0\n-1 0\ngarbage\n", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(evaluateByBruteForce(parse(c.text)), c.value) << c.text;
}

// Each seed replays, and the plain text reads back as the generated formula
// (the driver checks the decorated text it runs on, and compares brute force
// on the formula with depqbf on its own copy, for every seed).
TEST(Writer, EverySeedReplaysAndItsTextReadsBack) {
    for (uint64_t seed = 1; seed <= 400; ++seed) {
        GeneratorSettings settings = seed % 4 ? tinySettings() : largeSettings();
        Formula f = generateFormula(seed, settings);
        std::string text = writeQdimacs(f, Text::decorated, seed);
        EXPECT_EQ(writeQdimacs(generateFormula(seed, settings), Text::decorated, seed), text);
        EXPECT_EQ(parse(writeQdimacs(f, Text::canonical)), f) << seed;
    }
}

// The special cases the generator exists for must keep showing up, and
// true and false formulas must both be common.
TEST(Generator, CoversTheSolversSpecialCases) {
    std::map<std::string, int> seen;
    std::set<size_t> blockCounts;
    int trueFormulas = 0;
    const int formulas = 600;
    for (uint64_t seed = 1; seed <= formulas; ++seed) {
        Formula f = generateFormula(seed, tinySettings());
        trueFormulas += evaluateByBruteForce(f);
        std::map<int32_t, int> position; // variable -> place in the prefix
        size_t blocks = 0;
        bool lastUniversal = false;
        for (const QuantifierLine& line : f.prefix) {
            if (line.variables.empty()) {
                ++seen["empty quantifier line"];
                continue;
            }
            if (blocks > 0 && line.universal == lastUniversal) ++seen["split block"];
            blocks += blocks == 0 || line.universal != lastUniversal;
            lastUniversal = line.universal;
            for (int32_t v : line.variables)
                position[v] = int(position.size());
        }
        blockCounts.insert(blocks);
        std::set<std::pair<int32_t, int32_t>> binaries;
        std::map<int32_t, int> signs; // variable -> 1 positive, 2 negative, 3 both
        for (const auto& c : f.clauses) {
            if (c.empty()) ++seen["empty clause"];
            if (c.size() == 1) ++seen["unit"];
            if (c.size() == 2) {
                binaries.insert({std::min(c[0], c[1]), std::max(c[0], c[1])});
                if (binaries.count({std::min(-c[0], -c[1]), std::max(-c[0], -c[1])}))
                    ++seen["equivalence pair"];
            }
            std::set<int32_t> lits(c.begin(), c.end());
            if (lits.size() < c.size()) ++seen["repeated literal"];
            for (const auto& other : f.clauses) {
                std::set<int32_t> o(other.begin(), other.end());
                if (&other != &c && !o.empty() &&
                    std::includes(lits.begin(), lits.end(), o.begin(), o.end()))
                    ++seen["subsumed clause"];
            }
            int32_t innermost = 0;
            for (int32_t lit : c) {
                signs[std::abs(lit)] |= lit > 0 ? 1 : 2;
                if (lits.count(-lit)) ++seen["tautology"];
                if (!innermost || position[std::abs(lit)] > position[std::abs(innermost)])
                    innermost = lit;
            }
            if (innermost && lits.count(-innermost)) ++seen["tautology on innermost"];
        }
        if (!freeVariables(f).empty()) ++seen["free variable"];
        if (int32_t(signs.size()) < f.variableCount) ++seen["declared but unused"];
        for (auto [v, s] : signs)
            if (s != 3) ++seen["pure literal"];
    }
    for (const char* feature :
         {"empty quantifier line", "split block", "empty clause", "unit", "equivalence pair",
          "subsumed clause", "repeated literal", "tautology", "tautology on innermost", "free variable",
          "declared but unused", "pure literal"})
        EXPECT_GE(seen[feature], 10) << feature;
    for (size_t blocks = 1; blocks <= 6; ++blocks)
        EXPECT_TRUE(blockCounts.count(blocks)) << blocks << " blocks";
    EXPECT_GT(trueFormulas, formulas / 3);
    EXPECT_LT(trueFormulas, formulas * 2 / 3);
}

// A run counts only when its exit status and its last line agree.
TEST(Runs, OnlyAnAnswerMatchingItsExitStatusCounts) {
    struct Case {
        bool exited;
        int status;
        const char* output;
        Verdict::Kind kind;
    } cases[] = {
        {true, 10, "Warning: ignoring empty clause in input.\nTRUE\n", Verdict::trueFormula},
        {true, 20, "Warning: Illegal variable in elimination order: 7\nFALSE\n",
         Verdict::falseFormula},
        {true, 10, "FALSE\n", Verdict::broken},
        {true, 20, "TRUE\n", Verdict::broken},
        {true, 30, "Error reading f: p header missing\n", Verdict::broken},
        {false, 11, "TRUE\n", Verdict::broken},
        {true, 0, "\nTIME LIMIT EXCEEDED\n", Verdict::timeLimit},
        {true, 30, "\nMEMORY LIMIT EXCEEDED\n", Verdict::memoryLimit},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judgeKarvona(ProcessResult{c.exited, c.status, c.output, 0}).kind, c.kind)
            << c.output;
}

} // namespace
