// Immutable UTF-16 text. StringObject is the counted object (so strings can
// sit in lists, be compared by text and be raised); String is the cheap value
// handle everybody uses. A String is never the null object: the absence of
// text is the one shared empty string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Object.h"

class StringObject final : public Object {
public:
    int32_t Length() const noexcept { return _length; }
    const char16_t* Units() const noexcept { return reinterpret_cast<const char16_t*>(this + 1); }
    char16_t* Units() noexcept { return reinterpret_cast<char16_t*>(this + 1); }

    String ToString() const override;
    // Text order for strings; other objects fall back to address order.
    int32_t Compare(const Object* other) const override;

    // The longest string: its block, header included, stays below 2^31
    // bytes, so no size computed from a length can overflow on any build.
    static constexpr int32_t kMaxLength = (0x7FFFFFFF - 64) / 2;

    // Units are stored right after the object, so one allocation per string.
    // A length beyond kMaxLength raises "String too long".
    static StringObject* Allocate(int32_t length);
    static void operator delete(void* p);

    static StringObject& Empty() noexcept;

private:
    explicit StringObject(int32_t length) noexcept : _length(length) {}
    constexpr StringObject(Immortal tag, int32_t refs) noexcept : Object(tag, refs), _length(0) {}
    friend struct EmptyStringStorage;

    int32_t _length;
};

class String {
public:
    String() noexcept : _s(&StringObject::Empty()) { _s->AddRef(); }
    // Latin-1 text, one code unit per byte (literals in the code are ASCII).
    String(const char* text);
    String(const char16_t* text);
    String(std::u16string_view text);
    String(const std::u16string& text) : String(std::u16string_view(text)) {}
    explicit String(Ref<StringObject> object) noexcept;
    String(const String& o) noexcept : _s(o._s) { _s->AddRef(); }
    String(String&& o) noexcept : String() { std::swap(_s, o._s); }
    ~String() { _s->Release(); }
    String& operator=(const String& o) noexcept {
        String(o).Swap(*this);
        return *this;
    }
    String& operator=(String&& o) noexcept {
        Swap(o);
        return *this;
    }
    void Swap(String& o) noexcept { std::swap(_s, o._s); }

    int32_t Length() const noexcept { return _s->Length(); }
    bool IsEmpty() const noexcept { return _s->Length() == 0; }
    const char16_t* Units() const noexcept { return _s->Units(); }
    char16_t operator[](int32_t i) const noexcept { return _s->Units()[i]; }
    std::u16string_view View() const noexcept { return {Units(), static_cast<size_t>(Length())}; }
    // Same instance (not just equal text).
    bool SameAs(const String& o) const noexcept { return _s == o._s; }

    // As a counted object, for lists and other object containers.
    operator Ref<Object>() const noexcept { return Ref<Object>(_s); }
    Ref<StringObject> AsObject() const noexcept { return Ref<StringObject>(_s); }
    // Checked cast back from an object: false when it is not a string.
    static bool FromObject(const Ref<Object>& object, String& out);

    String Concat(const String& other) const;
    int32_t Compare(const String& other) const noexcept;
    String ToString() const { return *this; }
    int32_t IndexOf(const String& text, int32_t start = 0) const noexcept;
    int32_t LastIndexOf(const String& text, int32_t start = 0) const noexcept;
    bool HasPrefix(const String& text) const noexcept;
    bool HasSuffix(const String& text) const noexcept;
    bool ContainsText(const String& text) const noexcept { return IndexOf(text, 0) != -1; }
    String ReplaceAll(const String& search, const String& replacement) const;
    String TrimBlanks() const;
    String Lowercase() const;
    String Uppercase() const;
    String Slice(int32_t start, int32_t end) const;
    int32_t ParseInt() const noexcept;
    static String FormatInt(int32_t value);

    // One byte per code unit (its low 8 bits).
    std::string ToBytes8() const;
    static String FromBytes8(const void* bytes, int32_t count);
    static String FromCString8(const char* text);
    std::u16string ToWide() const { return std::u16string(View()); }
    static String FromWide(const char16_t* text);
    static String FromCodeUnits(const char16_t* units, int32_t count);
    // Each code unit encoded alone (surrogates one by one).
    std::string ToUTF8() const;
    // Standard UTF-8 decoding; malformed bytes become U+FFFD.
    static String FromUTF8(std::string_view bytes);
    std::vector<String> SplitText(const String& separator) const;
    static String Join(const std::vector<String>& pieces, const String& separator);

    // Builds a string of `length` units in place; `fill` writes the units.
    template <class Fill>
    static String Build(int32_t length, Fill&& fill) {
        if (length <= 0) return String();
        StringObject* s = StringObject::Allocate(length);
        fill(s->Units());
        return String(s);
    }

private:
    explicit String(StringObject* adopted) noexcept : _s(adopted) { _s->AddRef(); }
    StringObject* _s;
};

inline bool operator==(const String& a, const String& b) noexcept { return a.Compare(b) == 0; }
inline bool operator!=(const String& a, const String& b) noexcept { return a.Compare(b) != 0; }
inline bool operator<(const String& a, const String& b) noexcept { return a.Compare(b) < 0; }
inline String operator+(const String& a, const String& b) { return a.Concat(b); }
inline String operator+(const String& a, const char* b) { return a.Concat(String(b)); }
inline String operator+(const char* a, const String& b) { return String(a).Concat(b); }

// Classic text functions: positions are 1-based.
int32_t FindText(const String& text, const String& search, int32_t start = 1);
String ReplaceText(const String& text, const String& search, const String& replacement);
String MidText(const String& text, int32_t position, int32_t count = -1);
String LeftText(const String& text, int32_t n);
String RightText(const String& text, int32_t n);
String LeftJustify(const String& text, int32_t n);
String RightJustify(const String& text, int32_t n);
String TrimText(const String& text);
String LowerText(const String& text);
String UpperText(const String& text);
String HexText(int32_t value);
String BinText(int32_t value);
String LongHexText(int64_t value);
String LongBinText(int64_t value);
int32_t ParseInt(const String& text);
String FormatInt(int32_t value);

// Module initialiser of the classic string functions.
void InitClassicText();
