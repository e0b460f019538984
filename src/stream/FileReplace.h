// Whole-file replacement for files that must never be lost or seen half
// written: the new contents wait under ReplacementName(path) until they are
// complete and on disk, then take the file's place in one step.
#pragma once

#include <string>

#include "runtime/String.h"

// path + ".new"
String ReplacementName(const String& path);

// Makes `bytes` the whole contents of `path`; false when that could not be
// done, and then `path` holds what it held before.
bool ReplaceWholeFile(const String& path, const std::string& bytes);

// A replacement cut off after its contents were complete leaves them under
// ReplacementName(path) with nothing at `path`: puts them in place. True when
// `path` exists afterwards.
bool FinishCutOffReplacement(const String& path);
