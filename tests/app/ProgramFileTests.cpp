// The file properties of the built VostleWatch.exe, read the way Explorer
// and the list of installed programs read them: the version API for the
// version resource, the resource calls for the icon.
#include "platform/win32/Win32.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "runtime/Version.h"

namespace {

std::wstring ProgramPath() {
    std::string dir = TestBinaryDirectory() + "/VostleWatch.exe";
    return std::wstring(dir.begin(), dir.end());
}

class ProgramFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource in VostleWatch.exe";
        info.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size, info.data()));
    }

    std::string Text(const wchar_t* name) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) return "(none)";
        std::wstring wide(value, length && value[length - 1] == 0 ? length - 1 : length);
        return std::string(wide.begin(), wide.end());
    }

    std::vector<char> info;
};

TEST_F(ProgramFileTest, VersionIsTheProjectsOwn) {
    EXPECT_EQ(Text(L"FileVersion"), kProgramVersion);
    EXPECT_EQ(Text(L"ProductVersion"), kProgramVersion);
    EXPECT_EQ(Text(L"ProductName"), "Vostle Watch");
    EXPECT_NE(Text(L"FileDescription").find("Vostle Watch"), std::string::npos) << Text(L"FileDescription");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionLS));
    std::string want = kProgramVersion;
    while (std::count(want.begin(), want.end(), '.') < 3) want += ".0";
    EXPECT_EQ(numbers, want);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(ProgramFile, CarriesTheProgramIcon) {
    HMODULE image = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14)), nullptr) << "icon group 101";
    HICON icon = nullptr;
    EXPECT_EQ(ExtractIconExW(ProgramPath().c_str(), 0, &icon, nullptr, 1), 1u) << "the icon Explorer shows";
    if (icon) DestroyIcon(icon);
    FreeLibrary(image);
}

}  // namespace
