#include "app/WebAddress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the browser gets for each stored address; "" where nothing may be
// started.
struct Case {
    const char16_t* address;
    const char* url;
};

const Case kCases[] = {
    // Web addresses, and the scheme-less form the watcher fetches.
    {u"http://example.test/thread?id=1#last", "http://example.test/thread?id=1#last"},
    {u"HTTP://Example.test/CAPS", "http://Example.test/CAPS"},
    {u"hTTps://example.test/", "https://example.test/"},
    {u"  https://example.test/x\t", "https://example.test/x"},
    {u"example.test/thread?id=1", "http://example.test/thread?id=1"},
    {u"localhost:8080/x", "http://localhost:8080/x"},
    {u"[::1]:8080/x", "http://[::1]:8080/x"},
    {u"127.0.0.1", "http://127.0.0.1"},
    // Nothing that could end the browser's argument or split its command line.
    {u"https://example.test/a b\"c", "https://example.test/a%20b%22c"},
    {u"https://example.test/x\\\" --flag", "https://example.test/x%5C%22%20--flag"},
    {u"http://example.test/\x01\x7f<>^|`{}", "http://example.test/%01%7F%3C%3E%5E%7C%60%7B%7D"},
    {u"http://example.test/%41%zz%4", "http://example.test/%41%25zz%254"},
    {u"http://example.test/a#b#c", "http://example.test/a#b%23c"},
    {u"http://example.test/[x]", "http://example.test/%5Bx%5D"},
    {u"http://example.test/caf\u00e9", "http://example.test/caf%C3%A9"},
    // Other schemes and malformed web addresses.
    {u"file:///C:/windows/system32/notepad.exe", ""},
    {u"javascript:alert(1)", ""},
    {u"ms-settings:", ""},
    {u"mailto:a@example.test", ""},
    {u"http:/x", ""},
    {u"http:example.test", ""},
    {u"http://", ""},
    {u"https:///x", ""},
    {u"http:\\\\host\\x", ""},
    // Paths.
    {u"C:\\windows\\system32\\notepad.exe", ""},
    {u"C:relative", ""},
    {u"C:80", ""},
    {u"\\\\host\\share\\x.exe", ""},
    {u"\\\\?\\C:\\", ""},
    {u"//host/share", ""},
    {u"/usr/bin/x", ""},
    {u"tools\\x.exe", ""},
    {u"..\\x.exe", ""},
    {u"./x", ""},
    {u"", ""},
    {u"  ", ""},
};

TEST(BrowserAddressTest, OnlyWebAddressesReachTheBrowserAndWellFormed) {
    for (const Case& c : kCases) {
        String url("unchanged");
        bool web = BrowserAddress(String(c.address), url);
        std::string want = c.url;
        String address(c.address);
        EXPECT_EQ(web, !want.empty()) << address.ToUTF8();
        if (web) {
            EXPECT_EQ(url.ToUTF8(), want) << address.ToUTF8();
        }
    }
}

}  // namespace
