// karvona-brute: the truth value of a small QDIMACS formula by brute force.

#include "brute_force.hpp"
#include "process.hpp"

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cout << "usage: karvona-brute FILE\n"
                     "Prints TRUE (exit 10) or FALSE (exit 20); errors exit 30.\n"
                     "Free variables are existential and outermost; a lone 0 (empty clause) is\n"
                     "ignored, as karvona ignores it. At most "
                  << maxBruteForceVariables << " variables may occur.\n";
        return 30;
    }
    Formula formula;
    std::string error;
    std::string text = readFile(argv[1]);
    if (!readQdimacs(text, formula, error)) {
        std::cout << "cannot read " << argv[1] << ": " << error << std::endl;
        return 30;
    }
    try {
        bool value = evaluateByBruteForce(formula);
        std::cout << (value ? "TRUE" : "FALSE") << std::endl;
        return value ? 10 : 20;
    } catch (const std::length_error& e) {
        std::cout << e.what() << std::endl;
        return 30;
    }
}
