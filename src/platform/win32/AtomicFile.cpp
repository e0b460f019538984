#include "platform/AtomicFile.h"

#include "platform/win32/Win32.h"

#include <algorithm>

namespace platform {

namespace {

bool Exists(const std::u16string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A virus scanner, an indexer or an editor may hold a file for a moment. A
// rename over a file that is open elsewhere reports access denied, as a
// folder the user may not write does; only a sharing violation on opening
// the target alone tells the two apart.
bool HeldElsewhere(DWORD error, const std::u16string& target) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    if (error != ERROR_ACCESS_DENIED) return false;
    HANDLE h = CreateFileW(Wide(target).c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    DWORD probe = GetLastError();
    return probe == ERROR_SHARING_VIOLATION || probe == ERROR_LOCK_VIOLATION;
}

// Writing and forcing to disk go through one handle, so no other program can
// come between them. `created` tells whether `path` is this writer's to
// remove.
bool WriteThrough(const std::u16string& path, const std::string& bytes, bool& created) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    created = h != INVALID_HANDLE_VALUE;
    if (!created) return false;
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
    return MoveFileExW(Wide(temp).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

ReplaceResult ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes) {
    bool created = false;
    if (!WriteThrough(temp, bytes, created)) {
        DWORD error = GetLastError();
        if (created) DeleteFileW(Wide(temp).c_str());
        return HeldElsewhere(error, temp) ? ReplaceResult::Busy : ReplaceResult::Failed;
    }
    if (MoveReplacementIntoPlace(temp, target)) return ReplaceResult::Replaced;
    DWORD error = GetLastError();
    bool busy = HeldElsewhere(error, target) || HeldElsewhere(error, temp);
    if (Exists(target)) DeleteFileW(Wide(temp).c_str());
    return busy ? ReplaceResult::Busy : ReplaceResult::Failed;
}

}  // namespace platform
