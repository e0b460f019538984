#include "runtime/String.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "platform/Utf8.h"
#include "runtime/CaseTables.h"
#include "runtime/Errors.h"

// The empty string lives in static storage, is constant-initialised (so it is
// there before any other static constructor runs) and is never destroyed.
struct EmptyStringStorage {
    union {
        StringObject object;
    };
    constexpr EmptyStringStorage() : object(Object::Immortal{}, 0x40000000) {}
    ~EmptyStringStorage() {}
};
static constinit EmptyStringStorage g_emptyString;

StringObject& StringObject::Empty() noexcept { return g_emptyString.object; }

// Short strings are made and dropped by the hundred thousand when a page is
// read line by line, and the Windows heap is slow at that. Their blocks are
// kept in free lists by size class for reuse. Each block starts with a
// header giving its class, so freeing needs nothing from the dead object.
namespace {

constexpr int32_t kClassUnits = 16;     // class k holds up to k * 16 units
constexpr int32_t kPooledClasses = 17;  // lengths up to 256 units
#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kPoolLimit = 0;  // let the sanitizer see every use after free
#else
constexpr int32_t kPoolLimit = 256;  // blocks kept per class
#endif
constexpr size_t kHeader = alignof(std::max_align_t);

struct FreeBlock {
    FreeBlock* next;
};

// Strings, like every framework object, are made and dropped on the main
// thread only (their reference counts are not atomic either), so the pool
// takes no lock.
struct StringPool {
    FreeBlock* free[kPooledClasses] = {};
    int32_t count[kPooledClasses] = {};
};

StringPool g_stringPool;

size_t BlockSize(int32_t sizeClass, int32_t length) {
    int32_t units = sizeClass < kPooledClasses ? sizeClass * kClassUnits : length;
    return kHeader + sizeof(StringObject) + sizeof(char16_t) * static_cast<size_t>(units);
}

}  // namespace

StringObject* StringObject::Allocate(int32_t length) {
    // Checked first: the class arithmetic below must not overflow.
    if (length < 0 || length > kMaxLength) RaiseRuntimeError("String too long");
    int32_t sizeClass = (length + kClassUnits - 1) / kClassUnits;
    if (sizeClass >= kPooledClasses) sizeClass = kPooledClasses;
    void* block = nullptr;
    if (sizeClass < kPooledClasses) {
        if (FreeBlock* b = g_stringPool.free[sizeClass]) {
            g_stringPool.free[sizeClass] = b->next;
            --g_stringPool.count[sizeClass];
            block = b;
        }
    }
    if (!block) block = ::operator new(BlockSize(sizeClass, length));
    *static_cast<int32_t*>(block) = sizeClass;
    return new (static_cast<char*>(block) + kHeader) StringObject(length);
}

void StringObject::operator delete(void* p) {
    void* block = static_cast<char*>(p) - kHeader;
    int32_t sizeClass = *static_cast<int32_t*>(block);
    if (sizeClass < kPooledClasses && g_stringPool.count[sizeClass] < kPoolLimit) {
        auto* b = static_cast<FreeBlock*>(block);
        b->next = g_stringPool.free[sizeClass];
        g_stringPool.free[sizeClass] = b;
        ++g_stringPool.count[sizeClass];
        return;
    }
    ::operator delete(block);
}

String StringObject::ToString() const { return String(Ref<StringObject>(const_cast<StringObject*>(this))); }

int32_t StringObject::Compare(const Object* other) const {
    if (auto* s = dynamic_cast<const StringObject*>(other)) {
        return String(Ref<StringObject>(const_cast<StringObject*>(this)))
            .Compare(String(Ref<StringObject>(const_cast<StringObject*>(s))));
    }
    return Object::Compare(other);
}

namespace {

// A length computed in 64 bits, refused before anything is allocated when it
// is beyond the longest string.
int32_t CheckedLength(int64_t length) {
    if (length > StringObject::kMaxLength) RaiseRuntimeError("String too long");
    return static_cast<int32_t>(length);
}

int32_t CountUnits(const char16_t* text) {
    int64_t n = 0;
    while (text[n]) ++n;
    return CheckedLength(n);
}

bool UnitsEqual(const char16_t* a, const char16_t* b, int32_t n) {
    return n == 0 || std::memcmp(a, b, sizeof(char16_t) * static_cast<size_t>(n)) == 0;
}

// Binary search in a table of (from, to) pairs sorted by `from`.
char16_t MapCase(const CasePair* table, size_t count, char16_t unit) {
    size_t lo = 0, hi = count;
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (table[mid].from == unit) return table[mid].to;
        if (table[mid].from < unit) lo = mid + 1; else hi = mid;
    }
    return unit;
}

}  // namespace

