// Measures how fast a top-level window answers: every 50 ms it sends the
// window WM_NULL (SendMessageTimeout, which waits until the window's thread
// takes the message) and prints the time that took in milliseconds, one
// line per probe, for `seconds`.
//   probe_window.exe "<window title>" <seconds>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

void Print(const char* text) {
    DWORD wrote = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &wrote, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    double seconds = std::wcstod(argv[2], nullptr);
    LARGE_INTEGER freq, start, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    HWND window = nullptr;
    for (;;) {
        QueryPerformanceCounter(&t0);
        if (static_cast<double>(t0.QuadPart - start.QuadPart) / freq.QuadPart > seconds) return 0;
        if (!window || !IsWindow(window)) window = FindWindowW(nullptr, argv[1]);
        if (window) {
            DWORD_PTR result = 0;
            LRESULT answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            QueryPerformanceCounter(&t1);
            double millis = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart;
            char line[64];
            std::snprintf(line, sizeof line, answered ? "%.1f\n" : "timeout %.1f\n", millis);
            Print(line);
        }
        Sleep(50);
    }
}
