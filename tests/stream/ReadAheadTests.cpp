#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "stream/ReadAhead.h"

using namespace std::string_literals;

namespace {

// Serves a string in pieces of `chunk` bytes, then ends, or fails when
// `fails` is set.
class PieceSource : public ByteSource {
public:
    PieceSource(std::string data, int32_t chunk, bool fails = false) : _data(std::move(data)), _chunk(chunk), _fails(fails) {}
    int32_t Fill(uint8_t* buf, int32_t count) override {
        ++fills;
        size_t n = std::min({static_cast<size_t>(count), static_cast<size_t>(_chunk), _data.size() - _at});
        if (n == 0) return _fails ? -1 : 0;
        std::memcpy(buf, _data.data() + _at, n);
        _at += n;
        return static_cast<int32_t>(n);
    }
    int fills = 0;

private:
    std::string _data;
    int32_t _chunk;
    bool _fails;
    size_t _at = 0;
};

TEST(ReadAhead, CountsLinesAsReadLineFindsThem) {
    struct Case {
        std::string data;
        int64_t lines;
    } cases[] = {
        {"", 0}, {"a", 1}, {"a\n", 1}, {"\n\n", 2}, {"a\nb", 2}, {"\r", 1}, {"a\r\n\r\n", 2},
        {"x\0y"s, 2}, {"\0"s, 1}, {std::string(1000, 'z') + "\n" + std::string(999, '\r'), 2},
    };
    for (const Case& c : cases) {
        for (int32_t capacity : {1, 3, 64}) {
            PieceSource counted(c.data, 5), read(c.data, 2);
            ReadAhead counter(capacity), reader(capacity);
            EXPECT_EQ(counter.CountLines(counted), c.lines) << capacity;
            int64_t found = 0;
            std::string line;
            while (reader.ReadLine(read, line, 1 << 20) == 1) ++found;
            EXPECT_EQ(found, c.lines) << capacity;
        }
    }
}

TEST(ReadAhead, LinesDropCRAndStopAtTheirLimit) {
    PieceSource source("ab\r\rc\nlong line here\nrest"s, 4);
    ReadAhead in(8);
    std::string line;
    size_t used = 0;
    EXPECT_EQ(in.ReadLine(source, line, 100, &used), 1);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(used, 6u);  // CRs and the LF count against a limit
    line.clear();
    EXPECT_EQ(in.ReadLine(source, line, 4, &used), -1);
    EXPECT_EQ(used, 4u);
    EXPECT_LE(line.size(), 4u);
    EXPECT_TRUE(in.SkipLine(source));  // the rest of the long line
    line.clear();
    EXPECT_EQ(in.ReadLine(source, line, 100), 1);
    EXPECT_EQ(line, "rest");
    EXPECT_EQ(in.ReadLine(source, line, 100), 0);
    EXPECT_FALSE(in.SkipLine(source));
}

TEST(ReadAhead, FailuresAndBulkReads) {
    PieceSource failing("one\ntw", 64, true);
    ReadAhead in(16);
    EXPECT_EQ(in.CountLines(failing), 2);
    EXPECT_TRUE(in.SourceEnded());
    EXPECT_TRUE(in.SourceFailed());
    EXPECT_FALSE(in.More(failing));

    // A large read with nothing buffered goes straight to the caller: one
    // fill, no copy through the buffer.
    std::string data(1000, 'q');
    PieceSource bulk(data, 1000);
    ReadAhead big(64);
    char out[1000];
    EXPECT_EQ(big.Read(bulk, out, 1000), 1000);
    EXPECT_EQ(bulk.fills, 1);
    EXPECT_EQ(big.Buffered(), 0);
    EXPECT_EQ(big.Read(bulk, out, 10), 0);
}

}  // namespace
