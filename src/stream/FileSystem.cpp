#include "stream/FileSystem.h"

#include <limits>
#include <string>

#include "platform/Files.h"
#include "platform/Platform.h"
#include "runtime/Program.h"
#include "runtime/ScopeExit.h"
#include "stream/Bank.h"
#include "stream/CStream.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"

namespace {

int32_t LastIndex(const String& text, char16_t c) {
    size_t i = text.View().rfind(c);
    return i == std::u16string_view::npos ? -1 : static_cast<int32_t>(i);
}

int32_t FirstIndex(const String& text, char16_t c, int32_t from = 0) {
    size_t i = text.View().find(c, static_cast<size_t>(from));
    return i == std::u16string_view::npos ? -1 : static_cast<int32_t>(i);
}

bool EndsWithSlash(const String& text) { return !text.IsEmpty() && text[text.Length() - 1] == u'/'; }

// The root rule on the text as it stands (no normalising).
bool IsRootText(const String& path) { return !path.IsEmpty() && path == PathRoot(path); }

// The name handed to the platform; false for names it must never see (an
// embedded NUL would silently shorten the name).
bool NativeName(const String& path, std::u16string& out) {
    if (path.View().find(u'\0') != std::u16string_view::npos) return false;
    out = path.ToWide();
    return true;
}

bool Examine(const String& path, platform::PathStatus& status) {
    String p = NormalisePath(path, 0);
    // "<" and ">" are redirection or wildcard characters to some platform
    // calls; such a path is never passed on.
    if (p.IsEmpty() || FirstIndex(p, u'<') >= 0 || FirstIndex(p, u'>') >= 0) return false;
    std::u16string name;
    return NativeName(p, name) && platform::StatPath(name, status);
}

// The file a stream URL ends at: wrappers such as "utf16le::" name it last.
String FileOfUrl(const String& url) {
    int32_t i = url.LastIndexOf("::");
    return NormalisePath(i < 0 ? url : url.Slice(i + 2, url.Length()), 0);
}

String Join(const String& base, const String& name) { return EndsWithSlash(base) ? base + name : base + "/" + name; }

String AbsoluteFrom(const String& path, const String& workingDirectory) {
    String wd = NormalisePath(workingDirectory, 1);
    // Backslashes count as slashes here too, so "\\x" gets the drive like "/x".
    String p = path.ReplaceAll("\\", "/");
    if (p.HasPrefix("/") && !p.HasPrefix("//")) {
        // Give a rooted path the drive of the working directory; without a
        // drive (POSIX) it is already complete.
        int32_t colon = FirstIndex(wd, u':');
        if (colon >= 0) p = wd.Slice(0, colon) + ":" + p;
    }
    p = NormalisePath(p, 0);
    String root = PathRoot(p);
    if (!root.IsEmpty()) {
        p = p.Slice(root.Length(), p.Length());
    } else {
        root = wd;
    }
    p = p + "/";
    while (!p.IsEmpty()) {
        int32_t i = FirstIndex(p, u'/');
        String part = p.Slice(0, i);
        p = p.Slice(i + 1, p.Length());
        if (part.IsEmpty() || part == ".") continue;
        if (part == "..") {
            if (IsRootText(root)) continue;
            int32_t cut = LastIndex(root, u'/');
            if (cut < 0) {
                root = String();
                continue;
            }
            // One level below a root keeps the root's "/" ("C:/a/.." is
            // "C:/", not "C:"), so the result stays absolute.
            String head = root.Slice(0, cut + 1);
            root = IsRootText(head) ? head : root.Slice(0, cut);
            continue;
        }
        if (!EndsWithSlash(root)) root = root + "/";
        root = root + part;
    }
    return root;
}

}  // namespace

// ---- path arithmetic ----

String NormalisePath(const String& path, int32_t isDir) {
    String p = path.ReplaceAll("\\", "/");
    if (!p.HasPrefix("//")) {
        int32_t colon = FirstIndex(p, u':');
        if (colon >= 0 && (colon == p.Length() - 1 || p[colon + 1] != u':')) {
            int32_t slash = FirstIndex(p, u'/');
            if (slash < 0 || slash > colon + 1) p = p.Slice(0, colon + 1) + "/" + p.Slice(colon + 1, p.Length());
        }
    } else if (FirstIndex(p, u'/', 2) < 0) {
        p = p + "/";
    }
    if (isDir && EndsWithSlash(p) && !IsRootText(p)) p = p.Slice(0, p.Length() - 1);
    return p;
}

String PathRoot(const String& path) {
    if (path.HasPrefix("//")) {
        int32_t slash = FirstIndex(path, u'/', 2);
        return slash < 0 ? String() : path.Slice(0, slash + 1);
    }
    int32_t colon = FirstIndex(path, u':');
    if (colon >= 0 && FirstIndex(path, u'/') == colon + 1) return path.Slice(0, colon + 2);
    return path.HasPrefix("/") ? String("/") : String();
}

