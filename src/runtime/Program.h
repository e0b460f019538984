// Process start-up and end, the runtime globals, module initialisation.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/String.h"

// Set by the runtime start-up.
extern String LaunchDirectory;       // current directory at launch, "/" separated
extern String ApplicationFile;       // full path of the executable, "/" separated
extern String ApplicationDirectory;  // its directory; a drive root keeps its "/"
extern String ApplicationTitle;      // caption of the system driver's message boxes
extern std::vector<String> ApplicationArgs;

// Registers a handler run when the process ends; handlers run in reverse
// order of registration.
void AtProgramEnd(void (*handler)());
// Ends the process normally: exit handlers, then status 0.
[[noreturn]] void EndProgram();

// Suspends the calling thread; a negative count returns at once.
void SleepMillis(int32_t millis);

// Start-up in order: hardware-exception filter, runtime globals, change to
// the executable's directory, then `body` (which runs the module
// initialisers). An exception nobody catches is written to standard error
// (8-bit, no line end) and the process exits with status -1. Returns the
// process status when `body` returns.
int RunProgram(int argc, char** argv, void (*body)());

// The directory rule for ApplicationDirectory: up to the last "/", except
// that a drive root keeps its "/"; empty when there is no "/".
String DirectoryOfExecutable(const String& file);

// Every module initialiser records itself here when its own set-up runs, so
// that the initialisation order can be checked.
void RecordModuleInit(const char* module);
const std::vector<const char*>& ModuleInitOrder();

// Core runtime initialiser.
void InitCore();
