// karvona-qdo: checks the QDIMACS answers of karvona --qdo. The "s cnf" line
// must carry the header's counts and the right answer, the V lines exactly
// the variables the answer determines, and the values must keep the answer:
// the assigned variables become existential units in front of the prefix,
// and brute force must give the same answer on that formula.

#include "brute_force.hpp"
#include "formula.hpp"
#include "generator.hpp"
#include "process.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>

namespace {

const char* const usage =
    "usage: karvona-qdo KARVONA --seeds FIRST COUNT\n"
    "Generated formulas run in several option sets and are judged by brute force.\n"
    "Exit status 0 when every answer checks, 1 otherwise.\n";

const std::vector<std::vector<std::string>> optionSets = {
    {}, {"-u"}, {"-U"}, {"-I"}, {"-m"}, {"-l"}, {"-u", "-b"}, {"-U", "-I"}, {"-c"},
};

struct Block {
    bool universal = false;
    std::vector<int32_t> variables;
};

// Free variables come first, existential; equal kinds side by side are one block.
Block outermostBlock(const Formula& f) {
    Block block;
    block.variables = freeVariables(f);
    if (!block.variables.empty()) {
        for (const QuantifierLine& line : f.prefix) {
            if (line.variables.empty()) continue;
            if (line.universal) break;
            block.variables.insert(block.variables.end(), line.variables.begin(),
                                   line.variables.end());
        }
        return block;
    }
    bool started = false;
    for (const QuantifierLine& line : f.prefix) {
        if (line.variables.empty()) continue;
        if (started && line.universal != block.universal) break;
        started = true;
        block.universal = line.universal;
        block.variables.insert(block.variables.end(), line.variables.begin(), line.variables.end());
    }
    return block;
}

// Values of variables no clause mentions change nothing and are left out.
Formula substitute(const Formula& f, const std::vector<int32_t>& values) {
    std::set<int32_t> occurring;
    for (const auto& c : f.clauses)
        for (int32_t l : c)
            occurring.insert(std::abs(l));
    Formula g = f;
    QuantifierLine fixed;
    for (int32_t l : values) {
        int32_t v = std::abs(l);
        if (!occurring.count(v)) continue;
        for (QuantifierLine& line : g.prefix)
            std::erase(line.variables, v);
        fixed.variables.push_back(v);
        g.clauses.push_back({l});
    }
    g.prefix.insert(g.prefix.begin(), fixed);
    return g;
}

struct Checker {
    std::string karvona;
    std::string dir;
    int runs = 0;
    int withValues = 0;

    // Returns an empty string when the run checks, else what is wrong.
    std::string check(const Formula& f, const std::string& path,
                      const std::vector<std::string>& options) {
        std::vector<std::string> argv{karvona, "--qdo"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(path);
        ProcessResult r = runProcess(argv, dir + "/karvona.out", 10);
        ++runs;
        if (!r.exited || (r.status != 10 && r.status != 20)) return "karvona " + describe(r);
        bool answer = r.status == 10;

        std::istringstream lines(readFile(dir + "/karvona.out"));
        std::string line;
        int solutions = 0;
        std::vector<int32_t> values;
        std::string expectedS = "s cnf " + std::to_string(answer ? 1 : 0) + " " +
                                std::to_string(f.variableCount) + " " +
                                std::to_string(f.clauses.size());
        while (std::getline(lines, line)) {
            if (line.rfind("s ", 0) == 0) {
                if (line != expectedS) return "solution line \"" + line + "\"";
                ++solutions;
            } else if (line.rfind("V ", 0) == 0) {
                std::istringstream in(line.substr(2));
                int32_t l = 0, zero = 1;
                if (!(in >> l >> zero) || l == 0 || zero != 0) return "value line \"" + line + "\"";
                values.push_back(l);
            }
        }
        if (solutions != 1) return "no single solution line";

        if (evaluateByBruteForce(f) != answer) return "wrong answer";

        Block block = outermostBlock(f);
        std::set<int32_t> blockVars(block.variables.begin(), block.variables.end());
        std::set<int32_t> seen;
        for (int32_t l : values) {
            if (!blockVars.count(std::abs(l))) return "value of " + std::to_string(l) + " outside the outermost block";
            if (!seen.insert(std::abs(l)).second) return "two values of " + std::to_string(std::abs(l));
        }
        bool complete = answer && !block.universal;
        bool partial = !answer && block.universal;
        if (complete && seen != blockVars) return "values missing for the outermost block";
        if (!complete && !partial && !values.empty()) return "values where the answer gives none";
        if (values.empty()) return "";
        ++withValues;
        if (evaluateByBruteForce(substitute(f, values)) != answer)
            return "the values do not keep the answer";
        return "";
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 || std::string(argv[2]) != "--seeds") {
        std::cerr << usage;
        return 2;
    }
    Checker checker;
    checker.karvona = argv[1];
    uint64_t first = std::strtoull(argv[3], nullptr, 10);
    uint64_t count = std::strtoull(argv[4], nullptr, 10);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "karvona-qdo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    checker.dir = pattern;
    int failures = 0;
    for (uint64_t seed = first; seed < first + count; ++seed) {
        Formula f = generateFormula(seed, tinySettings());
        std::string path = checker.dir + "/formula.qdimacs";
        writeFile(path, writeQdimacs(f, Text::canonical));
        for (const auto& options : optionSets) {
            std::string problem = checker.check(f, path, options);
            if (problem.empty()) continue;
            ++failures;
            std::cout << "FAIL seed " << seed;
            for (const std::string& o : options)
                std::cout << " " << o;
            std::cout << ": " << problem << std::endl;
        }
    }
    std::filesystem::remove_all(checker.dir);
    std::cout << checker.runs << " runs, " << checker.withValues << " with values checked, "
              << failures << " failures" << std::endl;
    return failures == 0 ? 0 : 1;
}
