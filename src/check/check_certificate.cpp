// The certificate's syntax, line by line. The writer's format is exact, so
// the reader is strict: every line is one of the known kinds with exactly
// its fields, numbers are plain decimals in range, and nothing but white
// space may follow the conclusion. A truncated file therefore never passes
// as a shorter certificate.

#include "check/check_certificate.hpp"

#include <charconv>
#include <limits>

namespace check {

namespace {

[[noreturn]] void reject(size_t line, std::string why) {
    throw RejectException{line, why};
}

bool isSeparator(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r';
}

void splitLine(std::string_view line, std::vector<std::string_view>& tokens) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSeparator(line[i]))
            ++i;
        size_t start = i;
        while (i < line.size() && !isSeparator(line[i]))
            ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
}

// Unsigned decimal digits only, at most limit.
bool parseUnsigned(std::string_view token, uint64_t limit, uint64_t& value) {
    if (token.empty() || token[0] < '0' || token[0] > '9') return false;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    return error == std::errc() && end == token.data() + token.size() && value <= limit;
}

constexpr uint64_t maxIndex = std::numeric_limits<int32_t>::max();
// Clause ids are 32-bit and numbers are ids plus one.
constexpr uint64_t maxClauseNumber = uint64_t{1} << 32;

class LineReader {
  public:
    explicit LineReader(size_t line) : line(line) {}

    uint32_t index(std::string_view token, const char* what) const {
        uint64_t v = 0;
        if (!parseUnsigned(token, maxIndex, v) || v == 0)
            reject(line, std::string(what) + " " + quoted(token) + " is not an index from 1 to " +
                             std::to_string(maxIndex));
        return uint32_t(v);
    }

    // A signed index; 0 only where allowZero says so.
    int32_t literal(std::string_view token, bool allowZero) const {
        bool negative = !token.empty() && token[0] == '-';
        uint64_t v = 0;
        if (!parseUnsigned(token.substr(negative), maxIndex, v) || (v == 0 && negative) ||
            (v == 0 && !allowZero))
            reject(line, quoted(token) + " is not a literal");
        return negative ? -int32_t(v) : int32_t(v);
    }

    uint64_t clauseNumber(std::string_view token) const {
        uint64_t v = 0;
        if (!parseUnsigned(token, maxClauseNumber, v))
            reject(line, quoted(token) + " is not a clause number");
        return v;
    }

    size_t line;
};

void readGate(const std::vector<std::string_view>& tokens, size_t line, Certificate& c) {
    LineReader in(line);
    if (tokens.size() < 3) reject(line, "truncated gate line");
    uint32_t k = in.index(tokens[1], "gate index");
    std::string gate = "gate " + std::to_string(k);
    Gate g{k, false, uint32_t(c.operands.size()), 0, line};
    if (tokens[2] == "A") {
        size_t i = 3;
        for (; i < tokens.size(); ++i) {
            int32_t lit = in.literal(tokens[i], true);
            if (lit == 0) break;
            c.operands.push_back(lit);
        }
        if (i == tokens.size()) reject(line, "AND " + gate + " is not terminated by 0");
        if (i + 1 != tokens.size()) reject(line, "text after the terminating 0 of " + gate);
    } else if (tokens[2] == "I") {
        g.ifThenElse = true;
        if (tokens.size() != 6)
            reject(line, "if-then-else " + gate + " needs exactly three operands");
        for (size_t i = 3; i < 6; ++i)
            c.operands.push_back(in.literal(tokens[i], false));
    } else {
        reject(line, gate + " has kind " + quoted(tokens[2]) + ", not A or I");
    }
    g.operandCount = uint32_t(c.operands.size() - g.firstOperand);
    c.gates.push_back(g);
}

void readStep(const std::vector<std::string_view>& tokens, size_t line, Certificate& c) {
    LineReader in(line);
    Step s{in.clauseNumber(tokens[0]), 0, 0, line};
    std::string step = "step " + std::to_string(s.number);
    if (tokens.size() < 5) reject(line, "truncated resolution " + step);
    if (tokens[1] != "*") reject(line, "resolution " + step + " lacks the '*' after its number");
    s.first = in.clauseNumber(tokens[2]);
    s.second = in.clauseNumber(tokens[3]);
    if (tokens[4] != "0") reject(line, "resolution " + step + " is not terminated by 0");
    if (tokens.size() > 5) reject(line, "text after the terminating 0 of " + step);
    c.steps.push_back(s);
}

