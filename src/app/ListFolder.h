// Where the watch list lives: the folder of "autosave.dat" and of every file
// kept beside it. Until start-up says otherwise it is the current directory,
// which start-up makes the executable's folder.
#pragma once

#include "runtime/String.h"

// The watch list's file in that folder.
constexpr const char kWatchListFile[] = "autosave.dat";
// The pages' states, beside the list (StateFile.h).
constexpr const char kPageStateFile[] = "pagestate.dat";

// `name` in `folder`, with a "/" between them unless the folder is empty or
// ends in a separator already.
String InFolder(const String& folder, const String& name);

// The folder, ending in a path separator, or empty for the current directory.
String ListFolder();
void SetListFolder(const String& folder);
// The path of a file in that folder: "autosave.dat" or one kept beside it.
String ListFile(const String& name);
