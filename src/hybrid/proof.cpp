// Placeholder refutation search: a decision tree read as tree resolution.
// Exponential, so only for small formulas; the real engine replaces it.

#include "hybrid/proof.hpp"

#include <map>

namespace proof {
namespace {

struct Search {
    const std::vector<std::vector<int32_t>>& clauses;
    std::map<int32_t, int> value; // variable -> +1 / -1
    std::vector<std::vector<int32_t>> derived;
    Refutation out;

    int valueOf(int32_t lit) {
        auto it = value.find(lit < 0 ? -lit : lit);
        if (it == value.end()) return 0;
        return lit < 0 ? -it->second : it->second;
    }
    const std::vector<int32_t>& clause(uint32_t i) {
        return i < clauses.size() ? clauses[i] : derived[i - clauses.size()];
    }
    // Index of a clause falsified under the current values.
    std::optional<uint32_t> falsified() {
        int32_t branch = 0;
        size_t best = SIZE_MAX;
        for (uint32_t i = 0; i < clauses.size(); ++i) {
            size_t open = 0;
            bool sat = false;
            int32_t free = 0;
            for (int32_t l : clauses[i]) {
                int v = valueOf(l);
                if (v > 0) sat = true;
                if (v == 0) ++open, free = l;
            }
            if (sat) continue;
            if (open == 0) return i;
            if (open < best) best = open, branch = free < 0 ? -free : free;
        }
        if (branch == 0) return std::nullopt;
        value[branch] = 1;
        auto a = falsified();
        value.erase(branch);
        if (!a) return std::nullopt;
        if (!contains(clause(*a), -branch)) return a;
        value[branch] = -1;
        auto b = falsified();
        value.erase(branch);
        if (!b) return std::nullopt;
        if (!contains(clause(*b), branch)) return b;
        std::vector<int32_t> r;
        for (int32_t l : clause(*b))
            if (l != branch) r.push_back(l);
        for (int32_t l : clause(*a))
            if (l != -branch && !contains(r, l)) r.push_back(l);
        out.steps.push_back(Step{*b, *a, branch});
        derived.push_back(r);
        return uint32_t(clauses.size() + derived.size() - 1);
    }
    static bool contains(const std::vector<int32_t>& c, int32_t lit) {
        for (int32_t l : c)
            if (l == lit) return true;
        return false;
    }
};

} // namespace

std::optional<Refutation> refute(const std::vector<std::vector<int32_t>>& clauses) {
    Search search{clauses, {}, {}, {}};
    auto empty = search.falsified();
    if (!empty) return std::nullopt;
    search.out.emptyClause = *empty;
    return search.out;
}

} // namespace proof
