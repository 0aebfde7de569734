// libFuzzer target: karvona's QDIMACS reader and loading on arbitrary bytes.
// Malformed input must end in one of karvona's own errors, never a crash or
// a sanitizer report. The checker reads the same format with code of its
// own, so the two must also agree on which texts are well-formed: a text
// karvona reads to the end is one the checker accepts, and one karvona
// rejects as malformed the checker rejects too.

#include "check/check_certificate.hpp"
#include "store/solver.hpp"
#include "support/captured_output.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

namespace {

constexpr long long maxVariableCount = 1 << 20;

// karvona sizes its tables by the header's variable count (taken without
// its sign) before it reads a clause, so a huge count only measures the
// machine's memory. Such inputs are skipped: the header is found as the
// reader finds it, after whole comment lines.
bool hugeHeader(const std::string& text) {
    auto blank = [](char ch) { return std::strchr(" \t\n\r\v\f", ch) && ch != '\0'; };
    size_t at = 0;
    auto word = [&] {
        while (at < text.size() && blank(text[at]))
            ++at;
        size_t start = at;
        while (at < text.size() && !blank(text[at]))
            ++at;
        return text.substr(start, at - start);
    };
    std::string w = word();
    while (!w.empty() && w[0] == 'c') {
        at = text.find('\n', at);
        if (at == std::string::npos) return false;
        w = word();
    }
    if (w != "p" || word() != "cnf") return false;
    long long count = std::strtoll(word().c_str(), nullptr, 10);
    return count > maxVariableCount || count < -maxVariableCount;
}

enum class Outcome { readAll, falseAtLoad, malformed, otherError };

Outcome readWithKarvona(std::string text) {
    if (text.empty()) text = " "; // fmemopen rejects size 0
    std::FILE* file = fmemopen(text.data(), text.size(), "r");
    if (!file) std::abort();
    Outcome outcome = Outcome::otherError;
    {
        CapturedOutput quiet; // warnings would only be noise
        Solver solver;
        try {
            outcome = solver.readQdimacs(file) ? Outcome::readAll : Outcome::falseAtLoad;
        } catch (const FileFormatException&) {
            outcome = Outcome::malformed;
        } catch (const Exception&) {
        } catch (const std::bad_alloc&) {
        }
    }
    std::fclose(file);
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (hugeHeader(text)) return 0;
    Outcome karvona = readWithKarvona(text);
    if (karvona != Outcome::readAll && karvona != Outcome::malformed) return 0;
    bool accepted = true;
    std::string why;
    try {
        check::readFormula(text);
    } catch (const check::FormulaException& e) {
        accepted = false;
        why = "line " + std::to_string(e.line) + ": " + e.why;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if ((karvona == Outcome::readAll) != accepted) {
        std::cerr << (karvona == Outcome::readAll
                          ? "karvona reads the formula, the checker rejects it: " + why
                          : std::string("karvona rejects the formula, the checker reads it"))
                  << std::endl;
        std::abort();
    }
    return 0;
}
