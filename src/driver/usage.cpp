// The usage text, printed when no input path is given.

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
