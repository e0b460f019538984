// Replacing a file so that readers and crashes only ever see the old or the
// new contents, never a partly written file.
#pragma once

#include <string>

namespace platform {

// Forces the written contents of `temp` to disk, then puts it in place of
// `target` (created when missing) in one step. Retries briefly while another
// program holds the target. On failure `target` is untouched and `temp` is
// removed.
bool CommitFileReplacement(const std::u16string& temp, const std::u16string& target);

}  // namespace platform
