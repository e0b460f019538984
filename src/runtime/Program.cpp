#include "runtime/Program.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"
#include "runtime/Errors.h"

String LaunchDirectory;
String ApplicationFile;
String ApplicationDirectory;
String ApplicationTitle;
std::vector<String> ApplicationArgs;

namespace {

std::vector<void (*)()>& ExitHandlers() {
    static std::vector<void (*)()> handlers;
    return handlers;
}

void RunExitHandlers() {
    auto& handlers = ExitHandlers();
    while (!handlers.empty()) {
        auto handler = handlers.back();
        handlers.pop_back();
        handler();
    }
}

std::vector<const char*>& InitOrder() {
    static std::vector<const char*> order;
    return order;
}

String WithSlashes(const std::u16string& path) { return String(path).ReplaceAll("\\", "/"); }

[[noreturn]] void ReportUncaught() {
    std::string text = DescribeCurrentException().ToBytes8();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    std::exit(-1);
}

}  // namespace

void AtProgramEnd(void (*handler)()) {
    // One C exit handler runs ours, so they also run when the process ends
    // through exit() from elsewhere (an uncaught error, the crash box).
    static bool installed = false;
    auto& handlers = ExitHandlers();  // constructed first, so it outlives the C exit handler
    if (!installed) {
        installed = true;
        std::atexit(RunExitHandlers);
    }
    handlers.push_back(handler);
}

void EndProgram() {
    std::fflush(nullptr);
    std::exit(0);
}

void SleepMillis(int32_t millis) {
    if (millis < 0) return;
    platform::SleepMillis(millis);
}

String DirectoryOfExecutable(const String& file) {
    int32_t slash = file.LastIndexOf("/");
    if (slash < 0) return String();
    if (slash > 0 && file[slash - 1] == u':') return file.Slice(0, slash + 1);
    return file.Slice(0, slash);
}

void RecordModuleInit(const char* module) { InitOrder().push_back(module); }
const std::vector<const char*>& ModuleInitOrder() { return InitOrder(); }

void InitCore() {
    static bool done = false;
    if (done) return;
    done = true;
    RecordModuleInit("core runtime");
}

int RunProgram(int argc, char** argv, void (*body)()) {
    platform::InstallHardwareExceptionFilter();
    try {
        LaunchDirectory = WithSlashes(platform::CurrentDirectory());
        ApplicationFile = WithSlashes(platform::ExecutablePath());
        ApplicationDirectory = DirectoryOfExecutable(ApplicationFile);
        if (!ApplicationDirectory.IsEmpty()) platform::ChangeDirectory(ApplicationDirectory.ToWide());
        ApplicationTitle = "Corvane Application";
        ApplicationArgs.clear();
        for (int i = 0; i < argc; ++i) ApplicationArgs.push_back(platform::ArgumentText(argv[i]));
        body();
    } catch (...) {
        ReportUncaught();
    }
    return 0;
}
