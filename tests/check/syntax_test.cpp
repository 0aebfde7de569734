// Malformed certificates and formulas end in one clear line, never in a
// crash or a verdict.

#include "verdicts.hpp"

namespace {

const std::string f = "p cnf 3 3\na 1 0\ne 2 3 0\n1 2 0\n-2 3 0\n-3 0\n";

TEST(CertificateSyntax, HeaderAndConclusionAreRequired) {
    expectRejected(f, "", 1, "missing header QBCertificate");
    expectRejected(f, "CONCLUDE INVALID 3", 1, "missing header QBCertificate");
    expectRejected(f, "QBCertificate\n", 1, "the certificate ends without a conclusion");
    expectRejected(f, certificate("4 * 2 3 0\n"), 2, "the certificate ends without a conclusion");
    expectRejected(f, certificate("4 * 2 3 0\n5 * 1 4"), 3, "truncated resolution step 5");
    expectRejected(f, certificate("4 * 2 3 0\nCONCLUDE INVALID 4\nCONCLUDE INVALID 4"), 4,
                   "second conclusion");
    expectRejected(f, certificate("CONCLUDE INVALID 3\n\n4 * 2 3 0"), 4,
                   "text after the conclusion");
    expectRejected(f, certificate("CONCLUDE INVALID"), 2, "CONCLUDE INVALID names no clause");
    expectRejected(f, certificate("CONCLUDE MAYBE"), 2,
                   "a conclusion is CONCLUDE VALID or CONCLUDE INVALID");
    expectRejected(f, certificate("CONCLUDE VALID 2 "), 2, "variable 2 has no function literal");
    expectRejected(f, certificate("CONCLUDE VALID 2 -4"), 2,
                   "truncated conclusion: it must end with a space");
    expectRejected(f, certificate("4 * 2 3 0\nCONCLUDE VALID "), 2,
                   "resolution step in a certificate that concludes VALID");
    expectRejected(f, certificate("E 4 A 0\nCONCLUDE INVALID 3"), 2,
                   "gate in a certificate that concludes INVALID");
}

TEST(CertificateSyntax, LinesHaveExactlyTheirFields) {
    auto rejected = [](const std::string& line, const std::string& why) {
        expectRejected(f, certificate(line + "\nCONCLUDE VALID "), 2, why);
    };
    rejected("", "empty line");
    rejected("E 4 A -1 2", "AND gate 4 is not terminated by 0");
    rejected("E 4 I 1 2", "if-then-else gate 4 needs exactly three operands");
    rejected("E 4 X 1 0", "gate 4 has kind 'X', not A or I");
    rejected("E 4", "truncated gate line");
    rejected("E 0 A 0", "gate index '0' is not an index");
    rejected("E 4 A x 0", "'x' is not a literal");
    rejected("E 4 A 2147483648 0", "'2147483648' is not a literal");
    rejected("4 + 2 3 0", "resolution step 4 lacks the '*' after its number");
    rejected("4 * 2 3 1", "resolution step 4 is not terminated by 0");
    rejected("4 * -2 3 0", "'-2' is not a clause number");
    rejected("e 4 A 0", "unknown line starting with 'e'");
    rejected(std::string("\x01\xff", 2), "unknown line starting with '\?\?'");
}

// Which texts are well-formed at all is compared with karvona's reader by
// the libFuzzer read target; these pin the line numbers.
TEST(FormulaSyntax, MalformedFormulasAreNamedByLine) {
    auto unreadable = [](const std::string& formula, const std::string& why) {
        expectVerdict(formula, certificate("CONCLUDE VALID "), check::Verdict::unreadable,
                      "ERROR: formula " + why);
    };
    unreadable("", "line 1: p header missing");
    unreadable("p dnf 3 1\n1 0\n", "line 1: cnf header missing");
    unreadable("p cnf 0 1\n1 0\n", "line 1: bogus variable count in header: '0'");
    unreadable("p cnf 3 x\n1 0\n", "line 1: bogus clause count in header: 'x'");
    unreadable("p cnf 3 3\n1 2 0\n-2 3 0\n", "line 3: not enough clauses in file: 3 declared, 2");
    unreadable("p cnf 3 1\ne 1 2\n", "line 2: quantifier line not terminated by 0");
    unreadable("p cnf 3 1\ne 1 x 0\n1 0\n", "line 2: non-numeric token 'x' in quantifier line");
    unreadable("p cnf 3 1\ne 1 0\na 1 0\n1 0\n", "line 3: variable 1 quantified twice");
    unreadable("p cnf 3 1\ne 4 0\n1 0\n", "line 2: variable 4 exceeds the header's count 3");
    unreadable("p cnf 3 1\n1 two 0\n", "line 2: non-numeric token 'two' in clause");
}

TEST(FormulaSyntax, ReadsTheCornersKarvonaReads) {
    // Comments anywhere a token starts, upper case, clauses split over
    // lines, an empty quantifier line, and text after the declared clauses.
    std::string corners = "c a\np cnf 3 3\nc b\nA 1 0\ne 0\nE 2\n3 0\nc c\n1 2\n0 -2 c x\n3 0 -3 "
                          "0\nthis is never read";
    expectFalse(corners, certificate("4 * 2 3 0\n5 * 1 4 0\nCONCLUDE INVALID 5"));
}

} // namespace
