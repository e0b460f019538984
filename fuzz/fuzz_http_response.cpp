// Arbitrary bytes as an HTTP response: the head is skipped and the body's
// lines counted as the update cycle counts them, through a memory stream.
// The results are checked against a direct scan of the bytes.
#include <cstdio>

#include "FuzzCommon.h"
#include "net/HttpStream.h"

namespace {

// One line as ReadLine splits it, starting at `p`: returns its length
// without CR bytes and moves `p` past its terminator (LF or NUL) or to the end.
size_t ScanLine(const uint8_t* data, size_t size, size_t& p) {
    size_t length = 0;
    while (p < size) {
        uint8_t b = data[p++];
        if (b == 0x0A || b == 0x00) break;
        if (b != 0x0D) ++length;
    }
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInit();
    size_t p = 0;
    while (p < size && ScanLine(data, size, p) != 0) {
    }
    size_t bodyStart = p;
    size_t expectedLines = 0;
    while (p < size) {
        ScanLine(data, size, p);
        ++expectedLines;
    }

    Ref<TBankStream> s = FuzzStream(data, size);
    SkipResponseHead(s);
    FUZZ_CHECK(s->Pos() == static_cast<int32_t>(bodyStart));
    size_t lines = 0, units = 0;
    while (!Eof(s)) {
        String line = ReadLine(s);
        units += static_cast<size_t>(line.Length());
        ++lines;
        FUZZ_CHECK(lines <= size);
    }
    FUZZ_CHECK(lines == expectedLines);
    FUZZ_CHECK(units <= size - bodyStart);
    return 0;
}
