#include "app/WebAddress.h"

#include <cctype>
#include <string>

#include "net/HttpMessage.h"

namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The characters a URL may hold as they are; brackets only around an IPv6
// host.
bool IsUrlByte(unsigned char c, bool inAuthority) {
    if (std::isalnum(c)) return true;
    if (c == '[' || c == ']') return inAuthority;
    return std::string("-._~:/?#@!$&'()*+,;=").find(static_cast<char>(c)) != std::string::npos;
}

// `url` with what may not stand in it percent-encoded; the authority ends
// at `authorityEnd`.
std::string Encoded(const std::string& url, size_t authorityEnd) {
    std::string out;
    out.reserve(url.size());
    bool fragment = false;
    for (size_t i = 0; i < url.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        bool keep = c == '%'   ? i + 2 < url.size() && IsHex(url[i + 1]) && IsHex(url[i + 2])
                    : c == '#' ? !fragment
                               : IsUrlByte(c, i < authorityEnd);
        fragment = fragment || c == '#';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            http::AppendPercentEscape(out, c);
        }
    }
    return out;
}

const char kPartEnds[] = "/\\?#";

// The first part of a scheme-less address or of what follows "//": the
// host, when it is a web address.
std::string FirstPart(const std::string& text) { return text.substr(0, text.find_first_of(kPartEnds)); }

// A scheme-less address that names a file: from the root, a UNC or device
// path, "." or "..", or a first part that a backslash ends.
bool IsPath(const std::string& text) {
    std::string first = FirstPart(text);
    return first.empty() || first == "." || first == ".." || text[first.size()] == '\\';
}

// "host:8080" and "host:8080/x" look like a scheme but are a host and port.
bool IsHostAndPort(const std::string& text) {
    size_t colon = text.find(':');
    size_t end = text.find_first_of(kPartEnds, colon);
    std::string port = text.substr(colon + 1, end == std::string::npos ? std::string::npos : end - colon - 1);
    return !port.empty() && port.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool BrowserAddress(const String& address, String& url) {
    std::string text = http::Trimmed(address.ToUTF8());
    std::string scheme;
    bool schemed = http::HasScheme(text, scheme);
    bool web = schemed && (scheme == "http" || scheme == "https");
    size_t authority = 7;  // after "http://"
    if (web) {
        std::string rest = text.substr(scheme.size() + 1);
        if (rest.compare(0, 2, "//") != 0 || FirstPart(rest.substr(2)).empty()) return false;
        text = scheme + ":" + rest;
        authority = scheme.size() + 3;
    } else {
        // A one-letter scheme is a drive letter; "host:8080" only looks
        // like a scheme.
        if (schemed && (scheme.size() == 1 || !IsHostAndPort(text))) return false;
        if (IsPath(text)) return false;
        text = "http://" + text;
    }
    std::string encoded = Encoded(text, text.find_first_of(kPartEnds, authority));
    url = String::FromBytes8(encoded.data(), static_cast<int32_t>(encoded.size()));
    return true;
}
