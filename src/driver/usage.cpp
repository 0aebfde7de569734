// The usage text, printed when no input path is given, and the longer help.

#include "driver/run.hpp"

#include <iostream>

void printUsage() {
    std::cout << karvona_version() << std::endl;
    std::cout << "Usage: karvona [Options] <qdimacs-file>" << std::endl;
    std::cout << "Options:" << std::endl;
    std::cout << "  -s\t Show progress" << std::endl;
    std::cout << "  -c\t Generate certificate" << std::endl;
    std::cout << "  -m\t Maximum conflicts decision heuristic" << std::endl;
    std::cout << "  -l\t Literal bound decision heuristic" << std::endl;
    std::cout << "  -I\t Eliminate inside-out" << std::endl;
    std::cout << "  -u\t Use universal expansion (experimental)" << std::endl;
    std::cout << "  -b\t Enable scope-combining after expansion (experimental)" << std::endl;
    std::cout << "  -U\t First expand all universals (experimental)" << std::endl;
    std::cout << "  -O\t Provide an elimination order (\"n ... n\"; space-separated)" << std::endl;
}

void printHelp() {
    printUsage();
    std::cout << "Long options:" << std::endl;
    std::cout << "  --qdo      Answer with \"s cnf 1 V C\" or \"s cnf 0 V C\" and \"V lit 0\" lines" << std::endl;
    std::cout << "             for the values of the outermost block (QDIMACS output)" << std::endl;
    std::cout << "  --hybrid   Eliminate while cheap, then decide the rest with a SAT solver," << std::endl;
    std::cout << "             expansion or abstraction refinement (try this first on hard formulas)" << std::endl;
    std::cout << "  --help     Print this text" << std::endl;
    std::cout << "  --version  Print the version" << std::endl;
    std::cout << "Files ending in .gz, .bz2, .xz, .lzma or .zst are decompressed while read." << std::endl;
    std::cout << "See man karvona for the details." << std::endl;
}
