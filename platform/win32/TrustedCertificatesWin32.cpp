#include "platform/TrustedCertificates.h"

#include <windows.h>

#include <wincrypt.h>

namespace platform {

std::vector<std::string> systemRootCertificates() {
    std::vector<std::string> certificates;
    HCERTSTORE store = CertOpenSystemStoreA(0, "ROOT");
    if (store == nullptr)
        return certificates;
    PCCERT_CONTEXT certificate = nullptr;
    // Each call frees the context it is given and answers the next one.
    while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
        if (certificate->dwCertEncodingType & X509_ASN_ENCODING)
            certificates.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded),
                                      certificate->cbCertEncoded);
    }
    CertCloseStore(store, 0);
    return certificates;
}

} // namespace platform
