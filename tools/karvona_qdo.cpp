// karvona-qdo: checks the QDIMACS answers of karvona --qdo. The "s cnf" line
// must carry the header's counts and the right answer, the V lines exactly
// the variables the answer determines, and the values must keep the answer:
// the assigned variables become existential units in front of the prefix,
// and the oracle (brute force for generated formulas, depqbf for files) must
// give the same answer on that formula.

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
    "       karvona-qdo KARVONA [--depqbf BIN] [--seconds S] FILE...\n"
    "Generated formulas run in several option sets and are judged by brute force;\n"
    "files run in the default options and are judged by depqbf (answers karvona\n"
    "does not give within S CPU seconds, default 10, are skipped).\n"
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
    std::string depqbf;
    std::string dir;
    unsigned seconds = 10;
    bool byBruteForce = true;
    int runs = 0;
    int skipped = 0;
    int withValues = 0;

    // 1 true, 0 false, -1 undecided.
    int oracle(const Formula& f) {
        if (byBruteForce) return evaluateByBruteForce(f) ? 1 : 0;
        std::string path = dir + "/oracle.qdimacs";
        writeFile(path, writeQdimacs(f, Text::depqbf));
        ProcessResult r = runProcess({depqbf, path}, dir + "/oracle.out", 10 * seconds);
        if (r.exited && r.status == 10) return 1;
        if (r.exited && r.status == 20) return 0;
        return -1;
    }

    // Returns an empty string when the run checks, else what is wrong.
    std::string check(const Formula& f, const std::string& path,
                      const std::vector<std::string>& options) {
        std::vector<std::string> argv{karvona, "--qdo"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(path);
        ProcessResult r = runProcess(argv, dir + "/karvona.out", seconds);
        ++runs;
        if (r.exited && r.status == 0 && !byBruteForce) {
            ++skipped;
            return "";
        }
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

        int truth = oracle(f);
        if (truth < 0) {
            ++skipped;
            return "";
        }
        if (truth != int(answer)) return "wrong answer";

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
        int after = oracle(substitute(f, values));
        if (after >= 0 && after != int(answer)) return "the values do not keep the answer";
        return "";
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << usage;
        return 2;
    }
    Checker checker;
    checker.karvona = argv[1];
    std::vector<std::string> files;
    uint64_t first = 0, count = 0;
    bool seeds = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seeds" && i + 2 < argc) {
            seeds = true;
            first = std::strtoull(argv[i + 1], nullptr, 10);
            count = std::strtoull(argv[i + 2], nullptr, 10);
            i += 2;
        } else if (a == "--depqbf" && i + 1 < argc) {
            checker.depqbf = argv[++i];
        } else if (a == "--seconds" && i + 1 < argc) {
            checker.seconds = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else {
            files.push_back(a);
        }
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "karvona-qdo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    checker.dir = pattern;
    int failures = 0;
    auto report = [&](const std::string& what, const std::string& problem) {
        if (problem.empty()) return;
        ++failures;
        std::cout << "FAIL " << what << ": " << problem << std::endl;
    };

    if (seeds) {
        for (uint64_t seed = first; seed < first + count; ++seed) {
            Formula f = generateFormula(seed, tinySettings());
            std::string path = checker.dir + "/formula.qdimacs";
            writeFile(path, writeQdimacs(f, Text::canonical));
            for (const auto& options : optionSets) {
                std::string name = "seed " + std::to_string(seed);
                for (const std::string& o : options)
                    name += " " + o;
                report(name, checker.check(f, path, options));
            }
        }
    } else {
        checker.byBruteForce = false;
        checker.depqbf = findOnPath(checker.depqbf.empty() ? "depqbf" : checker.depqbf);
        if (checker.depqbf.empty()) {
            std::cerr << "karvona-qdo: depqbf not found" << std::endl;
            return 2;
        }
        for (const std::string& path : files) {
            Formula f;
            std::string error;
            if (!readQdimacs(readFile(path), f, error)) {
                report(path, "cannot read: " + error);
                continue;
            }
            int before = checker.skipped;
            std::string problem = checker.check(f, path, {});
            report(path, problem);
            if (problem.empty())
                std::cout << (checker.skipped > before ? "skipped " : "ok ") << path << std::endl;
        }
    }
    std::filesystem::remove_all(checker.dir);
    std::cout << checker.runs << " runs, " << checker.withValues << " with values checked, "
              << checker.skipped << " skipped, " << failures << " failures" << std::endl;
    return failures == 0 ? 0 : 1;
}
