// Helper for the console tests: prints through the console stream, or
// prompts for lines read from a file put on standard input.
#include <cstdio>
#include <cstring>

#include "runtime/Program.h"
#include "stream/FileStream.h"

int main(int argc, char** argv) {
    InitStandardIO();
    if (argc > 1 && std::strcmp(argv[1], "print") == 0) {
        PrintLine(String("Countdown: ") + String::FormatInt(5));
        PrintLine(String(u"\u00E9\u20AC"));
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "prompt") == 0) {
        if (!std::freopen(argv[2], "rb", stdin)) return 3;
        try {
            for (;;) {
                String reply = PromptLine("> ");
                PrintLine(String("[") + reply + "]");
            }
        } catch (const TStreamReadException&) {
            PrintLine("end");
        }
        return 0;
    }
    return 2;
}
