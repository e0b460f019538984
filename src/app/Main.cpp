// The program's entry point: the runtime start-up, then the application.
#include "app/MainLoop.h"
#include "runtime/Program.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] { MainBody(); });
}
