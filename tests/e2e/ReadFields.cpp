// Prints the text fields and static texts of a top-level window, one per
// line as "<y> <text>" (y relative to the window's client area), so the
// end-to-end test can check what a field really holds rather than how it
// looks, and what a message box says.
//   read_fields.exe "<window title>"
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HWND g_top;

BOOL CALLBACK PrintField(HWND child, LPARAM) {
    wchar_t cls[32];
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Edit") != 0 && lstrcmpiW(cls, L"Static") != 0) return TRUE;
    RECT r;
    GetWindowRect(child, &r);
    POINT p{r.left, r.top};
    ScreenToClient(g_top, &p);
    wchar_t text[4096];
    // WM_GETTEXT is marshalled across processes.
    LRESULT n = SendMessageW(child, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), utf8.data(), bytes, nullptr, nullptr);
    std::printf("%ld %s\n", static_cast<long>(p.y), utf8.c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    g_top = FindWindowW(nullptr, argv[1]);
    if (!g_top) return 1;
    EnumChildWindows(g_top, PrintField, 0);
    return 0;
}
