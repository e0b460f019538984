#include "stream/FileReplace.h"

#include <cstdio>
#include <random>

#include "platform/Checksum.h"
#include "stream/Bank.h"
#include "stream/FileSystem.h"

namespace {

String Hex64(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return String(text);
}

// Random per process and counted within it, so two writers (two processes,
// or one process twice) never pick one name; exclusive creation makes sure.
String WriterTag() {
    static uint64_t g_next = (static_cast<uint64_t>(std::random_device()()) << 32) ^ std::random_device()();
    return Hex64(g_next++);
}

struct Leftover {
    String path;
    bool whole = false;
};

bool IsHex64(const String& text) {
    if (text.Length() != 16) return false;
    for (char16_t c : text.View())
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    return true;
}

bool WholeReplacement(const String& path, const String& checksum) {
    std::string bytes;
    return ReadWholeFile(path, bytes) == WholeRead::Read && Hex64(platform::Fnv1a64(bytes)) == checksum;
}

// The replacement files of `path` in its folder: this scheme's, and the one
// name an older version wrote, which can never be shown whole.
std::vector<Leftover> FindLeftovers(const String& path) {
    String name = FileNamePart(path);
    String folder = path.Slice(0, path.Length() - name.Length());
    std::vector<Leftover> found;
    for (const String& entry : ListDirectory(folder.IsEmpty() ? String(".") : folder, 1)) {
        if (!entry.HasPrefix(name + ".") || !entry.HasSuffix(".new")) continue;
        String middle = entry.Slice(name.Length() + 1, entry.Length() - 4);
        bool ours = middle.Length() == 33 && middle[16] == u'.' && IsHex64(middle.Slice(0, 16)) &&
                    IsHex64(middle.Slice(17, 33));
        if (!ours && entry != name + ".new") continue;
        String full = folder + entry;
        found.push_back({full, ours && WholeReplacement(full, middle.Slice(17, 33))});
    }
    return found;
}

}  // namespace

ReplaceResult ReplaceWholeFile(const String& path, const std::string& bytes) {
    String temp = path + "." + WriterTag() + "." + Hex64(platform::Fnv1a64(bytes)) + ".new";
    return platform::ReplaceFileContents(temp.ToWide(), path.ToWide(), bytes);
}

bool CutOffReplacementsThere(const String& path) { return !FindLeftovers(NormalisePath(path)).empty(); }

CutOffReplacements SettleCutOffReplacements(const String& path) {
    String target = NormalisePath(path);
    CutOffReplacements result;
    std::vector<Leftover> leftovers = FindLeftovers(target);
    const Leftover* newest = nullptr;
    bool missing = PathKind(target) == 0;
    for (const Leftover& l : leftovers) {
        if (missing && !l.whole) result.kept.push_back(l.path);
        if (l.whole && (!newest || PathModifiedTime(l.path) > PathModifiedTime(newest->path))) newest = &l;
    }
    if (missing && newest) {
        result.restored = platform::MoveReplacementIntoPlace(newest->path.ToWide(), target.ToWide());
        result.wholeLeft = !result.restored;
    }
    if (PathKind(target) == 0) return result;
    for (const Leftover& l : leftovers)
        if (l.whole && !(result.restored && &l == newest)) RemoveFile(l.path);
    return result;
}

WholeRead ReadWholeFile(const String& path, std::string& bytes) {
    bytes.clear();
    Ref<TBank> bank;
    try {
        bank = LoadBank(path);
    } catch (const TStreamReadException&) {
        return WholeRead::Cut;
    }
    if (!bank) return WholeRead::Missing;
    bytes.assign(reinterpret_cast<const char*>(BankBuf(bank)), static_cast<size_t>(BankSize(bank)));
    return WholeRead::Read;
}
