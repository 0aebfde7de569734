// The SAT back end: a purely existential remainder is plain CNF, which a CDCL
// solver decides far faster than clause distribution can.

#include "hybrid/sat_backend.hpp"

#include <cadical.hpp>

std::optional<std::vector<int8_t>> satisfy(const std::vector<std::vector<int32_t>>& clauses,
                                           uint32_t lastVar) {
    CaDiCaL::Solver sat;
    sat.set("quiet", 1); // it would report clauses false at the root on standard output
    sat.reserve(int(lastVar));
    for (const auto& c : clauses) {
        for (int32_t l : c)
            sat.add(l);
        sat.add(0);
    }
    if (sat.solve() != 10) return std::nullopt;
    std::vector<int8_t> value(lastVar + 1, -1);
    for (uint32_t v = 1; v <= lastVar; ++v)
        value[v] = sat.val(int(v)) > 0 ? 1 : -1;
    return value;
}
