// A start of the program as far as its claim on the list goes: claims the
// list in the folder given. The owner writes "claimed" into that folder and
// holds the list until a file "release" appears there (a minute at most),
// then ends with status 0; a start that finds the list owned ends at once
// with status 3.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/ListFolder.h"
#include "app/ListOwner.h"
#include "runtime/Program.h"
#include "stream/FileSystem.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        String folder = ApplicationArgs.at(1);
        SetListFolder(folder);
        if (!ClaimList()) std::exit(3);
        MakeEmptyFile(ListFile("claimed"));
        for (int i = 0; i < 3000 && PathKind(ListFile("release")) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
}
