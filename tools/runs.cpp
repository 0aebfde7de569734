// Running karvona and depqbf on one file and reading their answers.

#include "brute_force.hpp"
#include "differential.hpp"
#include "generator.hpp"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>

const char* answerName(bool answer) {
    return answer ? "TRUE" : "FALSE";
}

Verdict judgeKarvona(const ProcessResult& result) {
    std::string line = lastLine(result.output);
    if (!result.exited) return {Verdict::broken, "ended by " + describe(result)};
    if (result.status == 0 && line == "TIME LIMIT EXCEEDED") return {Verdict::timeLimit, ""};
    if (result.status == 30 &&
        (line == "MEMORY LIMIT EXCEEDED" || line == "Memory exception: memory exhausted"))
        return {Verdict::memoryLimit, ""};
    if (result.status == 10 && line == "TRUE") return {Verdict::trueFormula, ""};
    if (result.status == 20 && line == "FALSE") return {Verdict::falseFormula, ""};
    return {Verdict::broken, describe(result) + " with last line \"" + line + "\""};
}

std::vector<std::string> optionArguments(const std::string& optionSet,
                                         const std::vector<int32_t>& order) {
    std::vector<std::string> arguments;
    std::istringstream words(optionSet);
    std::string word;
    while (words >> word) {
        if (word != "@order") {
            arguments.push_back(word);
            continue;
        }
        // Blanks before, between and after the numbers vary, as the order
        // text allows runs of them.
        std::string text = order.size() % 3 == 0 ? " " : "";
        for (size_t i = 0; i < order.size(); ++i)
            text += (i ? (i % 4 == 1 ? "  " : " ") : "") + std::to_string(order[i]);
        if (order.size() % 2 == 1) text += ' ';
        arguments.push_back(text);
    }
    return arguments;
}

std::vector<int32_t> orderFor(const Formula& formula, uint64_t seed, const std::string& optionSet) {
    if (optionSet.find("@order") == std::string::npos) return {};
    // Keyed by the option text, not its place in the list, so a failure
    // replays with --options alone.
    Random random(streamSeed(seed, std::hash<std::string>{}(optionSet)));
    return randomEliminationOrder(formula, random);
}

std::string quoteArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& a : arguments) {
        if (!text.empty()) text += ' ';
        bool plain = !a.empty() && a.find_first_of(" \t'\"\\$") == std::string::npos;
        text += plain ? a : "'" + a + "'";
    }
    return text;
}

ProcessResult runKarvona(const DiffSettings& settings, const std::vector<std::string>& options,
                         const std::string& formulaPath) {
    std::vector<std::string> argv{settings.karvona};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(formulaPath);
    return runProcess(argv, formulaPath + ".out", settings.cpuLimit, settings.memoryLimit);
}

bool runDepqbf(const DiffSettings& settings, const std::string& path, bool& answer,
               std::string& why) {
    ProcessResult result = runProcess({settings.depqbf, path}, path + ".out", 60);
    std::remove((path + ".out").c_str());
    if (result.exited && (result.status == 10 || result.status == 20)) {
        answer = result.status == 10;
        return true;
    }
    why = "depqbf: " + describe(result) + ": " + lastLine(result.output);
    return false;
}

std::string checkCertificate(const DiffSettings& settings, const std::string& formulaPath,
                             bool answer) {
    std::string certificate = formulaPath + ".qbc";
    std::string text = readFile(certificate);
    std::string problem;
    if (text.rfind("QBCertificate", 0) != 0) {
        problem = "no certificate, or its first line is not QBCertificate";
    } else if (!settings.checker.empty()) {
        std::vector<std::string> argv{settings.checker, formulaPath, certificate};
        ProcessResult check = runProcess(argv, certificate + ".check", 60);
        if (!check.exited || check.status != (answer ? 10 : 20))
            problem = std::string("checker rejects the certificate of a ") + answerName(answer) +
                      " answer (" + describe(check) + "):\n" + check.output;
        std::remove((certificate + ".check").c_str());
    }
    if (problem.empty()) std::remove(certificate.c_str());
    return problem;
}

namespace {

// The outermost block, whose values --qdo prints: free variables come first
// and are existential; lines of one kind side by side are one block.
bool outermostBlock(const Formula& f, std::set<int32_t>& block) {
    std::vector<int32_t> free = freeVariables(f);
    block.insert(free.begin(), free.end());
    bool universal = false;
    for (const QuantifierLine& line : f.prefix) {
        if (line.variables.empty()) continue;
        if (block.empty()) universal = line.universal;
        if (line.universal != universal) break;
        block.insert(line.variables.begin(), line.variables.end());
    }
    return universal;
}

// The formula with the given values as existential units in front of the
// prefix; values of variables no clause mentions change nothing.
Formula withValues(const Formula& f, const std::vector<int32_t>& values) {
    std::set<int32_t> occurring;
    for (const auto& c : f.clauses)
        for (int32_t l : c)
            occurring.insert(std::abs(l));
    Formula g = f;
    QuantifierLine fixed;
    for (int32_t l : values) {
        if (!occurring.count(std::abs(l))) continue;
        for (QuantifierLine& line : g.prefix)
            std::erase(line.variables, std::abs(l));
        fixed.variables.push_back(std::abs(l));
        g.clauses.push_back({l});
    }
    g.prefix.insert(g.prefix.begin(), fixed);
    return g;
}

} // namespace

std::string checkQdo(const Formula& f, const ProcessResult& result, bool expected, bool small) {
    if (!result.exited || (result.status != 10 && result.status != 20))
        return "ended by " + describe(result);
    bool answer = result.status == 10;
    if (answer != expected) return std::string("answered ") + answerName(answer) + ", expected " +
                                   answerName(expected);
    std::string solution = "s cnf " + std::to_string(answer ? 1 : 0) + " " +
                           std::to_string(f.variableCount) + " " + std::to_string(f.clauses.size());
    std::istringstream lines(result.output);
    std::string line;
    int solutions = 0;
    std::vector<int32_t> values;
    std::set<int32_t> block, seen;
    bool universal = outermostBlock(f, block);
    while (std::getline(lines, line)) {
        if (line.rfind("s ", 0) == 0) {
            if (line != solution) return "solution line \"" + line + "\"";
            ++solutions;
        } else if (line.rfind("V ", 0) == 0) {
            std::istringstream in(line.substr(2));
            int32_t l = 0, zero = 1;
            if (!(in >> l >> zero) || l == 0 || zero != 0) return "value line \"" + line + "\"";
            if (!block.count(std::abs(l))) return "a value outside the outermost block: " + line;
            if (!seen.insert(std::abs(l)).second) return "two values of " + line.substr(2);
            values.push_back(l);
        }
    }
    if (solutions != 1) return "no single solution line";
    // A true answer gives the whole existential block, a false one values
    // of the universal block that refute the formula.
    if (answer && !universal && seen != block) return "values missing for the outermost block";
    if (answer == universal && !values.empty()) return "values where the answer gives none";
    if (small && !values.empty() && evaluateByBruteForce(withValues(f, values)) != answer)
        return "the values do not keep the answer";
    return "";
}
