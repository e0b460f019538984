// The classic text functions: 1-based positions, thin over String's methods.
#include "runtime/Program.h"
#include "runtime/String.h"

int32_t FindText(const String& text, const String& search, int32_t start) {
    return text.IndexOf(search, start - 1) + 1;
}

String ReplaceText(const String& text, const String& search, const String& replacement) {
    return text.ReplaceAll(search, replacement);
}

String MidText(const String& text, int32_t position, int32_t count) {
    int32_t length = text.Length();
    if (position > length) return String();
    int64_t s = int64_t{position} - 1;
    if (count >= 0) {
        int64_t n = count;
        if (s < 0) {
            n -= -s;
            s = 0;
        }
        int64_t end = s + n;
        if (end > length) end = length;
        return text.Slice(static_cast<int32_t>(s), static_cast<int32_t>(end));
    }
    if (s < INT32_MIN) s = INT32_MIN;  // the padding could not be built anyway
    return text.Slice(static_cast<int32_t>(s), length);
}

String LeftText(const String& text, int32_t n) {
    if (n <= 0) return String();
    return n >= text.Length() ? text : text.Slice(0, n);
}

String RightText(const String& text, int32_t n) {
    if (n <= 0) return String();
    return n >= text.Length() ? text : text.Slice(text.Length() - n, text.Length());
}

String LeftJustify(const String& text, int32_t n) { return text.Slice(0, n); }

String RightJustify(const String& text, int32_t n) {
    // Slice(length - n, length) is empty for n <= 0; length - n may not fit.
    if (n <= 0) return String();
    return text.Slice(text.Length() - n, text.Length());
}

String TrimText(const String& text) { return text.TrimBlanks(); }
String LowerText(const String& text) { return text.Lowercase(); }
String UpperText(const String& text) { return text.Uppercase(); }
int32_t ParseInt(const String& text) { return text.ParseInt(); }
String FormatInt(int32_t value) { return String::FormatInt(value); }

namespace {
String Digits(uint64_t value, int bitsPerDigit, int count) {
    static const char kDigits[] = "0123456789ABCDEF";
    return String::Build(count, [&](char16_t* out) {
        for (int i = count - 1; i >= 0; --i) {
            out[i] = static_cast<char16_t>(kDigits[value & ((1u << bitsPerDigit) - 1)]);
            value >>= bitsPerDigit;
        }
    });
}
}  // namespace

String HexText(int32_t value) { return Digits(static_cast<uint32_t>(value), 4, 8); }
String BinText(int32_t value) { return Digits(static_cast<uint32_t>(value), 1, 32); }
String LongHexText(int64_t value) { return Digits(static_cast<uint64_t>(value), 4, 16); }
String LongBinText(int64_t value) { return Digits(static_cast<uint64_t>(value), 1, 64); }

void InitClassicText() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    RecordModuleInit("classic string functions");
}
