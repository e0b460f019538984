#include "app/Autosave.h"

#include "platform/Utf8.h"
#include "stream/Bank.h"
#include "stream/FileSystem.h"

namespace {

const char kMark[] = "\xEF\xBB\xBF";

bool EndsLine(char16_t c) { return c == u'\r' || c == u'\n' || c == 0; }

}  // namespace

String WithoutLineBreaks(const String& text) {
    bool clean = true;
    for (char16_t c : text.View()) clean = clean && !EndsLine(c);
    if (clean) return text;
    return String::Build(text.Length(), [&](char16_t* out) {
        for (int32_t i = 0; i < text.Length(); ++i) out[i] = EndsLine(text[i]) ? u' ' : text[i];
    });
}

std::vector<StoredPage> DecodeWatchList(const std::string& bytes) {
    // The mark alone does not make a file UTF-8: an 8-bit list whose first
    // address began with the characters of those three bytes has it too, and
    // must not lose every other 8-bit character to a decoding it never had.
    bool utf8 = bytes.compare(0, 3, kMark) == 0 && platform::IsUtf8(std::string_view(bytes).substr(3));
    size_t at = utf8 ? 3 : 0;
    // Lines are cut on bytes before any decoding, so no character can end one.
    auto nextLine = [&] {
        std::string line;
        while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != 0) {
            if (bytes[at] != '\r') line += bytes[at];
            ++at;
        }
        if (at < bytes.size()) ++at;
        return utf8 ? String::FromUTF8(line) : String::FromBytes8(line.data(), static_cast<int32_t>(line.size()));
    };
    std::vector<StoredPage> pages;
    while (at < bytes.size()) {
        StoredPage page;
        page.url = nextLine();
        page.name = nextLine();
        page.length = ParseInt(nextLine());
        pages.push_back(page);
    }
    return pages;
}

std::string EncodeWatchList(const std::vector<StoredPage>& pages) {
    std::vector<String> lines;
    bool narrow = true;
    for (const StoredPage& page : pages) {
        for (const String& line : {WithoutLineBreaks(page.url), WithoutLineBreaks(page.name), FormatInt(page.length)}) {
            for (char16_t c : line.View()) narrow = narrow && c <= 0xFF;
            lines.push_back(line);
        }
    }
    // 8-bit text that happens to begin like the mark would read back as UTF-8.
    if (narrow && !lines.empty() && lines[0].ToBytes8().compare(0, 3, kMark) == 0) narrow = false;
    std::string out = narrow ? "" : kMark;
    for (const String& line : lines) {
        // Surrogate pairs as one four-byte sequence, as every UTF-8 reader
        // expects (String::ToUTF8 writes each unit alone).
        out += narrow ? line.ToBytes8() : platform::Utf16ToUtf8(line.View());
        out += "\r\n";
    }
    return out;
}

WatchFileState ReadWatchFile(const String& path, std::vector<StoredPage>& pages, std::vector<String>* kept) {
    pages.clear();
    CutOffReplacements leftovers = SettleCutOffReplacements(path);
    if (kept) *kept = leftovers.kept;
    if (leftovers.wholeLeft) return WatchFileState::Unreadable;
    std::string bytes;
    switch (ReadWholeFile(path, bytes)) {
    case WholeRead::Cut:
        // Cut short while it was read: a part of a list is not the list.
        return WatchFileState::Unreadable;
    case WholeRead::Missing:
        return PathKind(path) != 0 ? WatchFileState::Unreadable : WatchFileState::Missing;
    case WholeRead::Read:
        break;
    }
    pages = DecodeWatchList(bytes);
    return WatchFileState::Read;
}

ReplaceResult WriteWatchFile(const String& path, const std::vector<StoredPage>& pages) {
    return ReplaceWholeFile(path, EncodeWatchList(pages));
}