String::String(const char* text) : String() {
    if (text) *this = FromBytes8(text, CheckedLength(static_cast<int64_t>(std::strlen(text))));
}

String::String(const char16_t* text) : String() {
    if (text) *this = FromCodeUnits(text, CountUnits(text));
}

String::String(std::u16string_view text) : String() {
    *this = FromCodeUnits(text.data(), CheckedLength(static_cast<int64_t>(text.size())));
}

String::String(Ref<StringObject> object) noexcept : _s(object ? object.Get() : &StringObject::Empty()) {
    _s->AddRef();
}

bool String::FromObject(const Ref<Object>& object, String& out) {
    Ref<StringObject> s = Cast<StringObject>(object);
    if (!s) return false;
    out = String(s);
    return true;
}

String String::Concat(const String& other) const {
    if (other.IsEmpty()) return *this;
    if (IsEmpty()) return other;
    int32_t a = Length(), b = other.Length();
    return Build(CheckedLength(int64_t{a} + b), [&](char16_t* out) {
        std::memcpy(out, Units(), sizeof(char16_t) * static_cast<size_t>(a));
        std::memcpy(out + a, other.Units(), sizeof(char16_t) * static_cast<size_t>(b));
    });
}

int32_t String::Compare(const String& other) const noexcept {
    int32_t n = Length() < other.Length() ? Length() : other.Length();
    const char16_t* a = Units();
    const char16_t* b = other.Units();
    for (int32_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return int32_t{a[i]} - int32_t{b[i]};
    }
    return Length() - other.Length();
}

int32_t String::IndexOf(const String& text, int32_t start) const noexcept {
    if (start < 0) start = 0;
    int32_t n = text.Length();
    if (n == 0) return start <= Length() ? start : -1;
    int64_t last = int64_t{Length()} - n;
    const char16_t* units = Units();
    const char16_t* t = text.Units();
    for (int64_t p = start; p <= last; ++p) {
        if (units[p] == t[0] && UnitsEqual(units + p, t, n)) return static_cast<int32_t>(p);
    }
    return -1;
}

int32_t String::LastIndexOf(const String& text, int32_t start) const noexcept {
    int64_t p = int64_t{Length()} - start;
    int64_t limit = int64_t{Length()} - text.Length();
    if (p > limit) p = limit;
    for (; p >= 0; --p) {
        if (UnitsEqual(Units() + p, text.Units(), text.Length())) return static_cast<int32_t>(p);
    }
    return -1;
}

bool String::HasPrefix(const String& text) const noexcept {
    return text.Length() <= Length() && UnitsEqual(Units(), text.Units(), text.Length());
}

bool String::HasSuffix(const String& text) const noexcept {
    return text.Length() <= Length() && UnitsEqual(Units() + Length() - text.Length(), text.Units(), text.Length());
}

String String::ReplaceAll(const String& search, const String& replacement) const {
    int32_t n = search.Length();
    if (n == 0) return *this;
    int64_t count = 0;
    for (int32_t p = IndexOf(search, 0); p != -1; p = IndexOf(search, p + n)) ++count;
    if (count == 0) return *this;
    int64_t length = int64_t{Length()} + count * (int64_t{replacement.Length()} - n);
    return Build(CheckedLength(length), [&](char16_t* out) {
        int32_t from = 0;
        for (int32_t p = IndexOf(search, 0); p != -1; p = IndexOf(search, p + n)) {
            std::memcpy(out, Units() + from, sizeof(char16_t) * static_cast<size_t>(p - from));
            out += p - from;
            std::memcpy(out, replacement.Units(), sizeof(char16_t) * static_cast<size_t>(replacement.Length()));
            out += replacement.Length();
            from = p + n;
        }
        std::memcpy(out, Units() + from, sizeof(char16_t) * static_cast<size_t>(Length() - from));
    });
}

String String::TrimBlanks() const {
    int32_t begin = 0, end = Length();
    while (begin < end && Units()[begin] < 33) ++begin;
    while (end > begin && Units()[end - 1] < 33) --end;
    if (begin == 0 && end == Length()) return *this;
    return Slice(begin, end);
}

String String::Lowercase() const {
    return Build(Length(), [&](char16_t* out) {
        for (int32_t i = 0; i < Length(); ++i) {
            char16_t c = Units()[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c + 32);
            else if (c >= 192) c = MapCase(kLowerCasePairs, kLowerCasePairCount, c);
            out[i] = c;
        }
    });
}

