#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// A model indexed by variable (+1 true, -1 false or free), or std::nullopt
// when the clauses are unsatisfiable.
std::optional<std::vector<int8_t>> satisfy(const std::vector<std::vector<int32_t>>& clauses,
                                           uint32_t lastVar);
