#include "platform/Files.h"

#include "platform/win32/Win32.h"

#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <wchar.h>
#include <direct.h>
#include <fcntl.h>

#include <cstdio>

namespace platform {

namespace {

bool IsRootText(const std::wstring& p) {
    if (p == L"/" || p == L"\\") return true;
    return p.size() == 3 && p[1] == L':' && (p[2] == L'/' || p[2] == L'\\');
}

bool FileIdentity(const std::u16string& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access asked for, only the attributes: works on files others hold open.
    HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

std::FILE* OpenCFile(const std::u16string& path, const char* mode) {
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(Wide(path).c_str(), wmode.c_str());
}

int64_t TellCFile(std::FILE* file) { return static_cast<int64_t>(_ftelli64(file)); }

bool SeekCFile(std::FILE* file, int64_t pos, int origin) { return _fseeki64(file, pos, origin) == 0; }

bool StatPath(const std::u16string& path, PathStatus& out) {
    std::wstring p = Wide(path);
    // The C runtime refuses "dir/" although the directory exists; a trailing
    // separator then means "must be a directory", as on POSIX.
    bool mustBeDir = false;
    while (p.size() > 1 && (p.back() == L'/' || p.back() == L'\\') && !IsRootText(p)) {
        p.pop_back();
        mustBeDir = true;
    }
    struct _stat64 st;
    if (_wstat64(p.c_str(), &st) != 0) return false;
    bool isDir = (st.st_mode & _S_IFMT) == _S_IFDIR;
    if (mustBeDir && !isDir) return false;
    out.type = (st.st_mode & _S_IFMT) == _S_IFREG ? kPathFile : isDir ? kPathDirectory : kPathOther;
    out.size = static_cast<int64_t>(st.st_size);
    out.modified = static_cast<int64_t>(st.st_mtime);
    out.permissions = static_cast<int32_t>(st.st_mode & 0777);
    return true;
}

bool IsLink(const std::u16string& path) {
    DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return FileIdentity(a, x) && FileIdentity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool MakeDir(const std::u16string& path) { return _wmkdir(Wide(path).c_str()) == 0; }
bool RemoveDir(const std::u16string& path) { return _wrmdir(Wide(path).c_str()) == 0; }
bool RemoveFile(const std::u16string& path) { return _wremove(Wide(path).c_str()) == 0; }
bool RenamePath(const std::u16string& from, const std::u16string& to) {
    return _wrename(Wide(from).c_str(), Wide(to).c_str()) == 0;
}
bool SetPermissions(const std::u16string& path, int32_t mode) {
    return _wchmod(Wide(path).c_str(), mode & (_S_IREAD | _S_IWRITE)) == 0;
}

struct DirReader {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data;
    bool pending = false;  // `data` holds an entry not yet handed out
};

DirReader* OpenDir(const std::u16string& path) {
    std::wstring pattern = Wide(path);
    if (pattern.empty()) pattern = L".";
    if (pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'/';
    pattern += L'*';
    auto* r = new DirReader;
    r->find = FindFirstFileW(pattern.c_str(), &r->data);
    if (r->find == INVALID_HANDLE_VALUE) {
        delete r;
        return nullptr;
    }
    r->pending = true;
    return r;
}

bool NextDirEntry(DirReader* reader, std::u16string& name) {
    if (!reader) return false;
    if (!reader->pending) {
        if (!FindNextFileW(reader->find, &reader->data)) return false;
    }
    reader->pending = false;
    const wchar_t* n = reader->data.cFileName;
    name.assign(n, n + wcslen(n));
    return true;
}

void CloseDir(DirReader* reader) {
    if (!reader) return;
    FindClose(reader->find);
    delete reader;
}

void UseBinaryStandardIO() {
    std::fflush(stdout);
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform
