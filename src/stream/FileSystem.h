// Path arithmetic and file/directory operations. Paths use "/"; every
// function normalises its argument first, so "\" works too. Drive letters
// ("C:/") and "//server/" roots are plain text rules on every platform.
// Nothing here raises for a missing or inaccessible path.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/Object.h"
#include "runtime/String.h"

namespace platform {
struct DirReader;
}

// Path arithmetic.
String NormalisePath(const String& path, int32_t isDir = 0);
String PathRoot(const String& path);
int32_t IsPathRoot(const String& path);
int32_t HasPathRoot(const String& path);
String WorkingDirectory();
String WorkingDrive();
String AbsolutePath(const String& path);
// AbsolutePath against the given working directory instead of the process's.
String AbsolutePathAt(const String& path, const String& workingDirectory);
String DirectoryPart(const String& path);
String FileNamePart(const String& path);
String ExtensionPart(const String& path);
String WithoutExtension(const String& path);
String BareFileName(const String& path);
String WithoutTrailingSlash(const String& path);

// Path kinds.
constexpr int32_t PATH_NONE = 0;
constexpr int32_t PATH_FILE = 1;
constexpr int32_t PATH_DIRECTORY = 2;

// 0 nothing there (or cannot be examined), 1 file, 2 directory. Paths with
// "<" or ">" are never handed to the platform and count as 0.
int32_t PathKind(const String& path);
// -1 when the path cannot be examined.
int64_t PathByteSize(const String& path);
// Seconds since 1970-01-01 UTC; 0 when the path cannot be examined.
int64_t PathModifiedTime(const String& path);
// The low nine permission bits; -1 when the path cannot be examined.
int32_t PathPermissions(const String& path);
int32_t SetPathPermissions(const String& path, int32_t mode);
int32_t MakeEmptyFile(const String& path);
int32_t MakeDirectory(const String& path, int32_t recurse = 0);
int32_t RemoveFile(const String& path);
int32_t MovePath(const String& from, const String& to);
// Both sides may be any stream URL. 1 on success, 0 when a side cannot be
// opened or the target cannot be written to the end.
int32_t DuplicateFile(const String& from, const String& to);
int32_t DuplicateDirectory(const String& from, const String& to);
int32_t EraseDirectory(const String& path, int32_t recurse = 0);
int32_t EnterDirectory(const String& path);

// A directory listing in progress. It closes itself when released, so a
// forgotten CloseDirectoryListing leaks nothing.
class TDirectoryListing : public Object {
public:
    ~TDirectoryListing() override;
    // The next entry's name; the empty string when none is left.
    String Next();
    void Close();

private:
    friend Ref<TDirectoryListing> OpenDirectoryListing(const String& path);
    platform::DirReader* _reader = nullptr;
};

// The null object when the directory cannot be read.
Ref<TDirectoryListing> OpenDirectoryListing(const String& path);
String NextListingEntry(const Ref<TDirectoryListing>& listing);
int32_t CloseDirectoryListing(const Ref<TDirectoryListing>& listing);
std::vector<String> ListDirectory(const String& path, int32_t skipDots = 0);

// Module initialiser of the file system and the file functions.
void InitFileSystem();
