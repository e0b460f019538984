// Shared set-up for the stream fuzz harnesses: the stream modules are
// initialised once, and input bytes are served from a memory bank.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "stream/Bank.h"
#include "stream/FileSystem.h"
#include "stream/Stream.h"
#include "stream/TextStream.h"

inline void FuzzInit() {
    static bool done = [] {
        InitStream();
        InitBank();
        InitFileSystem();
        InitTextStream();
        return true;
    }();
    (void)done;
}

inline Ref<TBankStream> FuzzStream(const uint8_t* data, size_t size) {
    Ref<TBank> bank = TBank::Create(static_cast<int32_t>(size));
    if (size) std::memcpy(bank->Buf(), data, size);
    return TBankStream::Create(bank);
}

#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)