int32_t IsPathRoot(const String& path) { return IsRootText(NormalisePath(path, 0)) ? 1 : 0; }
int32_t HasPathRoot(const String& path) { return PathRoot(NormalisePath(path, 0)).IsEmpty() ? 0 : 1; }

String WorkingDirectory() { return NormalisePath(String(platform::CurrentDirectory()), 1); }

String WorkingDrive() {
    String wd = WorkingDirectory();
    int32_t colon = FirstIndex(wd, u':');
    return colon < 0 ? String() : wd.Slice(0, colon);
}

String AbsolutePath(const String& path) { return AbsoluteFrom(path, WorkingDirectory()); }

String AbsolutePathAt(const String& path, const String& workingDirectory) {
    return AbsoluteFrom(path, workingDirectory);
}

String DirectoryPart(const String& path) {
    String p = NormalisePath(path, 0);
    if (p == "." || p == ".." || IsRootText(p)) return p;
    int32_t i = LastIndex(p, u'/');
    if (i < 0) return String();
    String head = p.Slice(0, i + 1);
    return IsRootText(head) ? head : p.Slice(0, i);
}

String FileNamePart(const String& path) {
    String p = NormalisePath(path, 0);
    int32_t i = LastIndex(p, u'/');
    return i < 0 ? p : p.Slice(i + 1, p.Length());
}

String ExtensionPart(const String& path) {
    String p = NormalisePath(path, 0);
    int32_t dot = LastIndex(p, u'.');
    if (dot < 0 || FirstIndex(p, u'/', dot) >= 0) return String();
    return p.Slice(dot + 1, p.Length());
}

String WithoutExtension(const String& path) {
    String p = NormalisePath(path, 0);
    int32_t dot = LastIndex(p, u'.');
    if (dot < 0 || FirstIndex(p, u'/', dot) >= 0) return p;
    return p.Slice(0, dot);
}

String BareFileName(const String& path) { return FileNamePart(WithoutExtension(path)); }

String WithoutTrailingSlash(const String& path) {
    String p = NormalisePath(path, 0);
    if (EndsWithSlash(p) && !IsRootText(p)) return p.Slice(0, p.Length() - 1);
    return p;
}

// ---- examining ----

int32_t PathKind(const String& path) {
    platform::PathStatus st;
    if (!Examine(path, st)) return PATH_NONE;
    return st.type == platform::kPathFile ? PATH_FILE : st.type == platform::kPathDirectory ? PATH_DIRECTORY : PATH_NONE;
}

int64_t PathByteSize(const String& path) {
    platform::PathStatus st;
    return Examine(path, st) ? st.size : -1;
}

int64_t PathModifiedTime(const String& path) {
    platform::PathStatus st;
    return Examine(path, st) ? st.modified : 0;
}

int32_t PathPermissions(const String& path) {
    platform::PathStatus st;
    return Examine(path, st) ? st.permissions : -1;
}

int32_t SetPathPermissions(const String& path, int32_t mode) {
    std::u16string name;
    if (NativeName(NormalisePath(path, 0), name)) platform::SetPermissions(name, mode);
    return 0;
}

// ---- changing ----

int32_t MakeEmptyFile(const String& path) {
    String p = NormalisePath(path, 0);
    std::u16string name;
    if (!NativeName(p, name)) return 0;
    if (PathKind(p) == PATH_FILE) platform::RemoveFile(name);
    if (Ref<TCStream> f = TCStream::OpenFile(p, 0, 1)) f->Close();
    return PathKind(p) == PATH_FILE ? 1 : 0;
}

int32_t MakeDirectory(const String& path, int32_t recurse) {
    String p = NormalisePath(path, 1);
    std::u16string name;
    if (!recurse) {
        if (NativeName(p, name)) platform::MakeDir(name);
        return PathKind(p) == PATH_DIRECTORY ? 1 : 0;
    }
    String s = AbsolutePath(p) + "/";
    String prefix;
    while (!s.IsEmpty()) {
        int32_t i = FirstIndex(s, u'/');
        prefix = prefix + s.Slice(0, i + 1);
        s = s.Slice(i + 1, s.Length());
        int32_t kind = PathKind(prefix);
        if (kind == PATH_DIRECTORY) continue;
        if (kind == PATH_FILE) return 0;
        String dir = WithoutTrailingSlash(prefix);
        if (NativeName(dir, name)) platform::MakeDir(name);
        if (PathKind(dir) != PATH_DIRECTORY) return 0;
    }
    return 1;
}

int32_t RemoveFile(const String& path) {
    String p = NormalisePath(path, 0);
    std::u16string name;
    if (NativeName(p, name)) platform::RemoveFile(name);
    return PathKind(p) == PATH_NONE ? 1 : 0;
}

int32_t MovePath(const String& from, const String& to) {
    std::u16string a, b;
    if (!NativeName(NormalisePath(from, 0), a) || !NativeName(NormalisePath(to, 0), b)) return 0;
    return platform::RenamePath(a, b) ? 1 : 0;
}

