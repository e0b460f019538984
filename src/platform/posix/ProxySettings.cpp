#include "platform/ProxySettings.h"

#include <cstdlib>

namespace platform {

namespace {

std::string Env(const char* name, const char* other = nullptr) {
    const char* v = std::getenv(name);
    if ((!v || !*v) && other) v = std::getenv(other);
    return v ? v : "";
}

}  // namespace

ProxySettings SystemProxySettings() {
    ProxySettings s;
    s.http = Env("http_proxy");
    s.https = Env("https_proxy", "HTTPS_PROXY");
    s.bypass = Env("no_proxy", "NO_PROXY");
    return s;
}

}  // namespace platform
