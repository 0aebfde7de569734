// The run from the command line to the exit status. Errors travel as
// exceptions to the handlers here, which print one line and give status 30.

#include "driver/run.hpp"

#include "store/solver.hpp"

#include <iostream>
#include <new>
#include <string>

int run(int argc, char** argv) {
    installCpuLimitHandler();
    Solver solver;
    const char* path = scanOptions(solver, argc, argv);
    if (!path) {
        printUsage();
        return 0;
    }
    bool certificates = solver.certificates;
    solver.keepInputClauses = certificates;
    solver.copyInputClauses = certificates;

    int status = 30;
    try {
        if (certificates) solver.certificateFileName = std::string(path) + ".qbc";
        bool answer = solver.load(path) && solver.solve();
        printAnswer(solver, answer);
        status = answer ? 10 : 20;
    } catch (const MemoryException& e) {
        std::cout << "Memory exception: " << e.message << std::endl;
    } catch (const FileFormatException& e) {
        std::cout << "Error reading " << path << ": " << e.message << std::endl;
    } catch (const FileSystemException& e) {
        std::cout << "Unable to open " << path << ": " << e.message << std::endl;
    } catch (const SolverException& e) {
        std::cout << "Solver error: " << e.message << std::endl;
    } catch (const OutOfBoundsException& e) {
        std::cout << "Out of bounds: " << e.message << std::endl;
    } catch (const std::bad_alloc&) {
        std::cout << std::endl << "MEMORY LIMIT EXCEEDED" << std::endl;
    } catch (...) {
        std::cout << "Unknown exception caught." << std::endl;
    }
    return status;
}
