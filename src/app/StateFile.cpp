#include "app/StateFile.h"

#include <map>

#include "app/Autosave.h"
#include "platform/Utf8.h"
#include "stream/Bank.h"
#include "stream/FileReplace.h"
#include "stream/FileSystem.h"

const char kStateFileHeader[] = "Vostle Watch page states 1";

namespace {

// Far more than the states of any list the program can show take.
constexpr int64_t kMostBytes = 64 << 20;
constexpr size_t kLinesPerRecord = 4;

void AppendLine(std::string& out, const String& text) {
    out += platform::Utf16ToUtf8(WithoutLineBreaks(text).View());
    out += "\r\n";
}

// The lines that end with LF, CR dropped; a last line without LF was cut.
std::vector<std::string> WholeLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t lf; (lf = bytes.find('\n', from)) != std::string::npos; from = lf + 1) {
        std::string line = bytes.substr(from, lf - from);
        std::erase(line, '\r');
        lines.push_back(std::move(line));
    }
    return lines;
}

// Digits only, at most 18 of them: no sign, no blanks, no overflow.
bool ParseTime(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ParseNumbers(const std::string& line, PageState& state) {
    size_t a = line.find(' '), b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos) return false;
    std::string mark = line.substr(0, a);
    if (mark != "0" && mark != "1") return false;
    state.newActivity = mark == "1";
    return ParseTime(line.substr(a + 1, b - a - 1), state.lastCheck) &&
           ParseTime(line.substr(b + 1), state.failingSince);
}

String FromLine(const std::string& line) { return String(platform::Utf8ToUtf16(line)); }

}  // namespace

std::string EncodePageStates(const std::vector<PageStateRecord>& records) {
    std::string out = std::string(kStateFileHeader) + "\r\n";
    for (const PageStateRecord& r : records) {
        AppendLine(out, r.url);
        AppendLine(out, r.name);
        out += std::string(r.state.newActivity ? "1 " : "0 ") + std::to_string(r.state.lastCheck) + " " +
               std::to_string(r.state.failingSince) + "\r\n";
        AppendLine(out, r.state.Failing() ? r.state.reason : String());
    }
    return out;
}

std::vector<PageStateRecord> DecodePageStates(const std::string& bytes) {
    std::vector<std::string> lines = WholeLines(bytes);
    std::vector<PageStateRecord> records;
    if (lines.empty() || lines[0] != kStateFileHeader) return records;
    for (size_t at = 1; at + kLinesPerRecord <= lines.size(); at += kLinesPerRecord) {
        PageStateRecord r;
        if (!ParseNumbers(lines[at + 2], r.state)) continue;
        r.url = FromLine(lines[at]);
        r.name = FromLine(lines[at + 1]);
        if (r.state.Failing()) r.state.reason = FromLine(lines[at + 3]);
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<PageStateRecord> ReadStateFile(const String& path) {
    int64_t size = PathByteSize(path);
    if (size < 0 || size > kMostBytes) return {};
    std::string bytes;
    if (ReadWholeFile(path, bytes) != WholeRead::Read) return {};
    return DecodePageStates(bytes);
}

ReplaceResult WriteStateFile(const String& path, const std::vector<PageStateRecord>& records) {
    return ReplaceWholeFile(path, EncodePageStates(records));
}

std::vector<PageState> MatchStates(const std::vector<std::pair<String, String>>& pages,
                                   const std::vector<PageStateRecord>& records) {
    // For each address and name, its states in file order, taken from the front.
    std::map<std::pair<std::u16string, std::u16string>, std::vector<const PageState*>> byKey;
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        byKey[{it->url.ToWide(), it->name.ToWide()}].push_back(&it->state);
    std::vector<PageState> states;
    for (const auto& [url, name] : pages) {
        auto found = byKey.find({url.ToWide(), name.ToWide()});
        states.emplace_back();
        if (found == byKey.end() || found->second.empty()) continue;
        states.back() = *found->second.back();
        found->second.pop_back();
    }
    return states;
}
