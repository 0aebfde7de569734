// Benchmark mode: karvona on every instance of a manifest under a CPU limit.
// A wrong answer or a crash fails; reaching a limit is only reported, since
// the limit is there to keep the run short, not to judge speed.

#include "differential.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>

namespace {

struct Instance {
    std::string path; // relative to the benchmark directory
    bool expected = false;
};

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}

bool readManifest(const std::string& directory, std::vector<Instance>& instances) {
    std::ifstream in(directory + "/manifest.tsv");
    std::string line;
    if (!std::getline(in, line)) return false;
    std::vector<std::string> header = splitTabs(line);
    size_t pathColumn = header.size();
    size_t resultColumn = header.size();
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i] == "path") pathColumn = i;
        if (header[i] == "depqbf_result") resultColumn = i;
    }
    if (pathColumn == header.size() || resultColumn == header.size()) return false;
    while (std::getline(in, line)) {
        std::vector<std::string> fields = splitTabs(line);
        if (fields.size() <= std::max(pathColumn, resultColumn)) continue;
        const std::string& result = fields[resultColumn];
        if (result != "TRUE" && result != "FALSE") continue;
        instances.push_back({fields[pathColumn], result == "TRUE"});
    }
    return true;
}

} // namespace

int runBenchmarks(const DiffSettings& settings) {
    std::vector<Instance> instances;
    // A manifest without a single known answer would check nothing.
    if (!readManifest(settings.benchmarkDirectory, instances) || instances.empty()) {
        std::cout << "no instance with a known answer in " << settings.benchmarkDirectory
                  << "/manifest.tsv (columns path and depqbf_result, TRUE or FALSE)" << std::endl;
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    // One job per instance and option set. A certified run works on a copy in
    // the work directory: the certificate lands beside its input, and the
    // benchmark folder is never written to.
    struct Job {
        size_t instance;
        std::vector<std::string> options;
        bool certified;
    };
    std::vector<Job> jobs;
    for (const std::string& set : settings.optionSets) {
        std::vector<std::string> options = optionArguments(set, {});
        bool certified = std::find(options.begin(), options.end(), "-c") != options.end();
        for (size_t i = 0; i < instances.size(); ++i)
            jobs.push_back({i, options, certified});
    }
    std::map<pid_t, size_t> running; // child -> job
    size_t next = 0;
    unsigned solved = 0, timeouts = 0, memouts = 0, failures = 0;
    auto outputPath = [&](size_t j) {
        return settings.workDirectory + "/benchmark-" + std::to_string(j) + ".out";
    };
    auto inputPath = [&](size_t j) {
        const std::string& path = instances[jobs[j].instance].path;
        if (!jobs[j].certified) return settings.benchmarkDirectory + "/" + path;
        return settings.workDirectory + "/benchmark-" + std::to_string(j) + ".qdimacs";
    };
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && running.size() < std::max(1u, settings.jobs)) {
            const Job& job = jobs[next];
            if (job.certified)
                writeFile(inputPath(next), readFile(settings.benchmarkDirectory + "/" +
                                                    instances[job.instance].path));
            std::vector<std::string> argv{settings.karvona};
            argv.insert(argv.end(), job.options.begin(), job.options.end());
            argv.push_back(inputPath(next));
            pid_t pid =
                startProcess(argv, outputPath(next), settings.cpuLimit, settings.memoryLimit);
            running[pid] = next++;
        }
        ProcessResult result;
        pid_t pid = waitForAny(result);
        auto it = running.find(pid);
        if (it == running.end()) continue;
        size_t j = it->second;
        running.erase(it);
        result.output = readFile(outputPath(j));
        std::remove(outputPath(j).c_str());
        const Job& job = jobs[j];
        const Instance& instance = instances[job.instance];
        Verdict verdict = judgeKarvona(result);
        std::ostringstream line;
        line << std::fixed << std::setprecision(2) << std::setw(7) << result.cpuSeconds << " s  ";
        std::string problem;
        switch (verdict.kind) {
        case Verdict::trueFormula:
        case Verdict::falseFormula:
            if ((verdict.kind == Verdict::trueFormula) != instance.expected) {
                ++failures;
                line << "WRONG    " << answerName(!instance.expected) << ", expected "
                     << answerName(instance.expected);
            } else if (job.certified &&
                       !(problem = checkCertificate(settings, inputPath(j), instance.expected))
                            .empty()) {
                ++failures;
                line << "REJECTED " << answerName(instance.expected);
            } else {
                ++solved;
                line << "ok       " << answerName(instance.expected);
            }
            break;
        case Verdict::timeLimit:
            ++timeouts;
            line << "timeout ";
            break;
        case Verdict::memoryLimit:
            ++memouts;
            line << "memout  ";
            break;
        case Verdict::broken:
            ++failures;
            line << "BROKEN   " << verdict.why;
            break;
        }
        if (job.certified) {
            std::remove(inputPath(j).c_str());
            std::remove((inputPath(j) + ".qbc.tmp").c_str());
            if (problem.empty()) std::remove((inputPath(j) + ".qbc").c_str());
        }
        std::cout << line.str() << "  " << quoteArguments(job.options) << "  " << instance.path
                  << std::endl;
        if (!problem.empty()) std::cout << problem << std::endl;
        if (verdict.kind == Verdict::broken) std::cout << result.output << std::endl;
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << jobs.size() << " runs, CPU limit " << settings.cpuLimit << " s: " << solved
              << " solved, " << timeouts << " timeouts, " << memouts << " memouts, " << failures
              << " wrong or broken, " << seconds.count() << " s" << std::endl;
    return failures ? 1 : 0;
}
