#include "platform/Platform.h"

#include <limits.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/Utf8.h"

namespace platform {

std::u16string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return Utf8ToUtf16(buffer.data());
}

bool ChangeDirectory(const std::u16string& path) { return chdir(Utf16ToUtf8(path).c_str()) == 0; }

std::u16string ExecutablePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) return Utf8ToUtf16(std::string_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string UserDataDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return Utf8ToUtf16(data);
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return Utf8ToUtf16(std::string(home) + "/.local/share");
    return {};
}

std::u16string ArgumentText(const char* argument) { return Utf8ToUtf16(argument ? argument : ""); }

void SleepMillis(int32_t millis) {
    timespec t{millis / 1000, (millis % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

void InstallHardwareExceptionFilter() {}

}  // namespace platform
