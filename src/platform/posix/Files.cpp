#include "platform/Files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Utf8.h"

namespace platform {

namespace {
std::string Native(const std::u16string& path) { return Utf16ToUtf8(path); }
}  // namespace

std::FILE* OpenCFile(const std::u16string& path, const char* mode) {
    std::string name = Native(path);
    std::FILE* f = std::fopen(name.c_str(), mode);
    if (!f) return nullptr;
    // fopen happily opens a directory for reading; a stream over it is useless.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

int64_t TellCFile(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

bool SeekCFile(std::FILE* file, int64_t pos, int origin) {
    return fseeko(file, static_cast<off_t>(pos), origin) == 0;
}

bool StatPath(const std::u16string& path, PathStatus& out) {
    struct stat st;
    if (stat(Native(path).c_str(), &st) != 0) return false;
    out.type = S_ISREG(st.st_mode) ? kPathFile : S_ISDIR(st.st_mode) ? kPathDirectory : kPathOther;
    out.size = static_cast<int64_t>(st.st_size);
    out.modified = static_cast<int64_t>(st.st_mtime);
    out.permissions = static_cast<int32_t>(st.st_mode & 0777);
    return true;
}

bool IsLink(const std::u16string& path) {
    struct stat st;
    return lstat(Native(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
    struct stat sa, sb;
    return stat(Native(a).c_str(), &sa) == 0 && stat(Native(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool MakeDir(const std::u16string& path) { return mkdir(Native(path).c_str(), 0777) == 0; }
bool RemoveDir(const std::u16string& path) { return rmdir(Native(path).c_str()) == 0; }
bool RemoveFile(const std::u16string& path) { return unlink(Native(path).c_str()) == 0; }
bool RenamePath(const std::u16string& from, const std::u16string& to) {
    return std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}
bool SetPermissions(const std::u16string& path, int32_t mode) {
    return chmod(Native(path).c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

struct DirReader {
    DIR* dir;
};

DirReader* OpenDir(const std::u16string& path) {
    DIR* d = opendir(Native(path).c_str());
    if (!d) return nullptr;
    return new DirReader{d};
}

bool NextDirEntry(DirReader* reader, std::u16string& name) {
    if (!reader) return false;
    dirent* e = readdir(reader->dir);
    if (!e) return false;
    name = Utf8ToUtf16(e->d_name);
    return true;
}

void CloseDir(DirReader* reader) {
    if (!reader) return;
    closedir(reader->dir);
    delete reader;
}

void UseBinaryStandardIO() {}

}  // namespace platform
