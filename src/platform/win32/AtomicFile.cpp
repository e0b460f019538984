#include "platform/AtomicFile.h"

#include "platform/win32/Win32.h"

#include <algorithm>

namespace platform {

namespace {

// A virus scanner, an indexer or an editor may hold a file for a moment.
bool Transient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

template <class Step>
bool WithRetries(Step step) {
    for (int attempt = 0;; ++attempt) {
        if (step()) return true;
        if (attempt == 19 || !Transient(GetLastError())) return false;
        Sleep(50);
    }
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Writing and forcing to disk go through one handle, so no other program can
// come between them.
bool WriteThrough(const std::u16string& path, const std::string& bytes) {
    HANDLE h = INVALID_HANDLE_VALUE;
    if (!WithRetries([&] {
            h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
            return h != INVALID_HANDLE_VALUE;
        }))
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20)), wrote = 0;
        ok = WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(h);
    return CloseHandle(h) && ok;
}

}  // namespace

bool MoveReplacementIntoPlace(const std::u16string& temp, const std::u16string& target) {
    // A rename that replaces: it either happens whole or not at all. (The
    // dedicated replace call can fail half way with the old file deleted and
    // the new one not moved.)
    std::wstring from = Wide(temp), to = Wide(target);
    return WithRetries(
        [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0; });
}

bool ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes) {
    if (!WriteThrough(temp, bytes)) {
        DeleteFileW(Wide(temp).c_str());
        return false;
    }
    if (MoveReplacementIntoPlace(temp, target)) return true;
    if (Exists(target)) DeleteFileW(Wide(temp).c_str());
    return false;
}

}  // namespace platform
