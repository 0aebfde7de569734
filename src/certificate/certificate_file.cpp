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

void CertificateFile::defineAnd(uint32_t k, const Literal* operands, uint32_t count) {
    stream << "E " << k << " A";
    for (uint32_t i = 0; i < count; ++i)
        stream << ' ' << operands[i];
    stream << " 0" << std::endl;
}

void CertificateFile::defineIte(uint32_t k, Literal c, Literal t, Literal e) {
    stream << "E " << k << " I " << c << ' ' << t << ' ' << e << std::endl;
}

void CertificateFile::writeStep(uint32_t i, uint32_t a, uint32_t b) {
    stream << i << " * " << a << ' ' << b << " 0" << std::endl;
}

void CertificateFile::writeValid(const std::vector<std::pair<uint32_t, Literal>>& pairs) {
    stream << "CONCLUDE VALID ";
    for (const auto& [v, f] : pairs)
        stream << v << ' ' << f << ' ';
    stream.flush();
}

void CertificateFile::writeInvalid(uint32_t n) {
    stream << "CONCLUDE INVALID " << n;
    stream.flush();
}

void Solver::startCertificate() {
    certificate.open(certificateFileName + ".tmp");
}

void Solver::finishCertificate() {
    certificate.close();
    std::rename((certificateFileName + ".tmp").c_str(), certificateFileName.c_str());
}
