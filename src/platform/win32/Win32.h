// The one way into the Win32 headers: Winsock before <windows.h> (which
// would otherwise pull in the old socket header), the macros that clash with
// the framework's own names undone, conversions between the framework's
// UTF-16 text and the system's wide characters, and owners for GDI handles.
// Header only, so that every Windows-only folder can use it.
#pragma once

#include <winsock2.h>
#include <windows.h>

// The gadget operations of these names are ours, not the window property calls.
#undef SetProp
#undef GetProp

#include <cwchar>
#include <string>
#include <string_view>

// wchar_t is 16 bits on Windows: the same code units as char16_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 code units");

// Zero-terminated wide text of UTF-16 units, for the system's calls.
inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// The system's wide text as UTF-16 units: `count` units, or up to the
// terminator. The view points into the system's buffer.
inline std::u16string_view Utf16(const wchar_t* text, size_t count) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(text), count);
}
inline std::u16string_view Utf16(const wchar_t* text) { return text ? Utf16(text, std::wcslen(text)) : std::u16string_view(); }

// Owns one GDI object (brush, bitmap, font, ...) and deletes it when replaced
// or destroyed.
template <class Handle>
class GdiOwner {
public:
    GdiOwner() = default;
    explicit GdiOwner(Handle handle) : _handle(handle) {}
    ~GdiOwner() { Reset(); }
    GdiOwner(const GdiOwner&) = delete;
    GdiOwner& operator=(const GdiOwner&) = delete;

    void Reset(Handle handle = nullptr) {
        if (_handle) DeleteObject(_handle);
        _handle = handle;
    }
    Handle Get() const { return _handle; }
    explicit operator bool() const { return _handle != nullptr; }

private:
    Handle _handle = nullptr;
};
