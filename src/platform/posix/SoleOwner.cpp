#include "platform/SoleOwner.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/Utf8.h"

namespace platform {

// The lock is on a file of its own beside the claimed one, "<path>.lock":
// the claimed file itself is replaced by renaming, and a lock on it would
// stay with the old one. The system drops the lock when the process ends.
bool ClaimFile(const std::u16string& path) {
    static std::set<std::u16string> g_held;  // a second flock in one process would meet the first
    if (g_held.count(path)) return true;
    std::string lock = Utf16ToUtf8(path) + ".lock";
    int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return true;
    int r;
    while ((r = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (r != 0) {
        bool taken = errno == EWOULDBLOCK;
        close(fd);
        return !taken;
    }
    g_held.insert(path);  // the descriptor stays open for the process's life
    return true;
}

// No native windows here.
void NameClaimWindow(const std::u16string&, intptr_t) {}

bool ShowClaimWindow(const std::u16string&, int32_t) { return false; }

}  // namespace platform
