#pragma once

// A QBF as the tools see it: the prefix lines exactly as written and the
// clauses in file order. Kept apart from the solver's store on purpose, so
// the tools judge karvona with code that shares nothing with it.

#include <cstdint>
#include <string>
#include <vector>

struct QuantifierLine {
    bool universal = false;
    std::vector<int32_t> variables; // may be empty: "e 0" is a legal line

    bool operator==(const QuantifierLine&) const = default;
};

struct Formula {
    int32_t variableCount = 0;                 // the header's count, at least every variable used
    std::vector<QuantifierLine> prefix;        // outermost first; equal kinds are not merged
    std::vector<std::vector<int32_t>> clauses; // file order; an empty one is a lone 0

    bool operator==(const Formula&) const = default;
};

enum class Text {
    decorated, // comments everywhere, odd line breaks, upper-case letters, empty lines "e 0"
    canonical, // one line per quantifier line and per clause; what a reproducer shows
    depqbf,    // canonical minus empty clauses and empty quantifier lines, which depqbf rejects
               // or reads differently
};

// The layout seed only matters for Text::decorated.
std::string writeQdimacs(const Formula& formula, Text text, uint64_t layoutSeed = 0);

// Reads what karvona reads: comment lines anywhere a token may start,
// upper-case quantifier letters, lines split anywhere, exactly the declared
// number of clauses and nothing after them. Returns false with a message on
// malformed input.
bool readQdimacs(const std::string& text, Formula& formula, std::string& error);

// Variables that occur in some clause but in no quantifier line.
std::vector<int32_t> freeVariables(const Formula& formula);
