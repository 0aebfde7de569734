#include "generator.hpp"
#include "support/captured_output.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <karvona.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Deleter {
    void operator()(karvona* k) const { karvona_delete(k); }
};
using Handle = std::unique_ptr<karvona, Deleter>;

Handle newHandle() {
    Handle k(karvona_new());
    EXPECT_TRUE(k);
    return k;
}

std::string path(const std::string& name) {
    return ::testing::TempDir() + "api_test_" + name;
}

std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void addClauses(karvona* k, const std::vector<int>& literals) {
    for (int lit : literals)
        ASSERT_EQ(karvona_add_literal(k, lit), 0);
}

// What one route made of a formula: answer or error kind, what it printed
// and the certificate.
struct Outcome {
    int status;
    std::string output;
    std::string certificate;
};

Outcome decide(karvona* k, const std::string& certificate, int status,
               const CapturedOutput& output) {
    if (status == 0) status = karvona_solve(k);
    return {status, output.text(), contents(certificate)};
}

} // namespace

// Interleaved calls on two handles must not leak into each other, and a
// handle made after both are gone must start from nothing.
TEST(Api, SolversSideBySideAndOneAfterTheOther) {
    const int blocks[][3] = {{1, 0}, {2, 0}};
    Handle t = newHandle(), f = newHandle();
    ASSERT_EQ(karvona_set_certificate(t.get(), path("true.qbc").c_str()), 0);
    ASSERT_EQ(karvona_set_certificate(f.get(), path("false.qbc").c_str()), 0);
    ASSERT_EQ(karvona_set_option(f.get(), "u", 1), 0);
    ASSERT_EQ(karvona_add_block(t.get(), KARVONA_FORALL, blocks[0]), 0);
    ASSERT_EQ(karvona_add_block(f.get(), KARVONA_EXISTS, blocks[1]), 0);
    ASSERT_EQ(karvona_add_block(t.get(), KARVONA_EXISTS, blocks[1]), 0);
    ASSERT_EQ(karvona_add_block(f.get(), KARVONA_FORALL, blocks[0]), 0);
    // t: forall 1 exists 2 (2 <-> 1); f: exists 2 forall 1 (2 <-> 1).
    for (int lit : {1, -2, 0, -1, 2, 0}) {
        ASSERT_EQ(karvona_add_literal(t.get(), lit), 0);
        ASSERT_EQ(karvona_add_literal(f.get(), lit), 0);
    }
    EXPECT_EQ(karvona_solve(f.get()), KARVONA_FALSE);
    EXPECT_EQ(karvona_solve(t.get()), KARVONA_TRUE);
    EXPECT_EQ(karvona_solve(t.get()), KARVONA_TRUE);
    std::string certificate = contents(path("true.qbc"));
    EXPECT_NE(certificate.find("CONCLUDE VALID 2 "), std::string::npos);
    EXPECT_NE(contents(path("false.qbc")).find("CONCLUDE INVALID"), std::string::npos);
    t.reset();
    f.reset();

    Handle again = newHandle();
    ASSERT_EQ(karvona_set_certificate(again.get(), path("again.qbc").c_str()), 0);
    ASSERT_EQ(karvona_add_block(again.get(), KARVONA_FORALL, blocks[0]), 0);
    ASSERT_EQ(karvona_add_block(again.get(), KARVONA_EXISTS, blocks[1]), 0);
    addClauses(again.get(), {1, -2, 0, -1, 2, 0});
    EXPECT_EQ(karvona_solve(again.get()), KARVONA_TRUE);
    EXPECT_EQ(contents(path("again.qbc")), certificate);
}

