#include "platform/ProxySettings.h"

#include "platform/Utf8.h"
#include "platform/win32/Win32.h"

namespace platform {

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

bool ReadDword(HKEY root, const wchar_t* key, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof value;
    return RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

std::string ReadText(HKEY root, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(root, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS) return {};
    return Utf16ToUtf8(Utf16(text.c_str()));
}

}  // namespace

ProxySettings SystemProxySettings() {
    ProxySettings s;
    s.windowsForm = true;
    // A machine-wide policy may keep one setting for every user.
    DWORD perUser = 1;
    HKEY root = ReadDword(HKEY_LOCAL_MACHINE, kPolicyKey, L"ProxySettingsPerUser", perUser) && perUser == 0
                    ? HKEY_LOCAL_MACHINE
                    : HKEY_CURRENT_USER;
    DWORD enabled = 0;
    if (!ReadDword(root, kSettingsKey, L"ProxyEnable", enabled) || enabled == 0) return s;
    s.http = ReadText(root, L"ProxyServer");
    s.bypass = ReadText(root, L"ProxyOverride");
    return s;
}

}  // namespace platform
