// Running karvona and depqbf on one file and reading their answers.

#include "differential.hpp"
#include "generator.hpp"

#include <cstdio>
#include <functional>
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
