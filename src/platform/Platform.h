// The thin operating-system layer beneath the runtime. Chosen at build time
// (win32/ or posix/); it speaks plain UTF-16 and knows no framework types.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::u16string CurrentDirectory();
bool ChangeDirectory(const std::u16string& path);
// Full path of the running executable.
std::u16string ExecutablePath();
// The user's own folder for programs' data: the roaming application-data
// folder on Windows, $XDG_DATA_HOME or ~/.local/share elsewhere. Empty when
// the system does not know one.
std::u16string UserDataDirectory();
// A command-line argument as the program received it.
std::u16string ArgumentText(const char* argument);
void SleepMillis(int32_t millis);
// Shows the "Windows exception" box for hardware exceptions, then exits with
// status 0 (Windows); nothing elsewhere.
void InstallHardwareExceptionFilter();

}  // namespace platform