// The add calls must load a formula exactly as the reader loads its text:
// same answer, same lines printed, same certificate byte for byte, over
// generated formulas with free variables, repeated and complementary
// literals, empty clauses and unused variables.
TEST(Api, BuiltFormulaDecidedLikeItsText) {
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        Formula formula = generateFormula(seed, tinySettings());
        int32_t named = 0;
        for (const QuantifierLine& line : formula.prefix)
            for (int32_t v : line.variables)
                named = std::max(named, v);
        for (const std::vector<int32_t>& clause : formula.clauses)
            for (int32_t lit : clause)
                named = std::max(named, std::abs(lit));
        formula.variableCount = named;
        const char* option = seed % 2 ? "u" : "l";
        SCOPED_TRACE("seed " + std::to_string(seed) + ", option " + option);

        std::string file = path("formula.qdimacs");
        std::ofstream(file) << writeQdimacs(formula, Text::canonical);
        Handle loaded = newHandle();
        auto output = std::make_unique<CapturedOutput>();
        karvona_set_option(loaded.get(), option, 1);
        karvona_set_certificate(loaded.get(), path("loaded.qbc").c_str());
        Outcome fromFile = decide(loaded.get(), path("loaded.qbc"),
                                  karvona_load_file(loaded.get(), file.c_str()), *output);

        Handle built = newHandle();
        output.reset();
        output = std::make_unique<CapturedOutput>();
        karvona_set_option(built.get(), option, 1);
        karvona_set_certificate(built.get(), path("built.qbc").c_str());
        int status = 0;
        for (const QuantifierLine& line : formula.prefix) {
            std::vector<int> variables(line.variables.begin(), line.variables.end());
            variables.push_back(0);
            int quantifier = line.universal ? KARVONA_FORALL : KARVONA_EXISTS;
            if (!status) status = karvona_add_block(built.get(), quantifier, variables.data());
        }
        for (const std::vector<int32_t>& clause : formula.clauses) {
            for (int32_t lit : clause)
                if (!status) status = karvona_add_literal(built.get(), lit);
            if (!status) status = karvona_add_literal(built.get(), 0);
        }
        Outcome fromCalls = decide(built.get(), path("built.qbc"), status, *output);
        output.reset();

        ASSERT_EQ(fromCalls.status, fromFile.status);
        ASSERT_EQ(fromCalls.output, fromFile.output);
        ASSERT_EQ(fromCalls.certificate, fromFile.certificate);
        std::remove(path("loaded.qbc").c_str());
        std::remove(path("built.qbc").c_str());
    }
}

// Every failure is an error kind with its message, never an exception or an
// exit; a failed load or solve keeps failing the same way.
TEST(Api, FailedCallsReturnKindAndMessage) {
    Handle k = newHandle();
    EXPECT_STREQ(karvona_error_message(k.get()), "");
    EXPECT_EQ(karvona_set_option(k.get(), "x", 1), KARVONA_ERROR_USAGE);
    EXPECT_STREQ(karvona_error_message(k.get()), "unknown option");
    EXPECT_EQ(karvona_add_order(k.get(), "3 x"), KARVONA_ERROR_USAGE);
    EXPECT_STREQ(karvona_error_message(k.get()), "Illegal variable in elimination order.");
    EXPECT_EQ(karvona_add_block(k.get(), 'x', nullptr), KARVONA_ERROR_USAGE);
    addClauses(k.get(), {1, 2});
    EXPECT_EQ(karvona_solve(k.get()), KARVONA_ERROR_USAGE);
    EXPECT_STREQ(karvona_error_message(k.get()), "the last clause is not ended by 0");
    const int late[] = {1, 0};
    EXPECT_EQ(karvona_add_block(k.get(), KARVONA_EXISTS, late), KARVONA_ERROR_USAGE);
    EXPECT_EQ(karvona_set_option(k.get(), "s", 1), KARVONA_ERROR_USAGE);
    addClauses(k.get(), {0});
    EXPECT_EQ(karvona_solve(k.get()), KARVONA_TRUE);
    EXPECT_EQ(karvona_add_literal(k.get(), 1), KARVONA_ERROR_USAGE);

    Handle missing = newHandle();
    EXPECT_EQ(karvona_load_file(missing.get(), path("missing.qdimacs").c_str()),
              KARVONA_ERROR_FILE);
    EXPECT_STREQ(karvona_error_message(missing.get()), "file not found");
    EXPECT_EQ(karvona_solve(missing.get()), KARVONA_ERROR_FILE);

    Handle twice = newHandle();
    const int block[] = {1, 0};
    karvona_add_block(twice.get(), KARVONA_EXISTS, block);
    karvona_add_block(twice.get(), KARVONA_FORALL, block);
    addClauses(twice.get(), {1, 0});
    EXPECT_EQ(karvona_solve(twice.get()), KARVONA_ERROR_FORMAT);
    EXPECT_STREQ(karvona_error_message(twice.get()), "variable quantified twice");

    Handle empty = newHandle();
    EXPECT_EQ(karvona_solve(empty.get()), KARVONA_ERROR_FORMAT);
    EXPECT_STREQ(karvona_error_message(empty.get()), "bogus variable number in header");

    Handle unwritable = newHandle();
    karvona_set_certificate(unwritable.get(), path("no/such/folder.qbc").c_str());
    addClauses(unwritable.get(), {1, 0});
    EXPECT_EQ(karvona_solve(unwritable.get()), KARVONA_ERROR_FILE);
    EXPECT_STREQ(karvona_error_message(unwritable.get()), "Could not open certificate file");

    Handle unnamed = newHandle();
    karvona_set_option(unnamed.get(), "c", 1);
    addClauses(unnamed.get(), {1, 0});
    EXPECT_EQ(karvona_solve(unnamed.get()), KARVONA_ERROR_USAGE);
}
