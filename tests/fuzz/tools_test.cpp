// Tests of the differential machinery itself: an oracle or generator that is
// wrong would let wrong answers of karvona through unnoticed.

#include "brute_force.hpp"
#include "differential.hpp"
#include "generator.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <stdexcept>

namespace {

Formula parse(const std::string& text) {
    Formula f;
    std::string error;
    EXPECT_TRUE(readQdimacs(text, f, error)) << error << "\n" << text;
    return f;
}

bool value(const std::string& text) {
    return evaluateByBruteForce(parse(text));
}

TEST(BruteForce, QuantifierOrderDecides) {
    // x == y: true when y may depend on x, false the other way round.
    const char* clauses = "1 -2 0\n-1 2 0\n";
    EXPECT_TRUE(value(std::string("p cnf 2 2\na 1 0\ne 2 0\n") + clauses));
    EXPECT_FALSE(value(std::string("p cnf 2 2\ne 2 0\na 1 0\n") + clauses));
    // A universal placed inside several blocks keeps its scope.
    EXPECT_FALSE(value("p cnf 4 4\ne 1 0\na 2 0\ne 3 0\na 4 0\n"
                       "1 -3 0\n-1 3 0\n3 2 0\n-3 -2 0\n"));
    EXPECT_TRUE(value("p cnf 3 2\ne 1 0\na 2 0\ne 3 0\n2 -3 0\n-2 3 0\n"));
    EXPECT_FALSE(value("p cnf 2 1\ne 1 0\na 2 0\n2 0\n"));
}

TEST(BruteForce, ReadsFormatCornersAsKarvonaDoes) {
    // Free variable 2 is existential and outside the universal 1.
    EXPECT_FALSE(value("p cnf 2 2\na 1 0\n1 2 0\n-1 -2 0\n"));
    EXPECT_TRUE(value("p cnf 3 2\na 1 0\ne 3 0\n1 2 3 0\n-1 -2 0\n"));
    // A lone 0 is ignored rather than making the formula false.
    EXPECT_TRUE(value("p cnf 2 3\ne 1 2 0\n1 2 0\n0\n-1 0\n"));
    // Complementary literals make a clause true, repeated ones are harmless.
    EXPECT_TRUE(value("p cnf 2 2\na 1 0\ne 2 0\n1 2 -2 0\n-1 1 0\n"));
    EXPECT_FALSE(value("p cnf 2 3\ne 1 2 0\n1 1 0\n-1 -1 2 0\n-2 -2 0\n"));
    // Comments after the header, split lines, upper case, empty quantifier
    // lines and variables declared but unused.
    EXPECT_FALSE(value("c x\np cnf 9 3\nc y\nE 1 0\na 0\nA 2\n 0\nc z\n1\n2 0 -1 2 0 c\n-2 1 0\n"));
    // Nothing after the declared clauses is read.
    EXPECT_TRUE(value("p cnf 1 1\ne 1 0\n1 0\n-1 0\ngarbage\n"));
}

TEST(BruteForce, RefusesMoreVariablesThanItCanEnumerate) {
    Formula f;
    f.variableCount = maxBruteForceVariables + 1;
    f.clauses.emplace_back();
    for (int32_t v = 1; v <= f.variableCount; ++v)
        f.clauses.back().push_back(v);
    EXPECT_THROW(evaluateByBruteForce(f), std::length_error);
    f.clauses.back().pop_back();
    EXPECT_TRUE(evaluateByBruteForce(f));
}

TEST(Reader, RejectsWhatKarvonaRejects) {
    Formula f;
    std::string error;
    for (const char* bad :
         {"", "c only\n", "p cnf 0 1\n1 0\n", "p cnf 2 0\n", "p dnf 1 1\n1 0\n",
          "p cnf 2 2\ne 1 0\n1 0\n", "p cnf 2 1\ne 1 1 0\n1 0\n", "p cnf 2 1\ne 1 0\n3 0\n",
          "p cnf 2 1\ne 3 0\n1 0\n", "p cnf 2 1\ne 1 0\n1 x 0\n"})
        EXPECT_FALSE(readQdimacs(bad, f, error)) << bad;
}

TEST(Writer, EveryTextReadsBackAsTheGeneratedFormula) {
    for (uint64_t seed = 1; seed <= 400; ++seed) {
        Formula f = generateFormula(seed, seed % 4 ? tinySettings() : largeSettings());
        EXPECT_EQ(parse(writeQdimacs(f, Text::decorated, seed)), f) << seed;
        EXPECT_EQ(parse(writeQdimacs(f, Text::canonical)), f) << seed;

        // depqbf's copy: the same formula minus empty clauses and empty
        // quantifier lines, in syntax depqbf reads.
        std::string text = writeQdimacs(f, Text::depqbf);
        Formula expected = f;
        std::erase_if(expected.clauses, [](const auto& c) { return c.empty(); });
        std::erase_if(expected.prefix, [](const auto& line) { return line.variables.empty(); });
        EXPECT_EQ(parse(text), expected) << seed;
        EXPECT_EQ(text.find_first_of("AEc\t", text.find('\n')), std::string::npos) << text;
    }
}

TEST(Generator, SameSeedSameFormulaAndWithinSettings) {
    std::set<std::string> texts;
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        GeneratorSettings settings = seed % 2 ? tinySettings() : largeSettings();
        Formula f = generateFormula(seed, settings);
        std::string text = writeQdimacs(f, Text::decorated, seed);
        EXPECT_EQ(writeQdimacs(generateFormula(seed, settings), Text::decorated, seed), text);
        texts.insert(text);

        std::set<int32_t> used;
        for (const auto& c : f.clauses)
            for (int32_t lit : c)
                used.insert(std::abs(lit));
        EXPECT_GE(used.size(), 1u);
        EXPECT_LE(used.size(), settings.maxVariables) << seed;
        EXPECT_LE(*used.rbegin(), f.variableCount) << seed;

        size_t blocks = 0;
        bool last = false;
        for (const QuantifierLine& line : f.prefix) {
            if (line.variables.empty()) continue;
            blocks += blocks == 0 || line.universal != last;
            last = line.universal;
        }
        EXPECT_LE(blocks, settings.maxBlocks) << seed;
    }
    EXPECT_GT(texts.size(), 290u); // a few one-variable formulas coincide
}

