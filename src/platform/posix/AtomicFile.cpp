#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Utf8.h"

namespace platform {

namespace {

bool FlushToDisk(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

}  // namespace

bool CommitFileReplacement(const std::u16string& temp, const std::u16string& target) {
    std::string from = Utf16ToUtf8(temp), to = Utf16ToUtf8(target);
    if (!FlushToDisk(from) || std::rename(from.c_str(), to.c_str()) != 0) {
        std::remove(from.c_str());
        return false;
    }
    // Make the rename itself durable.
    std::string dir = to.find('/') == std::string::npos ? "." : to.substr(0, to.rfind('/') + 1);
    if (int fd = open(dir.c_str(), O_RDONLY); fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return true;
}

}  // namespace platform
