// Option scan. Options are whole arguments; anything else is a candidate
// input path, and the first one wins. The few long options are recognised
// anywhere; any other word, even one starting with "--", is still a path.

#include "driver/run.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

[[noreturn]] void orderError(const char* message) {
    std::cout << message << std::endl;
    std::exit(30);
}

} // namespace

const char* scanOptions(karvona* solver, int argc, char** argv) {
    static const char* const switches[] = {"-m", "-l", "-I", "-d", "-s", "-u", "-U", "-c", "-b"};
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        bool matched = false;
        for (const char* s : switches)
            if (!std::strcmp(a, s)) matched = true;
        if (matched) {
            karvona_set_option(solver, a + 1, 1);
        } else if (!std::strcmp(a, "-O")) {
            if (i + 1 == argc) orderError("-O requires an elimination order.");
            if (karvona_add_order(solver, argv[++i]) != 0)
                orderError(karvona_error_message(solver));
        } else if (!std::strcmp(a, "--help")) {
            printHelp();
            std::exit(0);
        } else if (!std::strcmp(a, "--version")) {
            std::cout << karvona_version() << std::endl;
            std::exit(0);
        } else if (!std::strcmp(a, "--qdo")) {
            karvona_set_option(solver, "qdo", 1);
        } else if (!std::strcmp(a, "--hybrid")) {
            karvona_set_option(solver, "hybrid", 1);
        } else if (!std::strcmp(a, "--hybrid-budget") && i + 1 < argc) {
            // Undocumented: a tiny budget makes small formulas reach the engines.
            karvona_set_option(solver, "hybrid", 1);
            karvona_set_option(solver, "hybrid-budget", std::atoi(argv[++i]));
        } else if (!path) {
            path = a;
        }
    }
    return path;
}
