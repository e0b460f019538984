// Which kind of copy this is, and so where its watch list lives.
//
// A portable copy, unpacked into a folder of its own, keeps the list beside
// the executable. An installed copy keeps it in the user's application-data
// folder under the product's name: the program's folder belongs to the
// installer, which replaces it on upgrades, and where a copy sits under
// Program Files it cannot be written at all. The installer marks its copy
// with kInstalledMarker beside the executable and the uninstaller removes
// it; a copy without the marker is portable.
#pragma once

#include "runtime/String.h"

extern const char* const kInstalledMarker;
// The folder under the user's application-data folder.
extern const char* const kDataFolderName;

// The list folder of the copy in `programFolder` ("/"-terminated). An
// installed copy whose user has no application-data folder keeps its list
// beside it. Writes nothing.
String ChooseListFolder(const String& programFolder, const String& userDataFolder);

enum class TakeOver { Nothing, Copied, Failed };
// When `toFolder` holds no list and `fromFolder` does, copies that list into
// `toFolder` (made when missing) in one step; the original stays. On
// failure `toFolder` is left without a list, so the next start tries again.
TakeOver TakeOverList(const String& fromFolder, const String& toFolder);

// Start-up, before anything else is written: sets the list folder for this
// copy and makes it when it is missing.
void PlaceWatchList();
// Start-up, once the framework is up and before the list is loaded: takes a
// list left beside an installed copy over into its folder. When that fails
// the list is used where it is for this run. Returns what the user must be
// told, or the empty string.
String TakeOverLeftList();
