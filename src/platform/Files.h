// File and directory calls for the stream and file-system modules. Names are
// UTF-16; Windows passes them to the wide-character C runtime calls, POSIX
// converts them to UTF-8. The callers use "/" as separator throughout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// fopen with a wide name on Windows (_wfopen), a UTF-8 name elsewhere.
// `mode` is plain ASCII ("rb", "wb", "r+b").
std::FILE* OpenCFile(const std::u16string& path, const char* mode);

// 64-bit file positions, so sizes beyond 2 GiB are seen for what they are.
int64_t TellCFile(std::FILE* file);
bool SeekCFile(std::FILE* file, int64_t pos, int origin);

enum PathType : int32_t { kPathOther = 0, kPathFile = 1, kPathDirectory = 2 };

struct PathStatus {
    int32_t type = kPathOther;
    int64_t size = 0;
    int64_t modified = 0;     // seconds since 1970-01-01 UTC
    int32_t permissions = 0;  // low nine bits of the mode
};

// The platform's status call; false when the path cannot be examined.
bool StatPath(const std::u16string& path, PathStatus& out);
// True for a symbolic link or junction (not followed), so that erasing a tree
// removes the link instead of the contents it points at.
bool IsLink(const std::u16string& path);
// True when both paths name one existing file, however spelt (letter case
// on Windows, "./", links): the platform's file identities are compared.
bool SameFile(const std::u16string& a, const std::u16string& b);
bool MakeDir(const std::u16string& path);
bool RemoveDir(const std::u16string& path);
bool RemoveFile(const std::u16string& path);
bool RenamePath(const std::u16string& from, const std::u16string& to);
bool SetPermissions(const std::u16string& path, int32_t mode);

// Directory reading. Open gives nullptr when the directory cannot be read;
// Next gives false when no entry is left.
struct DirReader;
DirReader* OpenDir(const std::u16string& path);
bool NextDirEntry(DirReader* reader, std::u16string& name);
void CloseDir(DirReader* reader);

// Standard input and output without end-of-line translation (Windows text
// mode would turn the CR LF the streams write into CR CR LF); nothing to do
// elsewhere.
void UseBinaryStandardIO();

}  // namespace platform
