#include "stream/ReadAhead.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Line reading looks at every byte of a page, so the scans below work 16
// bytes at a time where the processor allows.

namespace lines {

#if defined(__SSE2__)
namespace {
inline int EndMask(const uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x0A)), _mm_cmpeq_epi8(v, _mm_setzero_si128()));
    return _mm_movemask_epi8(hit);
}
}  // namespace
#endif

const uint8_t* FindLineEnd(const uint8_t* p, const uint8_t* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16)
        if (int mask = EndMask(p)) return p + __builtin_ctz(static_cast<unsigned>(mask));
#endif
    while (p < end && !EndsLine(*p)) ++p;
    return p;
}

size_t CountLineEnds(const uint8_t* p, const uint8_t* end) {
    size_t n = 0;
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) n += static_cast<size_t>(__builtin_popcount(static_cast<unsigned>(EndMask(p))));
#endif
    for (; p < end; ++p) n += EndsLine(*p);
    return n;
}

void AppendWithoutCR(std::string& out, const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        auto cr = static_cast<const uint8_t*>(std::memchr(p, 0x0D, static_cast<size_t>(end - p)));
        const uint8_t* run = cr ? cr : end;
        out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(run - p));
        p = cr ? cr + 1 : end;
    }
}

void Widen(const uint8_t* p, size_t n, char16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i) out[i] = p[i];
}

}  // namespace lines

bool ReadAhead::Refill(ByteSource& source) {
    _head = _tail = 0;
    if (_ended) return false;
    if (!_buffer) _buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(_capacity));
    int32_t n = source.Fill(_buffer.get(), _capacity);
    if (n > 0) {
        _tail = n > _capacity ? _capacity : n;
        return true;
    }
    _ended = true;
    _failed = n < 0;
    return false;
}

bool ReadAhead::More(ByteSource& source) { return _head < _tail || Refill(source); }

int32_t ReadAhead::Read(ByteSource& source, void* buf, int32_t count) {
    if (count <= 0) return 0;
    if (_head == _tail) {
        // Straight to the caller when the read would fill most of a buffer
        // anyway: one copy less for bulk transfers.
        if (count >= _capacity / 4 && !_ended) {
            int32_t n = source.Fill(static_cast<uint8_t*>(buf), count);
            if (n > 0) return n > count ? count : n;
            _ended = true;
            _failed = n < 0;
            return 0;
        }
        if (!Refill(source)) return 0;
    }
    int32_t n = count < _tail - _head ? count : _tail - _head;
    std::memcpy(buf, _buffer.get() + _head, static_cast<size_t>(n));
    _head += n;
    return n;
}

int32_t ReadAhead::ReadLine(ByteSource& source, std::string& line, size_t limit, size_t* consumed) {
    size_t taken = 0;  // bytes of this line so far, CRs and the end included
    auto done = [&](int32_t result) {
        if (consumed) *consumed = taken;
        return result;
    };
    if (!More(source)) return done(0);
    for (;;) {
        const uint8_t* p = _buffer.get() + _head;
        const uint8_t* end = _buffer.get() + _tail;
        const uint8_t* stop = lines::FindLineEnd(p, end);
        size_t piece = static_cast<size_t>(stop - p);
        // Checked before copying, so a hostile line costs at most `limit`.
        if (piece > limit - taken) {
            lines::AppendWithoutCR(line, p, p + (limit - taken));
            _head += static_cast<int32_t>(limit - taken);
            taken = limit;
            return done(-1);
        }
        taken += piece;
        lines::AppendWithoutCR(line, p, stop);
        if (stop < end) {
            _head = static_cast<int32_t>(stop + 1 - _buffer.get());
            ++taken;
            return done(1);
        }
        _head = _tail;
        if (!Refill(source)) return done(1);
    }
}

int32_t ReadAhead::ReadStreamLine(ByteSource& source, std::string& line) {
    int32_t r = ReadLine(source, line, kMaxStreamLine);
    if (r >= 0) return r;
    SkipLine(source);
    return 1;
}

bool ReadAhead::SkipLine(ByteSource& source) {
    if (!More(source)) return false;
    for (;;) {
        const uint8_t* p = _buffer.get() + _head;
        const uint8_t* end = _buffer.get() + _tail;
        const uint8_t* stop = lines::FindLineEnd(p, end);
        if (stop < end) {
            _head = static_cast<int32_t>(stop + 1 - _buffer.get());
            return true;
        }
        _head = _tail;
        if (!Refill(source)) return true;
    }
}

int64_t ReadAhead::CountLines(ByteSource& source) {
    int64_t count = 0;
    bool open = false;  // bytes after the last line end
    while (More(source)) {
        const uint8_t* p = _buffer.get() + _head;
        const uint8_t* end = _buffer.get() + _tail;
        count += static_cast<int64_t>(lines::CountLineEnds(p, end));
        open = !lines::EndsLine(end[-1]);
        _head = _tail;
    }
    return count + (open ? 1 : 0);
}

std::string ReadAhead::TakeBuffered() {
    std::string rest;
    if (_head < _tail) rest.assign(reinterpret_cast<const char*>(_buffer.get() + _head), static_cast<size_t>(_tail - _head));
    _head = _tail = 0;
    return rest;
}

void ReadAhead::Release() {
    _buffer.reset();
    _head = _tail = 0;
}
