#pragma once

// karvona-check: judges a certificate against its formula with code of its
// own. Nothing the solver computed is trusted: every resolvent is recomputed
// from the input clauses, and every function is composed from its gates and
// verified against the matrix by a SAT solver.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace check {

// The certificate proves nothing; line is the certificate line to blame.
struct RejectException {
    size_t line;
    std::string why;
};

// The formula cannot be read; line is the formula line to blame.
struct FormulaException {
    size_t line;
    std::string why;
};

// A formula with its clauses numbered as karvona numbers them: file order
// from 1, tautologies included, lone 0 lines left out.
struct Formula {
    uint32_t variableCount = 0;         // as the header declares
    std::vector<uint32_t> position;     // per variable up to the last that occurs: 0 free, then 1, 2, ...
    std::vector<uint8_t> universal;     // per variable up to the last that occurs
    std::vector<size_t> clauseStart{0}; // per clause number [0, clauseCount + 1]; clause 0 is empty
    std::vector<int32_t> literals;      // every clause sorted by variable, repeats merged
    std::vector<uint8_t> tautology;     // per clause number [0, clauseCount]

    // A header may declare up to 2^31 - 1 variables and name a few far up.
    // Numbers above farBase are then kept aside while reading and renumbered
    // after it, in order, once the certificate's are known too.
    static constexpr uint32_t farBase = uint32_t{1} << 16;
    uint32_t lastNamed = 0;                               // largest number the file names
    std::unordered_map<uint32_t, uint32_t> farQuantified; // number -> 2 position + universal
    std::vector<uint32_t> farNumbers; // per variable farBase + 1 + i: its number in the file
    int64_t shown(int64_t lit) const {
        uint64_t v = uint64_t(lit < 0 ? -lit : lit);
        if (v <= farBase || v - farBase > farNumbers.size()) return lit;
        int64_t x = farNumbers[v - farBase - 1];
        return lit < 0 ? -x : x;
    }

    uint32_t clauseCount() const { return uint32_t(clauseStart.size() - 2); }
    uint32_t lastOccurring() const { return uint32_t(position.size() - 1); }
    uint32_t positionOf(uint32_t v) const { return v < position.size() ? position[v] : 0; }
    bool isUniversal(uint32_t v) const { return v < universal.size() && universal[v]; }
    std::span<const int32_t> clause(uint32_t number) const {
        return {literals.data() + clauseStart[number],
                clauseStart[number + 1] - clauseStart[number]};
    }
};

// Reads QDIMACS as karvona reads it: free variables are existential and
// outermost, comments may start wherever a token may, exactly the declared
// number of clauses is read.
Formula readFormula(std::string_view text);

struct Gate {
    uint32_t index;        // the certificate index defined, above the variable count
    bool ifThenElse;       // operands c, t, e; otherwise the AND of all operands
    uint32_t firstOperand; // range [firstOperand, firstOperand + operandCount) of operands
    uint32_t operandCount;
    size_t line;
};

struct Step {
    uint64_t number; // the clause this line derives
    uint64_t first;  // its parents, as written
    uint64_t second;
    size_t line;
};

enum class Conclusion { none, valid, invalid };

struct Certificate {
    std::vector<Gate> gates;
    std::vector<int32_t> operands; // signed certificate indices, gate after gate
    std::vector<Step> steps;
    Conclusion conclusion = Conclusion::none;
    size_t conclusionLine = 0;
    std::vector<std::pair<uint32_t, int32_t>> functions; // valid: variable, function literal
    uint64_t finalClause = 0;                            // invalid: the clause derived empty
};

// Syntax only; what the numbers refer to is checked against the formula.
Certificate readCertificate(std::string_view text);

// Gives the numbers kept aside by readFormula, and the certificate's input
// variables among them, the places after farBase.
void renumberFar(Formula& formula, Certificate& certificate);

// Both return normally when the certificate proves its conclusion.
void checkRefutation(const Formula& formula, const Certificate& certificate);
void checkFunctions(const Formula& formula, const Certificate& certificate);

enum class Verdict { provedTrue, provedFalse, rejected, unreadable };

struct Result {
    Verdict verdict;
    std::string line; // the one line that karvona-check prints
};

Result checkTexts(std::string_view formula, std::string_view certificate);

int exitStatus(Verdict verdict);

// Shared by the error messages: a token shown safely, whatever bytes it holds.
std::string quoted(std::string_view token);

} // namespace check