namespace {

std::string twoBlockText(uint64_t seed, const TwoBlockSize& size) {
    std::FILE* file = std::tmpfile();
    EXPECT_TRUE(writeTwoBlockFormula(seed, size, file));
    std::string text(size_t(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

} // namespace

// Enough clauses that the streamed text crosses its buffer several times.
TEST(Generator, TwoBlockFamilyHasItsShapeAndReplays) {
    TwoBlockSize size{7, 40, 9000};
    std::string text = twoBlockText(3, size);
    EXPECT_EQ(twoBlockText(3, size), text);
    EXPECT_NE(twoBlockText(4, size), text);
    Formula f = parse(text);
    ASSERT_EQ(f.prefix.size(), 2u);
    EXPECT_TRUE(f.prefix[0].universal);
    EXPECT_EQ(f.prefix[0].variables.size(), 7u);
    EXPECT_EQ(f.prefix[1].variables.size(), 40u);
    EXPECT_EQ(f.prefix[1].variables.back(), 47);
    ASSERT_EQ(f.clauses.size(), 9000u);
    std::set<int32_t> universalLiterals;
    for (const auto& c : f.clauses) {
        ASSERT_EQ(c.size(), 5u);
        EXPECT_NE(std::abs(c[0]), std::abs(c[1]));
        for (int i = 0; i < 2; ++i) {
            EXPECT_LE(std::abs(c[i]), 7);
            universalLiterals.insert(c[i]);
        }
        EXPECT_TRUE(c[2] > 7 && c[3] > 7 && c[4] > 7);
        EXPECT_TRUE(c[2] != c[3] && c[2] != c[4] && c[3] != c[4]);
    }
    EXPECT_EQ(universalLiterals.size(), 14u);
}

// The special cases the generator exists for must keep showing up.
TEST(Generator, CoversTheSolversSpecialCases) {
    std::map<std::string, int> seen;
    std::set<size_t> blockCounts;
    int trueFormulas = 0;
    const int formulas = 600;
    for (uint64_t seed = 1; seed <= formulas; ++seed) {
        Formula f = generateFormula(seed, tinySettings());
        trueFormulas += evaluateByBruteForce(f);
        std::string text = writeQdimacs(f, Text::decorated, seed);
        std::map<int32_t, int> position; // variable -> place in the prefix
        std::set<int32_t> inClauses;
        std::map<int32_t, int> signs; // variable -> 1 positive, 2 negative, 3 both
        size_t blocks = 0;
        bool lastUniversal = false;
        for (const QuantifierLine& line : f.prefix) {
            if (line.variables.empty())
                ++seen["empty quantifier line"];
            else if (blocks > 0 && line.universal == lastUniversal)
                ++seen["split block"];
            if (line.variables.empty()) continue;
            if (blocks == 0) ++seen[line.universal ? "universal first" : "existential first"];
            blocks += blocks == 0 || line.universal != lastUniversal;
            lastUniversal = line.universal;
            for (int32_t v : line.variables)
                position[v] = int(position.size());
        }
        blockCounts.insert(blocks);
        std::set<std::pair<int32_t, int32_t>> binaries;
        for (const auto& c : f.clauses) {
            if (c.empty()) ++seen["empty clause"];
            if (c.size() == 1) ++seen["unit"];
            if (c.size() == 2) {
                binaries.insert({std::min(c[0], c[1]), std::max(c[0], c[1])});
                if (binaries.count({std::min(-c[0], -c[1]), std::max(-c[0], -c[1])}))
                    ++seen["equivalence pair"];
            }
            std::set<int32_t> lits(c.begin(), c.end());
            for (const auto& other : f.clauses) {
                std::set<int32_t> o(other.begin(), other.end());
                if (&other != &c && !o.empty() &&
                    std::includes(lits.begin(), lits.end(), o.begin(), o.end()))
                    ++seen["subsumed clause"];
            }
            if (lits.size() < c.size()) ++seen["repeated literal"];
            int32_t innermost = 0;
            for (int32_t lit : c) {
                inClauses.insert(std::abs(lit));
                signs[std::abs(lit)] |= lit > 0 ? 1 : 2;
                if (!innermost || position[std::abs(lit)] > position[std::abs(innermost)])
                    innermost = lit;
            }
            for (int32_t lit : c)
                if (lits.count(-lit)) ++seen["tautology"];
            if (innermost && lits.count(-innermost)) ++seen["tautology on innermost"];
        }
        if (!freeVariables(f).empty()) ++seen["free variable"];
        for (auto [v, p] : position)
            if (!inClauses.count(v)) ++seen["quantified but unused"];
        if (int32_t(inClauses.size()) < f.variableCount) ++seen["declared but unused"];
        for (auto [v, s] : signs)
            if (s != 3) ++seen["pure literal"];
        if (text.find("\nc") != std::string::npos) ++seen["comment after header"];
    }
    for (const char* feature :
         {"empty quantifier line", "split block", "universal first", "existential first",
          "empty clause", "unit", "equivalence pair", "repeated literal", "tautology",
          "tautology on innermost", "free variable", "quantified but unused", "declared but unused",
          "pure literal", "comment after header"})
        EXPECT_GE(seen[feature], 10) << feature;
    for (size_t blocks = 1; blocks <= 6; ++blocks)
        EXPECT_TRUE(blockCounts.count(blocks)) << blocks << " blocks";
    EXPECT_GT(trueFormulas, formulas / 3);
    EXPECT_LT(trueFormulas, formulas * 2 / 3);
}

TEST(EliminationOrder, NamesDeclaredOrNeverUsedNumbersOnlyAndReplays) {
    int empty = 0, unusedNumbers = 0, full = 0, repeated = 0;
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        Formula f = generateFormula(seed, tinySettings());
        std::vector<int32_t> order = orderFor(f, seed, "-O @order");
        EXPECT_EQ(orderFor(f, seed, "-O @order"), order);
        EXPECT_TRUE(orderFor(f, seed, "-l").empty());
        std::set<int32_t> distinct;
        for (int32_t e : order) {
            EXPECT_GT(e, 0);
            EXPECT_TRUE(e <= f.variableCount || e >= 1000000) << e;
            if (e <= f.variableCount) repeated += !distinct.insert(e).second;
            unusedNumbers += e >= 1000000;
        }
        empty += order.empty();
        full += distinct.size() >= size_t(f.variableCount);
    }
    EXPECT_GT(empty, 0);
    EXPECT_GT(unusedNumbers, 0);
    EXPECT_GT(full, 0);
    EXPECT_GT(repeated, 0);
}

TEST(Runs, OptionSetsBecomeArgumentsWithTheOrderAsOneArgument) {
    EXPECT_TRUE(optionArguments("", {}).empty());
    EXPECT_EQ(optionArguments("-l -b", {}), (std::vector<std::string>{"-l", "-b"}));
    std::vector<std::string> args = optionArguments("-m -O @order", {3, 1, 2});
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[1], "-O");
    std::vector<int32_t> numbers;
    for (char* p = args[2].data(); *p;) {
        char* end = nullptr;
        long n = std::strtol(p, &end, 10);
        if (end == p) break;
        numbers.push_back(int32_t(n));
        p = end;
    }
    EXPECT_EQ(numbers, (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(quoteArguments({"-O", " 1  2", ""}), "-O ' 1  2' ''");
}

TEST(Runs, OnlyAnAnswerMatchingItsExitStatusCounts) {
    auto judge = [](bool exited, int status, std::string output) {
        return judgeKarvona(ProcessResult{exited, status, std::move(output), 0}).kind;
    };
    EXPECT_EQ(judge(true, 10, "Warning: ignoring empty clause in input.\nTRUE\n"),
              Verdict::trueFormula);
    EXPECT_EQ(judge(true, 20, "Warning: Illegal variable in elimination order: 7\nFALSE\n"),
              Verdict::falseFormula);
    EXPECT_EQ(judge(true, 10, "FALSE\n"), Verdict::broken);
    EXPECT_EQ(judge(true, 20, "TRUE\n"), Verdict::broken);
    EXPECT_EQ(judge(true, 30, "Error reading f: p header missing\n"), Verdict::broken);
    EXPECT_EQ(judge(false, 11, "TRUE\n"), Verdict::broken);
    EXPECT_EQ(judge(true, 0, "\nTIME LIMIT EXCEEDED\n"), Verdict::timeLimit);
    EXPECT_EQ(judge(true, 30, "\nMEMORY LIMIT EXCEEDED\n"), Verdict::memoryLimit);
}

TEST(Process, ReportsStatusSignalOutputAndCpuLimit) {
    std::string out = testing::TempDir() + "process_test.out";
    auto sh = [&out](const std::string& script, unsigned cpuSeconds = 0) {
        return runProcess({"/bin/sh", "-c", script}, out, cpuSeconds);
    };
    ProcessResult r = sh("echo out; echo err >&2; exit 3");
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.output, "out\nerr\n");
    r = sh("kill -TERM $$");
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.status, 15);
    EXPECT_EQ(describe(r).rfind("signal 15", 0), 0u);
    // stdin is empty rather than inherited, so a reader cannot hang.
    r = sh("cat; echo done");
    EXPECT_EQ(r.output, "done\n");
    // The soft CPU limit sends SIGXCPU, which the child may still report.
    r = sh("trap 'echo limit; exit 0' XCPU; while :; do :; done", 1);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.output, "limit\n");
    EXPECT_GE(r.cpuSeconds, 0.5);
    std::remove(out.c_str());

    EXPECT_EQ(lastLine("a\nb\n\n"), "b");
    EXPECT_EQ(lastLine(""), "");
    EXPECT_FALSE(findOnPath("sh").empty());
    EXPECT_TRUE(findOnPath("no-such-tool-anywhere").empty());
}

} // namespace
