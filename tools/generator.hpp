#pragma once

#include "formula.hpp"
#include "random.hpp"

#include <string>
#include <cstdio>

// Random small QBFs aimed at the solver's special cases: unit and
// two-literal clauses, equivalence pairs (a | b, -a | -b), pure literals,
// repeated and complementary literals, free variables, empty clauses,
// variables declared but unused, and up to six alternating blocks.
// Prefix shapes beyond the random alternation: one universal block outermost
// and one existential block inside it (half of them with Tseitin gates over
// the universals), or a few universals between two existential blocks (the
// inner one wide), or three to six alternating blocks with the innermost
// existential and at least two universals per universal block, which
// neither expansion nor two-level refinement takes.
enum class Shape { any, forallExists, fewUniversals, manyLevels };

struct GeneratorSettings {
    uint32_t minVariables = 1; // variables that may occur in clauses
    uint32_t maxVariables = 12;
    uint32_t maxBlocks = 6;
    uint32_t minDensity = 3; // tenths of a clause (or equivalence pair) per variable
    uint32_t maxDensity = 14;
    Shape shape = Shape::any;
};

// "forall-exists", "few-universals", "many-levels" or "any"; false for an unknown name.
bool parseShape(const std::string& name, Shape& shape);

GeneratorSettings tinySettings();  // at most 12 variables: brute force decides them
GeneratorSettings largeSettings(); // 20 to 40 variables: only depqbf decides them

Formula generateFormula(uint64_t seed, const GeneratorSettings& settings);

// An order for -O: half of the time the blocks from the innermost outwards,
// each shuffled, then the free variables, an order that eliminates
// soundly even when taken as given; otherwise any permutation of a subset of
// the declared numbers, which karvona must vet (eliminating an existential
// while a universal inside it still occurs is not equivalence-preserving).
// Either may be cut short, name a variable twice and have numbers mixed in
// that no variable will ever have, even after expansions (karvona warns
// about those and drops them).
std::vector<int32_t> randomEliminationOrder(const Formula& formula, Random& random);

// A large two-block family for loading and scaling measurements: universals
// 1..U, then existentials U+1..U+E; every clause has two random universal
// literals on distinct variables and three distinct positive existential
// literals, so every existential is pure and the formula is true. Written
// straight to out as it is drawn: at full size (1,000 / 1,000,000 /
// 4,000,000) the text is 133 MB, more than is worth holding.
struct TwoBlockSize {
    uint32_t universals = 1000;
    uint32_t existentials = 1000000;
    uint32_t clauses = 4000000;
};
bool writeTwoBlockFormula(uint64_t seed, const TwoBlockSize& size, std::FILE* out);
