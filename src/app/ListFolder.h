// Where the watch list lives: the folder of "autosave.dat" and of every file
// kept beside it. Until start-up says otherwise it is the current directory,
// which start-up makes the executable's folder.
#pragma once

#include "runtime/String.h"

// The folder, ending in a path separator, or empty for the current directory.
String ListFolder();
void SetListFolder(const String& folder);
// The path of a file in that folder: the list's own (kListName) or one kept
// beside it.
String ListFile(const String& name);

// The name the user knows the list by.
constexpr const char* kListName = "autosave.dat";
