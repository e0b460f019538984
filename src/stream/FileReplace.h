// Whole-file replacement for files that must never be lost or seen half
// written. The new contents go into a file of their writer's own beside the
// target, "<name>.<writer>.<checksum>.new", created so that no other writer
// can share it; once complete and on disk it takes the target's place in one
// step. The checksum in its name shows whether such a file is whole.
#pragma once

#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "runtime/String.h"

using ReplaceResult = platform::ReplaceResult;

// Makes `bytes` the whole contents of `path`. Anything but Replaced leaves
// `path` as it was; Busy says another program holds a file for the moment,
// so the same call may work soon. It never waits.
ReplaceResult ReplaceWholeFile(const String& path, const std::string& bytes);

// How reading a whole file went.
enum class WholeRead { Read, Missing, Cut };
// The whole contents of `path` in `bytes`: Missing when it cannot be opened,
// Cut when it ends while it is read (another program shortening it), and
// `bytes` then empty. Never raises for either.
WholeRead ReadWholeFile(const String& path, std::string& bytes);

// What is left of replacements of `path` that were cut off (the program
// killed, the machine stopped, the last step refused).
struct CutOffReplacements {
    // A whole one took the place of a missing `path`.
    bool restored = false;
    // A whole one is there, but could not take the place of the missing
    // `path`: it holds the list, so nothing may be written in its place.
    bool wholeLeft = false;
    // Ones whose completeness cannot be shown, beside a missing `path`
    // (cut short, or left by a version that wrote "<name>.new"): never
    // loaded, never moved, left where they are.
    std::vector<String> kept;
};

// True when replacements of `path` cut off before their last step are
// there, whole or not.
bool CutOffReplacementsThere(const String& path);

// For the one owner of `path`, before it reads it. When `path` is missing,
// the newest whole replacement takes its place. Whole replacements beside
// a `path` that is there are older than it, or lost the race to it, and are
// removed, so none can come back later in place of a newer list.
CutOffReplacements SettleCutOffReplacements(const String& path);
