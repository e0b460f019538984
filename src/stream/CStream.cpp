#include "stream/CStream.h"

#include <limits>

#include "platform/Files.h"

namespace {
constexpr int64_t kMaxPos = std::numeric_limits<int32_t>::max();
}

TCStream::~TCStream() { Close(); }

Ref<TCStream> TCStream::OpenFile(const String& path, int32_t readable, int32_t writeable) {
    const char* mode = "rb";
    int32_t m = MODE_READ;
    if (readable && writeable) {
        mode = "r+b";
        m = MODE_READ | MODE_WRITE;
    } else if (writeable) {
        mode = "wb";
        m = MODE_WRITE;
    }
    if (path.IsEmpty()) return Ref<TCStream>();
    String name = path.ReplaceAll("\\", "/");
    // An embedded NUL would silently cut the name short at the platform.
    if (name.IndexOf(String::FromCodeUnits(u"\0", 1), 0) >= 0) return Ref<TCStream>();
    std::FILE* f = platform::OpenCFile(name.ToWide(), mode);
    if (!f) return Ref<TCStream>();
    // Positions and sizes are 32-bit: a file of 2 GiB or more cannot be
    // served without its position wrapping, so it is refused like any file
    // that cannot be opened.
    if (!platform::SeekCFile(f, 0, SEEK_END) || platform::TellCFile(f) > kMaxPos ||
        !platform::SeekCFile(f, 0, SEEK_SET)) {
        std::fclose(f);
        return Ref<TCStream>();
    }
    return CreateWithCStream(f, m);
}

Ref<TCStream> TCStream::CreateWithCStream(std::FILE* cstream, int32_t mode) {
    Ref<TCStream> s = New<TCStream>();
    s->_cstream = cstream;
    if (cstream) {
        int64_t pos = platform::TellCFile(cstream);
        int64_t size = pos;
        if (pos >= 0 && platform::SeekCFile(cstream, 0, SEEK_END)) {
            size = platform::TellCFile(cstream);
            platform::SeekCFile(cstream, pos, SEEK_SET);
        }
        // Unseekable handles (pipes) report -1: treat them as empty at 0.
        s->_pos = static_cast<int32_t>(pos < 0 ? 0 : pos > kMaxPos ? kMaxPos : pos);
        s->_size = static_cast<int32_t>(size < 0 ? 0 : size > kMaxPos ? kMaxPos : size);
    }
    s->_mode = mode;
    return s;
}

void TCStream::SwitchTo(LastOp op) {
    if (_last != LastOp::None && _last != op) platform::SeekCFile(_cstream, 0, SEEK_CUR);
    _last = op;
}

int32_t TCStream::Seek(int32_t pos) {
    if (!_cstream) return _pos;
    if (platform::SeekCFile(_cstream, pos, SEEK_SET)) _last = LastOp::None;
    int64_t now = platform::TellCFile(_cstream);
    if (now >= 0 && now <= kMaxPos) _pos = static_cast<int32_t>(now);
    return _pos;
}

int32_t TCStream::Read(void* buf, int32_t count) {
    if (!_cstream || count <= 0) return 0;
    int64_t room = kMaxPos - _pos;  // a file that grew past 2 GiB meanwhile
    if (count > room) count = static_cast<int32_t>(room);
    if (count <= 0) return 0;
    SwitchTo(LastOp::Read);
    size_t n = std::fread(buf, 1, static_cast<size_t>(count), _cstream);
    _pos += static_cast<int32_t>(n);
    return static_cast<int32_t>(n);
}

int32_t TCStream::Write(const void* buf, int32_t count) {
    if (!_cstream || count <= 0) return 0;
    // Never let the tracked position pass 2 GiB - 1: the write is cut short
    // there, which WriteBytes reports as a write error.
    int64_t room = kMaxPos - _pos;
    if (count > room) count = static_cast<int32_t>(room);
    if (count <= 0) return 0;
    SwitchTo(LastOp::Write);
    size_t n = std::fwrite(buf, 1, static_cast<size_t>(count), _cstream);
    _pos += static_cast<int32_t>(n);
    if (_pos > _size) _size = _pos;
    return static_cast<int32_t>(n);
}

int32_t TCStream::Flush() {
    if (_cstream) std::fflush(_cstream);
    return 0;
}

int32_t TCStream::Close() {
    if (!_cstream) return 0;
    Flush();
    std::fclose(_cstream);
    _cstream = nullptr;
    _pos = 0;
    _size = 0;
    _last = LastOp::None;
    return 0;
}
