// Byte-level and text-level line readers over arbitrary bytes.
#include <cstdio>

#include "FuzzCommon.h"
#include "FuzzSources.h"

// Serves the input in pieces of a few bytes, like a socket would.
class ChoppyStream : public TStream {
public:
    ChoppyStream(const uint8_t* d, size_t n, int32_t chunk) : data(d), size(n), chunk(chunk) {}
    int32_t Read(void* buf, int32_t count) override {
        int32_t n = count < chunk ? count : chunk;
        if (static_cast<size_t>(n) > size - pos) n = static_cast<int32_t>(size - pos);
        if (n <= 0) return 0;
        std::memcpy(buf, data + pos, static_cast<size_t>(n));
        pos += static_cast<size_t>(n);
        return n;
    }
    int32_t Pos() override { return static_cast<int32_t>(pos); }
    int32_t Size() override { return static_cast<int32_t>(size); }
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    int32_t chunk;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInit();
    if (size < 1) return 0;
    uint8_t mode = data[0];
    data++;
    size--;

    // Byte lines: every byte is either in a line or a dropped CR or a
    // terminator, and the reader never reads past the end.
    {
        auto s = New<ChoppyStream>(data, size, 1 + (mode & 7));
        size_t units = 0, lines = 0;
        while (!s->Eof()) {
            String line = s->ReadLine();
            for (int32_t i = 0; i < line.Length(); ++i) FUZZ_CHECK(line[i] != 0x0A && line[i] != 0x0D && line[i] != 0 && line[i] < 256);
            units += static_cast<size_t>(line.Length());
            ++lines;
        }
        size_t cr = 0, ends = 0;
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == 0x0D) ++cr;
            else if (data[i] == 0x0A || data[i] == 0) ++ends;
        }
        FUZZ_CHECK(units + cr + ends == size);
        FUZZ_CHECK(lines <= ends + 1);
        FUZZ_CHECK(s->ReadLine().IsEmpty());

        // The shared read-ahead reader gives the same lines, skips and
        // counts the same number of them, whatever its buffer size.
        auto again = New<ChoppyStream>(data, size, 1 + (mode & 7));
        ChoppySource source(data, size, 1 + ((mode >> 3) & 7));
        ReadAhead reader(1 + (mode >> 4));
        std::string line;
        size_t read = 0;
        while (!again->Eof()) {
            String expected = again->ReadLine();
            line.clear();
            FUZZ_CHECK(reader.ReadLine(source, line, size + 1) == 1);
            FUZZ_CHECK(expected == String::FromBytes8(line.data(), static_cast<int32_t>(line.size())));
            ++read;
        }
        FUZZ_CHECK(reader.ReadLine(source, line, size + 1) == 0 && read == lines);
        ChoppySource skipping(data, size, 3), counting(data, size, 5);
        ReadAhead skipper(7), counter(1 + mode);
        size_t skipped = 0;
        while (skipper.SkipLine(skipping)) ++skipped;
        FUZZ_CHECK(skipped == lines);
        FUZZ_CHECK(counter.CountLines(counting) == static_cast<int64_t>(lines));
    }

    // Text lines in the encoding picked by the mode byte, mixed with hex
    // blocks and numbers: only the documented failures may surface.
    {
        Ref<TTextStream> t = TTextStream::Create(FuzzStream(data, size), (mode >> 3) % 5);
        uint8_t buf[40];
        for (int step = 0; step < 64 && !t->Eof(); ++step) {
            try {
                switch (((mode >> 5) + step) & 3) {
                case 0: t->ReadLine(); break;
                case 1: t->ReadBytes(buf, 1 + step % 40); break;
                case 2: t->ReadInt(); t->ReadDouble(); break;
                default: t->ReadChar(); break;
                }
            } catch (const TStreamReadException&) {
                break;
            } catch (const String& text) {
                FUZZ_CHECK(text == "Malformed line terminator");
                break;
            }
        }
    }
    return 0;
}
