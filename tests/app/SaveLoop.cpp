// Saves the watch list over and over, for a test that kills it at random
// moments. Two lists of about `kb` KB take turns, each saved whole through
// the program's own code (WriteWatchFile), or, for showing that the test
// can catch a broken save, written in place over the file. One line
// "saved" per finished save.
//
//   save_loop <folder> expect <kb>            writes a.expect and b.expect, the two lists' bytes
//   save_loop <folder> replace|in-place <kb>  saves until killed
#include <cstdio>
#include <string>
#include <vector>

#include "app/Autosave.h"
#include "app/ListFolder.h"
#include "runtime/Program.h"

namespace {

std::vector<StoredPage> List(int kb, int turn) {
    std::vector<StoredPage> pages;
    for (int i = 0; i * 1024 < kb * 1024; ++i) {
        std::string url = "forum.example/t/" + std::to_string(i) + "/" + std::string(1000, 'p');
        pages.push_back({String(url.c_str()), String(("Page " + std::to_string(i)).c_str()), turn * 1000 + i});
    }
    return pages;
}

void WriteInPlace(const String& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.ToBytes8().c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        SetListFolder(ApplicationArgs.at(1));
        String mode = ApplicationArgs.at(2);
        int kb = ParseInt(ApplicationArgs.at(3));
        const std::vector<StoredPage> lists[] = {List(kb, 1), List(kb, 2)};
        if (mode == "expect") {
            WriteInPlace(ListFile("a.expect"), EncodeWatchList(lists[0]));
            WriteInPlace(ListFile("b.expect"), EncodeWatchList(lists[1]));
            return;
        }
        for (int turn = 1;; turn ^= 1) {
            if (mode == "in-place") WriteInPlace(ListFile(kWatchListFile), EncodeWatchList(lists[turn]));
            else WriteWatchFile(ListFile(kWatchListFile), lists[turn]);
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    });
}
