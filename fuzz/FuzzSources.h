// Byte sources for the fuzz harnesses: the input served in pieces of a few
// bytes, as a socket would hand them over.
#pragma once

#include <cstdint>
#include <cstring>

#include "stream/ReadAhead.h"

class ChoppySource : public ByteSource {
public:
    ChoppySource(const uint8_t* data, size_t size, int32_t chunk) : _data(data), _size(size), _chunk(chunk) {}
    int32_t Fill(uint8_t* buf, int32_t count) override {
        int32_t n = count < _chunk ? count : _chunk;
        if (static_cast<size_t>(n) > _size - _pos) n = static_cast<int32_t>(_size - _pos);
        if (n <= 0) return 0;
        std::memcpy(buf, _data + _pos, static_cast<size_t>(n));
        _pos += static_cast<size_t>(n);
        return n;
    }

private:
    const uint8_t* _data;
    size_t _size;
    size_t _pos = 0;
    int32_t _chunk;
};
