#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Utf8.h"

namespace platform {

namespace {

bool WriteThrough(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
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

bool ReplaceFileContents(const std::u16string& temp, const std::u16string& target, const std::string& bytes) {
    std::string from = Utf16ToUtf8(temp);
    if (!WriteThrough(from, bytes)) {
        unlink(from.c_str());
        return false;
    }
    if (MoveReplacementIntoPlace(temp, target)) return true;
    if (Exists(Utf16ToUtf8(target))) unlink(from.c_str());
    return false;
}

}  // namespace platform
