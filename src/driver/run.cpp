// The run from the command line to the exit status, as a client of the
// library: a failed call comes back as an error kind, which selects the one
// line printed before status 30.

#include "driver/run.hpp"

#include <iostream>

namespace {

void printError(int kind, const char* path, const char* message) {
    switch (kind) {
    case KARVONA_ERROR_MEMORY:
        std::cout << "Memory exception: " << message << std::endl;
        break;
    case KARVONA_ERROR_FORMAT:
        std::cout << "Error reading " << path << ": " << message << std::endl;
        break;
    case KARVONA_ERROR_FILE:
        std::cout << "Unable to open " << path << ": " << message << std::endl;
        break;
    case KARVONA_ERROR_SOLVER:
        std::cout << "Solver error: " << message << std::endl;
        break;
    case KARVONA_ERROR_BOUNDS:
        std::cout << "Out of bounds: " << message << std::endl;
        break;
    case KARVONA_ERROR_ALLOCATION:
        std::cout << std::endl << "MEMORY LIMIT EXCEEDED" << std::endl;
        break;
    default:
        std::cout << "Unknown exception caught." << std::endl;
        break;
    }
}

} // namespace

int run(int argc, char** argv) {
    installCpuLimitHandler();
    karvona* solver = karvona_new();
    if (!solver) {
        printError(KARVONA_ERROR_ALLOCATION, "", "");
        return 30;
    }
    const char* path = scanOptions(solver, argc, argv);
    if (!path) {
        printUsage();
        karvona_delete(solver);
        return 0;
    }
    int status = karvona_load_file(solver, path);
    if (status == 0) status = karvona_solve(solver);
    if (status == KARVONA_TRUE || status == KARVONA_FALSE) {
        printAnswer(solver, status);
    } else {
        printError(status, path, karvona_error_message(solver));
        status = 30;
    }
    karvona_delete(solver);
    return status;
}
