// The program's entry point: the runtime start-up, then the application.
#include "app/MainWindow.h"
#include "runtime/Program.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] { MainBody(); });
}
