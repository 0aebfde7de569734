// karvona-gen: prints one generated formula.

#include "generator.hpp"

#include <cstdlib>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    uint64_t seed = 0;
    bool seedGiven = false;
    GeneratorSettings settings = tinySettings();
    Text text = Text::decorated;
    Shape shape = Shape::any;
    bool twoBlock = false;
    TwoBlockSize twoBlockSize;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--large") {
            settings = largeSettings();
        } else if (arg == "--depqbf") {
            text = Text::depqbf;
        } else if (arg == "--vars" && i + 2 < argc) {
            settings.minVariables = uint32_t(std::strtoul(argv[++i], nullptr, 10));
            settings.maxVariables = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--shape" && i + 1 < argc && parseShape(argv[i + 1], shape)) {
            ++i;
        } else if (arg == "--two-block" && i + 3 < argc) {
            twoBlock = true;
            twoBlockSize.universals = uint32_t(std::strtoul(argv[++i], nullptr, 10));
            twoBlockSize.existentials = uint32_t(std::strtoul(argv[++i], nullptr, 10));
            twoBlockSize.clauses = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg[0] != '-' && !seedGiven) {
            seed = std::strtoull(argv[i], nullptr, 10);
            seedGiven = true;
        } else {
            seedGiven = false;
            break;
        }
    }
    if (!seedGiven || settings.minVariables < 1 || settings.minVariables > settings.maxVariables ||
        (twoBlock && (twoBlockSize.universals < 2 || twoBlockSize.existentials < 3))) {
        std::cout << "usage: karvona-gen SEED [--large] [--vars MIN MAX]\n"
                     "                   [--shape forall-exists|few-universals|many-levels] [--depqbf]\n"
                     "       karvona-gen SEED --two-block UNIVERSALS EXISTENTIALS CLAUSES\n"
                     "Prints the formula of SEED. --large: 20-40 variables (default 1-12).\n"
                     "--depqbf: plain layout without empty clauses, which depqbf would\n"
                     "read as false.\n"
                     "--two-block: one universal and one existential block, each clause two\n"
                     "universal and three positive existential literals, written as drawn\n"
                     "(1000 1000000 4000000 is the 133 MB loading benchmark).\n";
        return 2;
    }
    settings.shape = shape;
    if (twoBlock) return writeTwoBlockFormula(seed, twoBlockSize, stdout) ? 0 : 1;
    Formula formula = generateFormula(seed, settings);
    std::cout << writeQdimacs(formula, text, streamSeed(seed, 1));
    return 0;
}
