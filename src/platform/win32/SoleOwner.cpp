#include "platform/SoleOwner.h"

#include "platform/win32/Win32.h"

#include "platform/Checksum.h"
#include "platform/Utf8.h"

#include <set>

namespace platform {

namespace {

// The claim is a named mutex, which the system destroys when its last
// holder ends; the window is named by a property of the same key. The key
// comes from the file's full, long, upper-cased path (case does not matter
// to Windows), hashed to fit the length names allow.
std::wstring ClaimKey(const std::u16string& path) {
    std::wstring full(32768, L'\0');
    DWORD n = GetFullPathNameW(Wide(path).c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(n > 0 && n < full.size() ? n : 0);
    if (full.empty()) full = Wide(path);
    // Short 8.3 names of the folder become long ones; the file may not exist yet.
    size_t slash = full.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? full : full.substr(0, slash);
    std::wstring longFolder(32768, L'\0');
    n = GetLongPathNameW(folder.c_str(), longFolder.data(), static_cast<DWORD>(longFolder.size()));
    if (n > 0 && n < longFolder.size() && slash != std::wstring::npos) {
        longFolder.resize(n);
        full = longFolder + full.substr(slash);
    }
    for (wchar_t& c : full) c = c == L'/' ? L'\\' : c;
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    uint64_t h = Fnv1a64(Utf16ToUtf8(Utf16(full.data(), full.size())));
    wchar_t key[40];
    swprintf(key, 40, L"VostleWatch.List.%016llx", static_cast<unsigned long long>(h));
    return key;
}

struct WindowSearch {
    std::wstring property;
    HWND found = nullptr;
};

// Wine tells the window manager of a new foreground window only when the
// window is mapped anew: there, it is hidden and shown first. (Minimising
// and restoring races with the window manager's own report of the minimise.)
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

BOOL CALLBACK FindNamedWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!GetPropW(hwnd, search->property.c_str()) || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

bool ClaimFile(const std::u16string& path) {
    static std::set<std::wstring> g_held;
    std::wstring name = L"Local\\" + ClaimKey(path);
    if (g_held.count(name)) return true;
    // Looking first keeps a start that gives way from holding the mutex
    // even for a moment, when the owner might be ending.
    if (HANDLE other = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str())) {
        CloseHandle(other);
        return false;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) return GetLastError() != ERROR_ACCESS_DENIED;  // denied: another user's claim
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);  // another start made it first
        return false;
    }
    g_held.insert(name);  // the handle stays open for the process's life
    return true;
}

void NameClaimWindow(const std::u16string& path, intptr_t window) {
    SetPropW(reinterpret_cast<HWND>(window), ClaimKey(path).c_str(), reinterpret_cast<HANDLE>(1));
}

bool ShowClaimWindow(const std::u16string& path, int32_t millis) {
    WindowSearch search{ClaimKey(path)};
    for (DWORD start = GetTickCount();;) {
        EnumWindows(FindNamedWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || static_cast<int32_t>(GetTickCount() - start) >= millis) break;
        Sleep(50);
    }
    if (!search.found) return false;
    // Asynchronous: an owner that hangs must not hold this start up.
    if (IsIconic(search.found)) {
        ShowWindowAsync(search.found, SW_RESTORE);
    } else if (UnderWine()) {
        ShowWindowAsync(search.found, SW_HIDE);
        ShowWindowAsync(search.found, SW_SHOW);
    }
    SetForegroundWindow(search.found);
    return true;
}

}  // namespace platform
