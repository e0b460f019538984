// Makes Schannel trust a throwaway test root: puts the certificate (PEM or
// DER file) into the current user's ROOT system store. Tests run it inside
// their own Wine prefix only. Roots with the same subject that earlier runs
// left there are removed first, so the store does not fill up with them.
// (A real Windows would ask the user before trusting a new root.)
//
//   trust_test_root.exe FILE
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_test_root FILE\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    if (text.empty() ||
        !CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_ANY, nullptr, &size, nullptr, nullptr)) {
        std::fprintf(stderr, "trust_test_root: %s holds no certificate\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(size);
    CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_ANY, der.data(), &size, nullptr, nullptr);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size);
    if (!cert) {
        std::fprintf(stderr, "trust_test_root: %s is not a certificate (0x%08lx)\n", argv[1], GetLastError());
        return 1;
    }
    if (HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT")) {
        while (PCCERT_CONTEXT old = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                                               &cert->pCertInfo->Subject, nullptr)) {
            if (!CertDeleteCertificateFromStore(old)) break;
        }
        CertCloseStore(store, 0);
    }
    bool added = CertAddEncodedCertificateToSystemStoreW(L"ROOT", der.data(), size);
    CertFreeCertificateContext(cert);
    if (!added) {
        std::fprintf(stderr, "trust_test_root: adding to ROOT failed (0x%08lx)\n", GetLastError());
        return 1;
    }
    return 0;
}
