// The certificate file. Lines go to the system in batches of whole lines:
// an interrupted run still leaves only complete lines behind, and a short
// run no longer pays a system call for every line it writes.

#include "store/solver.hpp"

#include <charconv>
#include <cstdio>
#include <ostream>

namespace {

constexpr size_t batchBytes = 64 * 1024;

} // namespace

void CertificateFile::open(const std::string& path) {
    stream.open(path, std::ios::out | std::ios::trunc);
    if (!stream.is_open()) throw FileSystemException{{"Could not open certificate file"}};
    lines.clear();
    lines.reserve(batchBytes + 256);
    lines += "QBCertificate";
    endLine();
    writeLines();
}

void CertificateFile::close() {
    if (!stream.is_open()) return;
    writeLines();
    stream.close();
}

void CertificateFile::putNumber(uint32_t n) {
    char digits[16];
    lines.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

void CertificateFile::putLiteral(Literal x) {
    char digits[16];
    lines.append(digits, std::to_chars(digits, digits + sizeof digits, shown(x)).ptr);
}

void CertificateFile::endLine() {
    lines += '\n';
    if (lines.size() >= batchBytes) writeLines();
}

void CertificateFile::writeLines() {
    stream.write(lines.data(), std::streamsize(lines.size()));
    stream.flush();
    lines.clear();
}

// Indexes are written as literals, so they end at the largest 32-bit one; a
// header near that bound leaves room for only a few gates above it.
uint32_t CertificateFile::nextIndex() {
    if (lastIndex >= uint32_t(INT32_MAX))
        throw OutOfBoundsException{{"certificate indexes beyond 2147483647"}};
    return ++lastIndex;
}

void CertificateFile::defineAnd(uint32_t k, const Literal* operands, uint32_t count) {
    defineGate(k, 'A', operands, count);
}

void CertificateFile::defineIte(uint32_t k, Literal c, Literal t, Literal e) {
    Literal operands[] = {c, t, e};
    defineGate(k, 'I', operands, 3);
}

// Only an AND gate, whose operand count varies, ends in " 0". With --qdo and
// no file the gate is only kept.
void CertificateFile::defineGate(uint32_t k, char kind, const Literal* operands, uint32_t count) {
    if (stream.is_open()) {
        lines += "E ";
        putNumber(k);
        lines += ' ';
        lines += kind;
        for (uint32_t i = 0; i < count; ++i) {
            lines += ' ';
            putLiteral(operands[i]);
        }
        if (kind == 'A') lines += " 0";
        endLine();
    }
    if (keepGates) keepGate(k, kind, operands, count);
}

void CertificateFile::keepGate(uint32_t k, char kind, const Literal* operands, uint32_t count) {
    gateAt[k - indexBase] = uint32_t(gateWords.size()) + 1;
    gateWords.push_back(kind);
    gateWords.push_back(int32_t(count));
    gateWords.insert(gateWords.end(), operands, operands + count);
}

void CertificateFile::writeStep(uint32_t i, uint32_t a, uint32_t b) {
    if (!stream.is_open()) return;
    putNumber(i);
    lines += " * ";
    putNumber(a);
    lines += ' ';
    putNumber(b);
    lines += " 0";
    endLine();
}

void CertificateFile::writeValid(const std::vector<std::pair<uint32_t, Literal>>& pairs) {
    if (!stream.is_open()) return;
    lines += "CONCLUDE VALID ";
    for (const auto& [v, f] : pairs) {
        putNumber(numbering->fileVariable(v));
        lines += ' ';
        putLiteral(f);
        lines += ' ';
    }
    writeLines();
}

void CertificateFile::writeInvalid(uint32_t n) {
    if (!stream.is_open()) return;
    lines += "CONCLUDE INVALID ";
    putNumber(n);
    writeLines();
}

// Without a name the bookkeeping runs for --qdo alone and writes nothing.
void Solver::startCertificate() {
    if (!certificateFileName.empty()) certificate.open(certificateFileName + ".tmp");
}

void Solver::finishCertificate() {
    if (certificateFileName.empty()) return;
    certificate.close();
    std::rename((certificateFileName + ".tmp").c_str(), certificateFileName.c_str());
}