String String::Uppercase() const {
    return Build(Length(), [&](char16_t* out) {
        for (int32_t i = 0; i < Length(); ++i) {
            char16_t c = Units()[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 32);
            else if (c >= 181) c = MapCase(kUpperCasePairs, kUpperCasePairCount, c);
            out[i] = c;
        }
    });
}

String String::Slice(int32_t start, int32_t end) const {
    if (end <= start) return String();
    if (start == 0 && end == Length()) return *this;
    return Build(CheckedLength(int64_t{end} - start), [&](char16_t* out) {
        for (int64_t k = 0, i = start; i < end; ++k, ++i) {
            out[k] = (i >= 0 && i < Length()) ? Units()[i] : u' ';
        }
    });
}

int32_t String::ParseInt() const noexcept {
    const char16_t* p = Units();
    const char16_t* end = p + Length();
    while (p < end && ((*p >= 9 && *p <= 13) || *p == 32)) ++p;
    if (p == end) return 0;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p == end) return 0;
    uint32_t base = 10;
    if (*p == '%') { base = 2; ++p; }
    else if (*p == '$') { base = 16; ++p; }
    uint32_t value = 0;  // unsigned so that overflow wraps without undefined behaviour
    for (; p < end; ++p) {
        uint32_t digit;
        char16_t c = *p;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else break;
        if (digit >= base) break;
        value = value * base + digit;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

String String::FormatInt(int32_t value) {
    char buffer[16];
    char* p = buffer + sizeof buffer;
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) *--p = '-';
    return FromBytes8(p, static_cast<int32_t>(buffer + sizeof buffer - p));
}

std::string String::ToBytes8() const {
    std::string out(static_cast<size_t>(Length()), '\0');
    for (int32_t i = 0; i < Length(); ++i) out[i] = static_cast<char>(Units()[i] & 0xFF);
    return out;
}

String String::FromBytes8(const void* bytes, int32_t count) {
    if (!bytes) return String();
    const auto* b = static_cast<const unsigned char*>(bytes);
    return Build(count, [&](char16_t* out) {
        for (int32_t i = 0; i < count; ++i) out[i] = b[i];
    });
}

String String::FromCString8(const char* text) { return text ? String(text) : String(); }

String String::FromWide(const char16_t* text) { return text ? String(text) : String(); }

String String::FromCodeUnits(const char16_t* units, int32_t count) {
    return Build(count, [&](char16_t* out) {
        std::memcpy(out, units, sizeof(char16_t) * static_cast<size_t>(count));
    });
}

std::string String::ToUTF8() const {
    std::string out;
    out.reserve(static_cast<size_t>(Length()));
    for (int32_t i = 0; i < Length(); ++i) {
        uint32_t u = Units()[i];
        if (u < 128) {
            out += static_cast<char>(u);
        } else if (u < 2048) {
            out += static_cast<char>(0xC0 | u >> 6);
            out += static_cast<char>(0x80 | (u & 63));
        } else {
            out += static_cast<char>(0xE0 | u >> 12);
            out += static_cast<char>(0x80 | ((u >> 6) & 63));
            out += static_cast<char>(0x80 | (u & 63));
        }
    }
    return out;
}

String String::FromUTF8(std::string_view bytes) { return String(platform::Utf8ToUtf16(bytes)); }

std::vector<String> String::SplitText(const String& separator) const {
    std::vector<String> pieces;
    if (separator.IsEmpty()) {
        int32_t i = 0;
        while (i < Length()) {
            while (i < Length() && Units()[i] <= 32) ++i;
            int32_t begin = i;
            while (i < Length() && Units()[i] > 32) ++i;
            if (i > begin) pieces.push_back(Slice(begin, i));
        }
        return pieces;
    }
    int32_t from = 0;
    for (int32_t p = IndexOf(separator, 0); p != -1; p = IndexOf(separator, from)) {
        pieces.push_back(Slice(from, p));
        from = p + separator.Length();
    }
    pieces.push_back(Slice(from, Length()));
    return pieces;
}

String String::Join(const std::vector<String>& pieces, const String& separator) {
    int64_t length = 0;
    for (size_t i = 0; i < pieces.size(); ++i) length += int64_t{pieces[i].Length()} + (i ? separator.Length() : 0);
    return Build(CheckedLength(length), [&](char16_t* out) {
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i) {
                std::memcpy(out, separator.Units(), sizeof(char16_t) * static_cast<size_t>(separator.Length()));
                out += separator.Length();
            }
            std::memcpy(out, pieces[i].Units(), sizeof(char16_t) * static_cast<size_t>(pieces[i].Length()));
            out += pieces[i].Length();
        }
    });
}
