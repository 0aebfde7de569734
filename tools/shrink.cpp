// Greedy minimisation of a failing case: drop clauses, literals and order
// entries one at a time while karvona keeps failing the same way, then
// renumber the variables densely. The expected answer is
// recomputed for every candidate, so any smaller failing formula will do.

#include "brute_force.hpp"
#include "differential.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <stdexcept>

namespace {

struct Case {
    Formula formula;
    std::vector<int32_t> order;
};

class Shrinker {
  public:
    Shrinker(const DiffSettings& settings, const std::string& optionSet)
        : settings(settings), optionSet(optionSet),
          path(settings.workDirectory + "/shrink.qdimacs") {}

    void shrink(Case& c) {
        if (!outcome(c, wanted)) {
            std::cout << "shrink: the failure does not reproduce" << std::endl;
            return;
        }
        for (bool changed = true; changed;) {
            changed = false;
            changed |= dropEach(
                c, [](Case& k) { return k.formula.clauses.size(); },
                [](Case& k, size_t i) {
                    k.formula.clauses.erase(k.formula.clauses.begin() + long(i));
                });
            for (size_t ci = 0; ci < c.formula.clauses.size(); ++ci)
                changed |= dropEach(
                    c, [ci](Case& k) { return k.formula.clauses[ci].size(); },
                    [ci](Case& k, size_t i) {
                        auto& clause = k.formula.clauses[ci];
                        clause.erase(clause.begin() + long(i));
                    });
            changed |= dropEach(
                c, [](Case& k) { return k.order.size(); },
                [](Case& k, size_t i) { k.order.erase(k.order.begin() + long(i)); });
        }
        renumber(c);
        Outcome last;
        outcome(c, last);
        std::cout << "shrunk to (options: " << quoteArguments(optionArguments(optionSet, c.order))
                  << "; karvona: " << last.karvona << ", expected " << last.expected << "):\n"
                  << writeQdimacs(c.formula, Text::canonical) << std::endl;
    }

  private:
    struct Outcome {
        std::string karvona;  // TRUE, FALSE or what went wrong
        std::string expected; // TRUE or FALSE
        bool failing() const { return karvona != expected; }
        // Same failure: a wrong answer stays wrong, a crash stays the same crash.
        bool same(const Outcome& o) const {
            return failing() && o.failing() &&
                   (karvona == "TRUE" || karvona == "FALSE") ==
                       (o.karvona == "TRUE" || o.karvona == "FALSE") &&
                   (karvona == "TRUE" || karvona == "FALSE" || karvona == o.karvona);
        }
    };

    bool outcome(const Case& c, Outcome& result) {
        bool expected = false;
        try {
            expected = evaluateByBruteForce(c.formula);
        } catch (const std::length_error&) {
            std::string depqbfPath = path + ".depqbf";
            writeFile(depqbfPath, writeQdimacs(c.formula, Text::depqbf));
            std::string why;
            if (!runDepqbf(settings, depqbfPath, expected, why)) return false;
        }
        writeFile(path, writeQdimacs(c.formula, Text::canonical));
        ProcessResult run = runKarvona(settings, optionArguments(optionSet, c.order), path);
        Verdict verdict = judgeKarvona(run);
        result.expected = answerName(expected);
        const char* names[] = {"TRUE", "FALSE", "time limit", "memory limit"};
        result.karvona = verdict.kind == Verdict::broken ? describe(run) : names[verdict.kind];
        return true;
    }

    bool stillFails(const Case& c) {
        if (c.formula.clauses.empty()) return false; // karvona rejects such a header
        Outcome o;
        return outcome(c, o) && o.same(wanted);
    }

    // Tries removing item i of a list, from the back so indexes stay valid.
    template <typename Size, typename Drop> bool dropEach(Case& c, Size size, Drop drop) {
        bool changed = false;
        for (size_t i = size(c); i-- > 0;) {
            if (i >= size(c)) continue;
            Case candidate = c;
            drop(candidate, i);
            if (stillFails(candidate)) {
                c = std::move(candidate);
                changed = true;
            }
        }
        return changed;
    }

    // Variables 1..k in order of first appearance in the clauses; quantified
    // variables that no clause holds go, and so do the lines they leave
    // empty. Order entries that name no variable keep a number beyond all.
    void renumber(Case& c) {
        std::map<int32_t, int32_t> map;
        auto number = [&map](int32_t v) {
            auto [it, added] = map.try_emplace(v, int32_t(map.size()) + 1);
            return it->second;
        };
        Case candidate = c;
        for (auto& clause : candidate.formula.clauses)
            for (int32_t& lit : clause)
                lit = lit > 0 ? number(lit) : -number(-lit);
        for (auto& line : candidate.formula.prefix) {
            std::erase_if(line.variables, [&map](int32_t v) { return !map.count(v); });
            for (int32_t& v : line.variables)
                v = map[v];
        }
        std::erase_if(candidate.formula.prefix,
                      [](const auto& line) { return line.variables.empty(); });
        for (int32_t& e : candidate.order)
            if (e <= c.formula.variableCount) e = number(e);
        candidate.formula.variableCount = std::max<int32_t>(1, int32_t(map.size()));
        if (stillFails(candidate)) c = std::move(candidate);
    }

    const DiffSettings& settings;
    std::string optionSet;
    std::string path;
    Outcome wanted;
};

} // namespace

void shrinkFailure(const DiffSettings& settings, Formula formula, const std::string& optionSet,
                   std::vector<int32_t> order) {
    Case c{std::move(formula), std::move(order)};
    Shrinker(settings, optionSet).shrink(c);
}