int32_t DuplicateFile(const String& from, const String& to) {
    // Opening the target would truncate the source if both are one file,
    // under whatever spelling.
    std::u16string a, b;
    if (NativeName(FileOfUrl(from), a) && NativeName(FileOfUrl(to), b) && platform::SameFile(a, b)) return 0;
    // The source first: a missing source must not cost the target its
    // contents.
    Ref<TStream> in = OpenUrlForReading(NormalisePath(from, 0));
    if (!in) return 0;
    ScopeExit closeIn([&] { in->Close(); });
    Ref<TStream> out = OpenUrlForWriting(NormalisePath(to, 0));
    if (!out) return 0;
    ScopeExit closeOut([&] { out->Close(); });  // closed before the source
    try {
        PumpStream(in, out, 4096);
    } catch (const TStreamWriteException&) {
        return 0;
    }
    return 1;
}

int32_t DuplicateDirectory(const String& from, const String& to) {
    String src = NormalisePath(from, 0);
    String dst = NormalisePath(to, 0);
    if (PathKind(src) != PATH_DIRECTORY) return 0;
    // Copying a tree into itself would list its own copies for ever.
    String absSrc = WithoutTrailingSlash(AbsolutePath(src));
    String absDst = WithoutTrailingSlash(AbsolutePath(dst));
    if (absDst == absSrc || absDst.HasPrefix(EndsWithSlash(absSrc) ? absSrc : absSrc + "/")) return 0;
    if (PathKind(dst) == PATH_NONE) MakeDirectory(dst, 0);
    if (PathKind(dst) != PATH_DIRECTORY) return 0;
    for (const String& name : ListDirectory(src, 1)) {
        String a = Join(src, name);
        String b = Join(dst, name);
        int32_t ok = PathKind(a) == PATH_DIRECTORY ? DuplicateDirectory(a, b) : DuplicateFile(a, b);
        if (!ok) return 0;
    }
    return 1;
}

int32_t EraseDirectory(const String& path, int32_t recurse) {
    String p = NormalisePath(path, 1);
    std::u16string name;
    if (!NativeName(p, name)) return 0;
    if (recurse) {
        Ref<TDirectoryListing> listing = OpenDirectoryListing(p);
        if (!listing) return 0;
        for (String entry = listing->Next(); !entry.IsEmpty(); entry = listing->Next()) {
            if (entry == "." || entry == "..") continue;
            String child = Join(p, entry);
            std::u16string childName;
            if (!NativeName(child, childName)) continue;
            // A link is removed itself; following it would erase whatever it
            // points at, outside the tree being erased.
            if (platform::IsLink(childName)) {
                if (!platform::RemoveFile(childName)) platform::RemoveDir(childName);
                continue;
            }
            int32_t kind = PathKind(child);
            if (kind == PATH_FILE) RemoveFile(child);
            else if (kind == PATH_DIRECTORY) EraseDirectory(child, 1);
        }
        listing->Close();
    }
    platform::RemoveDir(name);
    return PathKind(p) == PATH_NONE ? 1 : 0;
}

int32_t EnterDirectory(const String& path) {
    std::u16string name;
    if (!NativeName(NormalisePath(path, 1), name)) return 0;
    return platform::ChangeDirectory(name) ? 1 : 0;
}

// ---- listings ----

TDirectoryListing::~TDirectoryListing() { Close(); }

String TDirectoryListing::Next() {
    std::u16string name;
    if (!_reader || !platform::NextDirEntry(_reader, name)) return String();
    return String(name);
}

void TDirectoryListing::Close() {
    platform::CloseDir(_reader);
    _reader = nullptr;
}

Ref<TDirectoryListing> OpenDirectoryListing(const String& path) {
    std::u16string name;
    if (!NativeName(NormalisePath(path, 1), name)) return Ref<TDirectoryListing>();
    platform::DirReader* reader = platform::OpenDir(name);
    if (!reader) return Ref<TDirectoryListing>();
    Ref<TDirectoryListing> listing = New<TDirectoryListing>();
    listing->_reader = reader;
    return listing;
}

String NextListingEntry(const Ref<TDirectoryListing>& listing) { return listing ? listing->Next() : String(); }

int32_t CloseDirectoryListing(const Ref<TDirectoryListing>& listing) {
    if (listing) listing->Close();
    return 0;
}

std::vector<String> ListDirectory(const String& path, int32_t skipDots) {
    std::vector<String> names;
    Ref<TDirectoryListing> listing = OpenDirectoryListing(path);
    if (!listing) return names;
    names.reserve(100);
    for (String entry = listing->Next(); !entry.IsEmpty(); entry = listing->Next()) {
        if (skipDots && (entry == "." || entry == "..")) continue;
        if (names.size() == names.capacity()) names.reserve(names.size() + 100);
        names.push_back(entry);
    }
    listing->Close();
    return names;
}

void InitFileSystem() {
    static bool done = false;
    if (done) return;
    done = true;
    InitStream();
    InitBank();
    RecordModuleInit("file system");
}
