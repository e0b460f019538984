// Placeholder until the platform's TLS session lands: https fetches fail
// with a clear message instead of not linking.
#include "platform/Tls.h"

namespace platform {

std::unique_ptr<TlsClient> TlsClient::Create() { return nullptr; }
void TrustExtraRootsForTests(const std::string&) {}

}  // namespace platform
