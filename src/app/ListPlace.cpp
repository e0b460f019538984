#include "app/ListPlace.h"

#include "app/ListFolder.h"
#include "app/StateFile.h"
#include "platform/Platform.h"
#include "runtime/Program.h"
#include "stream/Bank.h"
#include "stream/FileReplace.h"
#include "stream/FileSystem.h"

const char* const kInstalledMarker = "VostleWatch.installed";
const char* const kDataFolderName = "Vostle Watch";

namespace {

bool HoldsList(const String& folder) {
    String list = InFolder(folder, kWatchListFile);
    // A replacement cut off before its last step may be the list: loading
    // settles it.
    return PathKind(list) != PATH_NONE || CutOffReplacementsThere(list);
}

// Paths as the user knows them on the system the program runs on.
String Shown(const String& path) {
#ifdef _WIN32
    return path.ReplaceAll("/", "\\");
#else
    return path;
#endif
}

}  // namespace

String ChooseListFolder(const String& programFolder, const String& userDataFolder) {
    String program = InFolder(NormalisePath(programFolder), "");
    if (PathKind(InFolder(program, kInstalledMarker)) != PATH_FILE || userDataFolder.IsEmpty()) return program;
    return InFolder(InFolder(NormalisePath(userDataFolder, 1), kDataFolderName), "");
}

TakeOver TakeOverList(const String& fromFolder, const String& toFolder) {
    String from = InFolder(fromFolder, kWatchListFile);
    if (HoldsList(toFolder) || PathKind(from) != PATH_FILE) return TakeOver::Nothing;
    std::string bytes;
    // A list cut short while it was read is not taken over.
    if (ReadWholeFile(from, bytes) != WholeRead::Read || !MakeDirectory(toFolder, 1)) return TakeOver::Failed;
    if (ReplaceWholeFile(InFolder(toFolder, kWatchListFile), bytes) != ReplaceResult::Replaced) return TakeOver::Failed;
    // The pages' states come along when they can; without them the pages
    // are only not checked yet.
    std::vector<PageStateRecord> states = ReadStateFile(InFolder(fromFolder, kPageStateFile));
    if (!states.empty()) WriteStateFile(InFolder(toFolder, kPageStateFile), states);
    return TakeOver::Copied;
}

void PlaceWatchList() {
    String folder = ChooseListFolder(ApplicationDirectory, String(platform::UserDataDirectory()));
    // An installed copy's first start finds no data folder unless it takes a
    // list over, and its very first save (the empty list) needs one.
    if (PathKind(folder) == PATH_NONE) MakeDirectory(folder, 1);
    SetListFolder(folder);
}

String TakeOverLeftList() {
    String program = ApplicationDirectory;
    String folder = ListFolder();
    switch (TakeOverList(program, folder)) {
    case TakeOver::Nothing:
        return String();
    case TakeOver::Copied:
        return String("Your watch list was copied from ") + Shown(InFolder(program, kWatchListFile)) + " to " +
               Shown(ListFile(kWatchListFile)) +
               ", where the installed program keeps it from now on. The original is left where it was.";
    case TakeOver::Failed:
        break;
    }
    SetListFolder(program);
    return String("The watch list in ") + Shown(InFolder(program, kWatchListFile)) + " could not be copied to " +
           Shown(InFolder(folder, kWatchListFile)) +
           ". This run keeps using it where it is; the copy is tried again at the next start.";
}
