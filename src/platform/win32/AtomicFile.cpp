#include "platform/AtomicFile.h"

#include <windows.h>

namespace platform {

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool FlushToDisk(const std::u16string& path) {
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = FlushFileBuffers(h);
    CloseHandle(h);
    return ok != 0;
}

bool ReplaceOnce(const std::u16string& temp, const std::u16string& target) {
    if (GetFileAttributesW(W(target)) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(W(target), W(temp), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    // No target yet, or a file system without ReplaceFile support.
    return MoveFileExW(W(temp), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

bool CommitFileReplacement(const std::u16string& temp, const std::u16string& target) {
    if (!FlushToDisk(temp)) {
        DeleteFileW(W(temp));
        return false;
    }
    // A virus scanner or an editor may hold the file for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (ReplaceOnce(temp, target)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION &&
            error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            break;
        Sleep(50);
    }
    DeleteFileW(W(temp));
    return false;
}

}  // namespace platform
