// The certificate file: every line but the closing conclusion ends with a
// newline and a flush, so an interrupted run leaves complete lines behind.

#include "store/solver.hpp"

#include <cstdio>
#include <ostream>

void CertificateFile::open(const std::string& path) {
    stream.open(path, std::ios::out | std::ios::trunc);
    if (!stream.is_open()) throw FileSystemException{{"Could not open certificate file"}};
    stream << "QBCertificate" << std::endl;
}

void CertificateFile::close() {
    if (stream.is_open()) stream.close();
}

// Indexes are written as literals, so they end at the largest 32-bit one; a
// header near that bound leaves room for only a few gates above it.
uint32_t CertificateFile::nextIndex() {
    if (lastIndex >= uint32_t(INT32_MAX))
        throw OutOfBoundsException{{"certificate indexes beyond 2147483647"}};
    return ++lastIndex;
}

void CertificateFile::defineAnd(uint32_t k, const Literal* operands, uint32_t count) {
    stream << "E " << k << " A";
    for (uint32_t i = 0; i < count; ++i)
        stream << ' ' << shown(operands[i]);
    stream << " 0" << std::endl;
    if (keepGates) keepGate(k, 'A', operands, count);
}

void CertificateFile::defineIte(uint32_t k, Literal c, Literal t, Literal e) {
    stream << "E " << k << " I " << shown(c) << ' ' << shown(t) << ' ' << shown(e) << std::endl;
    if (keepGates) {
        Literal operands[] = {c, t, e};
        keepGate(k, 'I', operands, 3);
    }
}

void CertificateFile::keepGate(uint32_t k, char kind, const Literal* operands, uint32_t count) {
    gateAt[k - indexBase] = uint32_t(gateWords.size()) + 1;
    gateWords.push_back(kind);
    gateWords.push_back(int32_t(count));
    gateWords.insert(gateWords.end(), operands, operands + count);
}

void CertificateFile::writeStep(uint32_t i, uint32_t a, uint32_t b) {
    stream << i << " * " << a << ' ' << b << " 0" << std::endl;
}

void CertificateFile::writeValid(const std::vector<std::pair<uint32_t, Literal>>& pairs) {
    stream << "CONCLUDE VALID ";
    for (const auto& [v, f] : pairs)
        stream << numbering->fileVariable(v) << ' ' << shown(f) << ' ';
    stream.flush();
}

void CertificateFile::writeInvalid(uint32_t n) {
    stream << "CONCLUDE INVALID " << n;
    stream.flush();
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
