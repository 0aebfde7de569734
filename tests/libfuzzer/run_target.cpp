// libFuzzer target: whole certified runs on tiny formulas. The input is an
// option byte (and an elimination order when it asks for one) followed by
// QDIMACS text. The tools' own reader turns the text into the formula that
// brute force judges; karvona reads the text itself and solves it with -c
// in the decoded option set; the checker then has to prove karvona's answer
// from the certificate. Any disagreement among the three aborts.

#include "brute_force.hpp"
#include "check/check_certificate.hpp"
#include "driver/run.hpp"
#include "formula.hpp"
#include "process.hpp"
#include "support/captured_output.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Brute force stays below a millisecond or so up to here.
constexpr size_t maxUsedVariables = 10;
constexpr size_t maxClauses = 64;
constexpr int32_t maxDeclaredVariables = 64;

// Never destroyed, since the exit handler that removes it runs after the
// destructors of function-local statics.
const std::string& workDirectory() {
    static const std::string* directory = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "karvona-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(workDirectory()); });
        return new std::string(pattern);
    }();
    return *directory;
}

[[noreturn]] void disagree(const std::string& what, const std::vector<std::string>& arguments,
                           const std::string& text) {
    std::cerr << what << "\nkarvona";
    for (size_t i = 1; i < arguments.size(); ++i)
        std::cerr << " '" << arguments[i] << "'";
    std::cerr << "\n" << text << std::endl;
    std::abort();
}

// The option byte: one bit per flag, in the order of the usage text.
std::vector<std::string> decodeOptions(const uint8_t*& data, size_t& size) {
    std::vector<std::string> arguments{"karvona", "-c"};
    if (size == 0) return arguments;
    uint8_t flags = *data++;
    --size;
    const char* letters[] = {"-s", "-m", "-l", "-I", "-u", "-b", "-U"};
    for (int bit = 0; bit < 7; ++bit)
        if (flags & (1u << bit)) arguments.push_back(letters[bit]);
    if (flags & 0x80 && size > 0) {
        size_t count = *data++ % 8;
        --size;
        std::string order;
        for (; count > 0 && size > 0; --count, ++data, --size)
            order += std::to_string(1 + *data % 16) + " ";
        arguments.push_back("-O");
        arguments.push_back(order);
    }
    return arguments;
}

bool tiny(const Formula& formula) {
    std::set<int32_t> used;
    for (const std::vector<int32_t>& clause : formula.clauses)
        for (int32_t lit : clause)
            used.insert(lit < 0 ? -lit : lit);
    return used.size() <= maxUsedVariables && formula.clauses.size() <= maxClauses &&
           formula.variableCount <= maxDeclaredVariables;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments = decodeOptions(data, size);
    std::string text(reinterpret_cast<const char*>(data), size);
    Formula formula;
    std::string error;
    if (!readQdimacs(text, formula, error) || !tiny(formula)) return 0;
    bool expected = evaluateByBruteForce(formula);

    std::string path = workDirectory() + "/formula.qdimacs";
    std::string certificatePath = path + ".qbc";
    std::ofstream(path, std::ios::binary) << text;
    std::filesystem::remove(certificatePath);
    arguments.push_back(path);

    bool answer = false;
    {
        CapturedOutput quiet; // progress lines would only be noise
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        karvona* solver = karvona_new();
        if (!solver) disagree("karvona ran out of memory", arguments, text);
        scanOptions(solver, int(argv.size()), argv.data());
        karvona_set_certificate(solver, certificatePath.c_str());
        int status = karvona_load_file(solver, path.c_str());
        if (status == 0) status = karvona_solve(solver);
        std::string message = karvona_error_message(solver);
        karvona_delete(solver);
        if (status != KARVONA_TRUE && status != KARVONA_FALSE)
            disagree("karvona failed: " + message, arguments, text);
        answer = status == KARVONA_TRUE;
    }
    if (answer != expected)
        disagree(std::string("karvona answers ") + (answer ? "TRUE" : "FALSE") + ", brute force " +
                     (expected ? "TRUE" : "FALSE"),
                 arguments, text);
    check::Result checked = check::checkTexts(text, readFile(certificatePath));
    check::Verdict proved = answer ? check::Verdict::provedTrue : check::Verdict::provedFalse;
    if (checked.verdict != proved)
        disagree("the checker does not prove the answer: " + checked.line, arguments, text);
    return 0;
}
