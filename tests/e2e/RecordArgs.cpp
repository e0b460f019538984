// Stands in for the browser: registered as the shell's handler of web
// addresses, it appends the arguments it was started with after the first
// (the log file) to that file, one start per line: their count, then each
// argument, separated by tabs, in UTF-8. So a test sees exactly how the
// command line split.
//   record_args.exe <log file> <arguments...>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::string line = std::to_string(argc - 2);
    for (int i = 2; i < argc; ++i) line += "\t" + Utf8(argv[i]);
    line += "\n";
    FILE* log = _wfopen(argv[1], L"ab");
    if (!log) return 1;
    std::fwrite(line.data(), 1, line.size(), log);
    std::fclose(log);
    return 0;
}
