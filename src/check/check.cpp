// karvona-check FORMULA CERTIFICATE: one line on standard output, and an
// exit status that says whether the certificate proves the formula true,
// proves it false, or proves nothing.

#include "check/check_certificate.hpp"

#include <fstream>
#include <iostream>
#include <new>
#include <sstream>

namespace {

const char* usage = "usage: karvona-check FORMULA CERTIFICATE\n"
                    "Checks a karvona certificate (FORMULA.qbc) against its QDIMACS formula.\n"
                    "Prints one line and exits with:\n"
                    "  10  VALID: the certificate's functions prove the formula true\n"
                    "  20  INVALID: the certificate's refutation proves the formula false\n"
                    "   1  REJECTED: line N: why the certificate proves nothing\n"
                    "   2  ERROR: usage, an unreadable file or a malformed formula\n";

bool readFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cout << usage << std::flush;
        return check::exitStatus(check::Verdict::unreadable);
    }
    std::string formula, certificate;
    for (int i = 1; i <= 2; ++i)
        if (!readFile(argv[i], i == 1 ? formula : certificate)) {
            std::cout << "ERROR: cannot read " << argv[i] << std::endl;
            return check::exitStatus(check::Verdict::unreadable);
        }
    try {
        check::Result result = check::checkTexts(formula, certificate);
        std::cout << result.line << std::endl;
        return check::exitStatus(result.verdict);
    } catch (const std::bad_alloc&) {
        std::cout << "ERROR: out of memory" << std::endl;
        return check::exitStatus(check::Verdict::unreadable);
    }
}
