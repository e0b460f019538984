// File streams over the platform's buffered stdio files.
#pragma once

#include <cstdint>
#include <cstdio>

#include "stream/Stream.h"

class TCStream : public TStream {
public:
    static constexpr int32_t MODE_READ = 1;
    static constexpr int32_t MODE_WRITE = 2;

    ~TCStream() override;

    // Both flags: "r+b" (the file must exist, nothing is truncated); only
    // writeable: "wb" (create or truncate); otherwise "rb". Backslashes become
    // slashes. The null object when the file cannot be opened.
    static Ref<TCStream> OpenFile(const String& path, int32_t readable, int32_t writeable);
    // Takes over an already open stdio file (closed by Close or on release).
    static Ref<TCStream> CreateWithCStream(std::FILE* cstream, int32_t mode);

    int32_t Pos() override { return _pos; }
    int32_t Size() override { return _size; }
    int32_t Seek(int32_t pos) override;
    int32_t Read(void* buf, int32_t count) override;
    int32_t Write(const void* buf, int32_t count) override;
    int32_t Flush() override;
    // Idempotent; afterwards Pos, Size and Eof report 0, 0 and 1.
    int32_t Close() override;

    int32_t Mode() const { return _mode; }

private:
    // stdio needs a positioning call between a read and a following write
    // (and back); remember which way the last transfer went.
    enum class LastOp : uint8_t { None, Read, Write };
    void SwitchTo(LastOp op);

    int32_t _pos = 0;
    int32_t _size = 0;
    std::FILE* _cstream = nullptr;
    int32_t _mode = 0;
    LastOp _last = LastOp::None;
};
