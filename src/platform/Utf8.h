// Standard UTF-8 <-> UTF-16 conversion for file names and text from the
// operating system. Malformed input becomes U+FFFD instead of failing.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view bytes);
// True when every byte belongs to a well-formed sequence.
bool IsUtf8(std::string_view bytes);

}  // namespace platform
