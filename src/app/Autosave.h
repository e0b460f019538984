// The watch list on disk: "autosave.dat", three 8-bit lines per page
// (address, name, decimal line count), CR LF line ends.
#pragma once

#include "stream/Stream.h"

// The stream most recently opened on the file.
extern Ref<TStream> AutosaveStream;

// Reads the file at start-up, creating it empty when it is missing.
void LoadList();
// Rewrites the file from ThreadList. The new contents go to a temporary file
// that then replaces the old one, so a crash or a full disk never leaves a
// short list behind; a save that fails leaves the old file as it was.
// Returns false when the save could not be completed.
bool SaveList();
