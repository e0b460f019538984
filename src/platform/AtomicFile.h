// Replacing a file so that readers and crashes only ever see the old or the
// new contents, never a partly written file, and a failure never leaves
// less than one whole version on disk.
#pragma once

#include <string>

namespace platform {

// Writes `bytes` to `temp`, forces them to disk, then moves `temp` over
// `target` (created when missing) in one step. Each step retries briefly
// while another program holds one of the files. On failure `target` is as it
// was and `temp` is removed, except when there is no `target` and `temp` is
// complete: then `temp` is the only copy and stays.
bool ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes);

// The last step alone: moves a complete `temp` over `target`, retrying
// briefly. False when it could not be moved; nothing is removed.
bool MoveReplacementIntoPlace(const std::u16string& temp, const std::u16string& target);

}  // namespace platform