void readConclusion(std::string_view text, const std::vector<std::string_view>& tokens, size_t line,
                    Certificate& c) {
    LineReader in(line);
    c.conclusionLine = line;
    if (tokens.size() >= 2 && tokens[1] == "VALID") {
        c.conclusion = Conclusion::valid;
        // Every number is followed by a space, so a file cut off inside the
        // last function literal does not pass as a shorter literal.
        if (text.back() != ' ') reject(line, "truncated conclusion: it must end with a space");
        for (size_t i = 2; i < tokens.size(); i += 2) {
            uint32_t v = in.index(tokens[i], "variable");
            if (i + 1 == tokens.size())
                reject(line, "variable " + std::to_string(v) + " has no function literal");
            c.functions.emplace_back(v, in.literal(tokens[i + 1], false));
        }
    } else if (tokens.size() >= 2 && tokens[1] == "INVALID") {
        c.conclusion = Conclusion::invalid;
        if (tokens.size() == 2) reject(line, "CONCLUDE INVALID names no clause");
        if (tokens.size() > 3) reject(line, "text after the concluded clause number");
        c.finalClause = in.clauseNumber(tokens[2]);
    } else {
        reject(line, "a conclusion is CONCLUDE VALID or CONCLUDE INVALID");
    }
}

} // namespace

std::string quoted(std::string_view token) {
    constexpr size_t shown = 24;
    std::string out = "'";
    for (size_t i = 0; i < token.size() && i < shown; ++i) {
        unsigned char ch = static_cast<unsigned char>(token[i]);
        out += ch >= 32 && ch < 127 ? char(ch) : '?';
    }
    if (token.size() > shown) out += "...";
    return out + "'";
}

Certificate readCertificate(std::string_view text) {
    Certificate c;
    std::vector<std::string_view> tokens;
    size_t line = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        ++line;
        std::string_view lineText = text.substr(at, end - at);
        splitLine(lineText, tokens);
        at = end + 1;

        if (c.conclusion != Conclusion::none) {
            if (tokens.empty()) continue;
            if (tokens[0] == "CONCLUDE") reject(line, "second conclusion");
            reject(line, "text after the conclusion");
        }
        if (line == 1) {
            if (tokens.size() != 1 || tokens[0] != "QBCertificate")
                reject(line, "missing header QBCertificate");
            continue;
        }
        if (tokens.empty()) reject(line, "empty line");
        if (tokens[0] == "E")
            readGate(tokens, line, c);
        else if (tokens[0] == "CONCLUDE")
            readConclusion(lineText, tokens, line, c);
        else if (tokens[0][0] >= '0' && tokens[0][0] <= '9')
            readStep(tokens, line, c);
        else
            reject(line, "unknown line starting with " + quoted(tokens[0]));
    }
    if (line == 0) reject(1, "missing header QBCertificate");
    if (c.conclusion == Conclusion::none) reject(line, "the certificate ends without a conclusion");
    if (c.conclusion == Conclusion::valid && !c.steps.empty())
        reject(c.steps[0].line, "resolution step in a certificate that concludes VALID");
    if (c.conclusion == Conclusion::invalid && !c.gates.empty())
        reject(c.gates[0].line, "gate in a certificate that concludes INVALID");
    return c;
}

Result checkTexts(std::string_view formulaText, std::string_view certificateText) {
    Formula formula;
    try {
        formula = readFormula(formulaText);
    } catch (const FormulaException& e) {
        return {Verdict::unreadable,
                "ERROR: formula line " + std::to_string(e.line) + ": " + e.why};
    }
    try {
        Certificate certificate = readCertificate(certificateText);
        renumberFar(formula, certificate);
        if (certificate.conclusion == Conclusion::valid) {
            checkFunctions(formula, certificate);
            return {Verdict::provedTrue, "VALID: certificate proves the formula true"};
        }
        checkRefutation(formula, certificate);
        return {Verdict::provedFalse, "INVALID: certificate proves the formula false"};
    } catch (const RejectException& e) {
        return {Verdict::rejected, "REJECTED: line " + std::to_string(e.line) + ": " + e.why};
    }
}

int exitStatus(Verdict verdict) {
    switch (verdict) {
    case Verdict::provedTrue:
        return 10;
    case Verdict::provedFalse:
        return 20;
    case Verdict::rejected:
        return 1;
    case Verdict::unreadable:
        break;
    }
    return 2;
}

} // namespace check
