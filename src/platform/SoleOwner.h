// One running process per file: the first process to claim a file holds the
// claim until it ends, however it ends, and later starts can bring forward
// the window it named for it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// True when this process holds the claim on `path` (a full path) now; false
// while another running process holds it. One file has one claim however
// its path is spelt. A claim that cannot be made for want of the system's
// help counts as held, so that nothing can keep the program from running.
bool ClaimFile(const std::u16string& path);
// Names `window`, a native top-level window, as the one to show for this
// process's claim on `path`.
void NameClaimWindow(const std::u16string& path, intptr_t window);
// Brings the window named for `path` to the front, restoring it when
// minimised; waits up to `millis` for a claim still starting to name one.
// False when none was found.
bool ShowClaimWindow(const std::u16string& path, int32_t millis);

}  // namespace platform
