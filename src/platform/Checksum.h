// A small checksum for telling a damaged or cut-off piece of data from a
// whole one, and for turning long names into short keys: FNV-1a, 64 bits.
// Not for security.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

inline uint64_t Fnv1a64(std::string_view bytes) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : bytes) h = (h ^ c) * 0x100000001B3ull;
    return h;
}

}  // namespace platform
