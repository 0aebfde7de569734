// The differential loop: per seed one generated formula, karvona with every
// option set, and the oracles. Brute force decides the small formulas and
// depqbf all of them, so the oracles also check each other. depqbf reads a
// copy without empty clauses, since for it a lone 0 makes the formula false
// while karvona ignores it.

#include "brute_force.hpp"
#include "differential.hpp"
#include "generator.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace {

class Fuzzer {
  public:
    explicit Fuzzer(const DiffSettings& settings) : settings(settings) {}

    int run() {
        auto start = std::chrono::steady_clock::now();
        uint64_t end = settings.firstSeed + settings.seedCount;
        for (uint64_t seed = settings.firstSeed; seed < end; ++seed) {
            if (failures >= settings.maxFailures) {
                std::cout << "stopped after " << failures << " failures" << std::endl;
                break;
            }
            checkSeed(seed);
        }
        std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::cout << (settings.large ? "large" : "tiny") << " formulas, seeds "
                  << settings.firstSeed << ".." << end - 1 << ": " << formulas
                  << " formulas (" << trueFormulas << " true), " << karvonaRuns
                  << " karvona runs, " << failures << " failures, " << seconds.count() << " s"
                  << std::endl;
        return failures ? 1 : 0;
    }

  private:
    void checkSeed(uint64_t seed) {
        GeneratorSettings generator = settings.large ? largeSettings() : tinySettings();
        parseShape(settings.shape, generator.shape);
        Formula formula = generateFormula(seed, generator);
        std::string text = writeQdimacs(formula, Text::decorated, streamSeed(seed, 1));
        std::string base = settings.workDirectory + "/seed-" + std::to_string(seed);
        std::string path = base + ".qdimacs";
        std::string depqbfPath = base + ".depqbf.qdimacs";
        writeFile(path, text);
        writeFile(depqbfPath, writeQdimacs(formula, Text::depqbf));
        ++formulas;
        bool failed = false;

        bool expected = false;
        if (!oracle(seed, formula, text, depqbfPath, expected)) {
            failed = true;
        } else {
            trueFormulas += expected;
            for (const std::string& optionSet : settings.optionSets)
                if (!checkRun(seed, formula, path, optionSet, expected)) failed = true;
        }
        if (!failed) {
            std::remove(path.c_str());
            std::remove(depqbfPath.c_str());
        }
    }

    // The answer both oracles agree on. The round trip through the tools'
    // own reader guards the writer: the formula karvona reads is the one
    // the oracles judge.
    bool oracle(uint64_t seed, const Formula& formula, const std::string& text,
                const std::string& depqbfPath, bool& expected) {
        Formula reread;
        std::string error;
        if (!readQdimacs(text, reread, error) || reread != formula) {
            fail(seed, "", "the tools cannot read back their own text: " + error, text, "");
            return false;
        }
        std::string why;
        bool depqbf = false;
        if (!runDepqbf(settings, depqbfPath, depqbf, why)) {
            fail(seed, "", why, text, "");
            return false;
        }
        expected = depqbf;
        if (settings.large) return true;
        bool brute = evaluateByBruteForce(formula);
        if (brute != depqbf) {
            fail(seed, "",
                 std::string("oracles disagree: brute force ") + answerName(brute) + ", depqbf " +
                     answerName(depqbf) + " on " + depqbfPath,
                 text, "");
            return false;
        }
        return true;
    }

    bool checkRun(uint64_t seed, const Formula& formula, const std::string& path,
                  const std::string& optionSet, bool expected) {
        std::vector<int32_t> order = orderFor(formula, seed, optionSet);
        std::vector<std::string> options = optionArguments(optionSet, order);
        ProcessResult result = runKarvona(settings, options, path);
        ++karvonaRuns;
        Verdict verdict = judgeKarvona(result);
        std::string problem;
        if (std::find(options.begin(), options.end(), "--qdo") != options.end()) {
            problem = checkQdo(formula, result, expected, !settings.large);
        } else if (verdict.kind == Verdict::broken) {
            problem = verdict.why;
        } else if (verdict.kind == Verdict::timeLimit || verdict.kind == Verdict::memoryLimit) {
            problem =
                verdict.kind == Verdict::timeLimit ? "CPU-time limit reached" : "memory exhausted";
        } else if ((verdict.kind == Verdict::trueFormula) != expected) {
            problem = std::string("answered ") + lastLine(result.output) + ", expected " +
                      answerName(expected);
        }
        if (problem.empty() && std::find(options.begin(), options.end(), "-c") != options.end())
            problem = checkCertificate(settings, path, expected);
        std::remove((path + ".out").c_str());
        if (problem.empty()) return true;
        fail(seed, quoteArguments(options), problem, readFile(path), result.output);
        std::cout << "replay: karvona-diff --karvona " << settings.karvona
                  << (settings.large ? " --large" : "")
                  << (settings.shape != "any" ? " --shape " + settings.shape : "") << " --seeds "
                  << seed << " 1 --options '" << optionSet << "'" << std::endl;
        return false;
    }

    void fail(uint64_t seed, const std::string& options, const std::string& problem,
              const std::string& text, const std::string& output) {
        ++failures;
        std::cout << "FAIL seed " << seed << (settings.large ? " (large)" : "")
                  << ", karvona options [" << options << "]: " << problem << std::endl;
        std::cout << "formula " << settings.workDirectory << "/seed-" << seed << ".qdimacs:\n"
                  << text;
        if (!output.empty()) std::cout << "karvona output:\n" << output;
        std::cout << std::endl;
    }

    const DiffSettings& settings;
    uint64_t formulas = 0, trueFormulas = 0, karvonaRuns = 0;
    unsigned failures = 0;
};

} // namespace

int runFuzzing(const DiffSettings& settings) {
    return Fuzzer(settings).run();
}
