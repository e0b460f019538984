// Replacing a file so that readers and crashes only ever see the old or the
// new contents, never a partly written file, and a failure never leaves
// less than one whole version on disk.
#pragma once

#include <string>

namespace platform {

enum class ReplaceResult {
    Replaced,
    // Another program holds one of the files for now (a sharing or lock
    // violation): the same replacement may work in a moment.
    Busy,
    Failed,
};

// Creates `temp`, which must not exist yet, so that no other writer can
// share it; writes `bytes` to it, forces them to disk, then moves it over
// `target` (created when missing) in one step. Nothing waits or retries.
// On failure `target` is as it was and `temp` is removed, except when there
// is no `target` and `temp` is complete: then `temp` is the only copy and
// stays.
ReplaceResult ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes);

// The last step alone: moves a complete `temp` over `target`. False when it
// could not be moved; nothing is removed.
bool MoveReplacementIntoPlace(const std::u16string& temp, const std::u16string& target);

}  // namespace platform
