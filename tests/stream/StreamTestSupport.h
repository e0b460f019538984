// Shared helpers for the stream tests: a scripted stream with controllable
// short reads and writes, byte helpers and a per-test scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestPrinters.h"
#include "runtime/String.h"
#include "stream/Bank.h"
#include "stream/CStream.h"
#include "stream/FileSystem.h"
#include "stream/Stream.h"
#include "stream/StreamFactory.h"
#include "stream/TextStream.h"

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Serves `input`, at most `chunk` bytes per Read; accepts at most
// `writeLimit` bytes in total. Counts the primitive calls. Like a console it
// has no position and its Eof stays 0, unless `eofAtEnd` makes it report the
// end of its input as a socket does.
class ScriptStream : public TStream {
public:
    int32_t Eof() override { return eofAtEnd && pos == input.size() ? 1 : 0; }
    explicit ScriptStream(Bytes input = {}, int32_t chunk = 1 << 30, int32_t writeLimit = 1 << 30)
        : input(std::move(input)), chunk(chunk), writeLimit(writeLimit) {}

    int32_t Read(void* buf, int32_t count) override {
        ++reads;
        int32_t n = std::min<int32_t>({count, chunk, static_cast<int32_t>(input.size() - pos)});
        if (n <= 0) return 0;
        std::copy_n(input.begin() + pos, n, static_cast<uint8_t*>(buf));
        pos += n;
        return n;
    }
    int32_t Write(const void* buf, int32_t count) override {
        ++writes;
        int32_t n = std::min<int32_t>(count, writeLimit - static_cast<int32_t>(output.size()));
        if (n <= 0) return 0;
        auto* p = static_cast<const uint8_t*>(buf);
        output.insert(output.end(), p, p + n);
        return n;
    }
    int32_t Close() override {
        ++closes;
        return 0;
    }

    Bytes input;
    size_t pos = 0;
    int32_t chunk;
    int32_t writeLimit;
    Bytes output;
    bool eofAtEnd = false;
    int reads = 0, writes = 0, closes = 0;
};

inline Ref<TBankStream> BankStreamOf(const Bytes& bytes) {
    Ref<TBank> bank = TBank::Create(static_cast<int32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), bank->Buf());
    return TBankStream::Create(bank);
}

inline Bytes BankBytes(const Ref<TBank>& bank) { return Bytes(bank->Buf(), bank->Buf() + bank->Size()); }

// The test's own scratch folder under the working directory, emptied first.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitStream();
        InitBank();
        InitFileSystem();
        InitTextStream();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = String((std::string("scratch_") + info->test_suite_name() + "_" + info->name()).c_str());
        EraseDirectory(dir, 1);
        ASSERT_EQ(MakeDirectory(dir), 1);
    }
    void TearDown() override { EraseDirectory(dir, 1); }

    String P(const char* name) const { return dir + "/" + name; }

    void WriteFile(const String& path, const Bytes& bytes) {
        Ref<TStream> s = OpenUrlForWriting(path);
        ASSERT_TRUE(s);
        s->WriteBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
        s->Close();
    }
    Bytes ReadFile(const String& path) {
        std::vector<uint8_t> v = SlurpBytes(path);
        return Bytes(v.begin(), v.end());
    }

    String dir;
};
