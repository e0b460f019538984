// Runs the application's initialiser in a fresh process and prints the
// order in which the modules finished their own set-up, one per line.
#include <cstdio>

#include "app/MainWindow.h"
#include "runtime/Program.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        InitApplication();
        InitApplication();  // a second call changes nothing
        for (const char* module : ModuleInitOrder()) std::printf("%s\n", module);
    });
}
