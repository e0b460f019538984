// Addresses for the browser from arbitrary bytes (a stored list may come
// from anyone): whatever is accepted is an http or https URL with a host,
// made only of URL characters, with every "%" starting an escape and at
// most one "#", so no command line can split it; and it comes back
// unchanged when checked again.
#include <string>

#include "FuzzCommon.h"
#include "app/WebAddress.h"

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

void CheckUrl(const std::string& url) {
    size_t start = url.compare(0, 7, "http://") == 0 ? 7 : url.compare(0, 8, "https://") == 0 ? 8 : 0;
    FUZZ_CHECK(start > 0);
    FUZZ_CHECK(start < url.size() && std::string("/?#").find(url[start]) == std::string::npos);
    static const std::string kAllowed =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&'()*+,;=%";
    for (size_t i = 0; i < url.size(); ++i) {
        FUZZ_CHECK(kAllowed.find(url[i]) != std::string::npos);
        if (url[i] == '%') FUZZ_CHECK(i + 2 < url.size() && IsHex(url[i + 1]) && IsHex(url[i + 2]));
    }
    FUZZ_CHECK(url.find('#') == url.rfind('#'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    String url;
    if (!BrowserAddress(String::FromUTF8(bytes), url)) return 0;
    std::string text = url.ToUTF8();
    CheckUrl(text);
    String again;
    FUZZ_CHECK(BrowserAddress(url, again) && again.ToUTF8() == text);
    return 0;
}
