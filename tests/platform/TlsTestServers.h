// What tls-test.py tells the TLS tests it runs: the ports of its servers in
// VW_TLS_SERVERS ("good=PORT other_host=PORT ..."), the root to trust
// natively in VW_TLS_CA and the file the good server sends at /big in
// VW_TLS_BODY.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace tlstest {

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The port of the server of that name, 0 when there is none.
inline int32_t ServerPort(const std::string& name) {
    std::istringstream all(Env("VW_TLS_SERVERS"));
    std::string entry;
    while (all >> entry)
        if (entry.compare(0, name.size() + 1, name + "=") == 0) return std::atoi(entry.c_str() + name.size() + 1);
    return 0;
}

}  // namespace tlstest
