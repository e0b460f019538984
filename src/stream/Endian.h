// Byte order in one place. Values are stored to and loaded from byte images
// least significant byte first, assembled byte by byte so that the order
// never depends on the host; the typed reads and writes of streams and the
// peeks and pokes of banks are built on these.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace endian {

// The unsigned integer as wide as T.
template <class T>
using Bits = std::conditional_t<
    sizeof(T) == 1, uint8_t,
    std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;

template <class T>
T LoadLittle(const uint8_t* b) {
    static_assert(sizeof(T) == sizeof(Bits<T>));
    Bits<T> v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<Bits<T>>(v | static_cast<Bits<T>>(b[i]) << (8 * i));
    return std::bit_cast<T>(v);
}

template <class T>
void StoreLittle(uint8_t* b, T value) {
    static_assert(sizeof(T) == sizeof(Bits<T>));
    auto v = std::bit_cast<Bits<T>>(value);
    for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Leaves a byte image as it is; the big-endian stream passes a reversing one.
struct AsIs {
    void operator()(uint8_t*, size_t) const {}
};

// A value through the stream's exact-length transfers (so a short transfer
// raises); `reorder` sees the little-endian image between the stream and the
// value.
template <class T, class Stream, class Reorder = AsIs>
T ReadValue(Stream& stream, Reorder reorder = {}) {
    uint8_t b[sizeof(T)];
    stream.ReadBytes(b, sizeof(T));
    reorder(b, sizeof(T));
    return LoadLittle<T>(b);
}

// Returns 0, the result of every typed write.
template <class T, class Stream, class Reorder = AsIs>
int32_t WriteValue(Stream& stream, T value, Reorder reorder = {}) {
    uint8_t b[sizeof(T)];
    StoreLittle(b, value);
    reorder(b, sizeof(T));
    stream.WriteBytes(b, sizeof(T));
    return 0;
}

}  // namespace endian
