// Path arithmetic on arbitrary UTF-16 text.
#include "FuzzCommon.h"

namespace {

bool HasDotSegment(const String& p) {
    std::u16string_view v = p.View();
    size_t start = 0;
    // Skip the root: "//server/" may legitimately be followed by anything.
    String root = PathRoot(p);
    start = static_cast<size_t>(root.Length());
    while (start <= v.size()) {
        size_t end = v.find(u'/', start);
        std::u16string_view part = v.substr(start, end == std::u16string_view::npos ? v.npos : end - start);
        if (part == u"." || part == u"..") return true;
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInit();
    // Mostly path-like characters, so the interesting rules get exercised.
    static const char16_t alphabet[] = u"/\\:.aC/\\:..b";
    std::u16string units;
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        if (b < 0xC0) units.push_back(alphabet[b % 12]);
        else if (i + 1 < size) units.push_back(static_cast<char16_t>(b << 8 | data[++i]));
    }
    String path(units);

    String n0 = NormalisePath(path, 0);
    String n1 = NormalisePath(path, 1);
    FUZZ_CHECK(n0.IndexOf("\\") < 0);
    FUZZ_CHECK(NormalisePath(n0, 0) == n0);
    FUZZ_CHECK(NormalisePath(n1, 0) == n1);  // isDir drops only one final "/"
    PathRoot(path);
    IsPathRoot(path);
    HasPathRoot(path);
    DirectoryPart(path);
    FileNamePart(path);
    ExtensionPart(path);
    WithoutExtension(path);
    BareFileName(path);
    WithoutTrailingSlash(path);

    for (const char* wd : {"C:/w", "/home/u", "//srv/share", "C:/"}) {
        String a = AbsolutePathAt(path, wd);
        FUZZ_CHECK(HasPathRoot(a) == 1);
        FUZZ_CHECK(!HasDotSegment(a));
        FUZZ_CHECK(AbsolutePathAt(a, wd) == a);
    }
    return 0;
}
