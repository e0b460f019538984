// A small program the start-up tests run as a child process; the first
// argument picks what it does.
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"
#include "runtime/Errors.h"
#include "runtime/Program.h"

namespace {

const char* g_mode = "";

void Print(const String& text) {
    std::string bytes = text.ToUTF8();
    std::printf("%s\n", bytes.c_str());
}

void Body() {
    InitCore();
    if (!std::strcmp(g_mode, "raise")) RaiseRuntimeError("Stream is not readable \xE9");
    if (!std::strcmp(g_mode, "raise-text")) RaiseText("plain text error");
    if (!std::strcmp(g_mode, "null")) {
        Ref<Object> nothing;
        nothing->ToString();
    }
    if (!std::strcmp(g_mode, "where")) {
        Print(String(platform::CurrentDirectory()).ReplaceAll("\\", "/"));
        Print(ApplicationDirectory);
        Print(LaunchDirectory);
        Print(ApplicationTitle);
        Print(FormatInt(static_cast<int32_t>(ApplicationArgs.size())));
    }
    if (!std::strcmp(g_mode, "exit")) {
        AtProgramEnd([] { std::printf("first registered\n"); });
        AtProgramEnd([] { std::printf("second registered\n"); });
        EndProgram();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_mode = argv[1];
    return RunProgram(argc, argv, Body);
}
