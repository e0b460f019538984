#include "platform/Platform.h"

#include "platform/win32/Win32.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

namespace platform {

namespace {


const char* ExceptionName(DWORD code) {
    switch (code) {
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "EXCEPTION_DATATYPE_MISALIGNMENT";
        case EXCEPTION_BREAKPOINT: return "EXCEPTION_BREAKPOINT";
        case EXCEPTION_SINGLE_STEP: return "EXCEPTION_SINGLE_STEP";
        case EXCEPTION_ACCESS_VIOLATION: return "EXCEPTION_ACCESS_VIOLATION";
        case EXCEPTION_IN_PAGE_ERROR: return "EXCEPTION_IN_PAGE_ERROR";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "EXCEPTION_ILLEGAL_INSTRUCTION";
        case EXCEPTION_NONCONTINUABLE_EXCEPTION: return "EXCEPTION_NONCONTINUABLE_EXCEPTION";
        case EXCEPTION_INVALID_DISPOSITION: return "EXCEPTION_INVALID_DISPOSITION";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        case EXCEPTION_FLT_DENORMAL_OPERAND: return "EXCEPTION_FLT_DENORMAL_OPERAND";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case EXCEPTION_FLT_INEXACT_RESULT: return "EXCEPTION_FLT_INEXACT_RESULT";
        case EXCEPTION_FLT_INVALID_OPERATION: return "EXCEPTION_FLT_INVALID_OPERATION";
        case EXCEPTION_FLT_OVERFLOW: return "EXCEPTION_FLT_OVERFLOW";
        case EXCEPTION_FLT_STACK_CHECK: return "EXCEPTION_FLT_STACK_CHECK";
        case EXCEPTION_FLT_UNDERFLOW: return "EXCEPTION_FLT_UNDERFLOW";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case EXCEPTION_INT_OVERFLOW: return "EXCEPTION_INT_OVERFLOW";
        case EXCEPTION_PRIV_INSTRUCTION: return "EXCEPTION_PRIV_INSTRUCTION";
        case EXCEPTION_STACK_OVERFLOW: return "EXCEPTION_STACK_OVERFLOW";
        default: return "EXCEPTION_UNKNOWN";
    }
}

LONG WINAPI HardwareExceptionFilter(EXCEPTION_POINTERS* info) {
    MessageBoxA(GetActiveWindow(), ExceptionName(info->ExceptionRecord->ExceptionCode), "Windows exception", MB_OK);
    std::exit(0);  // the normal exit, so the exit handlers still run
}

}  // namespace

std::u16string CurrentDirectory() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buffer(n + 1);
    n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return std::u16string(Utf16(buffer.data(), n));
}

bool ChangeDirectory(const std::u16string& path) { return SetCurrentDirectoryW(Wide(path).c_str()) != 0; }

std::u16string ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::u16string(Utf16(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string UserDataDirectory() {
    PWSTR path = nullptr;
    std::u16string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path))) folder = Utf16(path);
    CoTaskMemFree(path);
    return folder;
}

std::u16string ArgumentText(const char* argument) {
    std::u16string out;
    for (const char* p = argument; p && *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

void SleepMillis(int32_t millis) { Sleep(static_cast<DWORD>(millis)); }

void InstallHardwareExceptionFilter() { SetUnhandledExceptionFilter(HardwareExceptionFilter); }

}  // namespace platform
