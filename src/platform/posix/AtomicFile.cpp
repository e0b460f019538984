#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Utf8.h"

namespace platform {

namespace {

// `created` tells whether `path` is this writer's to remove.
bool WriteThrough(const std::string& path, const std::string& bytes, bool& created) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created = fd >= 0;
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

bool MoveReplacementIntoPlace(const std::u16string& temp, const std::u16string& target) {
    std::string from = Utf16ToUtf8(temp), to = Utf16ToUtf8(target);
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    // Make the rename itself durable.
    std::string dir = to.find('/') == std::string::npos ? "." : to.substr(0, to.rfind('/') + 1);
    if (int fd = open(dir.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return true;
}

// POSIX has no sharing violations: every failure is final.
ReplaceResult ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes) {
    std::string from = Utf16ToUtf8(temp);
    bool created = false;
    if (!WriteThrough(from, bytes, created)) {
        if (created) unlink(from.c_str());
        return ReplaceResult::Failed;
    }
    if (MoveReplacementIntoPlace(temp, target)) return ReplaceResult::Replaced;
    if (Exists(Utf16ToUtf8(target))) unlink(from.c_str());
    return ReplaceResult::Failed;
}

}  // namespace platform
