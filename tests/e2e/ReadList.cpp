// Prints what a top-level window's list view, status bar and keyboard focus
// show, read from the controls themselves, so the end-to-end test checks
// what the user sees rather than the program's variables:
//   read_list.exe "<window title>"
// One line each, fields separated by tabs, positions in the window's client
// coordinates:
//   status <text>
//   list <left> <top> <width> <height>
//   header <title> <title> ...
//   row <index> <x> <y> <cell> <cell> ...     (x, y: a point inside the row)
//   button <text> <x> <y>                    (x, y: its centre)
//   focus <class> <left> <top>
// List view texts live in the other process, so they are read through
// memory allocated there.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HWND g_top, g_list, g_status;

std::string Utf8(const wchar_t* text, int n) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, n, out.data(), bytes, nullptr, nullptr);
    return out;
}

POINT ClientPoint(HWND of, LONG x, LONG y) {
    POINT p{x, y};
    MapWindowPoints(of, g_top, &p, 1);
    return p;
}

void PrintButton(HWND button) {
    wchar_t text[256];
    // WM_GETTEXT is marshalled across processes.
    LRESULT n = SendMessageW(button, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    RECT r;
    GetWindowRect(button, &r);
    POINT p = ClientPoint(nullptr, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    std::printf("button\t%s\t%ld\t%ld\n", Utf8(text, static_cast<int>(n)).c_str(), p.x, p.y);
}

BOOL CALLBACK FindControls(HWND child, LPARAM) {
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    if (!g_list && lstrcmpiW(cls, WC_LISTVIEWW) == 0) g_list = child;
    if (!g_status && lstrcmpiW(cls, STATUSCLASSNAMEW) == 0) g_status = child;
    if (lstrcmpiW(cls, WC_BUTTONW) == 0) PrintButton(child);
    return TRUE;
}

// A block of the list's process: a structure at the front, text after it.
class Remote {
public:
    explicit Remote(HWND window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        _process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (_process) _base = static_cast<char*>(VirtualAllocEx(_process, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
    }
    ~Remote() {
        if (_base) VirtualFreeEx(_process, _base, 0, MEM_RELEASE);
        if (_process) CloseHandle(_process);
    }
    bool Ok() const { return _base != nullptr; }
    wchar_t* Text() const { return reinterpret_cast<wchar_t*>(_base + kTextAt); }
    template <class T>
    LRESULT Send(HWND to, UINT msg, WPARAM wparam, const T& value) {
        WriteProcessMemory(_process, _base, &value, sizeof value, nullptr);
        return SendMessageW(to, msg, wparam, reinterpret_cast<LPARAM>(_base));
    }
    template <class T>
    T Read() const {
        T value{};
        ReadProcessMemory(_process, _base, &value, sizeof value, nullptr);
        return value;
    }
    // Sends `item` with its text buffer here and returns the text it got.
    template <class T>
    std::string TextBy(HWND to, UINT msg, WPARAM wparam, T item) {
        item.pszText = Text();
        item.cchTextMax = kTextUnits;
        Send(to, msg, wparam, item);
        return ReadText();
    }
    std::string ReadText() const {
        std::vector<wchar_t> buf(kTextUnits + 1);
        ReadProcessMemory(_process, Text(), buf.data(), kTextUnits * sizeof(wchar_t), nullptr);
        return Utf8(buf.data(), lstrlenW(buf.data()));
    }
    static constexpr int kTextUnits = 2048;

private:
    static constexpr size_t kTextAt = 1024, kSize = kTextAt + (kTextUnits + 1) * sizeof(wchar_t);
    HANDLE _process = nullptr;
    char* _base = nullptr;
};

// Prints the header's titles, none while it is hidden; returns the number
// of columns the rows have (at least the one of the item texts).
int PrintHeader(Remote& remote) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(g_list, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    int titles = header && IsWindowVisible(header) ? columns : 0;
    std::printf("header");
    for (int c = 0; c < titles; ++c) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        std::printf("\t%s", remote.TextBy(header, HDM_GETITEMW, c, item).c_str());
    }
    std::printf("\n");
    return columns > 0 ? columns : 1;
}

void PrintRows(Remote& remote, int columns) {
    int rows = static_cast<int>(SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
        RECT rect{};
        rect.left = LVIR_LABEL;
        remote.Send(g_list, LVM_GETITEMRECT, r, rect);
        rect = remote.Read<RECT>();
        POINT p = ClientPoint(g_list, rect.left + 10, (rect.top + rect.bottom) / 2);
        std::printf("row\t%d\t%ld\t%ld", r, p.x, p.y);
        for (int c = 0; c < columns; ++c) {
            LVITEMW item{};
            item.iSubItem = c;
            std::printf("\t%s", remote.TextBy(g_list, LVM_GETITEMTEXTW, r, item).c_str());
        }
        std::printf("\n");
    }
}

void PrintFocus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(g_top, nullptr), &info) || !info.hwndFocus) return;
    wchar_t cls[64];
    GetClassNameW(info.hwndFocus, cls, 64);
    RECT r;
    GetWindowRect(info.hwndFocus, &r);
    POINT p = ClientPoint(nullptr, r.left, r.top);
    std::printf("focus\t%s\t%ld\t%ld\n", Utf8(cls, lstrlenW(cls)).c_str(), p.x, p.y);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    g_top = FindWindowW(nullptr, argv[1]);
    if (!g_top) return 1;
    EnumChildWindows(g_top, FindControls, 0);
    if (g_status) {
        wchar_t text[1024];
        LRESULT n = SendMessageW(g_status, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        std::printf("status\t%s\n", Utf8(text, static_cast<int>(n)).c_str());
    }
    if (g_list) {
        RECT r;
        GetWindowRect(g_list, &r);
        POINT p = ClientPoint(nullptr, r.left, r.top);
        std::printf("list\t%ld\t%ld\t%ld\t%ld\n", p.x, p.y, r.right - r.left, r.bottom - r.top);
        Remote remote(g_list);
        if (!remote.Ok()) return 3;
        PrintRows(remote, PrintHeader(remote));
    }
    PrintFocus();
    return 0;
}
