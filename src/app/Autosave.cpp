#include "app/Autosave.h"

#include "stream/Bank.h"
#include "stream/FileReplace.h"
#include "stream/FileSystem.h"

namespace {

const char kMark[] = "\xEF\xBB\xBF";

bool EndsLine(char16_t c) { return c == u'\r' || c == u'\n' || c == 0; }

// Surrogate pairs as one four-byte sequence, as every UTF-8 reader expects
// (String::ToUTF8 writes each unit alone); a lone surrogate has no UTF-8
// form and becomes U+FFFD.
void AppendUtf8(std::string& out, const String& text) {
    for (int32_t i = 0; i < text.Length(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.Length() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>(((0xFF00 >> (extra + 1)) & 0xFF) | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 63));
    }
}

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
    bool utf8 = bytes.compare(0, 3, kMark) == 0;
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
        if (narrow) out += line.ToBytes8();
        else AppendUtf8(out, line);
        out += "\r\n";
    }
    return out;
}

WatchFileState ReadWatchFile(const String& path, std::vector<StoredPage>& pages) {
    pages.clear();
    FinishCutOffReplacement(path);
    Ref<TBank> bank;
    try {
        bank = LoadBank(path);
    } catch (const TStreamReadException&) {
        // Cut short while it was read: a part of a list is not the list.
        return WatchFileState::Unreadable;
    }
    if (!bank) {
        bool somethingThere = PathKind(path) != 0 || PathKind(ReplacementName(path)) != 0;
        return somethingThere ? WatchFileState::Unreadable : WatchFileState::Missing;
    }
    pages = DecodeWatchList(std::string(reinterpret_cast<const char*>(BankBuf(bank)), BankSize(bank)));
    return WatchFileState::Read;
}

bool WriteWatchFile(const String& path, const std::vector<StoredPage>& pages) {
    return ReplaceWholeFile(path, EncodeWatchList(pages));
}
