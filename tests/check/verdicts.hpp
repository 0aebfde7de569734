#pragma once

// Assertions on the one line karvona-check prints, so that a test names the
// verdict and the part of the reason it cares about.

#include "check/check_certificate.hpp"

#include <gtest/gtest.h>
#include <string>

inline std::string certificate(const std::string& body) {
    return "QBCertificate\n" + body;
}

inline void expectVerdict(const std::string& formula, const std::string& cert,
                          check::Verdict verdict, const std::string& lineStart) {
    check::Result r = check::checkTexts(formula, cert);
    EXPECT_EQ(int(r.verdict), int(verdict)) << r.line << "\n--- certificate:\n" << cert;
    EXPECT_EQ(r.line.substr(0, lineStart.size()), lineStart) << "\n--- certificate:\n" << cert;
}

inline void expectFalse(const std::string& formula, const std::string& cert) {
    expectVerdict(formula, cert, check::Verdict::provedFalse, "INVALID: ");
}

inline void expectTrue(const std::string& formula, const std::string& cert) {
    expectVerdict(formula, cert, check::Verdict::provedTrue, "VALID: ");
}

// why is the whole reason after "REJECTED: line N: ", or a prefix of it.
inline void expectRejected(const std::string& formula, const std::string& cert, int line,
                           const std::string& why) {
    expectVerdict(formula, cert, check::Verdict::rejected,
                  "REJECTED: line " + std::to_string(line) + ": " + why);
}
