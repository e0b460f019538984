#include "net/Proxy.h"

#include <cctype>
#include <vector>

#include "platform/Socket.h"

namespace net {

namespace {

using http::Lowered;
using http::Trimmed;

std::vector<std::string> Split(const std::string& text, const char* separators) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsLoopback(const std::string& host) {
    std::string h = Lowered(host);
    if (h == "localhost" || (h.size() > 10 && h.compare(h.size() - 10, 10, ".localhost") == 0)) return true;
    platform::NetAddress a;
    if (!platform::ParseNumericAddress(host, a)) return false;
    if (!a.v6) return a.bytes[0] == 127;
    for (int i = 0; i < 15; ++i)
        if (a.bytes[i] != 0) return false;
    return a.bytes[15] == 1;
}

// "*" anywhere in `pattern` stands for any run of characters.
bool Wildcard(const std::string& pattern, const std::string& text) {
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p, ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// `host` (a numeric address) inside the block "address/bits".
bool InBlock(const std::string& host, const std::string& block) {
    size_t slash = block.find('/');
    platform::NetAddress a, net;
    std::string bitsText = block.substr(slash + 1);
    if (bitsText.empty() || bitsText.find_first_not_of("0123456789") != std::string::npos || bitsText.size() > 3) return false;
    int bits = std::stoi(bitsText);
    if (!platform::ParseNumericAddress(host, a) || !platform::ParseNumericAddress(block.substr(0, slash), net) ||
        a.v6 != net.v6 || bits > (a.v6 ? 128 : 32))
        return false;
    for (int i = 0; i < bits; ++i) {
        int mask = 0x80 >> (i % 8);
        if ((a.bytes[i / 8] & mask) != (net.bytes[i / 8] & mask)) return false;
    }
    return true;
}

// One no_proxy entry against the host (lowered, no trailing dot).
bool EnvEntryMatches(std::string entry, const std::string& host, int32_t port) {
    if (entry == "*") return true;
    if (entry.find('/') != std::string::npos) return InBlock(host, entry);
    // A port after a name, an IPv4 address or "[v6]"; a bare IPv6 address has none.
    size_t colon = entry.rfind(':');
    bool bracketed = !entry.empty() && entry[0] == '[';
    if (colon != std::string::npos && (bracketed ? entry[colon - 1] == ']' : entry.find(':') == colon)) {
        if (entry.substr(colon + 1) != std::to_string(port)) return false;
        entry.resize(colon);
    }
    if (bracketed && entry.size() > 2 && entry.back() == ']') entry = entry.substr(1, entry.size() - 2);
    if (entry.compare(0, 2, "*.") == 0) entry.erase(0, 1);
    if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
    if (!entry.empty() && entry.back() == '.') entry.pop_back();
    if (entry.empty()) return false;
    return host == entry || (host.size() > entry.size() && host.compare(host.size() - entry.size(), entry.size(), entry) == 0 &&
                             host[host.size() - entry.size() - 1] == '.');
}

bool WindowsEntryMatches(std::string entry, const std::string& host, int32_t port) {
    if (entry == "<local>") {
        platform::NetAddress a;
        return host.find('.') == std::string::npos && !platform::ParseNumericAddress(host, a);
    }
    for (const char* scheme : {"http://", "https://"})
        if (entry.compare(0, std::string(scheme).size(), scheme) == 0) entry.erase(0, std::string(scheme).size());
    std::string withPort = (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" + std::to_string(port);
    return Wildcard(entry, host) || Wildcard(entry, withPort);
}

bool Bypassed(const http::Target& target, const platform::ProxySettings& settings) {
    std::string host = Lowered(target.host);
    if (!host.empty() && host.back() == '.') host.pop_back();
    std::vector<std::string> entries = Split(Lowered(settings.bypass), settings.windowsForm ? "; \t" : ", \t");
    bool loopbackToo = false;
    for (const std::string& entry : entries) {
        if (settings.windowsForm && entry == "<-loopback>") loopbackToo = true;
        else if (settings.windowsForm ? WindowsEntryMatches(entry, host, target.port) : EnvEntryMatches(entry, host, target.port))
            return true;
    }
    return !loopbackToo && IsLoopback(host);
}

// The ProxyServer entry for the target's protocol: the one for every
// protocol, or "http=..." / "https=..." from a list.
std::string WindowsServerFor(const http::Target& target, const std::string& servers) {
    std::vector<std::string> entries = Split(servers, "; \t");
    std::string wanted = target.tls ? "https=" : "http=";
    for (const std::string& entry : entries) {
        if (entry.find('=') == std::string::npos) return entry;
        if (Lowered(entry.substr(0, wanted.size())) == wanted) return entry.substr(wanted.size());
    }
    return {};
}

bool ParseProxy(const std::string& setting, const std::string& name, http::Target& proxy, std::string& failure) {
    std::string text = setting;
    size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        if (Lowered(text.substr(0, scheme)) != "http") {
            failure = name + " (" + setting + ") is not an http proxy";
            return false;
        }
        text.erase(0, scheme + 3);
    }
    text = text.substr(0, text.find('/'));
    if (text.find('@') != std::string::npos) {
        failure = name + " holds a user name and password, which this program does not send";
        return false;
    }
    std::string why;
    if (http::ParseTarget("http", text, proxy, why)) return true;
    failure = name + " (" + setting + ") is not a usable address (" + why + ")";
    return false;
}

}  // namespace

bool ChooseProxy(const http::Target& target, const platform::ProxySettings& settings, http::Target& proxy,
                 std::string& failure) {
    failure.clear();
    std::string setting = Trimmed(settings.windowsForm ? WindowsServerFor(target, settings.http)
                                                       : (target.tls ? settings.https : settings.http));
    if (setting.empty() || Bypassed(target, settings)) return false;
    std::string name = settings.windowsForm ? "the system's proxy setting"
                                            : target.tls ? "the proxy setting https_proxy" : "the proxy setting http_proxy";
    return ParseProxy(setting, name, proxy, failure);
}

}  // namespace net
