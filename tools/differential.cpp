// karvona-diff: differential runs of karvona against brute force and
// depqbf on generated formulas, or against the recorded answers of a
// benchmark set.

#include "differential.hpp"

#include "generator.hpp"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <unistd.h>

namespace {

const char usage[] =
    "usage: karvona-diff --karvona BIN [options]\n"
    "  --seeds FIRST COUNT   generated formulas FIRST .. FIRST+COUNT-1 (default 1 100)\n"
    "  --large               20-40 variables, judged by depqbf only, in the built-in list\n"
    "                        for larger formulas (default: at most 12 variables, judged\n"
    "                        by brute force and depqbf)\n"
    "  --shape NAME          forall-exists, few-universals or many-levels: generate only\n"
    "                        this prefix shape (default any)\n"
    "  --options TEXT        run this option set instead of the built-in list; repeatable;\n"
    "                        @order stands for a generated -O order\n"
    "  --certified           add -c to every option set: each run writes a certificate\n"
    "  --benchmarks DIR      run every instance of DIR/manifest.tsv instead (first\n"
    "                        --options set, default none)\n"
    "  --jobs N              parallel karvona runs in benchmark mode (default 1)\n"
    "  --cpu-limit S         CPU seconds per karvona run (default 10, benchmarks 5)\n"
    "  --memory-limit MB     address space per karvona run (default none)\n"
    "  --checker BIN         certificate checker, run as BIN FORMULA CERTIFICATE after -c\n"
    "                        runs; must exit 10 for a true and 20 for a false formula\n"
    "  --work DIR            keep formulas here (default: a new directory under TMPDIR)\n"
    "  --max-failures N      stop after N failures (default 10)\n"
    "exit status: 0 all agree, 1 a failure, 2 bad usage or missing tool\n";

int badUsage(const std::string& why) {
    std::cout << "karvona-diff: " << why << "\n" << usage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    DiffSettings settings;
    bool cpuLimitGiven = false;
    std::vector<std::string> optionSets;
    bool certified = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](int needed = 1) -> bool { return i + needed < argc; };
        auto number = [&]() { return std::strtoull(argv[++i], nullptr, 10); };
        if (arg == "--karvona" && value()) {
            settings.karvona = argv[++i];
        } else if (arg == "--checker" && value()) {
            settings.checker = argv[++i];
        } else if (arg == "--work" && value()) {
            settings.workDirectory = argv[++i];
        } else if (arg == "--seeds" && value(2)) {
            settings.firstSeed = number();
            settings.seedCount = number();
        } else if (arg == "--shape" && value()) {
            Shape shape;
            settings.shape = argv[++i];
            if (!parseShape(settings.shape, shape))
                return badUsage("unknown shape " + settings.shape);
        } else if (arg == "--large") {
            settings.large = true;
        } else if (arg == "--options" && value()) {
            optionSets.push_back(argv[++i]);
        } else if (arg == "--certified") {
            certified = true;
        } else if (arg == "--benchmarks" && value()) {
            settings.benchmarkDirectory = argv[++i];
        } else if (arg == "--jobs" && value()) {
            settings.jobs = unsigned(number());
        } else if (arg == "--cpu-limit" && value()) {
            settings.cpuLimit = unsigned(number());
            cpuLimitGiven = true;
        } else if (arg == "--memory-limit" && value()) {
            settings.memoryLimit = unsigned(number());
        } else if (arg == "--max-failures" && value()) {
            settings.maxFailures = unsigned(number());
        } else {
            return badUsage("unknown or incomplete argument " + std::string(arg));
        }
    }
    if (settings.large) settings.optionSets = largeOptionSets;
    if (!optionSets.empty()) settings.optionSets = optionSets;
    if (settings.karvona.empty()) return badUsage("--karvona is required");
    if (access(settings.karvona.c_str(), X_OK) != 0)
        return badUsage("cannot execute " + settings.karvona);
    bool benchmarks = !settings.benchmarkDirectory.empty();
    if (benchmarks && optionSets.empty()) settings.optionSets = {""};
    if (certified)
        for (std::string& set : settings.optionSets)
            set = set.empty() ? "-c" : "-c " + set;
    if (benchmarks && !cpuLimitGiven) settings.cpuLimit = 5;
    if (!benchmarks) {
        settings.depqbf = findOnPath("depqbf");
        if (settings.depqbf.empty()) {
            std::cout << "karvona-diff: depqbf not found on PATH" << std::endl;
            return 2;
        }
    }

    namespace fs = std::filesystem;
    bool temporary = settings.workDirectory.empty();
    if (temporary) {
        std::string pattern = (fs::temp_directory_path() / "karvona-diff-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return badUsage("cannot create a work directory");
        settings.workDirectory = pattern;
    } else {
        fs::create_directories(settings.workDirectory);
    }
    int status = benchmarks ? runBenchmarks(settings) : runFuzzing(settings);
    if (temporary && status != 1) fs::remove_all(settings.workDirectory); // 1 keeps the failures
    return status;
}
