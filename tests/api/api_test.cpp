// The library's own contract. The command line is a client of the same
// calls, so loading files and the error lines it prints are covered by the
// cli cases; here: handles side by side, formulas built by calls, and the
// misuse only a library caller can commit.

#include "generator.hpp"
#include "support/captured_output.hpp"

#include <cstdio>
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

std::string path(const std::string& name) {
    return ::testing::TempDir() + "api_test_" + name;
}

std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Adds literals until a call fails; returns the first failure, or 0.
int addLiterals(karvona* k, const std::vector<int>& literals) {
    for (int lit : literals)
        if (int status = karvona_add_literal(k, lit)) return status;
    return 0;
}

} // namespace

// Interleaved calls on two handles must not leak into each other. Handles
// made one after the other are compared with the file route below.
TEST(Api, SolversSideBySide) {
    const int outer[] = {1, 0}, inner[] = {2, 0};
    Handle t(karvona_new()), f(karvona_new());
    ASSERT_EQ(karvona_set_certificate(t.get(), path("true.qbc").c_str()), 0);
    ASSERT_EQ(karvona_set_certificate(f.get(), path("false.qbc").c_str()), 0);
    ASSERT_EQ(karvona_set_option(f.get(), "u", 1), 0);
    // t: forall 1 exists 2 (2 <-> 1); f: exists 2 forall 1 (2 <-> 1).
    ASSERT_EQ(karvona_add_block(t.get(), KARVONA_FORALL, outer), 0);
    ASSERT_EQ(karvona_add_block(f.get(), KARVONA_EXISTS, inner), 0);
    ASSERT_EQ(karvona_add_block(t.get(), KARVONA_EXISTS, inner), 0);
    ASSERT_EQ(karvona_add_block(f.get(), KARVONA_FORALL, outer), 0);
    for (int lit : {1, -2, 0, -1, 2, 0}) {
        ASSERT_EQ(karvona_add_literal(t.get(), lit), 0);
        ASSERT_EQ(karvona_add_literal(f.get(), lit), 0);
    }
    EXPECT_EQ(karvona_solve(f.get()), KARVONA_FALSE);
    EXPECT_EQ(karvona_solve(t.get()), KARVONA_TRUE);
    EXPECT_EQ(karvona_solve(t.get()), KARVONA_TRUE);
    EXPECT_NE(contents(path("true.qbc")).find("CONCLUDE VALID 2 "), std::string::npos);
    EXPECT_NE(contents(path("false.qbc")).find("CONCLUDE INVALID"), std::string::npos);
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

        int status[2];
        std::string output[2], certificate[2];
        for (int built = 0; built < 2; ++built) {
            Handle k(karvona_new());
            std::string qbc = path(built ? "built.qbc" : "loaded.qbc");
            CapturedOutput out;
            karvona_set_option(k.get(), option, 1);
            karvona_set_certificate(k.get(), qbc.c_str());
            int s = built ? 0 : karvona_load_file(k.get(), file.c_str());
            for (const QuantifierLine& line : formula.prefix) {
                std::vector<int> variables(line.variables.begin(), line.variables.end());
                variables.push_back(0);
                int quantifier = line.universal ? KARVONA_FORALL : KARVONA_EXISTS;
                if (built && !s) s = karvona_add_block(k.get(), quantifier, variables.data());
            }
            for (const std::vector<int32_t>& clause : formula.clauses) {
                std::vector<int> literals(clause.begin(), clause.end());
                literals.push_back(0);
                if (built && !s) s = addLiterals(k.get(), literals);
            }
            status[built] = s ? s : karvona_solve(k.get());
            output[built] = out.text();
            certificate[built] = contents(qbc);
            std::remove(qbc.c_str());
        }
        ASSERT_EQ(status[1], status[0]);
        ASSERT_EQ(output[1], output[0]);
        ASSERT_EQ(certificate[1], certificate[0]);
    }
}

// Misuse is an error kind with its message, never an exception or an exit;
// a failed solve keeps failing the same way. Missing and unwritable files
// are cli cases.
TEST(Api, MisuseReturnsKindAndMessage) {
    Handle k(karvona_new());
    EXPECT_EQ(karvona_set_option(k.get(), "x", 1), KARVONA_ERROR_USAGE);
    EXPECT_STREQ(karvona_error_message(k.get()), "unknown option");
    EXPECT_EQ(karvona_add_order(k.get(), "3 x"), KARVONA_ERROR_USAGE);
    EXPECT_EQ(karvona_add_block(k.get(), 'x', nullptr), KARVONA_ERROR_USAGE);
    EXPECT_EQ(addLiterals(k.get(), {1, 2}), 0);
    EXPECT_EQ(karvona_solve(k.get()), KARVONA_ERROR_USAGE);
    EXPECT_STREQ(karvona_error_message(k.get()), "the last clause is not ended by 0");
    const int late[] = {1, 0};
    EXPECT_EQ(karvona_add_block(k.get(), KARVONA_EXISTS, late), KARVONA_ERROR_USAGE);
    EXPECT_EQ(karvona_set_option(k.get(), "s", 1), KARVONA_ERROR_USAGE);
    EXPECT_EQ(addLiterals(k.get(), {0}), 0);
    EXPECT_EQ(karvona_solve(k.get()), KARVONA_TRUE);
    EXPECT_EQ(karvona_add_literal(k.get(), 1), KARVONA_ERROR_USAGE);

    Handle empty(karvona_new());
    EXPECT_EQ(karvona_solve(empty.get()), KARVONA_ERROR_FORMAT);
    EXPECT_STREQ(karvona_error_message(empty.get()), "bogus variable number in header");

    Handle unnamed(karvona_new());
    karvona_set_option(unnamed.get(), "c", 1);
    EXPECT_EQ(addLiterals(unnamed.get(), {1, 0}), 0);
    EXPECT_EQ(karvona_solve(unnamed.get()), KARVONA_ERROR_USAGE);
}
